#include "platform/ErrorHandler.h"

#include <cstring>
#include <new>

namespace {

// A copy of text (null counts as empty) in a buffer from new[]; null only
// when memory runs out.
char* copyText(const char* text) {
  if (text == nullptr) text = "";
  size_t length = std::strlen(text);
  char* copy = new (std::nothrow) char[length + 1];
  if (copy != nullptr) std::memcpy(copy, text, length + 1);
  return copy;
}

}  // namespace

MessageBundle::MessageBundle(const char* text) : text_(copyText(text)) {}

MessageBundle::~MessageBundle() { delete[] text_; }

ErrorHandler::ErrorHandler() = default;

ErrorHandler::~ErrorHandler() { delete[] saved_; }

void ErrorHandler::error(const char* message) {
  MessageBundle bundle(message);
  throwError(&bundle);
}

void ErrorHandler::clearError() {
  delete[] saved_;
  saved_ = nullptr;
}

void ErrorHandler::saveError(MessageBundle* bundle) {
  // A saved error always has a text, so that savedError() tells that an
  // error was reported even when it came without one.
  char* copy = copyText(bundle != nullptr ? bundle->text() : nullptr);
  delete[] saved_;
  saved_ = copy;
}
