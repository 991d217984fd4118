#include "core/WifiNetworkDatabase.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

#include "model/WifiNetwork.h"

namespace {

// Each step after markUnchanged: add a record with this SSID (+), remove
// (-), contains (?) or clear (c); its result, then the SSIDs from first() to
// the end ("-" for none), the count and the mark.
TEST(WifiNetworkDatabaseTest, NewestFirstUniqueSsidsAndTheChangedMark) {
  const std::tuple<char, const char*, bool, const char*> steps[] = {
      {'?', "a", false, " 0 unchanged"},    {'+', "a", true, "a 1 changed"},      {'+', "b", true, "ba 2 changed"},
      {'+', "c", true, "cba 3 changed"},    {'+', "d", true, "dcba 4 changed"},   {'?', "b", true, "dcba 4 unchanged"},
      {'?', "B", false, "dcba 4 unchanged"}, {'?', "bb", false, "dcba 4 unchanged"}, {'?', "", false, "dcba 4 unchanged"},
      {'?', nullptr, false, "dcba 4 unchanged"},
      // A second "b" is refused and stays the caller's.
      {'+', "b", false, "dcba 4 unchanged"},
      // Middle, head, tail; an absent SSID is still true and marks; empty
      // and null are refused without a mark.
      {'-', "b", true, "dca 3 changed"},    {'-', "d", true, "ca 2 changed"},     {'-', "a", true, "c 1 changed"},
      {'-', "zz", true, "c 1 changed"},     {'-', "", false, "c 1 unchanged"},    {'-', nullptr, false, "c 1 unchanged"},
      // Records without an SSID are added every time.
      {'+', nullptr, true, "-c 2 changed"}, {'+', "", true, "--c 3 changed"},    {'c', nullptr, true, " 0 changed"},
  };
  WifiNetworkDatabase database;
  EXPECT_FALSE(database.add(nullptr));
  for (const auto& [operation, ssid, result, after] : steps) {
    database.markUnchanged();
    auto record = std::make_unique<WifiNetwork>();
    record->setSsid(ssid);
    bool done = operation == '+'   ? database.add(record.get())
                : operation == '-' ? database.remove(ssid)
                : operation == '?' ? database.contains(ssid)
                                   : database.clear();
    if (done && operation == '+') record.release();
    std::string seen = std::to_string(done) + " ";
    for (WifiNetwork* n = database.first(); n != nullptr; n = n->getNext()) seen += n->getSsid() ? n->getSsid() : "-";
    EXPECT_EQ(seen + " " + std::to_string(database.count()) + (database.isUnchanged() ? " unchanged" : " changed"),
              std::to_string(result) + " " + after);
  }
}

}  // namespace
