#include "model/WifiNetwork.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Change = WifiNetwork::Change;

static_assert(WifiNetwork::CHANGE_COUNT == 33, "one change flag per changeable parameter");
static_assert(WifiNetwork::TEXT_FIELD_COUNT == 18, "eighteen text parameters");

// The flags that are set, by index.
std::vector<int> raisedFlags(const WifiNetwork& network) {
  std::vector<int> raised;
  for (int flag = 0; flag < WifiNetwork::CHANGE_COUNT; ++flag) {
    if (network.isChanged(static_cast<Change>(flag))) raised.push_back(flag);
  }
  return raised;
}

struct TextSetter {
  const char* name;
  bool (WifiNetwork::*set)(const char*);
  const char* (WifiNetwork::*get)() const;
  bool (WifiNetwork::*isChanged)() const;
  Change flag;
};

#define TEXT_ROW(Name) \
  {#Name, &WifiNetwork::set##Name, &WifiNetwork::get##Name, &WifiNetwork::is##Name##Changed, WifiNetwork::CHANGED_##Name}
const TextSetter kTextSetters[] = {
    TEXT_ROW(Ssid),                TEXT_ROW(Bssid),
    TEXT_ROW(PreSharedKey),        TEXT_ROW(EapIdentity),
    TEXT_ROW(EapAnonymousIdentity), TEXT_ROW(EapPassword),
    TEXT_ROW(CaCertificateFile),   TEXT_ROW(CaCertificateDir),
    TEXT_ROW(ClientCertificate),   TEXT_ROW(PrivateKeyFile),
    TEXT_ROW(PrivateKeyPassword),  TEXT_ROW(Phase1),
    TEXT_ROW(Phase2),              TEXT_ROW(CaCertificateFile2),
    TEXT_ROW(CaCertificateDir2),   TEXT_ROW(ClientCertificate2),
    TEXT_ROW(PrivateKeyFile2),     TEXT_ROW(PrivateKeyPassword2),
};
#undef TEXT_ROW

TEST(WifiNetworkTest, NewRecordHasDefaultsAndNoChanges) {
  WifiNetwork network;
  EXPECT_EQ(network.getMode(), NETWORK_MODE_UNKNOWN);
  EXPECT_EQ(network.getStatus(), NETWORK_STATUS_UNKNOWN);
  const int64_t numbers[] = {network.getNetworkId(),    network.getPriority(),       network.getStrength(),
                             network.getChannel(),      network.getProtocol(),       network.getKeyManagement(),
                             network.getAuthentication(), network.getGroup(),        network.getPairwise(),
                             network.getEapMethod(),    network.getWepIndex(),       network.getSsidBroadcasted()};
  for (int64_t number : numbers) EXPECT_EQ(number, 0);
  EXPECT_EQ(network.getNext(), nullptr);
  for (const TextSetter& row : kTextSetters) EXPECT_EQ((network.*row.get)(), nullptr) << row.name;
  for (uint32_t index = 0; index < 5; ++index) EXPECT_EQ(network.getWepKey(index), nullptr);
  EXPECT_TRUE(raisedFlags(network).empty());
  EXPECT_FALSE(network.hasChanges());
}

// Every text setter follows the same rule; run the whole rule on each, so a
// setter wired to the wrong field or flag shows up by name.
TEST(WifiNetworkTest, TextSettersFollowTheTextRule) {
  for (const TextSetter& row : kTextSetters) {
    SCOPED_TRACE(row.name);
    WifiNetwork network;
    auto set = [&](const char* value) { return (network.*row.set)(value); };
    auto get = [&] { return (network.*row.get)(); };
    auto flagged = [&] { return (network.*row.isChanged)(); };

    // Null and empty are the same value while nothing is stored.
    EXPECT_FALSE(set(""));
    EXPECT_FALSE(set(nullptr));
    EXPECT_EQ(get(), nullptr);
    EXPECT_FALSE(network.hasChanges());

    // A text is copied, not kept, and raises only its own flag.
    char caller[] = "first";
    EXPECT_TRUE(set(caller));
    ASSERT_NE(get(), nullptr);
    EXPECT_NE(get(), caller);
    caller[0] = 'X';
    EXPECT_STREQ(get(), "first");
    EXPECT_TRUE(flagged());
    EXPECT_EQ(raisedFlags(network), std::vector<int>{row.flag});

    // Equal text from another buffer, and the stored pointer itself: no change.
    network.clearChanges();
    std::string same = "first";
    EXPECT_FALSE(set(same.c_str()));
    EXPECT_FALSE(set(get()));
    EXPECT_STREQ(get(), "first");
    EXPECT_FALSE(flagged());

    // Once the flag is up it stays up through an unchanged set.
    EXPECT_TRUE(set("second"));
    EXPECT_FALSE(set("second"));
    EXPECT_TRUE(flagged());

    // An empty text replacing a non-empty one is stored and is a change...
    network.clearChanges();
    EXPECT_TRUE(set(""));
    ASSERT_NE(get(), nullptr);
    EXPECT_STREQ(get(), "");
    EXPECT_TRUE(flagged());
    // ...and then neither null nor another empty text changes it.
    network.clearChanges();
    EXPECT_FALSE(set(nullptr));
    EXPECT_FALSE(set(""));
    ASSERT_NE(get(), nullptr);
    EXPECT_STREQ(get(), "");
    EXPECT_FALSE(flagged());

    // Null replacing a non-empty text clears it.
    EXPECT_TRUE(set("third"));
    network.clearChanges();
    EXPECT_TRUE(set(nullptr));
    EXPECT_EQ(get(), nullptr);
    EXPECT_TRUE(flagged());
  }
}

struct ValueSetter {
  const char* name;
  std::function<bool(WifiNetwork&, int64_t)> set;
  std::function<int64_t(const WifiNetwork&)> get;
  Change flag;
  int64_t initial;
  int64_t other;
};

#define VALUE_ROW(Name, Type, initial, other)                                                  \
  {#Name, [](WifiNetwork& n, int64_t v) { return n.set##Name(static_cast<Type>(v)); },          \
   [](const WifiNetwork& n) { return static_cast<int64_t>(n.get##Name()); },                    \
   WifiNetwork::CHANGED_##Name, initial, other}
const ValueSetter kValueSetters[] = {
    VALUE_ROW(Mode, uint8_t, NETWORK_MODE_UNKNOWN, NETWORK_MODE_ADHOC),
    VALUE_ROW(Priority, int32_t, 0, -1),
    VALUE_ROW(Channel, int32_t, 0, 11),
    VALUE_ROW(Protocol, uint32_t, 0, 3),
    VALUE_ROW(KeyManagement, uint32_t, 0, 6),
    VALUE_ROW(Authentication, uint32_t, 0, 4),
    VALUE_ROW(Group, uint32_t, 0, 30),
    VALUE_ROW(Pairwise, uint32_t, 0, 6),
    VALUE_ROW(EapMethod, uint32_t, 0, 1024),
    VALUE_ROW(WepIndex, uint32_t, 0, 3),
};
#undef VALUE_ROW

TEST(WifiNetworkTest, ComparedValueSettersChangeOnlyOnADifferentValue) {
  for (const ValueSetter& row : kValueSetters) {
    SCOPED_TRACE(row.name);
    WifiNetwork network;
    EXPECT_EQ(row.get(network), row.initial);
    EXPECT_FALSE(row.set(network, row.initial));
    EXPECT_FALSE(network.hasChanges());

    EXPECT_TRUE(row.set(network, row.other));
    EXPECT_EQ(row.get(network), row.other);
    EXPECT_EQ(raisedFlags(network), std::vector<int>{row.flag});

    EXPECT_FALSE(row.set(network, row.other));
    EXPECT_TRUE(network.isChanged(row.flag));
  }
}

TEST(WifiNetworkTest, WepIndexAboveThreeIsRefused) {
  WifiNetwork network;
  EXPECT_TRUE(network.setWepIndex(3));
  EXPECT_FALSE(network.setWepIndex(3));
  network.clearChanges();
  EXPECT_FALSE(network.setWepIndex(7));
  EXPECT_FALSE(network.setWepIndex(4));
  EXPECT_EQ(network.getWepIndex(), 3u);
  EXPECT_FALSE(network.isWepIndexChanged());
}

TEST(WifiNetworkTest, SsidBroadcastedAlwaysRaisesItsFlag) {
  WifiNetwork network;
  EXPECT_TRUE(network.setSsidBroadcasted(false));
  EXPECT_FALSE(network.getSsidBroadcasted());
  EXPECT_EQ(raisedFlags(network), std::vector<int>{WifiNetwork::CHANGED_SsidBroadcasted});
  network.clearChanges();
  EXPECT_TRUE(network.setSsidBroadcasted(true));
  EXPECT_TRUE(network.getSsidBroadcasted());
  EXPECT_TRUE(network.isSsidBroadcastedChanged());
}

TEST(WifiNetworkTest, UnflaggedSettersStoreWithoutChanges) {
  WifiNetwork network;
  WifiNetwork other;
  EXPECT_TRUE(network.setStatus(NETWORK_STATUS_CONNECTED));
  EXPECT_TRUE(network.setStatus(NETWORK_STATUS_CONNECTED));
  EXPECT_TRUE(network.setStrength(57));
  EXPECT_TRUE(network.setNetworkId(200));
  EXPECT_TRUE(network.setNext(&other));
  EXPECT_EQ(network.getStatus(), NETWORK_STATUS_CONNECTED);
  EXPECT_EQ(network.getStrength(), 57);
  EXPECT_EQ(network.getNetworkId(), 200);
  EXPECT_EQ(network.getNext(), &other);
  EXPECT_FALSE(network.hasChanges());
}

TEST(WifiNetworkTest, WepKeysFollowTheWepKeyRule) {
  WifiNetwork network;
  EXPECT_FALSE(network.setWepKey(4, "key"));
  EXPECT_EQ(network.getWepKey(4), nullptr);
  EXPECT_FALSE(network.hasChanges());

  for (uint32_t index = 0; index < 4; ++index) {
    SCOPED_TRACE(index);
    const Change flag = static_cast<Change>(WifiNetwork::CHANGED_WepKey0 + index);
    network.clearChanges();

    // An empty or null key on an empty slot: true, but nothing changes.
    EXPECT_TRUE(network.setWepKey(index, ""));
    EXPECT_TRUE(network.setWepKey(index, nullptr));
    EXPECT_EQ(network.getWepKey(index), nullptr);
    EXPECT_FALSE(network.hasChanges());

    // The same key twice: true both times, the flag raised by the first only.
    char caller[] = "0123456789";
    EXPECT_TRUE(network.setWepKey(index, caller));
    EXPECT_NE(network.getWepKey(index), caller);
    EXPECT_STREQ(network.getWepKey(index), "0123456789");
    EXPECT_EQ(raisedFlags(network), std::vector<int>{flag});
    network.clearChanges();
    EXPECT_TRUE(network.setWepKey(index, "0123456789"));
    EXPECT_TRUE(network.setWepKey(index, network.getWepKey(index)));
    EXPECT_FALSE(network.isWepKeyChanged(static_cast<uint8_t>(index)));

    // An empty key clears a stored one (unlike the text rule) and flags it.
    EXPECT_TRUE(network.setWepKey(index, ""));
    EXPECT_EQ(network.getWepKey(index), nullptr);
    EXPECT_TRUE(network.isWepKeyChanged(static_cast<uint8_t>(index)));

    // So does null.
    EXPECT_TRUE(network.setWepKey(index, "abc"));
    network.clearChanges();
    EXPECT_TRUE(network.setWepKey(index, nullptr));
    EXPECT_EQ(network.getWepKey(index), nullptr);
    EXPECT_EQ(raisedFlags(network), std::vector<int>{flag});

    // Left stored for the next rounds: the keys stay independent.
    EXPECT_TRUE(network.setWepKey(index, "kept"));
  }
  for (uint32_t index = 0; index < 4; ++index) EXPECT_STREQ(network.getWepKey(index), "kept");
}

TEST(WifiNetworkTest, WepKeyFlagAccessorsRefuseIndexesAboveThree) {
  WifiNetwork network;
  EXPECT_FALSE(network.setWepKeyChanged(true, 5));
  EXPECT_FALSE(network.isWepKeyChanged(5));
  EXPECT_FALSE(network.hasChanges());
  EXPECT_TRUE(network.setWepKeyChanged(true, 2));
  EXPECT_TRUE(network.isWepKeyChanged(2));
  EXPECT_EQ(raisedFlags(network), std::vector<int>{WifiNetwork::CHANGED_WepKey2});
  EXPECT_TRUE(network.setWepKeyChanged(false, 2));
  EXPECT_FALSE(network.hasChanges());
}

// hasChanges must see every one of the 33 flags, clearChanges must drop each.
TEST(WifiNetworkTest, EveryFlagCountsAsAChange) {
  for (int flag = 0; flag < WifiNetwork::CHANGE_COUNT; ++flag) {
    SCOPED_TRACE(flag);
    WifiNetwork network;
    network.setChanged(static_cast<Change>(flag), true);
    EXPECT_TRUE(network.hasChanges());
    network.clearChanges();
    EXPECT_FALSE(network.hasChanges());
    EXPECT_FALSE(network.isChanged(static_cast<Change>(flag)));
  }
}

}  // namespace
