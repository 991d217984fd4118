#pragma once

// Helpers shared by the report and C interface tests: records built by
// hand, secret attributes read back through Crypt, and an outside XML
// parser's verdict on a document.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "core/WifiHostSettings.h"
#include "core/WifiNetworkDatabase.h"
#include "model/Text.h"
#include "model/WifiNetwork.h"
#include "platform/Crypt.h"
#include "platform/XWriter.h"
#include "tests/daemon/HostFixture.h"

namespace report_test {

// A record with an SSID, added to the host's database (which owns it).
inline WifiNetwork* addRecord(WifiHostSettings* host, const char* ssid) {
  WifiNetwork* record = new WifiNetwork();
  record->setSsid(ssid);
  if (!host->networkDatabase()->add(record)) {
    delete record;
    ADD_FAILURE() << "the database refused " << ssid;
    return nullptr;
  }
  return record;
}

inline std::string writeXml(WifiHostSettings* host, bool detailed) {
  StringXWriter out;
  EXPECT_TRUE(host->writeXml(&out, nullptr, detailed));
  return out.str();
}

inline std::string decrypt(const std::string& cipher) {
  char* plain = nullptr;
  int result = Crypt::decrypt(nullptr, cipher.c_str(), &plain);
  text::Owned held(plain);
  if (result != 0 || plain == nullptr) {
    ADD_FAILURE() << "does not decrypt: " << cipher;
    return "<undecryptable>";
  }
  return plain;
}

inline std::string encrypt(const std::string& plain) {
  char* cipher = nullptr;
  int result = Crypt::encrypt(nullptr, plain.c_str(), &cipher);
  text::Owned held(cipher);
  if (result != 0 || cipher == nullptr) {
    ADD_FAILURE() << "does not encrypt: " << plain;
    return "";
  }
  return cipher;
}

// The document with every non-empty secret attribute decrypted in place, so
// that it can be compared byte for byte. A secret written in plain text (one
// that equals its own decryption) fails the test.
inline std::string withSecretsDecrypted(const std::string& document) {
  static const std::regex secret(
      "( (?:psk|eapPassword|privateKeyPassword|privateKeyPassword2)=\")([^\"]*)\"");
  std::string result;
  auto last = document.cbegin();
  for (std::sregex_iterator it(document.begin(), document.end(), secret), end; it != end; ++it) {
    const std::smatch& match = *it;
    result.append(last, match[0].first);
    std::string value = match[2].str();
    if (!value.empty()) {
      std::string plain = decrypt(value);
      EXPECT_NE(plain, value) << "secret written in plain text";
      value = plain;
    }
    result += match[1].str() + value + "\"";
    last = match[0].second;
  }
  result.append(last, document.cend());
  return result;
}

// The output and exit status of a shell command.
inline std::string run(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    *status = -1;
    return output;
  }
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  *status = pclose(pipe);
  return output;
}

// A document in a temporary file for the outside parser.
class DocumentFile {
 public:
  explicit DocumentFile(const std::string& document) {
    char name[] = "/tmp/wireless-report-XXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0) {
      path_ = name;
      if (write(fd, document.data(), document.size()) != static_cast<ssize_t>(document.size())) {
        ADD_FAILURE() << "could not write " << path_;
      }
      close(fd);
    } else {
      ADD_FAILURE() << "no temporary file";
    }
  }
  ~DocumentFile() {
    if (!path_.empty()) unlink(path_.c_str());
  }
  DocumentFile(const DocumentFile&) = delete;
  DocumentFile& operator=(const DocumentFile&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Empty when xmllint accepts the document, otherwise its complaint.
inline std::string xmlProblems(const std::string& document) {
  DocumentFile file(document);
  int status = 0;
  std::string complaint = run("xmllint --noout '" + file.path() + "' 2>&1", &status);
  if (status == 0) return "";
  return complaint.empty() ? "xmllint exit status " + std::to_string(status) : complaint;
}

// The value xmllint reads for an XPath string expression (whose own line
// breaks are not told apart from xmllint's, so values end without one).
inline std::string xpathString(const std::string& document, const std::string& expression) {
  DocumentFile file(document);
  int status = 0;
  std::string value =
      run("xmllint --xpath 'string(" + expression + ")' '" + file.path() + "' 2>/dev/null", &status);
  EXPECT_EQ(status, 0) << expression;
  // Newer xmllint versions end the value with a line break of their own.
  if (!value.empty() && value.back() == '\n') value.pop_back();
  return value;
}

}  // namespace report_test
