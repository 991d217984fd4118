#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/WifiHostSettings.h"
#include "model/WifiNetwork.h"
#include "platform/ErrorHandler.h"
#include "tests/daemon/HostFixture.h"
#include "tests/report/ReportSupport.h"
#include "wireless/wireless.h"

namespace {

using report_test::addRecord;
using report_test::encrypt;

std::string show(const char* text) { return text == nullptr ? "<null>" : "\"" + std::string(text) + "\""; }

class CountingHandler : public ErrorHandler {
 public:
  void throwError(MessageBundle*) override { ++reports; }
  int reports = 0;
};

class NetworkParametersTest : public HostFixture {
 protected:
  // A loaded host with one network "office" whose every field holds a value
  // no row below sets, and no change flag raised.
  WifiNetwork* freshOffice() {
    if (host == nullptr) load({});
    host->networkDatabase()->remove("office");
    WifiNetwork* net = addRecord(host, "office");
    net->setBssid("00:11:22:33:44:55");
    net->setSsidBroadcasted(true);
    net->setMode(NETWORK_MODE_UNKNOWN);
    net->setChannel(1);
    net->setStrength(10);
    net->setPriority(1);
    net->setStatus(NETWORK_STATUS_ENABLED);
    net->setProtocol(1);
    net->setKeyManagement(1);
    net->setAuthentication(1);
    net->setPairwise(1);
    net->setGroup(16);
    net->setEapMethod(1);
    net->setWepIndex(1);
    for (uint32_t i = 0; i < WEP_KEY_COUNT; ++i) net->setWepKey(i, ("old key " + std::to_string(i)).c_str());
    for (uint8_t f = 0; f < WifiNetwork::TEXT_FIELD_COUNT; ++f) {
      auto field = static_cast<WifiNetwork::TextField>(f);
      if (field != WifiNetwork::TEXT_Ssid && field != WifiNetwork::TEXT_Bssid) {
        net->setText(field, ("old " + std::to_string(f)).c_str());
      }
    }
    net->clearChanges();
    return net;
  }

  // Everything setNetworkParameters can touch, one "name=value" entry per
  // field.
  static std::vector<std::string> fields(const WifiNetwork& net) {
    // The texts, the SSID and BSSID among them, come last.
    std::vector<std::string> all = {
        "broadcast=" + std::to_string(net.getSsidBroadcasted()),
        "mode=" + std::to_string(net.getMode()),
        "channel=" + std::to_string(net.getChannel()),
        "strength=" + std::to_string(net.getStrength()),
        "priority=" + std::to_string(net.getPriority()),
        "status=" + std::to_string(net.getStatus()),
        "protocol=" + std::to_string(net.getProtocol()),
        "keyManagement=" + std::to_string(net.getKeyManagement()),
        "authentication=" + std::to_string(net.getAuthentication()),
        "pairwise=" + std::to_string(net.getPairwise()),
        "group=" + std::to_string(net.getGroup()),
        "eap=" + std::to_string(net.getEapMethod()),
        "wepIndex=" + std::to_string(net.getWepIndex()),
    };
    for (uint32_t i = 0; i < WEP_KEY_COUNT; ++i) {
      all.push_back("wep" + std::to_string(i) + "=" + show(net.getWepKey(i)));
    }
    for (uint8_t f = 0; f < WifiNetwork::TEXT_FIELD_COUNT; ++f) {
      all.push_back("text" + std::to_string(f) + "=" +
                    show(net.getText(static_cast<WifiNetwork::TextField>(f))));
    }
    return all;
  }

  static std::string state(const WifiNetwork& net) {
    std::string text;
    for (const std::string& field : fields(net)) text += field + "; ";
    return text;
  }

  static bool apply(const char* ssid, std::vector<const char*> keys, std::vector<const char*> values,
                    ErrorHandler* handler = nullptr) {
    return setNetworkParameters(handler, "wlan0", ssid, keys.data(), values.data(),
                                static_cast<uint32_t>(keys.size()));
  }

  WifiNetwork* office() { return find("office"); }
};

TEST_F(NetworkParametersTest, EveryKeyConvertsAndSetsItsOwnField) {
  using Read = std::function<std::string(const WifiNetwork&)>;
  auto text = [](WifiNetwork::TextField field) -> Read {
    return [field](const WifiNetwork& n) { return show(n.getText(field)); };
  };
  auto wep = [](uint32_t index) -> Read {
    return [index](const WifiNetwork& n) { return show(n.getWepKey(index)); };
  };
  auto num = [](std::function<long long(const WifiNetwork&)> get) -> Read {
    return [get](const WifiNetwork& n) { return std::to_string(get(n)); };
  };
  using WN = WifiNetwork;
  struct Row {
    const char* key;
    std::string value;  // "@" + text: the encrypted form of text
    Read read;
    std::string expected;
    std::function<void(WifiNetwork&)> prepare = nullptr;  // before the call
  };
  const Row rows[] = {
      {"authentication", "3", num([](const WN& n) { return n.getAuthentication(); }), "3"},
      {"bssid", "aa:bb:cc:dd:ee:ff", text(WN::TEXT_Bssid), "\"aa:bb:cc:dd:ee:ff\""},
      {"channel", "11abc", num([](const WN& n) { return n.getChannel(); }), "11"},
      {"clientCertificate", "/c1.pem", text(WN::TEXT_ClientCertificate), "\"/c1.pem\""},
      {"clientCertificate2", "/c2.pem", text(WN::TEXT_ClientCertificate2), "\"/c2.pem\""},
      {"CACertificateFile", "/ca1.pem", text(WN::TEXT_CaCertificateFile), "\"/ca1.pem\""},
      {"CACertificateDir", "/ca1", text(WN::TEXT_CaCertificateDir), "\"/ca1\""},
      {"CACertificateFile2", "/ca2.pem", text(WN::TEXT_CaCertificateFile2), "\"/ca2.pem\""},
      {"CACertificateDir2", "/ca2", text(WN::TEXT_CaCertificateDir2), "\"/ca2\""},
      {"eapIdentity", "alice", text(WN::TEXT_EapIdentity), "\"alice\""},
      {"eapAnonymousIdentity", "anon", text(WN::TEXT_EapAnonymousIdentity), "\"anon\""},
      {"eapPassword", "@eap secret", text(WN::TEXT_EapPassword), "\"eap secret\""},
      {"eap", "2", num([](const WN& n) { return n.getEapMethod(); }), "2"},
      {"index", "3", num([](const WN& n) { return n.getWepIndex(); }), "3"},
      {"key1", "k1", wep(0), "\"k1\""},
      {"key2", "k2", wep(1), "\"k2\""},
      {"key3", "k3", wep(2), "\"k3\""},
      {"key4", "k4", wep(3), "\"k4\""},
      {"key2", "", wep(1), "<null>"},
      {"key_mgmt", "4", num([](const WN& n) { return n.getKeyManagement(); }), "4"},
      {"mode", "1", num([](const WN& n) { return n.getMode(); }), "1"},
      {"mode", "256", num([](const WN& n) { return n.getMode(); }), "0"},  // low 8 bits
      {"phase1", "peaplabel=1", text(WN::TEXT_Phase1), "\"peaplabel=1\""},
      {"phase2", "auth=PAP", text(WN::TEXT_Phase2), "\"auth=PAP\""},
      {"priority", "-5", num([](const WN& n) { return n.getPriority(); }), "-5"},
      {"protocol", "2", num([](const WN& n) { return n.getProtocol(); }), "2"},
      {"psk", "@pre shared", text(WN::TEXT_PreSharedKey), "\"pre shared\""},
      {"privateKeyFile", "/k1.pem", text(WN::TEXT_PrivateKeyFile), "\"/k1.pem\""},
      {"privateKeyFile2", "/k2.pem", text(WN::TEXT_PrivateKeyFile2), "\"/k2.pem\""},
      {"privateKeyPassword", "@outer", text(WN::TEXT_PrivateKeyPassword), "\"outer\""},
      {"privateKeyPassword2", "@inner", text(WN::TEXT_PrivateKeyPassword2), "\"inner\""},
      {"strength", "80", num([](const WN& n) { return n.getStrength(); }), "80"},
      {"status", "5", num([](const WN& n) { return n.getStatus(); }), "5"},
      {"ssidBroadcasted", "true", num([](const WN& n) { return n.getSsidBroadcasted(); }), "1",
       [](WN& n) { n.setSsidBroadcasted(false); }},
      {"ssidBroadcasted", "TRUE", num([](const WN& n) { return n.getSsidBroadcasted(); }), "0"},
      {"ssidBroadcasted", "1", num([](const WN& n) { return n.getSsidBroadcasted(); }), "0"},
      {"ssidBroadcasted", "true ", num([](const WN& n) { return n.getSsidBroadcasted(); }), "0"},
      {"channel", "x9", num([](const WN& n) { return n.getChannel(); }), "0"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.key) + "=" + row.value);
    WifiNetwork* before = freshOffice();
    if (row.prepare) row.prepare(*before);
    ASSERT_NE(row.read(*before), row.expected) << "the row would pass without the call";
    std::string value = row.value.compare(0, 1, "@") == 0 ? encrypt(row.value.substr(1)) : row.value;

    ASSERT_TRUE(apply("office", {row.key}, {value.c_str()}));
    WifiNetwork* net = office();
    ASSERT_EQ(net, before);
    EXPECT_EQ(row.read(*net), row.expected);

  }
}

TEST_F(NetworkParametersTest, IndexAboveThreeIsRefusedByTheRecord) {
  WifiNetwork* net = freshOffice();
  ASSERT_TRUE(apply("office", {"index", "index"}, {"4", "-1"}));
  EXPECT_EQ(net->getWepIndex(), 1u);
  EXPECT_FALSE(net->isWepIndexChanged());
  ASSERT_TRUE(apply("office", {"index"}, {"0"}));
  EXPECT_EQ(net->getWepIndex(), 0u);
}

TEST_F(NetworkParametersTest, OnlyTheNamedFieldChanges) {
  // Each key applied to a fresh record changes exactly one part of its state
  // (3 differs from every value freshOffice stores).
  const char* keys[] = {"authentication", "bssid", "channel", "clientCertificate", "clientCertificate2",
                        "CACertificateFile", "CACertificateDir", "CACertificateFile2",
                        "CACertificateDir2", "eapIdentity", "eapAnonymousIdentity", "eap", "index",
                        "key1", "key2", "key3", "key4", "key_mgmt", "mode", "phase1", "phase2",
                        "priority", "protocol", "privateKeyFile", "privateKeyFile2", "strength",
                        "status"};
  for (const char* key : keys) {
    SCOPED_TRACE(key);
    WifiNetwork* net = freshOffice();
    std::vector<std::string> before = fields(*net);
    ASSERT_TRUE(apply("office", {key}, {"3"}));
    std::vector<std::string> after = fields(*net);
    ASSERT_EQ(after.size(), before.size());
    size_t differences = 0;
    for (size_t i = 0; i < before.size(); ++i) differences += before[i] != after[i];
    EXPECT_EQ(differences, 1u) << state(*net);
  }
}

TEST_F(NetworkParametersTest, KeysOutsideTheVocabularyAreSkipped) {
  WifiNetwork* net = freshOffice();
  std::string before = state(*net);
  EXPECT_TRUE(apply("office",
                    {"unknown", "", "Channel", "PSK", "ssid", "SSID", nullptr, "channel ", "c", "keys",
                     "encryptio", "eapPassword2"},
                    {"9", "9", "9", "9", "renamed", "renamed", "9", "9", "9", "9", "9", "9"}));
  EXPECT_EQ(state(*net), before);
  EXPECT_FALSE(net->hasChanges());
  EXPECT_EQ(show(net->getSsid()), "\"office\"");
  EXPECT_EQ(find("renamed"), nullptr);

  // No keys at all, or no arrays, change nothing and still succeed.
  EXPECT_TRUE(setNetworkParameters(nullptr, "wlan0", "office", nullptr, nullptr, 0));
  EXPECT_TRUE(setNetworkParameters(nullptr, "wlan0", "office", nullptr, nullptr, 3));
  EXPECT_EQ(state(*net), before);
  EXPECT_FALSE(net->hasChanges());

  // Later keys still apply after skipped ones; changes raise the flags a
  // save looks for.
  EXPECT_TRUE(apply("office", {"nope", "priority"}, {"1", "42"}));
  EXPECT_EQ(net->getPriority(), 42);
  EXPECT_TRUE(net->isPriorityChanged());
}

TEST_F(NetworkParametersTest, EncryptionSplitsIntoPairwiseAndGroup) {
  struct Row {
    const char* value;
    uint32_t pairwise;
    uint32_t group;
  };
  // Before each row: pairwise 1, group 16.
  const Row rows[] = {
      {"6", CIPHER_CCMP, CIPHER_TKIP},
      {"16", 1, CIPHER_WEP40},
      {"8", 1, CIPHER_WEP104},
      {"1", CIPHER_NONE, 16},
      {"2", CIPHER_TKIP, CIPHER_TKIP},
      {"4", CIPHER_CCMP, CIPHER_CCMP},
      {"garbage", 0, 0},
      {"", 0, 0},
      {"10", 10, 10},
      {"6x", CIPHER_CCMP, CIPHER_TKIP},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.value);
    WifiNetwork* net = freshOffice();
    ASSERT_TRUE(apply("office", {"encryption"}, {row.value}));
    EXPECT_EQ(net->getPairwise(), row.pairwise);
    EXPECT_EQ(net->getGroup(), row.group);
  }
  WifiNetwork* net = freshOffice();
  ASSERT_TRUE(apply("office", {"encryption"}, {nullptr}));
  EXPECT_EQ(net->getPairwise(), 0u);
  EXPECT_EQ(net->getGroup(), 0u);
}

TEST_F(NetworkParametersTest, SecretsDecryptOrLeaveTheFieldAlone) {
  const char* secretKeys[] = {"psk", "eapPassword", "privateKeyPassword", "privateKeyPassword2"};
  const WifiNetwork::TextField fields[] = {WifiNetwork::TEXT_PreSharedKey, WifiNetwork::TEXT_EapPassword,
                                           WifiNetwork::TEXT_PrivateKeyPassword,
                                           WifiNetwork::TEXT_PrivateKeyPassword2};
  std::string valid = encrypt("new secret");
  std::string truncated = valid.substr(0, valid.size() / 2);
  std::string tampered = valid;
  tampered[tampered.size() / 2] = tampered[tampered.size() / 2] == 'A' ? 'B' : 'A';
  const std::string garbage[] = {"not encrypted", "!!!!", truncated, tampered,
                                 "\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87", std::string(100000, 'A'),
                                 "new secret"};

  for (size_t k = 0; k < 4; ++k) {
    SCOPED_TRACE(secretKeys[k]);
    for (const std::string& bad : garbage) {
      WifiNetwork* net = freshOffice();
      std::string old = net->getText(fields[k]);
      CountingHandler handler;
      ASSERT_TRUE(apply("office", {secretKeys[k]}, {bad.c_str()}, &handler));
      EXPECT_EQ(show(net->getText(fields[k])), show(old.c_str())) << bad.substr(0, 40);
      EXPECT_FALSE(net->hasChanges());
      EXPECT_GT(handler.reports, 0);  // the handler reaches Crypt
    }

    WifiNetwork* net = freshOffice();
    ASSERT_TRUE(apply("office", {secretKeys[k]}, {valid.c_str()}));
    EXPECT_EQ(show(net->getText(fields[k])), "\"new secret\"");

    ASSERT_TRUE(apply("office", {secretKeys[k]}, {""}));
    EXPECT_EQ(show(net->getText(fields[k])), "<null>");

    net = freshOffice();
    ASSERT_TRUE(apply("office", {secretKeys[k]}, {nullptr}));
    EXPECT_EQ(show(net->getText(fields[k])), "<null>");
  }
}

TEST_F(NetworkParametersTest, EmptyValuesClearTextsButBssidPassesThemOn) {
  WifiNetwork* net = freshOffice();
  ASSERT_TRUE(apply("office", {"bssid", "clientCertificate", "phase1"}, {"", "", nullptr}));
  EXPECT_EQ(show(net->getBssid()), "\"\"");
  EXPECT_EQ(show(net->getClientCertificate()), "<null>");
  EXPECT_EQ(show(net->getPhase1()), "<null>");
  EXPECT_TRUE(net->isBssidChanged());
  EXPECT_TRUE(net->isClientCertificateChanged());

  // A null bssid is passed on as null.
  net = freshOffice();
  ASSERT_TRUE(apply("office", {"bssid", "channel", "ssidBroadcasted"}, {nullptr, nullptr, nullptr}));
  EXPECT_EQ(show(net->getBssid()), "<null>");
  EXPECT_EQ(net->getChannel(), 0);
  EXPECT_FALSE(net->getSsidBroadcasted());
}

TEST_F(NetworkParametersTest, UnknownNetworkIsRefusedAndNothingChanges) {
  WifiNetwork* net = freshOffice();
  std::string before = state(*net);
  EXPECT_FALSE(apply("elsewhere", {"channel"}, {"9"}));
  EXPECT_FALSE(apply(nullptr, {"channel"}, {"9"}));
  EXPECT_FALSE(apply("Office", {"channel"}, {"9"}));
  EXPECT_EQ(state(*net), before);
  EXPECT_FALSE(net->hasChanges());

  // The lock is given back on both ways out.
  EXPECT_TRUE(hostLockFree());
  EXPECT_TRUE(apply("office", {"channel"}, {"9"}));
  EXPECT_TRUE(hostLockFree());

  // An unloaded host has no networks at all.
  script().reset();
  host = WifiHostSettings::recreateInstance(nullptr);
  EXPECT_FALSE(apply("office", {"channel"}, {"9"}));
}

TEST_F(NetworkParametersTest, HostParametersChangeNothing) {
  WifiNetwork* net = freshOffice();
  std::string before = state(*net);
  script().clearCalls();
  const char* keys[] = {"wifiEnabled", nullptr, "other"};
  const char* values[] = {"false", "x", nullptr};
  EXPECT_TRUE(setHostParameters(nullptr, "wlan0", keys, values, 3));
  EXPECT_TRUE(setHostParameters(nullptr, nullptr, nullptr, nullptr, 5));
  EXPECT_EQ(state(*net), before);
  EXPECT_EQ(script().calls(), Calls{});
  EXPECT_TRUE(hostLockFree());
}

}  // namespace
