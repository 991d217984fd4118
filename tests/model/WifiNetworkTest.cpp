#include "model/WifiNetwork.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using Flags = std::vector<int>;
using N = WifiNetwork;

std::string show(const char* text) { return text == nullptr ? "<null>" : "\"" + std::string(text) + "\""; }

// The text rule: null and "" are the same while nothing is stored, copies
// are kept, an empty text replacing a non-empty one is a change. WEP keys:
// "" clears, the setter is true for any index below 4 even without a change.
TEST(WifiNetworkTest, SettersFollowTheirRulesAndRaiseOnlyTheirFlag) {
  N n;
  int step = 0;
  // A step's result and the flags it raised, then phase 1 and WEP key 2 as
  // stored; the flags are cleared for the next step.
  auto expect = [&](bool result, bool expected, const Flags& flags, const std::string& stored) {
    Flags raised;
    for (int flag = 0; flag < N::CHANGE_COUNT; ++flag) if (n.isChanged(N::Change(flag))) raised.push_back(flag);
    EXPECT_EQ(std::make_tuple(result, raised, n.hasChanges(), show(n.getPhase1()) + " " + show(n.getWepKey(2))),
              std::make_tuple(expected, flags, !flags.empty(), stored))
        << "step " << ++step;
    n.clearChanges();
  };
  char caller[] = "first";
  expect(n.setPhase1("") || n.setPhase1(nullptr) || n.setMode(NETWORK_MODE_UNKNOWN), false, {}, "<null> <null>");
  expect(n.setPhase1(caller), true, {N::CHANGED_Phase1}, "\"first\" <null>");
  caller[0] = 'X';
  expect(n.setPhase1(std::string("first").c_str()) || n.setPhase1(n.getPhase1()), false, {}, "\"first\" <null>");
  expect(n.setPhase1(""), true, {N::CHANGED_Phase1}, "\"\" <null>");
  expect(n.setPhase1(nullptr) || n.setPhase1(""), false, {}, "\"\" <null>");
  expect(n.setPhase1("third") && n.setPhase1(nullptr), true, {N::CHANGED_Phase1}, "<null> <null>");
  expect(n.setWepKey(4, "key") || n.setWepKeyChanged(true, 4) || n.setWepIndex(4), false, {}, "<null> <null>");
  expect(n.setWepKey(2, ""), true, {}, "<null> <null>");
  expect(n.setWepKey(2, "abc"), true, {N::CHANGED_WepKey2}, "<null> \"abc\"");
  expect(n.setWepKey(2, std::string("abc").c_str()), true, {}, "<null> \"abc\"");
  expect(n.setWepKey(2, ""), true, {N::CHANGED_WepKey2}, "<null> <null>");
  expect(n.setWepKey(2, "abc") && n.setWepKey(2, nullptr), true, {N::CHANGED_WepKey2}, "<null> <null>");
  // A number is a change when it differs; the broadcast flag is raised even
  // for the value it holds; status and network id have no flags of their own.
  expect(n.setPriority(-1) && !n.setPriority(-1) && n.setWepIndex(3) && !n.setWepIndex(3) && n.getWepIndex() == 3 &&
             n.setSsidBroadcasted(false) && n.setStatus(NETWORK_STATUS_CONNECTED) && n.setNetworkId(200),
         true, {N::CHANGED_Priority, N::CHANGED_SsidBroadcasted, N::CHANGED_WepIndex}, "<null> <null>");
  for (uint32_t i = 0; i < 4; ++i) n.setWepKey(i, std::to_string(i).c_str());
  expect(std::string(n.getWepKey(3)) == "3", true,
         {N::CHANGED_WepKey0, N::CHANGED_WepKey1, N::CHANGED_WepKey2, N::CHANGED_WepKey3}, "<null> \"2\"");
  for (int flag = 0; flag < N::CHANGE_COUNT; ++flag)
    expect(n.setChanged(N::Change(flag), true), true, {flag}, "<null> \"2\"");
}

}  // namespace
