#pragma once

// Helpers shared by the report, C interface and tool tests: records added by
// hand, secrets read back through Crypt, and the output of a command.

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <regex>
#include <string>

#include "core/NullExceptionHandler.h"
#include "core/WifiHostSettings.h"
#include "core/WifiNetworkDatabase.h"
#include "model/Text.h"
#include "model/WifiNetwork.h"
#include "platform/Crypt.h"
#include "platform/XWriter.h"

namespace report_test {

// The document of an instance that could not be loaded, in either form.
inline const char kUnloadedDocument[] =
    "<wifiHostSettings adapter=\"Unknown\" wifiEnabled=\"false\" currentDaemonState=\"0\" currentNetwork=\"\" "
    "currentNetworkState=\"0\">\n  <wifiNetworkDatabase numberNetworks=\"0\">\n  </wifiNetworkDatabase>\n</wifiHostSettings>\n";

// A record with an SSID, added to the host's database (which owns it).
inline WifiNetwork* addRecord(WifiHostSettings* host, const char* ssid) {
  WifiNetwork* record = new WifiNetwork();
  record->setSsid(ssid);
  EXPECT_TRUE(host->networkDatabase()->add(record)) << ssid;
  return record;
}

// A record with every field apart from its default but the inner private
// key password (a secret left null): text field number i holds "t<i>",
// WEP keys 0 and 3 "w0" and "w3", the numbers those below.
inline WifiNetwork* addFullRecord(WifiHostSettings* host, const char* ssid) {
  WifiNetwork* record = addRecord(host, ssid);
  for (uint8_t f = WifiNetwork::TEXT_Bssid; f < WifiNetwork::TEXT_PrivateKeyPassword2; ++f) {
    record->setText(static_cast<WifiNetwork::TextField>(f), ("t" + std::to_string(f)).c_str());
  }
  const std::map<std::string, int64_t> numbers{
      {"Priority", -1}, {"Channel", 11}, {"Mode", NETWORK_MODE_ADHOC}, {"Protocol", PROTOCOL_WPA | PROTOCOL_RSN},
      {"KeyManagement", 31}, {"Authentication", AUTH_LEAP}, {"Group", 27}, {"Pairwise", 7}, {"EapMethod", 2047}};
#define WIFI_VALUE(Name, field, Type, Default) record->set##Name(static_cast<Type>(numbers.at(#Name)));
#include "model/WifiNetworkFields.def"
  record->setStrength(-3);
  record->setSsidBroadcasted(true);
  for (uint32_t key : {0u, 3u}) record->setWepKey(key, ("w" + std::to_string(key)).c_str());
  record->setWepIndex(3);
  return record;
}

inline std::string writeXml(WifiHostSettings* host, bool detailed, ErrorHandler* handler = nullptr) {
  StringXWriter out;
  EXPECT_TRUE(host->writeXml(&out, handler, detailed));
  return out.str();
}

// Crypt::encrypt (true) or Crypt::decrypt (false) of text; a failure fails
// the test.
inline std::string crypt(bool encrypt, const std::string& text) {
  char* result = nullptr;
  int failed = (encrypt ? Crypt::encrypt : Crypt::decrypt)(nullptr, text.c_str(), &result);
  text::Owned held(result);
  EXPECT_TRUE(failed == 0 && held) << (encrypt ? "does not encrypt: " : "does not decrypt: ") << text;
  return failed == 0 && held ? result : "<failed>";
}

// The document with every non-empty secret attribute decrypted in place (a
// secret written in plain text does not decrypt and fails the test).
inline std::string withSecretsDecrypted(std::string document) {
  static const std::regex secret("( (?:psk|eapPassword|privateKeyPassword2?)=\")([^\"]+)\"");
  std::string result;
  for (std::smatch m; std::regex_search(document, m, secret); document = m.suffix()) {
    result += m.prefix().str() + m[1].str() + crypt(false, m[2]) + "\"";
  }
  return result + document;
}

// The standard output and the exit status of a shell command.
inline std::string run(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  for (int c; pipe != nullptr && (c = std::fgetc(pipe)) != EOF;) output += static_cast<char>(c);
  *status = pipe != nullptr ? pclose(pipe) : -1;
  return output;
}

}  // namespace report_test
