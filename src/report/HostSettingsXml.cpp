// The host settings document: the root element with the adapter, Wi-Fi and
// daemon state, then the network database in summary or full form.
#include <cstdint>

#include "core/ScopedLock.h"
#include "core/WifiHostSettings.h"
#include "core/WifiNetworkDatabase.h"
#include "daemon/WifiDaemon.h"
#include "model/Text.h"
#include "model/WifiNetwork.h"
#include "platform/Crypt.h"
#include "platform/XWriter.h"

namespace {

// Numbers are written unsigned; 32 bounds the formatted value.
constexpr const char* kNumberFormat = "%u";
constexpr int kNumberLength = 32;

// ---- Attributes of a record, by table ------------------------------------

enum class Kind : uint8_t {
  Text,    // the text field as stored, empty when null
  Secret,  // the text field encrypted, empty when null
  Number,  // a number, "%u"
  Flag,    // "true" or "false"
};

struct AttributeRow {
  const char* name;
  Kind kind;
  WifiNetwork::TextField field;                // Text and Secret
  uint32_t (*read)(const WifiNetwork& net);    // Number and Flag
};

constexpr AttributeRow textAttr(const char* name, WifiNetwork::TextField field) {
  return {name, Kind::Text, field, nullptr};
}
constexpr AttributeRow secretAttr(const char* name, WifiNetwork::TextField field) {
  return {name, Kind::Secret, field, nullptr};
}
constexpr AttributeRow numberAttr(const char* name, uint32_t (*read)(const WifiNetwork&)) {
  return {name, Kind::Number, WifiNetwork::TEXT_FIELD_COUNT, read};
}
constexpr AttributeRow flagAttr(const char* name, uint32_t (*read)(const WifiNetwork&)) {
  return {name, Kind::Flag, WifiNetwork::TEXT_FIELD_COUNT, read};
}

uint32_t readSsidBroadcasted(const WifiNetwork& net) { return net.getSsidBroadcasted() ? 1 : 0; }
uint32_t readMode(const WifiNetwork& net) { return net.getMode(); }
uint32_t readChannel(const WifiNetwork& net) { return static_cast<uint32_t>(net.getChannel()); }
uint32_t readStrength(const WifiNetwork& net) { return static_cast<uint32_t>(net.getStrength()); }
uint32_t readPriority(const WifiNetwork& net) { return static_cast<uint32_t>(net.getPriority()); }
uint32_t readStatus(const WifiNetwork& net) { return static_cast<uint32_t>(net.getStatus()); }
uint32_t readProtocol(const WifiNetwork& net) { return net.getProtocol(); }
uint32_t readAuthentication(const WifiNetwork& net) { return net.getAuthentication(); }
uint32_t readEncryption(const WifiNetwork& net) { return net.getPairwise() | net.getGroup(); }
uint32_t readKeyManagement(const WifiNetwork& net) { return net.getKeyManagement(); }
uint32_t readEapMethod(const WifiNetwork& net) { return net.getEapMethod(); }
// "index" counts the keys from 1.
uint32_t readWepIndex(const WifiNetwork& net) { return net.getWepIndex() + 1; }

using WN = WifiNetwork;

constexpr AttributeRow kSummaryNetwork[] = {
    textAttr("ssid", WN::TEXT_Ssid),
    numberAttr("strength", readStrength),
    numberAttr("status", readStatus),
};

constexpr AttributeRow kFullNetwork[] = {
    textAttr("ssid", WN::TEXT_Ssid),
    textAttr("bssid", WN::TEXT_Bssid),
    flagAttr("ssidBroadcasted", readSsidBroadcasted),
    numberAttr("mode", readMode),
    numberAttr("channel", readChannel),
    numberAttr("strength", readStrength),
    numberAttr("priority", readPriority),
    numberAttr("status", readStatus),
};

// After "type", "supported" and "use".
constexpr AttributeRow kConfigurationStart[] = {
    numberAttr("protocol", readProtocol),
    numberAttr("authentication", readAuthentication),
    numberAttr("encryption", readEncryption),
};

constexpr AttributeRow kKeyManagement[] = {numberAttr("key_mgmt", readKeyManagement)};

constexpr AttributeRow kPreSharedKey[] = {secretAttr("psk", WN::TEXT_PreSharedKey)};

constexpr AttributeRow kEapBlock[] = {
    numberAttr("eap", readEapMethod),
    textAttr("eapIdentity", WN::TEXT_EapIdentity),
    textAttr("eapAnonymousIdentity", WN::TEXT_EapAnonymousIdentity),
    secretAttr("eapPassword", WN::TEXT_EapPassword),
    textAttr("CACertificateFile", WN::TEXT_CaCertificateFile),
    textAttr("CACertificateDir", WN::TEXT_CaCertificateDir),
    textAttr("clientCertificate", WN::TEXT_ClientCertificate),
    textAttr("privateKeyFile", WN::TEXT_PrivateKeyFile),
    secretAttr("privateKeyPassword", WN::TEXT_PrivateKeyPassword),
    textAttr("phase1", WN::TEXT_Phase1),
    textAttr("phase2", WN::TEXT_Phase2),
    textAttr("CACertificateFile2", WN::TEXT_CaCertificateFile2),
    textAttr("CACertificateDir2", WN::TEXT_CaCertificateDir2),
    textAttr("clientCertificate2", WN::TEXT_ClientCertificate2),
    textAttr("privateKeyFile2", WN::TEXT_PrivateKeyFile2),
    secretAttr("privateKeyPassword2", WN::TEXT_PrivateKeyPassword2),
};

const char* orEmpty(const char* value) { return value != nullptr ? value : ""; }

void writeNumber(XWriter& out, const char* name, uint32_t value) {
  out.attrf(name, kNumberFormat, kNumberLength, static_cast<unsigned int>(value));
}

// The encrypted form of a stored secret; null for a null secret (and then
// nothing is encrypted) or when encryption gave nothing.
text::Owned encrypted(ErrorHandler* handler, const char* plain) {
  if (plain == nullptr) return text::Owned();
  char* cipher = nullptr;
  Crypt::encrypt(handler, plain, &cipher);
  return text::Owned(cipher);
}

// Each attribute preceded by its space.
template <size_t N>
void writeAttributes(XWriter& out, const WifiNetwork& net, ErrorHandler* handler,
                     const AttributeRow (&rows)[N]) {
  for (const AttributeRow& row : rows) {
    out.w(' ');
    switch (row.kind) {
      case Kind::Text:
        out.attr(row.name, orEmpty(net.getText(row.field)));
        break;
      case Kind::Secret: {
        text::Owned value = encrypted(handler, net.getText(row.field));
        out.attr(row.name, orEmpty(value.get()));
        break;
      }
      case Kind::Number:
        writeNumber(out, row.name, row.read(net));
        break;
      case Kind::Flag:
        out.attr(row.name, row.read(net) != 0 ? "true" : "false");
        break;
    }
  }
}

// ---- Security kinds --------------------------------------------------------

// In the order the document lists them.
enum SecurityKind : uint8_t {
  KIND_WEP,
  KIND_WPA,
  KIND_WPA_PSK,
  KIND_WPA2,
  KIND_WPA2_PSK,
  KIND_NONE,
  KIND_COUNT
};

using KindSet = uint8_t;  // bit (1 << kind) per kind

constexpr KindSet only(SecurityKind kind) { return static_cast<KindSet>(1u << kind); }
constexpr bool holds(KindSet set, SecurityKind kind) { return (set & only(kind)) != 0; }

// The kind of a WPA or RSN network by its key management: EAP, pre-shared
// key, or both, where a stored pre-shared key decides.
KindSet classifyKeyManagement(const WifiNetwork& net, SecurityKind eap, SecurityKind psk) {
  switch (net.getKeyManagement()) {
    case KEY_MGMT_WPA_PSK | KEY_MGMT_WPA_EAP:
      return only(text::isEmpty(net.getPreSharedKey()) ? eap : psk);
    case KEY_MGMT_WPA_EAP:
      return only(eap);
    case KEY_MGMT_WPA_PSK:
      return only(psk);
    default:
      return 0;
  }
}

// The security kinds a network supports, from its protocol, key management
// and ciphers.
KindSet classify(const WifiNetwork& net) {
  switch (net.getProtocol()) {
    case PROTOCOL_WPA | PROTOCOL_RSN:
      if ((net.getPairwise() & CIPHER_NONE) != 0) return only(KIND_NONE);
      if ((net.getGroup() & (CIPHER_WEP40 | CIPHER_WEP104)) != 0) return only(KIND_WEP);
      return 0;
    case PROTOCOL_WPA:
      return classifyKeyManagement(net, KIND_WPA, KIND_WPA_PSK);
    case PROTOCOL_RSN:
      return classifyKeyManagement(net, KIND_WPA2, KIND_WPA2_PSK);
    default:
      return 0;
  }
}

uint32_t countOf(KindSet set) {
  uint32_t n = 0;
  for (uint8_t kind = 0; kind < KIND_COUNT; ++kind) n += holds(set, static_cast<SecurityKind>(kind));
  return n;
}

enum class Eap : uint8_t { Never, Always, WithIeee8021x };

// What a configuration element carries after its common start, in order:
// key management, the WEP keys and index, the pre-shared key, the EAP block.
struct KindRow {
  const char* name;
  bool keyManagement;
  bool wepKeys;
  bool preSharedKey;
  Eap eap;
};

constexpr KindRow kKinds[KIND_COUNT] = {
    /* KIND_WEP      */ {"wep", true, true, false, Eap::WithIeee8021x},
    /* KIND_WPA      */ {"wpa", true, false, false, Eap::Always},
    /* KIND_WPA_PSK  */ {"wpa_psk", true, false, true, Eap::Never},
    /* KIND_WPA2     */ {"wpa2", true, false, false, Eap::Always},
    /* KIND_WPA2_PSK */ {"wpa2_psk", false, false, true, Eap::Never},
    /* KIND_NONE     */ {"none", false, false, false, Eap::Never},  // has no configuration
};

void writeWepKeys(XWriter& out, const WifiNetwork& net) {
  static constexpr const char* kNames[WEP_KEY_COUNT] = {"key1", "key2", "key3", "key4"};
  for (uint32_t i = 0; i < WEP_KEY_COUNT; ++i) {
    out.w(' ');
    out.attr(kNames[i], orEmpty(net.getWepKey(i)));
  }
  out.w(' ');
  writeNumber(out, "index", readWepIndex(net));
}

void writeConfiguration(XWriter& out, const WifiNetwork& net, ErrorHandler* handler,
                        const KindRow& kind) {
  out.w("        <configuration");
  out.w(' ').attr("type", kind.name);
  out.w(' ').attr("supported", "true");
  out.w(' ').attr("use", "true");
  writeAttributes(out, net, handler, kConfigurationStart);
  if (kind.keyManagement) writeAttributes(out, net, handler, kKeyManagement);
  if (kind.wepKeys) writeWepKeys(out, net);
  if (kind.preSharedKey) writeAttributes(out, net, handler, kPreSharedKey);
  bool eap = kind.eap == Eap::Always ||
             (kind.eap == Eap::WithIeee8021x && (net.getKeyManagement() & KEY_MGMT_IEEE8021X) != 0);
  if (eap) writeAttributes(out, net, handler, kEapBlock);
  out.w("/>\n");
}

void writeFullNetwork(XWriter& out, const WifiNetwork& net, ErrorHandler* handler) {
  KindSet kinds = classify(net);
  uint32_t supported = countOf(kinds);
  uint32_t configured = holds(kinds, KIND_NONE) ? supported - 1 : supported;

  out.w("    <wifiNetwork");
  writeAttributes(out, net, handler, kFullNetwork);
  out.w(">\n");

  out.w("      <wifiSecuritySupported").w(' ');
  writeNumber(out, "numberSupported", supported);
  if (supported == 0) {
    out.w("/>\n");
  } else {
    out.w(">\n");
    for (uint8_t kind = 0; kind < KIND_COUNT; ++kind) {
      if (!holds(kinds, static_cast<SecurityKind>(kind))) continue;
      out.w("        <wifiSecurity ").attr("type", kKinds[kind].name).w("/>\n");
    }
    out.w("      </wifiSecuritySupported>\n");
  }

  out.w("      <wifiSecurityConfiguration").w(' ');
  writeNumber(out, "numberConfigured", configured);
  if (supported == 0 || (supported == 1 && holds(kinds, KIND_NONE))) {
    out.w("/>\n");
  } else {
    out.w(">\n");
    for (uint8_t kind = 0; kind < KIND_COUNT; ++kind) {
      if (kind == KIND_NONE || !holds(kinds, static_cast<SecurityKind>(kind))) continue;
      writeConfiguration(out, net, handler, kKinds[kind]);
    }
    out.w("      </wifiSecurityConfiguration>\n");
  }

  out.w("    </wifiNetwork>\n");
}

void writeDatabase(XWriter& out, WifiNetworkDatabase* database, ErrorHandler* handler,
                   bool detailed) {
  out.w("  <wifiNetworkDatabase").w(' ');
  writeNumber(out, "numberNetworks", database != nullptr ? database->count() : 0);
  out.w(">\n");
  if (database != nullptr) {
    for (const WifiNetwork* net = database->first(); net != nullptr; net = net->getNext()) {
      if (detailed) {
        writeFullNetwork(out, *net, handler);
      } else {
        // All summary elements stand on one line.
        out.w("    <wifiNetwork");
        writeAttributes(out, *net, handler, kSummaryNetwork);
        out.w("/>");
      }
    }
  }
  out.w("  </wifiNetworkDatabase>\n");
}

}  // namespace

bool WifiHostSettings::writeXml(XWriter* writer, ErrorHandler* handler, bool detailed) {
  ScopedLock<WifiHostSettings> held(*this);
  refreshNetworkList();
  WifiDaemon* daemon = WifiDaemon::getInstance();
  if (daemon == nullptr) return false;

  const char* adapterName = adapters_ != nullptr && adapterCount_ != 0 ? adapters_[0] : nullptr;
  // Taken before the status query, which may move the current network.
  const char* currentSsid = currentNetwork_ != nullptr ? orEmpty(currentNetwork_->getSsid()) : "";
  uint32_t state = adapterName != nullptr ? static_cast<uint32_t>(getDaemonStatus(adapterName))
                                          : daemonState_.load();
  bool enabled = daemon->isWifiEnabled(nullptr);

  XWriter& out = *writer;
  out.w("<wifiHostSettings");
  out.w(' ').attr("adapter", adapterName != nullptr ? adapterName : "Unknown");
  out.w(' ').attr("wifiEnabled", enabled ? "true" : "false");
  out.w(' ');
  writeNumber(out, "currentDaemonState", state);
  out.w(' ').attr("currentNetwork", currentSsid);
  out.w(' ');
  writeNumber(out, "currentNetworkState",
              currentNetwork_ != nullptr ? static_cast<uint32_t>(currentNetwork_->getStatus()) : 0);
  out.w(">\n");

  writeDatabase(out, networkDatabase_, handler, detailed);
  out.w("</wifiHostSettings>\n");
  return true;
}
