#include "core/WifiNetworkDatabase.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "model/WifiNetwork.h"

namespace {

WifiNetwork* record(const char* ssid) {
  auto* network = new WifiNetwork();
  network->setSsid(ssid);
  return network;
}

// The SSIDs from first() to the end ("-" for none), the count and the mark.
std::string walk(WifiNetworkDatabase& database) {
  std::string seen;
  for (WifiNetwork* n = database.first(); n != nullptr; n = n->getNext()) seen += n->getSsid() ? n->getSsid() : "-";
  return seen + " " + std::to_string(database.count()) + (database.isUnchanged() ? " unchanged" : " changed");
}

TEST(WifiNetworkDatabaseTest, NewestFirstUniqueSsidsAndTheChangedMark) {
  WifiNetworkDatabase database;
  EXPECT_EQ(walk(database), " 0 unchanged");
  EXPECT_FALSE(database.add(nullptr));
  for (const char* ssid : {"a", "b", "c", "d"}) EXPECT_TRUE(database.add(record(ssid)));
  EXPECT_EQ(walk(database), "dcba 4 changed");
  EXPECT_TRUE(database.contains("b"));
  for (const char* absent : {"B", "bb", "", static_cast<const char*>(nullptr)}) EXPECT_FALSE(database.contains(absent));

  // A second "b" is refused and stays the caller's; nothing is marked.
  database.markUnchanged();
  std::unique_ptr<WifiNetwork> duplicate(record("b"));
  EXPECT_FALSE(database.add(duplicate.get()));
  EXPECT_EQ(walk(database), "dcba 4 unchanged");

  // Middle, head, tail; an absent SSID is still true and marks; empty and
  // null are refused without a mark.
  const std::pair<const char*, const char*> steps[] = {{"b", "dca 3 changed"}, {"d", "ca 2 changed"},
                                                       {"a", "c 1 changed"},   {"zz", "c 1 changed"},
                                                       {"", "c 1 unchanged"},  {nullptr, "c 1 unchanged"}};
  for (const auto& [ssid, after] : steps) {
    database.markUnchanged();
    EXPECT_EQ(database.remove(ssid), ssid != nullptr && *ssid != '\0');
    EXPECT_EQ(walk(database), after);
  }

  // Records without an SSID are added every time.
  EXPECT_TRUE(database.add(record(nullptr)) && database.add(record("")));
  database.markUnchanged();
  EXPECT_EQ(walk(database), "--c 3 unchanged");
  EXPECT_TRUE(database.clear());
  EXPECT_EQ(walk(database), " 0 changed");
}

}  // namespace
