// The daemon line parsers on their own: field splitting as the list and
// scan lines are split, the state word of a status line, and the merge of
// scan lines into records. The input's first line names the records'
// SSIDs (TAB-separated); every further line is a daemon line.
#include <cstdlib>
#include <cstring>

#include "core/WifiNetworkDatabase.h"
#include "daemon/DaemonText.h"
#include "fuzz/FuzzSupport.h"
#include "model/Text.h"
#include "model/WifiNetwork.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static WifiNetworkDatabase database;
  std::vector<std::string> lines = fuzz::splitAt(fuzz::text(data, size), '\n');
  for (const std::string& ssid : fuzz::splitAt(lines[0], '\t')) {
    auto* network = new WifiNetwork();
    network->setSsid(ssid.c_str());
    if (!database.add(network)) delete network;
  }

  LineArray scan(kScanCapacity);
  for (size_t i = 1; i < lines.size(); ++i) {
    const char* line = lines[i].c_str();
    for (const char* separators : {"\t", "\t "}) {
      WorkingLine fields(line);
      for (const char* field; (field = fields.nextField(separators)) != nullptr;) {
        if (*field == '\0' || std::strpbrk(field, separators) != nullptr) std::abort();
      }
    }
    if (daemonStateOf(line) > DAEMON_STATE_COMPLETED) std::abort();
    if (*scan.count() < scan.capacity()) scan.entries()[(*scan.count())++] = text::copy(line);
  }
  mergeScanLines(database, scan);
  for (WifiNetwork* network = database.first(); network != nullptr; network = network->getNext()) {
    if (network->getChannel() < 0 || network->getChannel() > 11) std::abort();
    if (network->getStrength() < 0 || network->getStrength() > 100) std::abort();
  }
  database.clear();  // releases what the input allocated
  return 0;
}
