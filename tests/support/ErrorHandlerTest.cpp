#include "platform/ErrorHandler.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Keeps every report as the saved error, the way a handler that raises
// nothing would, and records what reached it.
struct RecordingHandler : public virtual ErrorHandler {
  void throwError(MessageBundle* bundle) override {
    received += std::string(bundle->text()) + ";";
    saveError(bundle);
  }
  std::string received;
};

TEST(ErrorHandlerTest, ReportsReachThrowErrorAndTheSavedTextIsAPrivateCopy) {
  RecordingHandler handler;
  std::string message = "first";
  handler.error(message.c_str());
  message[0] = 'X';
  EXPECT_STREQ(handler.savedError(), "first");
  handler.error(nullptr);  // no text reads as empty, never null
  handler.error("last");
  handler.clearError();
  EXPECT_TRUE(handler.received == "first;;last;" && handler.savedError() == nullptr);
  // Saved at destruction: the sanitizer build catches a leak or a double
  // release here.
  handler.error("still saved");
}

}  // namespace
