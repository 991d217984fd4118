// The diagnostic dump: every record of the network database, the current
// network and the daemon state as text, secrets in plain text.
#include <cstdint>
#include <cstdio>
#include <optional>

#include "core/ScopedLock.h"
#include "core/WifiHostSettings.h"
#include "core/WifiNetworkDatabase.h"
#include "model/WifiNetwork.h"

namespace {

struct Word {
  uint32_t bit;
  const char* word;
};

// Words of the bit sets, in the order they are printed.
constexpr Word kProtocolWords[] = {{PROTOCOL_WPA, " WPA"}, {PROTOCOL_RSN, " RSN"}};

constexpr Word kKeyManagementWords[] = {
    {KEY_MGMT_NONE, " NONE"},         {KEY_MGMT_WPA_EAP, " WPA_EAP"},
    {KEY_MGMT_WPA_PSK, " WPA_PSK"},   {KEY_MGMT_WPA_NONE, " WPA_NONE"},
    {KEY_MGMT_IEEE8021X, " IEEE8021X"},
};

constexpr Word kPairwiseWords[] = {
    {CIPHER_TKIP, " TKIP"}, {CIPHER_CCMP, " CCMP"}, {CIPHER_NONE, " NONE"}};

constexpr Word kGroupWords[] = {
    {CIPHER_TKIP, " TKIP"}, {CIPHER_CCMP, " CCMP"}, {CIPHER_WEP104, " WEP104"},
    {CIPHER_WEP40, " WEP40"}};

constexpr Word kEapWords[] = {
    {EAP_TLS, " TLS"},   {EAP_PEAP, " PEAP"},         {EAP_TTLS, " TTLS"},
    {EAP_MD5, " MD5"},   {EAP_LEAP, " LEAP"},         {EAP_MSCHAPV2, " MSCHAPV2"},
    {EAP_GTC, " GTC"},   {EAP_OTP, " OTP"},           {EAP_PSK, " PSK"},
    {EAP_FAST, " FAST"}, {EAP_PAX, " PAX"},
};

// Values, not bits: index = value.
constexpr const char* kModeWords[] = {" MANAGED", " ADHOC"};
constexpr const char* kAuthenticationWords[] = {" UNKNOWN", " OPEN", " SHARED", " LEAP", " AUTO"};
constexpr const char* kStateWords[] = {
    " UNKNOWN",    " DISCONNECTED",     " IDLE",
    " SCANNING",   " ASSOCIATING",      " ASSOCIATED",
    " 4-WAY HANDSHAKE", " GROUP HANDSHAKE", " COMPLETED",
};

// The EAP and certificate lines closing each block.
struct TextLine {
  const char* label;
  WifiNetwork::TextField field;
};

constexpr TextLine kEapLines[] = {
    {"\tEAP Identity                  : %s\n", WifiNetwork::TEXT_EapIdentity},
    {"\tEAP Anonymous Identity        : %s\n", WifiNetwork::TEXT_EapAnonymousIdentity},
    {"\tEAP Password                  : %s\n", WifiNetwork::TEXT_EapPassword},
    {"\tOuter Private Key Password    : %s\n", WifiNetwork::TEXT_PrivateKeyPassword},
    {"\tOuter CA Certificate File     : %s\n", WifiNetwork::TEXT_CaCertificateFile},
    {"\tOuter CA Certificate Path     : %s\n", WifiNetwork::TEXT_CaCertificateDir},
    {"\tOuter Client Certificate      : %s\n", WifiNetwork::TEXT_ClientCertificate},
    {"\tOuter Private Key File        : %s\n", WifiNetwork::TEXT_PrivateKeyFile},
    {"\tPhase 1                       : %s\n", WifiNetwork::TEXT_Phase1},
    {"\tPhase 2                       : %s\n", WifiNetwork::TEXT_Phase2},
    {"\tInner Private Key Password    : %s\n", WifiNetwork::TEXT_PrivateKeyPassword2},
    {"\tInner CA Certificate File     : %s\n", WifiNetwork::TEXT_CaCertificateFile2},
    {"\tInner CA Certificate Path     : %s\n", WifiNetwork::TEXT_CaCertificateDir2},
    {"\tInner Client Certificate      : %s\n", WifiNetwork::TEXT_ClientCertificate2},
    {"\tInner Private Key File        : %s\n", WifiNetwork::TEXT_PrivateKeyFile2},
};

const char* orEmpty(const char* value) { return value != nullptr ? value : ""; }

template <size_t N>
void printWords(std::FILE* out, const char* label, uint32_t value, const Word (&words)[N]) {
  std::fputs(label, out);
  if (value == 0) {
    std::fputs(" UNKNOWN", out);
  } else {
    for (const Word& word : words) {
      if ((value & word.bit) != 0) std::fputs(word.word, out);
    }
  }
  std::fputs("\n", out);
}

// A word for a value, or nothing when the value is past the table.
template <size_t N>
void printValueWord(std::FILE* out, uint32_t value, const char* const (&words)[N]) {
  if (value < N) std::fputs(words[value], out);
}

void printNetwork(std::FILE* out, const WifiNetwork& net) {
  std::fprintf(out, "\tNetwork SSID    : %s\n", orEmpty(net.getSsid()));
  std::fprintf(out, "\tNetwork BSSID   : %s\n", orEmpty(net.getBssid()));
  std::fprintf(out, "\tChannel         : %d\n", static_cast<int>(net.getChannel()));
  std::fprintf(out, "\tStrength        : %d\n", static_cast<int>(net.getStrength()));
  std::fprintf(out, "\tSSID Broadcast  : %s\n", net.getSsidBroadcasted() ? "yes" : "no");
  std::fprintf(out, "\tPriority        : %d\n", static_cast<int>(net.getPriority()));

  std::fputs("\tNetwork Mode    :", out);
  std::fputs(net.getMode() < 2 ? kModeWords[net.getMode()] : " UNKNOWN", out);
  std::fputs("\n", out);

  printWords(out, "\tProtocol        :", net.getProtocol(), kProtocolWords);
  printWords(out, "\tKeyManagement   :", net.getKeyManagement(), kKeyManagementWords);
  printWords(out, "\tPairwise        :", net.getPairwise(), kPairwiseWords);
  printWords(out, "\tGroup           :", net.getGroup(), kGroupWords);
  printWords(out, "\tEAP Modes       :", net.getEapMethod(), kEapWords);

  std::fputs("\tAUTH_ALG        :", out);
  printValueWord(out, net.getAuthentication(), kAuthenticationWords);
  std::fputs("\n", out);

  std::fprintf(out, "\tPre Shared Key  : %s\n", orEmpty(net.getPreSharedKey()));

  // The WEP lines only for a network with a first key.
  if (net.getWepKey(0) != nullptr) {
    std::fprintf(out, "\tWEP Index       : %d\n", static_cast<int>(net.getWepIndex()));
    for (uint32_t i = 0; i < WEP_KEY_COUNT; ++i) {
      if (net.getWepKey(i) == nullptr) continue;
      std::fprintf(out, "\tWEP Key %u       : %s\n", static_cast<unsigned>(i), net.getWepKey(i));
    }
  }

  for (const TextLine& line : kEapLines) std::fprintf(out, line.label, orEmpty(net.getText(line.field)));
  std::fputs("\n", out);
}

}  // namespace

void WifiHostSettings::dump() { dumpTo(stderr); }

void WifiHostSettings::dumpTo(std::FILE* out) {
  // The database lock, not the instance lock, holds the list still for the
  // whole dump.
  WifiNetworkDatabase* database = networkDatabase_;
  std::optional<ScopedLock<WifiNetworkDatabase>> held;
  if (database != nullptr) held.emplace(*database);

  refreshNetworkList();

  std::fputs("Network Database: \n", out);
  if (database != nullptr) {
    for (const WifiNetwork* net = database->first(); net != nullptr; net = net->getNext()) {
      printNetwork(out, *net);
    }
  }

  {
    ScopedMutex current(&mutex_);
    if (currentNetwork_ != nullptr) {
      std::fprintf(out, "Currently associated with: %s\n", orEmpty(currentNetwork_->getSsid()));
    }
  }

  std::fputs("Current WPA_STATUS        :", out);
  printValueWord(out, daemonState_.load(), kStateWords);
  std::fputs("\n", out);
}
