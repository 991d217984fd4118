#pragma once

// Error sinks of the platform support library. The library never reports
// through a handler itself; it only hands the caller's handler on to Crypt
// and to WifiHostSettings::getInstance.

class MessageBundle {
 public:
  explicit MessageBundle(const char* text);
  ~MessageBundle();
  MessageBundle(const MessageBundle&) = delete;
  MessageBundle& operator=(const MessageBundle&) = delete;

  const char* text() const { return text_; }

 private:
  char* text_;
};

class ErrorHandler {
 public:
  virtual ~ErrorHandler();
  // Reports a plain message: wraps it in a bundle and passes it to throwError.
  virtual void error(const char* message);
  virtual void throwError(MessageBundle* bundle) = 0;
  // Forgets the saved error.
  virtual void clearError();

  // The text of the last error saved by saveError, or null.
  const char* savedError() const { return saved_; }

  ErrorHandler(const ErrorHandler&) = delete;
  ErrorHandler& operator=(const ErrorHandler&) = delete;

 protected:
  ErrorHandler();
  virtual void saveError(MessageBundle* bundle);

 private:
  char* saved_ = nullptr;
};
