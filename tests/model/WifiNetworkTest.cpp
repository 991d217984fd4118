#include "model/WifiNetwork.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Flags = std::vector<int>;

// The flags that are set, by index.
Flags raisedFlags(const WifiNetwork& network) {
  Flags raised;
  for (int flag = 0; flag < WifiNetwork::CHANGE_COUNT; ++flag) {
    if (network.isChanged(static_cast<WifiNetwork::Change>(flag))) raised.push_back(flag);
  }
  return raised;
}

TEST(WifiNetworkTest, TextsFollowTheTextRule) {
  WifiNetwork network;
  // Null and empty are the same value while nothing is stored.
  EXPECT_FALSE(network.setPhase1("") || network.setPhase1(nullptr));
  EXPECT_EQ(network.getPhase1(), nullptr);
  // A text is copied, not kept.
  char caller[] = "first";
  EXPECT_TRUE(network.setPhase1(caller));
  caller[0] = 'X';
  EXPECT_STREQ(network.getPhase1(), "first");
  EXPECT_EQ(raisedFlags(network), Flags{WifiNetwork::CHANGED_Phase1});
  // Equal text from another buffer, and the stored pointer itself: no change.
  network.clearChanges();
  EXPECT_FALSE(network.setPhase1(std::string("first").c_str()) || network.setPhase1(network.getPhase1()));
  EXPECT_FALSE(network.hasChanges());
  // An empty text replacing a non-empty one is stored and is a change; then
  // neither null nor another empty text changes it.
  EXPECT_TRUE(network.setPhase1(""));
  EXPECT_FALSE(network.setPhase1(nullptr) || network.setPhase1(""));
  EXPECT_STREQ(network.getPhase1(), "");
  // Null replacing a non-empty text clears it.
  network.clearChanges();
  EXPECT_TRUE(network.setPhase1("third") && network.setPhase1(nullptr));
  EXPECT_EQ(network.getPhase1(), nullptr);
}

TEST(WifiNetworkTest, NumbersAndTheirFlags) {
  WifiNetwork network;
  EXPECT_FALSE(network.setMode(NETWORK_MODE_UNKNOWN));  // the default
  EXPECT_FALSE(network.hasChanges());
  EXPECT_TRUE(network.setPriority(-1) && !network.setPriority(-1));
  EXPECT_EQ(raisedFlags(network), Flags{WifiNetwork::CHANGED_Priority});

  // A WEP index above 3 is refused and stores nothing.
  network.clearChanges();
  EXPECT_TRUE(network.setWepIndex(3) && !network.setWepIndex(4));
  EXPECT_EQ(network.getWepIndex(), 3u);
  EXPECT_EQ(raisedFlags(network), Flags{WifiNetwork::CHANGED_WepIndex});

  // ssidBroadcasted raises its flag even for the value it holds.
  network.clearChanges();
  EXPECT_TRUE(network.setSsidBroadcasted(false));
  EXPECT_EQ(raisedFlags(network), Flags{WifiNetwork::CHANGED_SsidBroadcasted});

  // Status and identifier have no flag.
  network.clearChanges();
  EXPECT_TRUE(network.setStatus(NETWORK_STATUS_CONNECTED) && network.setNetworkId(200));
  EXPECT_FALSE(network.hasChanges());

  // hasChanges sees every one of the 33 flags.
  for (int flag = 0; flag < WifiNetwork::CHANGE_COUNT; ++flag, network.clearChanges()) {
    EXPECT_TRUE(network.setChanged(static_cast<WifiNetwork::Change>(flag), true) && network.hasChanges()) << flag;
  }
}

TEST(WifiNetworkTest, WepKeysFollowTheWepKeyRule) {
  WifiNetwork network;
  EXPECT_FALSE(network.setWepKey(4, "key") || network.setWepKeyChanged(true, 4));
  // An empty key on an empty slot: true, but nothing changes.
  EXPECT_TRUE(network.setWepKey(2, ""));
  EXPECT_FALSE(network.hasChanges());
  // The same key again: true, but only the first raised the flag.
  EXPECT_TRUE(network.setWepKey(2, "abc"));
  EXPECT_EQ(raisedFlags(network), Flags{WifiNetwork::CHANGED_WepKey2});
  network.clearChanges();
  EXPECT_TRUE(network.setWepKey(2, std::string("abc").c_str()));
  EXPECT_FALSE(network.hasChanges());
  // An empty key clears a stored one, unlike the text rule; so does null.
  EXPECT_TRUE(network.setWepKey(2, ""));
  EXPECT_EQ(network.getWepKey(2), nullptr);
  EXPECT_EQ(raisedFlags(network), Flags{WifiNetwork::CHANGED_WepKey2});
  EXPECT_TRUE(network.setWepKey(2, "abc"));
  network.clearChanges();
  EXPECT_TRUE(network.setWepKey(2, nullptr));
  EXPECT_EQ(network.getWepKey(2), nullptr);
  EXPECT_TRUE(network.isWepKeyChanged(2));

  // Each key has a slot and a flag of its own.
  for (uint32_t index = 0; index < 4; ++index) EXPECT_TRUE(network.setWepKey(index, std::to_string(index).c_str()));
  EXPECT_EQ(raisedFlags(network), (Flags{WifiNetwork::CHANGED_WepKey0, WifiNetwork::CHANGED_WepKey1,
                                         WifiNetwork::CHANGED_WepKey2, WifiNetwork::CHANGED_WepKey3}));
  EXPECT_STREQ(network.getWepKey(3), "3");
}

}  // namespace
