// Arbitrary daemon answers through the load, the refresh, the status
// queries, the XML document and the save, on one host settings object that
// every input reloads. The input is split at NUL bytes into the network
// list (its first four lines: more only repeat the same work), the scan
// results, the status report and the variable values (of networks 0 and 1,
// in the order the load asks them); each at line feeds. The daemon's
// failures are left to the unit tests: a failed load tears the object down,
// and only a new one, with a new watchdog thread, would load again.
#include <algorithm>

#include "core/WifiHostSettings.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/InputDaemon.h"
#include "orv/OrvTestClock.h"
#include "platform/XWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static WifiHostSettings* settings = [] {
    fuzz::useOwnKeyFile();
    orv_test::setClock(1000000);
    return WifiHostSettings::getInstance(nullptr);
  }();
  std::vector<std::string> sections = fuzz::splitAt(fuzz::text(data, size), '\0');
  sections.resize(4);
  fuzz::DaemonAnswers answers{fuzz::splitAt(sections[0], '\n'), fuzz::splitAt(sections[1], '\n'),
                              fuzz::splitAt(sections[2], '\n'), fuzz::splitAt(sections[3], '\n')};
  answers.networks.resize(std::min<size_t>(answers.networks.size(), 4));
  fuzz::answerFrom(&answers);

  settings->reload();
  settings->refreshNetworkList();
  settings->getDaemonStatus("wlan0");
  settings->getCurrentNetwork("wlan1");
  StringXWriter writer;
  settings->writeXml(&writer, nullptr, true);
  settings->save();

  // Back to the idle host, so that each input releases what it allocated
  // (libFuzzer's leak check then has no reason to run).
  fuzz::answerFrom(nullptr);
  settings->reload();
  return 0;
}
