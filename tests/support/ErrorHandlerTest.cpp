#include "platform/ErrorHandler.h"

#include <gtest/gtest.h>

#include "core/NullExceptionHandler.h"

namespace {

// Through the handler that keeps every report as the saved error: the saved
// text outlives the report's own copy; no text reads as empty, never null.
// Saved at destruction: the sanitizer build catches a leak or a double
// release there.
TEST(ErrorHandlerTest, ReportsReachThrowErrorAndTheSavedTextIsAPrivateCopy) {
  NullExceptionHandler handler;
  handler.error("first");
  EXPECT_STREQ(handler.savedError(), "first");
  handler.error(nullptr);
  EXPECT_STREQ(handler.savedError(), "");
  handler.clearError();
  EXPECT_EQ(handler.savedError(), nullptr);
  handler.error("still saved");
}

}  // namespace
