// Crypt::decrypt with arbitrary text, and the round trip of the same text
// as plain text: whatever decrypts gives back a NUL-terminated string, and
// what encrypt made decrypts to exactly what went in.
#include <cstdlib>
#include <cstring>

#include "core/NullExceptionHandler.h"
#include "fuzz/FuzzSupport.h"
#include "model/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static NullExceptionHandler* handler = [] {
    fuzz::useOwnKeyFile();
    return new NullExceptionHandler();
  }();
  std::string input = fuzz::text(data, size);
  char* plain = nullptr;
  int failed = Crypt::decrypt(handler, input.c_str(), &plain);
  text::Owned decrypted(plain);
  if ((failed == 0) != (plain != nullptr)) std::abort();

  char* cipher = nullptr;
  if (Crypt::encrypt(handler, input.c_str(), &cipher) != 0) std::abort();
  text::Owned encrypted(cipher);
  char* back = nullptr;
  if (Crypt::decrypt(handler, cipher, &back) != 0) std::abort();
  text::Owned roundTrip(back);
  if (std::strcmp(back, input.c_str()) != 0) std::abort();
  return 0;
}
