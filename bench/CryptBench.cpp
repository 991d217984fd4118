// Cost of carrying one secret across the library's boundary: the encryption
// on the way out and the decryption on the way in.
#include <benchmark/benchmark.h>

#include "model/Text.h"
#include "platform/Crypt.h"

namespace {

void BM_SecretRoundTrip(benchmark::State& state) {
  const char* secret = "correct horse battery staple";
  for (auto _ : state) {
    char* cipherText = nullptr;
    Crypt::encrypt(nullptr, secret, &cipherText);
    text::Owned sealed(cipherText);
    char* plainText = nullptr;
    Crypt::decrypt(nullptr, sealed.get(), &plainText);
    text::Owned opened(plainText);
    benchmark::DoNotOptimize(opened.get());
  }
}
BENCHMARK(BM_SecretRoundTrip)->Unit(benchmark::kMicrosecond);

}  // namespace
