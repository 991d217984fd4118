#pragma once

// Helpers shared by the report, C interface and tool tests: records added by
// hand, secrets read back through Crypt, and xmllint's reading of a document.

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

#include "core/WifiHostSettings.h"
#include "core/WifiNetworkDatabase.h"
#include "model/Text.h"
#include "model/WifiNetwork.h"
#include "platform/Crypt.h"
#include "platform/ErrorHandler.h"
#include "platform/XWriter.h"

namespace report_test {

// The document of an instance that could not be loaded, in either form.
inline const char kUnloadedDocument[] =
    "<wifiHostSettings adapter=\"Unknown\" wifiEnabled=\"false\" currentDaemonState=\"0\" "
    "currentNetwork=\"\" currentNetworkState=\"0\">\n"
    "  <wifiNetworkDatabase numberNetworks=\"0\">\n"
    "  </wifiNetworkDatabase>\n"
    "</wifiHostSettings>\n";

class CountingHandler : public ErrorHandler {
 public:
  void throwError(MessageBundle*) override { ++reports; }
  int reports = 0;
};

// A record with an SSID, added to the host's database (which owns it).
inline WifiNetwork* addRecord(WifiHostSettings* host, const char* ssid) {
  WifiNetwork* record = new WifiNetwork();
  record->setSsid(ssid);
  EXPECT_TRUE(host->networkDatabase()->add(record)) << ssid;
  return record;
}

inline std::string writeXml(WifiHostSettings* host, bool detailed) {
  StringXWriter out;
  EXPECT_TRUE(host->writeXml(&out, nullptr, detailed));
  return out.str();
}

// Crypt::encrypt (true) or Crypt::decrypt (false) of text; a failure fails
// the test.
inline std::string crypt(bool encrypt, const std::string& text) {
  char* result = nullptr;
  bool done = (encrypt ? Crypt::encrypt : Crypt::decrypt)(nullptr, text.c_str(), &result) == 0;
  text::Owned held(result);
  if (done && held) return result;
  ADD_FAILURE() << (encrypt ? "does not encrypt: " : "does not decrypt: ") << text;
  return "<failed>";
}

// The document with every non-empty secret attribute decrypted in place (a
// secret written in plain text does not decrypt and fails the test).
inline std::string withSecretsDecrypted(const std::string& document) {
  static const std::regex secret(
      "( (?:psk|eapPassword|privateKeyPassword|privateKeyPassword2)=\")([^\"]+)\"");
  std::string result;
  auto last = document.cbegin();
  for (std::sregex_iterator it(document.begin(), document.end(), secret), end; it != end; ++it) {
    result.append(last, (*it)[0].first) += (*it)[1].str() + crypt(false, (*it)[2].str()) + "\"";
    last = (*it)[0].second;
  }
  return result.append(last, document.cend());
}

// The standard output and the exit status of a shell command.
inline std::string run(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  *status = -1;
  if (pipe == nullptr) return output;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  *status = pclose(pipe);
  return output;
}

// Whether xmllint reads the document as well-formed XML. xmllint is a
// program of the build host, which the tests of a Windows build, running
// under wine, can't start: there the check is left out.
inline bool wellFormed(const std::string& document) {
#ifdef _WIN32
  return true;
#endif
  FILE* lint = popen("xmllint --noout - 2>/dev/null", "w");
  bool written = lint != nullptr && std::fwrite(document.data(), 1, document.size(), lint) == document.size();
  return lint != nullptr && pclose(lint) == 0 && written;
}

}  // namespace report_test
