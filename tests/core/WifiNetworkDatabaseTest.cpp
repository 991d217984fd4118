#include "core/WifiNetworkDatabase.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

#include "model/WifiNetwork.h"

namespace {

// Each step after markUnchanged: add a record with this SSID (+), remove
// (-), contains (?) or clear (c); its result, then the SSIDs from first() to
// the end ("-" for none), the count, and "!" when the step marked a change.
TEST(WifiNetworkDatabaseTest, NewestFirstUniqueSsidsAndTheChangedMark) {
  const std::tuple<char, const char*, bool, const char*> steps[] = {
      {'?', "a", false, " 0"},          {'+', "a", true, "a 1!"},         {'+', "b", true, "ba 2!"},
      {'+', "c", true, "cba 3!"},       {'+', "d", true, "dcba 4!"},      {'?', "b", true, "dcba 4"},
      {'?', "B", false, "dcba 4"},      {'?', "bb", false, "dcba 4"},     {'?', "", false, "dcba 4"},
      {'?', nullptr, false, "dcba 4"},  {'+', "b", false, "dcba 4"},  // a second "b" stays the caller's
      // Middle, head, tail; an absent SSID is still true and marks; empty
      // and null are refused without a mark.
      {'-', "b", true, "dca 3!"},       {'-', "d", true, "ca 2!"},        {'-', "a", true, "c 1!"},
      {'-', "zz", true, "c 1!"},        {'-', "", false, "c 1"},          {'-', nullptr, false, "c 1"},
      // Records without an SSID are added every time.
      {'+', nullptr, true, "-c 2!"},    {'+', "", true, "--c 3!"},        {'c', nullptr, true, " 0!"},
  };
  WifiNetworkDatabase database;
  EXPECT_FALSE(database.add(nullptr));
  for (const auto& [operation, ssid, result, after] : steps) {
    database.markUnchanged();
    auto record = std::make_unique<WifiNetwork>();
    record->setSsid(ssid);
    const bool done = operation == '+' ? database.add(record.get()) : operation == '-' ? database.remove(ssid)
                      : operation == '?' ? database.contains(ssid) : database.clear();
    if (done && operation == '+') record.release();
    std::string seen = std::to_string(done) + " ";
    for (WifiNetwork* n = database.first(); n != nullptr; n = n->getNext()) seen += n->getSsid() ? n->getSsid() : "-";
    EXPECT_EQ(seen + " " + std::to_string(database.count()) + (database.isUnchanged() ? "" : "!"),
              std::to_string(result) + " " + after);
  }
}

}  // namespace
