#include "platform/ErrorHandler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records every report and keeps it as the saved error, the way a handler
// that raises nothing would.
class RecordingHandler : public virtual ErrorHandler {
 public:
  void throwError(MessageBundle* bundle) override {
    received.push_back(bundle->text());
    saveError(bundle);
  }
  std::vector<std::string> received;
};

TEST(ErrorHandlerTest, ReportsReachThrowErrorAndTheSavedTextIsAPrivateCopy) {
  char source[] = "disk full";
  MessageBundle bundle(source);
  source[0] = 'X';
  EXPECT_STREQ(bundle.text(), "disk full");
  EXPECT_STREQ(MessageBundle(nullptr).text(), "") << "no text reads as empty, never null";

  RecordingHandler handler;
  EXPECT_EQ(handler.savedError(), nullptr);
  std::string message = "first";
  handler.error(message.c_str());
  message[0] = 'X';
  EXPECT_STREQ(handler.savedError(), "first");
  handler.error(nullptr);
  handler.error("last");
  EXPECT_EQ(handler.received, (std::vector<std::string>{"first", "", "last"}));
  EXPECT_STREQ(handler.savedError(), "last");
  handler.clearError();
  EXPECT_EQ(handler.savedError(), nullptr);
  // Saved at destruction: the sanitizer build catches a leak or a double
  // release here.
  handler.error("still saved");
}

}  // namespace
