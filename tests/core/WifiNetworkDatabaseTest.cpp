#include "core/WifiNetworkDatabase.h"

#include "model/WifiNetwork.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>


namespace {

using Names = std::vector<std::string>;

WifiNetwork* record(const char* ssid) {
  auto* network = new WifiNetwork();
  network->setSsid(ssid);
  return network;
}

// The SSIDs from first() to the end.
Names walk(const WifiNetworkDatabase& database) {
  Names ssids;
  for (WifiNetwork* n = database.first(); n != nullptr; n = n->getNext()) ssids.push_back(n->getSsid());
  return ssids;
}

TEST(WifiNetworkDatabaseTest, NewestFirstUniqueSsidsAndTheChangedMark) {
  WifiNetworkDatabase database;
  EXPECT_TRUE(database.isUnchanged());
  EXPECT_FALSE(database.add(nullptr));
  for (const char* ssid : {"a", "b", "c", "d"}) EXPECT_TRUE(database.add(record(ssid)));
  EXPECT_EQ(walk(database), (Names{"d", "c", "b", "a"}));
  EXPECT_FALSE(database.isUnchanged());
  EXPECT_TRUE(database.contains("b"));
  for (const char* absent : {"B", "bb", "", static_cast<const char*>(nullptr)}) EXPECT_FALSE(database.contains(absent));

  // A second "b" is refused and stays the caller's; nothing is marked.
  database.markUnchanged();
  std::unique_ptr<WifiNetwork> duplicate(record("b"));
  EXPECT_FALSE(database.add(duplicate.get()));
  EXPECT_TRUE(database.isUnchanged());

  // Middle, head, tail; an absent SSID is still true and marks; empty and
  // null are refused without a mark.
  const std::pair<const char*, Names> steps[] = {{"b", {"d", "c", "a"}}, {"d", {"c", "a"}}, {"a", {"c"}},
                                                 {"zz", {"c"}},          {"", {"c"}},       {nullptr, {"c"}}};
  for (const auto& [ssid, after] : steps) {
    database.markUnchanged();
    const bool refused = ssid == nullptr || *ssid == '\0';
    EXPECT_EQ(database.remove(ssid), !refused);
    EXPECT_EQ(database.isUnchanged(), refused);
    EXPECT_EQ(walk(database), after);
    EXPECT_EQ(database.count(), after.size());
  }

  // Records without an SSID are added every time.
  EXPECT_TRUE(database.add(record(nullptr)) && database.add(record("")));
  EXPECT_EQ(database.count(), 3u);
  database.markUnchanged();
  EXPECT_TRUE(database.clear());
  EXPECT_EQ(database.first(), nullptr);
  EXPECT_FALSE(database.isUnchanged());
}

}  // namespace
