#include "platform/ErrorHandler.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Records every bundle it is handed and keeps it as the saved error, the
// way a handler that raises nothing would.
class RecordingHandler : public virtual ErrorHandler {
 public:
  void throwError(MessageBundle* bundle) override {
    const char* text = bundle != nullptr ? bundle->text() : nullptr;
    received.push_back(text != nullptr ? text : "<null>");
    saveError(bundle);
  }
  using ErrorHandler::saveError;

  std::vector<std::string> received;
};

// Never saves; error() must still reach it.
class ForgettingHandler : public virtual ErrorHandler {
 public:
  void throwError(MessageBundle*) override { ++calls; }
  int calls = 0;
};

TEST(MessageBundleTest, KeepsItsOwnCopyOfTheText) {
  char source[] = "disk full";
  MessageBundle bundle(source);
  source[0] = 'X';
  EXPECT_STREQ(bundle.text(), "disk full");
  EXPECT_NE(bundle.text(), source);

  MessageBundle empty("");
  EXPECT_STREQ(empty.text(), "");

  MessageBundle none(nullptr);
  ASSERT_NE(none.text(), nullptr);
  EXPECT_STREQ(none.text(), "");
}

TEST(ErrorHandlerTest, ErrorReachesThrowErrorAndSavedTextFollowsTheLastReport) {
  RecordingHandler handler;
  EXPECT_EQ(handler.savedError(), nullptr);

  handler.error("first");
  handler.error("second");
  ASSERT_EQ(handler.received.size(), 2u);
  EXPECT_EQ(handler.received[0], "first");
  EXPECT_EQ(handler.received[1], "second");
  ASSERT_NE(handler.savedError(), nullptr);
  EXPECT_STREQ(handler.savedError(), "second");

  // The saved text outlives the bundle it came from.
  {
    MessageBundle bundle("from a bundle");
    handler.saveError(&bundle);
  }
  EXPECT_STREQ(handler.savedError(), "from a bundle");

  handler.clearError();
  EXPECT_EQ(handler.savedError(), nullptr);
  handler.clearError();
  EXPECT_EQ(handler.savedError(), nullptr);

  // A report without text still counts as a saved error.
  handler.error(nullptr);
  ASSERT_EQ(handler.received.size(), 3u);
  EXPECT_EQ(handler.received[2], "");
  ASSERT_NE(handler.savedError(), nullptr);
  EXPECT_STREQ(handler.savedError(), "");

  handler.error("again");
  handler.saveError(nullptr);
  ASSERT_NE(handler.savedError(), nullptr);
  EXPECT_STREQ(handler.savedError(), "");
}

TEST(ErrorHandlerTest, HandlersSaveNothingUnlessTheyChooseToAndDieCleanly) {
  ForgettingHandler forgetting;
  forgetting.error("lost");
  forgetting.error(nullptr);
  EXPECT_EQ(forgetting.calls, 2);
  EXPECT_EQ(forgetting.savedError(), nullptr);

  // Deleted through the base with an error still saved (the sanitizer
  // build catches a leak or a double release here).
  std::unique_ptr<ErrorHandler> owned(new RecordingHandler);
  owned->error("still saved at destruction");
  EXPECT_STREQ(owned->savedError(), "still saved at destruction");
  owned.reset();
}

}  // namespace
