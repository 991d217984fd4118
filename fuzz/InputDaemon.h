#pragma once
// The daemon of the fuzz targets: it answers from the input being run, so
// that an input costs what the library does with it and little more. No
// lock and no record of calls: the targets run on one thread.
#include <string>
#include <vector>

namespace fuzz {

struct DaemonAnswers {
  using Lines = std::vector<std::string>;
  Lines networks;   // listNetworks
  Lines scanLines;  // getScanLines
  Lines status;     // getStatus
  // The variables of networks 0 and 1, answered in turn as the load asks
  // them; a network whose turn comes again starts over.
  Lines values;
};

// Two adapters, "wlan0" and "wlan1", always. Every other operation
// succeeds; answers that are lines or values come from answers, which the
// caller keeps alive until the next call (null: no networks, no status).
void answerFrom(const DaemonAnswers* answers);

}  // namespace fuzz
