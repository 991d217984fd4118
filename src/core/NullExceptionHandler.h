#pragma once

#include "platform/ErrorHandler.h"

// The handler used when a caller passes none: keeps what it is told and
// raises nothing.
class NullExceptionHandler : public virtual ErrorHandler {
 public:
  NullExceptionHandler() = default;
  void throwError(MessageBundle* bundle) override { saveError(bundle); }
};
