#include "platform/Crypt.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/NullExceptionHandler.h"
#include "tessel/CryptTesting.h"

namespace {

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Runs an operation and checks how it went: success without a report, or a
// refusal with no output and a report. Returns the output.
std::string expectOutcome(bool succeeds, int (*operation)(ErrorHandler*, const char*, char**), const char* input) {
  NullExceptionHandler handler;
  char* out = nullptr;
  bool ok = operation(&handler, input, &out) == 0;
  std::unique_ptr<char, void (*)(void*)> held(out, ::operator delete);
  EXPECT_TRUE(ok == succeeds && (out != nullptr) == succeeds && (handler.savedError() == nullptr) == succeeds) << input;
  return out != nullptr ? out : "";
}
std::string seal(const std::string& plain) { return expectOutcome(true, Crypt::encrypt, plain.c_str()); }
std::string unseal(const std::string& text) { return expectOutcome(true, Crypt::decrypt, text.c_str()); }

// Every test has a key file of its own in a private directory.
class CryptTest : public ::testing::Test {
 protected:
  void SetUp() override { useKey("crypt.key"); }
  void TearDown() override {
    Crypt::setKeyFile(nullptr);
    std::filesystem::remove_all(dir_);
  }
  // Points Crypt at dir_/name, dropping any key it had loaded.
  std::string useKey(const std::string& name) {
    std::filesystem::create_directories(dir_);
    Crypt::setKeyFile((dir_ + "/" + name).c_str());
    return dir_ + "/" + name;
  }
  std::string dir_ =
      (std::filesystem::temp_directory_path() / ("crypt-test-" + std::to_string(std::random_device{}()))).string();
};

// The same key, nonce and text give the same cipher text on every host, so
// that a secret encrypted on one decrypts on any other with that key file.
// The expected texts come from an independent AES-256-GCM implementation.
TEST_F(CryptTest, SealsAsEveryHostDoesWithAFreshNonceAndRefusesAnythingAltered) {
  // Refused: texts that were never sealed, one sealed under another key,
  // and (below) every alteration of the rows.
  std::vector<std::string> refused = {"", "!!!!", "AAAA", "plain text, never encrypted", seal("under another key")};
  std::string key = useKey("fixed.key");
  std::ofstream(key, std::ios::binary) << std::string("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f"
                                                      "\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f", 32);
  std::filesystem::permissions(key, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const unsigned char nonce[12] = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB};
  crypt_testing::fixNonce(nonce);
  const std::pair<const char*, std::string> rows[] = {
      {"correct horse battery staple", "AaChoqOkpaanqKmqq4V3Dl8gqHafCgr1oGJaor8E2Dxi65cxGP1+SuMVBuduwcCIJ1ayaBYEQAN6"},
      {"caf\xC3\xA9", "AaChoqOkpaanqKmqq4V5Gu7szlOVeZYxv6D15Qj8l/Lgww=="},
      {"", "AaChoqOkpaanqKmqq6q3DJ0JL5AG/qcsnE5Or/Q="},
  };
  for (const auto& [plain, text] : rows) EXPECT_TRUE(seal(plain) == text && unseal(text) == plain) << text;
  crypt_testing::fixNonce(nullptr);
  EXPECT_NE(seal(rows[0].first), seal(rows[0].first));

  for (const auto& [plain, text] : rows) {
    // The last group (end of the tag) cut, shorter than nonce and tag, a
    // line break added, and the lowest bit of any one character flipped:
    // version, nonce, cipher text, tag, or the bits padding leaves unused.
    refused.insert(refused.end(),
                   {text.substr(0, text.size() - 4), text.substr(0, text.size() - 1), text.substr(0, 16), text + "\n"});
    for (size_t i = 0; i < text.size() && text[i] != '='; ++i)
      refused.push_back(text.substr(0, i) + kBase64[(std::strchr(kBase64, text[i]) - kBase64) ^ 1] + text.substr(i + 1));
  }
  for (const std::string& input : refused) expectOutcome(false, Crypt::decrypt, input.c_str());
  for (auto operation : {Crypt::decrypt, Crypt::encrypt}) expectOutcome(false, operation, nullptr);
  // Without a handler a failure is quiet.
  char* out = nullptr;
  EXPECT_TRUE(Crypt::decrypt(nullptr, "garbage", &out) != 0 && out == nullptr);
}

#ifndef _WIN32  // the checks of POSIX file modes
// A key file is made private on first use, its directory made if need be;
// with a key file others can reach, nothing is sealed or opened.
TEST_F(CryptTest, KeyFilesArePrivate) {
  std::string path = useKey("keys/crypt.key");
  mode_t previous = umask(0277);  // the owner must still be able to read it back
  std::string sealed = seal("secret");
  umask(previous);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode) && (st.st_mode & 07777) == 0600 && st.st_size == 32);
  for (mode_t mode : {0644, 0640, 0602, 0600}) {
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    useKey("keys/crypt.key");
    expectOutcome(mode == 0600, Crypt::encrypt, "secret");
    expectOutcome(mode == 0600, Crypt::decrypt, sealed.c_str());
  }
}
#endif

}  // namespace
