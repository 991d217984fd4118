// setNetworkParameters with arbitrary keys and values on a fresh network.
// Each input line is one "key=value" pair; a line without '=' is a key with
// a null value, and a value "enc:text" is passed as text encrypted, so that
// secrets also decrypt.
#include <algorithm>
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

  // The input cut in place into keys and values: one copy, whatever its length.
  std::string buffer = fuzz::text(data, size);
  std::vector<const char*> keys;
  std::vector<const char*> values;
  std::vector<text::Owned> encrypted;
  for (size_t start = 0; start <= buffer.size();) {
    size_t end = std::min(buffer.find('\n', start), buffer.size());
    buffer[end] = '\0';  // the terminator itself at the last line
    char* key = &buffer[start];
    char* equals = std::strchr(key, '=');
    start = end + 1;
    keys.push_back(key);
    values.push_back(equals == nullptr ? nullptr : equals + 1);
    if (equals == nullptr) continue;
    *equals = '\0';
    char* sealed = nullptr;
    if (std::strncmp(equals + 1, "enc:", 4) == 0 && Crypt::encrypt(nullptr, equals + 5, &sealed) == 0) {
      encrypted.emplace_back(sealed);
      values.back() = sealed;
    }
  }
  if (!setNetworkParameters(nullptr, "wlan0", "office", keys.data(), values.data(),
                            static_cast<uint32_t>(keys.size()))) {
    std::abort();  // the network is there
  }
  database->clear();  // releases what the input stored
  return 0;
}
