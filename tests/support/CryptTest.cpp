#include "platform/Crypt.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/ErrorHandler.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kHeader = 1 + 12;  // version byte and nonce
constexpr size_t kTag = 16;

class CountingHandler : public virtual ErrorHandler {
 public:
  void throwError(MessageBundle* bundle) override {
    ++reports;
    last = bundle != nullptr && bundle->text() != nullptr ? bundle->text() : "";
  }
  int reports = 0;
  std::string last;
};

// Standard base64, written here independently of the library.
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string toBase64(const std::string& data) {
  std::string out;
  size_t i = 0;
  for (; i + 2 < data.size(); i += 3) {
    uint32_t v = (uint32_t(uint8_t(data[i])) << 16) | (uint32_t(uint8_t(data[i + 1])) << 8) |
                 uint8_t(data[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) out += kAlphabet[(v >> shift) & 63];
  }
  size_t rest = data.size() - i;
  if (rest > 0) {
    uint32_t v = uint32_t(uint8_t(data[i])) << 16;
    if (rest == 2) v |= uint32_t(uint8_t(data[i + 1])) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string fromBase64(const std::string& text) {
  std::string out;
  uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    if (c == '=') break;
    const char* at = c != '\0' ? std::strchr(kAlphabet, c) : nullptr;
    if (at == nullptr) {
      ADD_FAILURE() << "not base64: " << text;
      return out;
    }
    bits = (bits << 6) | uint32_t(at - kAlphabet);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return out;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const std::string& path, const std::string& data, mode_t mode) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
  ASSERT_EQ(chmod(path.c_str(), mode), 0);
}

class CryptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "crypt-test-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    ASSERT_NE(mkdtemp(name.data()), nullptr);
    dir_ = name.data();
    keyFile_ = dir_ + "/crypt.key";
    Crypt::setKeyFile(keyFile_.c_str());
  }

  void TearDown() override {
    Crypt::setKeyFile(nullptr);
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // Encrypts text, expecting success and no report.
  std::string encrypt(const std::string& text) {
    CountingHandler handler;
    char* out = nullptr;
    int rc = Crypt::encrypt(&handler, text.c_str(), &out);
    EXPECT_EQ(rc, 0) << handler.last;
    EXPECT_EQ(handler.reports, 0) << handler.last;
    std::string result = out != nullptr ? out : "";
    ::operator delete(out);
    return result;
  }

  // Decrypts text, expecting success and no report.
  std::string decrypt(const std::string& text) {
    CountingHandler handler;
    char* out = nullptr;
    int rc = Crypt::decrypt(&handler, text.c_str(), &out);
    EXPECT_EQ(rc, 0) << handler.last << " for " << text;
    EXPECT_EQ(handler.reports, 0) << handler.last;
    std::string result = out != nullptr ? out : "";
    ::operator delete(out);
    return result;
  }

  // Expects decrypt to refuse text: non-zero, output null, one report.
  void expectRefused(const char* text, const std::string& why) {
    CountingHandler handler;
    char* out = nullptr;
    int rc = Crypt::decrypt(&handler, text, &out);
    EXPECT_NE(rc, 0) << why;
    EXPECT_EQ(out, nullptr) << why;
    EXPECT_EQ(handler.reports, 1) << why;
    EXPECT_FALSE(handler.last.empty()) << why;
    ::operator delete(out);
  }

  // Expects both operations to fail with the current key file.
  void expectKeyRefused(const std::string& why) {
    CountingHandler handler;
    char* out = nullptr;
    EXPECT_NE(Crypt::encrypt(&handler, "secret", &out), 0) << why;
    EXPECT_EQ(out, nullptr) << why;
    EXPECT_EQ(handler.reports, 1) << why;
    ::operator delete(out);
    out = nullptr;
    EXPECT_NE(Crypt::decrypt(&handler, sealed_.c_str(), &out), 0) << why;
    EXPECT_EQ(out, nullptr) << why;
    EXPECT_EQ(handler.reports, 2) << why;
    ::operator delete(out);
  }

  std::string dir_;
  std::string keyFile_;
  std::string sealed_;
};

TEST_F(CryptTest, RoundTripsAnyTextInTheDocumentedForm) {
  std::string allBytes;
  for (int c = 1; c < 256; ++c) allBytes += static_cast<char>(c);
  std::string longText;
  for (int i = 0; i < 100000; ++i) longText += static_cast<char>('a' + i % 26);
  const std::string texts[] = {"", "x", "secret", "p\xC3\xA4sswo\xCC\x88rd \xF0\x9F\x94\x91",
                               allBytes, longText};
  for (const std::string& text : texts) {
    std::string sealed = encrypt(text);
    EXPECT_EQ(sealed.find_first_not_of(std::string(kAlphabet) + "="), std::string::npos);
    EXPECT_EQ(sealed.size() % 4, 0u);
    EXPECT_EQ(toBase64(fromBase64(sealed)), sealed);
    std::string blob = fromBase64(sealed);
    ASSERT_EQ(blob.size(), kHeader + text.size() + kTag);
    EXPECT_EQ(blob[0], 1);
    if (text.size() >= 6) {
      EXPECT_EQ(blob.find(text), std::string::npos);
    }
    EXPECT_EQ(decrypt(sealed), text);
  }
}

TEST_F(CryptTest, EachEncryptionUsesAFreshNonce) {
  std::string a = encrypt("same secret");
  std::string b = encrypt("same secret");
  EXPECT_NE(a, b);
  EXPECT_NE(fromBase64(a).substr(1, 12), fromBase64(b).substr(1, 12));
  EXPECT_EQ(decrypt(a), "same secret");
  EXPECT_EQ(decrypt(b), "same secret");
}

TEST_F(CryptTest, RefusesAlteredText) {
  std::string sealed = encrypt("correct horse battery staple");
  ASSERT_EQ(decrypt(sealed), "correct horse battery staple");

  // Any one character of the text replaced by another base64 character.
  for (size_t i = 0; i < sealed.size() && sealed[i] != '='; ++i) {
    std::string altered = sealed;
    const char* at = std::strchr(kAlphabet, altered[i]);
    ASSERT_NE(at, nullptr);
    altered[i] = kAlphabet[(at - kAlphabet + 1 + static_cast<long>(i % 63)) % 64];
    expectRefused(altered.c_str(), "character " + std::to_string(i));
  }

  // One bit flipped in each part of the blob: version, nonce, cipher text
  // and tag, at both ends of each.
  std::string blob = fromBase64(sealed);
  size_t body = kHeader;
  size_t tag = blob.size() - kTag;
  for (size_t at : {size_t{0}, size_t{1}, kHeader - 1, body, tag - 1, tag, blob.size() - 1}) {
    for (int bit : {0, 7}) {
      std::string altered = blob;
      altered[at] = static_cast<char>(altered[at] ^ (1 << bit));
      expectRefused(toBase64(altered).c_str(),
                    "byte " + std::to_string(at) + " bit " + std::to_string(bit));
    }
  }

  // A blob made under another format version, and one with bytes added.
  std::string versionTwo = blob;
  versionTwo[0] = 2;
  expectRefused(toBase64(versionTwo).c_str(), "version 2");
  expectRefused(toBase64(blob + '\0').c_str(), "byte appended");
  expectRefused(toBase64(blob + blob).c_str(), "blob doubled");

  // Nonce and tag of one encryption with the cipher text of another.
  std::string other = fromBase64(encrypt("correct horse battery stapler"));
  std::string spliced = blob.substr(0, kHeader) + other.substr(kHeader, blob.size() - kHeader - kTag) +
                        blob.substr(tag);
  expectRefused(toBase64(spliced).c_str(), "spliced cipher text");
}

TEST_F(CryptTest, RefusesTruncatedMalformedAndMissingInput) {
  std::string sealed = encrypt("secret");
  std::string blob = fromBase64(sealed);

  expectRefused(toBase64(blob.substr(0, blob.size() - 1)).c_str(), "last byte cut");
  expectRefused(toBase64(blob.substr(0, blob.size() - kTag)).c_str(), "tag cut");
  expectRefused(toBase64(blob.substr(0, kHeader + kTag - 1)).c_str(), "shorter than any blob");
  expectRefused(toBase64(blob.substr(0, kHeader)).c_str(), "header only");
  expectRefused(toBase64(blob.substr(1)).c_str(), "version byte cut");
  expectRefused(sealed.substr(0, sealed.size() - 1).c_str(), "last character cut");
  expectRefused(sealed.substr(0, sealed.size() - 4).c_str(), "last group cut");

  expectRefused(nullptr, "null");
  expectRefused("", "empty");
  expectRefused("!!!!", "not base64");
  expectRefused("AAAA", "three zero bytes");
  expectRefused("====", "padding only");
  expectRefused("A===", "one character");
  expectRefused("plain text, never encrypted", "plain text");
  expectRefused((sealed + "\n").c_str(), "line end appended");
  expectRefused((" " + sealed).c_str(), "space before");
  expectRefused((sealed.substr(0, 8) + "\n" + sealed.substr(8)).c_str(), "line break inside");
  expectRefused((sealed + "====").c_str(), "padding appended");
  std::string urlSafe = sealed;
  for (char& c : urlSafe) c = c == '+' ? '-' : c == '/' ? '_' : c;
  if (urlSafe != sealed) expectRefused(urlSafe.c_str(), "URL-safe alphabet");

  // Unused bits after the last byte must be zero, so no blob has two texts.
  for (size_t padding : {1, 2}) {
    // Blobs of 29 + 3 and 29 + 2 bytes end in one and two padding characters.
    std::string odd = encrypt(padding == 1 ? "abc" : "ab");
    ASSERT_EQ(odd.substr(odd.size() - padding), std::string(padding, '='));
    ASSERT_NE(odd[odd.size() - padding - 1], '=');
    std::string loose = odd;
    char& last = loose[loose.size() - padding - 1];
    last = kAlphabet[(std::strchr(kAlphabet, last) - kAlphabet) | 1];
    ASSERT_NE(loose, odd);
    expectRefused(loose.c_str(), "stray bits before padding " + std::to_string(padding));
  }

  // encrypt refuses a null text, and both refuse a null output address.
  CountingHandler handler;
  char* out = nullptr;
  EXPECT_NE(Crypt::encrypt(&handler, nullptr, &out), 0);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(handler.reports, 1);
  EXPECT_NE(Crypt::encrypt(&handler, "x", nullptr), 0);
  EXPECT_EQ(handler.reports, 2);
  EXPECT_NE(Crypt::decrypt(&handler, sealed.c_str(), nullptr), 0);
  EXPECT_EQ(handler.reports, 3);

  // Without a handler failures are quiet, and success needs none.
  EXPECT_NE(Crypt::decrypt(nullptr, "garbage", &out), 0);
  EXPECT_EQ(out, nullptr);
  EXPECT_NE(Crypt::encrypt(nullptr, nullptr, &out), 0);
  EXPECT_EQ(out, nullptr);
  ASSERT_EQ(Crypt::decrypt(nullptr, sealed.c_str(), &out), 0);
  EXPECT_STREQ(out, "secret");
  ::operator delete(out);
}

TEST_F(CryptTest, TextFromAnotherKeyIsRefused) {
  std::string sealed = encrypt("for key A");
  std::string keyA = readFile(keyFile_);

  std::string keyB = dir_ + "/other.key";
  Crypt::setKeyFile(keyB.c_str());
  expectRefused(sealed.c_str(), "other key");
  ASSERT_TRUE(fs::exists(keyB));
  EXPECT_NE(readFile(keyB), keyA);
  std::string sealedB = encrypt("for key B");

  Crypt::setKeyFile(keyFile_.c_str());
  EXPECT_EQ(decrypt(sealed), "for key A");
  expectRefused(sealedB.c_str(), "key A against text of key B");
  EXPECT_EQ(readFile(keyFile_), keyA);
}

TEST_F(CryptTest, CreatesAPrivateKeyFileAndItsDirectory) {
  std::string nested = dir_ + "/keys/crypt.key";
  Crypt::setKeyFile(nested.c_str());
  // Even a restrictive umask leaves the owner able to read the key back.
  mode_t previous = umask(0277);
  std::string sealed = encrypt("secret");
  umask(previous);

  struct stat st;
  ASSERT_EQ(stat(nested.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(st.st_size, 32);
  EXPECT_EQ(st.st_uid, geteuid());
  ASSERT_EQ(stat((dir_ + "/keys").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 077, 0u);

  // Nothing but the key is left behind, and a new process view of the same
  // file (cache dropped) reads the same key.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir_ + "/keys")) names.push_back(entry.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"crypt.key"});
  Crypt::setKeyFile(nested.c_str());
  EXPECT_EQ(decrypt(sealed), "secret");
}

TEST_F(CryptTest, RefusesKeyFilesOthersCouldReadOrThatAreNotPlainKeys) {
  sealed_ = encrypt("guarded");
  std::string key = readFile(keyFile_);
  ASSERT_EQ(key.size(), 32u);

  for (mode_t mode : {0644, 0640, 0604, 0620, 0602, 0610, 0601}) {
    ASSERT_EQ(chmod(keyFile_.c_str(), mode), 0);
    Crypt::setKeyFile(keyFile_.c_str());
    expectKeyRefused("mode " + std::to_string(mode));
  }
  // Refusal leaves the file as it was, and fixing the mode is enough.
  EXPECT_EQ(readFile(keyFile_), key);
  ASSERT_EQ(chmod(keyFile_.c_str(), 0600), 0);
  Crypt::setKeyFile(keyFile_.c_str());
  EXPECT_EQ(decrypt(sealed_), "guarded");

  std::string shortKey = dir_ + "/short.key";
  writeFile(shortKey, key.substr(0, 31), 0600);
  Crypt::setKeyFile(shortKey.c_str());
  expectKeyRefused("31-byte key");
  EXPECT_EQ(readFile(shortKey), key.substr(0, 31));

  std::string longKey = dir_ + "/long.key";
  writeFile(longKey, key + "!", 0600);
  Crypt::setKeyFile(longKey.c_str());
  expectKeyRefused("33-byte key");

  std::string emptyKey = dir_ + "/empty.key";
  writeFile(emptyKey, "", 0600);
  Crypt::setKeyFile(emptyKey.c_str());
  expectKeyRefused("empty key file");

  std::string link = dir_ + "/link.key";
  ASSERT_EQ(symlink(keyFile_.c_str(), link.c_str()), 0);
  Crypt::setKeyFile(link.c_str());
  expectKeyRefused("symbolic link to a good key");

  std::string directory = dir_ + "/dir.key";
  ASSERT_EQ(mkdir(directory.c_str(), 0700), 0);
  Crypt::setKeyFile(directory.c_str());
  expectKeyRefused("directory");

  std::string fifo = dir_ + "/fifo.key";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Crypt::setKeyFile(fifo.c_str());
  expectKeyRefused("fifo");

  std::string notADirectory = keyFile_ + "/crypt.key";
  Crypt::setKeyFile(notADirectory.c_str());
  expectKeyRefused("parent is a file");

  if (geteuid() == 0) {
    std::string foreign = dir_ + "/foreign.key";
    writeFile(foreign, key, 0600);
    ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
    Crypt::setKeyFile(foreign.c_str());
    expectKeyRefused("owned by another user");
  }
}

TEST_F(CryptTest, EnvironmentChoosesTheKeyFileUnlessOverridden) {
  const char* before = std::getenv("TESSEL_CRYPT_KEY_FILE");
  std::string saved = before != nullptr ? before : "";
  std::string fromEnvironment = dir_ + "/env.key";
  ASSERT_EQ(setenv("TESSEL_CRYPT_KEY_FILE", fromEnvironment.c_str(), 1), 0);

  Crypt::setKeyFile(nullptr);
  std::string sealed = encrypt("via environment");
  EXPECT_TRUE(fs::exists(fromEnvironment));
  EXPECT_FALSE(fs::exists(keyFile_));

  Crypt::setKeyFile(keyFile_.c_str());
  expectRefused(sealed.c_str(), "override beats the environment");
  EXPECT_TRUE(fs::exists(keyFile_));

  Crypt::setKeyFile(nullptr);
  EXPECT_EQ(decrypt(sealed), "via environment");

  // The variable is read on every call, not only when nothing is loaded.
  std::string changed = dir_ + "/env2.key";
  ASSERT_EQ(setenv("TESSEL_CRYPT_KEY_FILE", changed.c_str(), 1), 0);
  expectRefused(sealed.c_str(), "key file named by the changed variable");
  EXPECT_TRUE(fs::exists(changed));

  if (before != nullptr) {
    setenv("TESSEL_CRYPT_KEY_FILE", saved.c_str(), 1);
  } else {
    unsetenv("TESSEL_CRYPT_KEY_FILE");
  }
}

TEST_F(CryptTest, ManyThreadsShareOneKey) {
  // The key file does not exist yet: the threads race to create it too.
  constexpr int kThreads = 8;
  constexpr int kRounds = 100;
  std::atomic<int> failures{0};
  std::atomic<bool> go{false};
  std::vector<std::string> firstTexts(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      while (!go) std::this_thread::yield();
      for (int i = 0; i < kRounds; ++i) {
        std::string text = "thread " + std::to_string(t) + " round " + std::to_string(i);
        CountingHandler handler;
        char* sealed = nullptr;
        char* opened = nullptr;
        if (Crypt::encrypt(&handler, text.c_str(), &sealed) != 0 ||
            Crypt::decrypt(&handler, sealed, &opened) != 0 || text != opened || handler.reports != 0) {
          ++failures;
        }
        if (i == 0 && sealed != nullptr) firstTexts[t] = sealed;
        ::operator delete(sealed);
        ::operator delete(opened);
      }
    });
  }
  go = true;
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures, 0);
  Crypt::setKeyFile(keyFile_.c_str());
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(decrypt(firstTexts[t]), "thread " + std::to_string(t) + " round 0");
  }
}

TEST_F(CryptTest, ProcessesCreatingTheKeyTogetherAgreeOnIt) {
  constexpr int kChildren = 4;
  for (int round = 0; round < 5; ++round) {
    std::string key = dir_ + "/race" + std::to_string(round) + ".key";
    Crypt::setKeyFile(key.c_str());

    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<int> results;
    std::vector<pid_t> children;
    for (int c = 0; c < kChildren; ++c) {
      int result[2];
      ASSERT_EQ(pipe(result), 0);
      pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        close(gate[1]);
        close(result[0]);
        char ignored;
        while (read(gate[0], &ignored, 1) < 0 && errno == EINTR) {
        }
        std::string text = "child " + std::to_string(c);
        char* sealed = nullptr;
        if (Crypt::encrypt(nullptr, text.c_str(), &sealed) != 0) _exit(1);
        size_t length = std::strlen(sealed);
        size_t done = 0;
        while (done < length) {
          ssize_t n = write(result[1], sealed + done, length - done);
          if (n <= 0) _exit(2);
          done += static_cast<size_t>(n);
        }
        _exit(0);
      }
      close(result[1]);
      results.push_back(result[0]);
      children.push_back(pid);
    }
    close(gate[0]);
    close(gate[1]);  // opens the gate for every child at once

    std::vector<std::string> sealed(kChildren);
    for (int c = 0; c < kChildren; ++c) {
      char buffer[256];
      ssize_t n;
      while ((n = read(results[c], buffer, sizeof buffer)) > 0) sealed[c].append(buffer, n);
      close(results[c]);
      int status = 0;
      ASSERT_EQ(waitpid(children[c], &status, 0), children[c]);
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child " << c;
    }

    // Read afresh in this process: every child used the key on disk.
    Crypt::setKeyFile(key.c_str());
    for (int c = 0; c < kChildren; ++c) {
      EXPECT_EQ(decrypt(sealed[c]), "child " + std::to_string(c)) << "round " << round;
    }
  }
  std::vector<std::string> leftovers;
  for (const auto& entry : fs::directory_iterator(dir_)) {
    std::string name = entry.path().filename();
    if (name.find(".tmp.") != std::string::npos) leftovers.push_back(name);
  }
  EXPECT_TRUE(leftovers.empty());
}

}  // namespace
