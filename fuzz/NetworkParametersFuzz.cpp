// setNetworkParameters with arbitrary keys and values on a fresh network. Each input line is one "key=value" pair; a line without '=' is a
// key with a null value, and a value "enc:text" is passed as text encrypted,
// so that secrets also decrypt.
#include <cstdlib>
#include <cstring>

#include "core/WifiHostSettings.h"
#include "core/WifiNetworkDatabase.h"
#include "fuzz/FuzzSupport.h"
#include "model/Text.h"
#include "model/WifiNetwork.h"
#include "wireless/wireless.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static WifiNetworkDatabase* database = [] {
    fuzz::useOwnKeyFile();
    return WifiHostSettings::getInstance(nullptr)->networkDatabase();
  }();
  auto* network = new WifiNetwork();
  network->setSsid("office");
  database->add(network);

  std::vector<std::string> lines = fuzz::splitAt(fuzz::text(data, size), '\n');
  std::vector<std::string> keys;
  std::vector<text::Owned> values;
  for (const std::string& line : lines) {
    size_t equals = line.find('=');
    keys.push_back(line.substr(0, equals));
    std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
    char* encrypted = nullptr;
    if (value.rfind("enc:", 0) == 0 && Crypt::encrypt(nullptr, value.c_str() + 4, &encrypted) == 0) {
      values.emplace_back(encrypted);
    } else {
      values.emplace_back(equals == std::string::npos ? nullptr : text::copy(value.c_str()));
    }
  }
  std::vector<const char*> keyTexts;
  std::vector<const char*> valueTexts;
  for (size_t i = 0; i < lines.size(); ++i) {
    keyTexts.push_back(keys[i].c_str());
    valueTexts.push_back(values[i].get());
  }
  if (!setNetworkParameters(nullptr, "wlan0", "office", keyTexts.data(), valueTexts.data(),
                            static_cast<uint32_t>(lines.size()))) {
    std::abort();  // the network is there
  }
  database->clear();  // releases what the input stored
  return 0;
}
