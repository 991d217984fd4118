#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/Crypt.h"
#include "tessel/CryptTesting.h"

// The same key, nonce and text give the same cipher text on every host, so
// that a secret encrypted on one decrypts on any other with that key file.
// The expected texts come from an independent AES-256-GCM implementation.
namespace {

namespace fs = std::filesystem;

TEST(CryptVectorsTest, FixedKeyAndNonceGiveTheSameTextOnEveryHost) {
  fs::path key = fs::temp_directory_path() / ("crypt-vectors-" + std::to_string(std::random_device{}()));
  {
    std::ofstream file(key, std::ios::binary);
    for (char byte = 0; byte < 32; ++byte) file.put(byte);  // 00 01 .. 1f
  }
  fs::permissions(key, fs::perms::owner_read | fs::perms::owner_write);
  Crypt::setKeyFile(key.string().c_str());
  const unsigned char nonce[12] = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB};
  crypt_testing::fixNonce(nonce);

  const struct {
    const char* plain;
    const char* text;
  } rows[] = {
      {"correct horse battery staple",
       "AaChoqOkpaanqKmqq4V3Dl8gqHafCgr1oGJaor8E2Dxi65cxGP1+SuMVBuduwcCIJ1ayaBYEQAN6"},
      {"caf\xC3\xA9", "AaChoqOkpaanqKmqq4V5Gu7szlOVeZYxv6D15Qj8l/Lgww=="},
      {"", "AaChoqOkpaanqKmqq6q3DJ0JL5AG/qcsnE5Or/Q="},
  };
  for (const auto& row : rows) {
    char* text = nullptr;
    char* plain = nullptr;
    EXPECT_TRUE(Crypt::encrypt(nullptr, row.plain, &text) == 0 && Crypt::decrypt(nullptr, row.text, &plain) == 0);
    EXPECT_EQ(std::string(text ? text : "") + "|" + (plain ? plain : ""), std::string(row.text) + "|" + row.plain);
    ::operator delete(text);
    ::operator delete(plain);
  }

  crypt_testing::fixNonce(nullptr);
  Crypt::setKeyFile(nullptr);
  fs::remove(key);
}

}  // namespace
