#include "core/WifiNetworkDatabase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "model/WifiNetwork.h"

namespace {

WifiNetwork* record(const char* ssid) {
  auto* network = new WifiNetwork();
  network->setSsid(ssid);
  return network;
}

// The SSIDs from first() to the end, "<null>" for a record without one.
std::vector<std::string> walk(WifiNetworkDatabase& database) {
  std::vector<std::string> ssids;
  database.lock();
  for (WifiNetwork* n = database.first(); n != nullptr; n = n->getNext()) {
    ssids.push_back(n->getSsid() != nullptr ? n->getSsid() : "<null>");
  }
  database.unlock();
  return ssids;
}

using Names = std::vector<std::string>;

TEST(WifiNetworkDatabaseTest, EmptyDatabase) {
  WifiNetworkDatabase database;
  EXPECT_EQ(database.count(), 0u);
  EXPECT_EQ(database.first(), nullptr);
  EXPECT_TRUE(database.isUnchanged());
  EXPECT_FALSE(database.contains("office"));
  EXPECT_TRUE(database.clear());
  EXPECT_FALSE(database.isUnchanged());
  EXPECT_FALSE(database.add(nullptr));
}

TEST(WifiNetworkDatabaseTest, AddPutsTheNewestFirstAndKeepsSsidsUnique) {
  WifiNetworkDatabase database;
  for (const char* ssid : {"a", "b", "c"}) EXPECT_TRUE(database.add(record(ssid)));
  EXPECT_EQ(walk(database), (Names{"c", "b", "a"}));
  EXPECT_EQ(database.count(), 3u);
  EXPECT_FALSE(database.isUnchanged());
  EXPECT_TRUE(database.contains("b"));
  EXPECT_FALSE(database.contains("B"));
  EXPECT_FALSE(database.contains("bb"));
  EXPECT_FALSE(database.contains(""));
  EXPECT_FALSE(database.contains(nullptr));

  // A second "b" is refused and stays the caller's; nothing is marked.
  database.markUnchanged();
  WifiNetwork* duplicate = record("b");
  EXPECT_FALSE(database.add(duplicate));
  EXPECT_EQ(duplicate->getNext(), nullptr);
  delete duplicate;
  EXPECT_EQ(walk(database), (Names{"c", "b", "a"}));
  EXPECT_TRUE(database.isUnchanged());
}

TEST(WifiNetworkDatabaseTest, RecordsWithoutSsidAreAddedEveryTime) {
  WifiNetworkDatabase database;
  EXPECT_TRUE(database.add(record(nullptr)));
  EXPECT_TRUE(database.add(record("")));
  EXPECT_EQ(database.count(), 2u);
  EXPECT_EQ(walk(database), (Names{"<null>", "<null>"}));
}

TEST(WifiNetworkDatabaseTest, RemoveUnlinksTheRecordAndMarksTheDatabase) {
  WifiNetworkDatabase database;
  for (const char* ssid : {"a", "b", "c", "d"}) database.add(record(ssid));

  struct Step {
    const char* ssid;
    bool result;
    bool marks;
    Names after;
  };
  const Step steps[] = {
      {"b", true, true, {"d", "c", "a"}},   // middle
      {"d", true, true, {"c", "a"}},        // head
      {"a", true, true, {"c"}},             // tail
      {"zz", true, true, {"c"}},            // absent: still true and marked
      {"", false, false, {"c"}},            // empty: refused
      {nullptr, false, false, {"c"}},       // null: refused
      {"c", true, true, {}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.ssid != nullptr ? step.ssid : "null");
    database.markUnchanged();
    EXPECT_EQ(database.remove(step.ssid), step.result);
    EXPECT_EQ(database.isUnchanged(), !step.marks);
    EXPECT_EQ(walk(database), step.after);
    EXPECT_EQ(database.count(), step.after.size());
  }
  EXPECT_EQ(database.first(), nullptr);
}

TEST(WifiNetworkDatabaseTest, ClearDeletesEveryRecord) {
  WifiNetworkDatabase database;
  for (const char* ssid : {"a", "b", "c"}) database.add(record(ssid));
  database.markUnchanged();
  EXPECT_TRUE(database.clear());
  EXPECT_EQ(database.first(), nullptr);
  EXPECT_EQ(database.count(), 0u);
  EXPECT_FALSE(database.isUnchanged());
  // The list is usable again, and the destructor frees what is left.
  EXPECT_TRUE(database.add(record("a")));
  EXPECT_TRUE(database.add(record("b")));
}

// The owner may take the lock twice and run the database's own operations
// inside; another thread gets the lock only after both unlocks.
TEST(WifiNetworkDatabaseTest, MutexIsReentrantAndExcludesOtherThreads) {
  WifiNetworkDatabase database;
  database.lock();
  database.lock();
  EXPECT_TRUE(database.add(record("a")));  // takes the mutex a third time
  EXPECT_EQ(database.count(), 1u);

  std::atomic<bool> acquired{false};
  std::thread other([&] {
    database.lock();
    acquired = true;
    database.add(record("b"));
    database.unlock();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(acquired);
  database.unlock();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(acquired) << "released after one unlock of two";
  database.unlock();
  other.join();
  EXPECT_TRUE(acquired);
  EXPECT_EQ(walk(database), (Names{"b", "a"}));
}

}  // namespace
