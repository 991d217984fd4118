#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "tests/report/ReportSupport.h"

// The built wifictl run as a process, in its variant with the product's
// null backend, which finds no adapters: every answer is that of
// an unloaded host.
namespace {

#ifdef _WIN32
constexpr int kExitCodeUnit = 1;  // pclose gives the exit code itself
#else
constexpr int kExitCodeUnit = 256;  // a wait status: the exit code in its second byte
#endif

TEST(WifictlTest, AnswersOfTheUnloadedHostWithTheirExitStatus) {
  // Arguments, exit code, standard output and error together.
  const std::tuple<const char*, int, std::string> rows[] = {
      {"xml --detailed", 0, report_test::kUnloadedDocument},
      {"dump", 0, "Network Database: \nCurrent WPA_STATUS        : UNKNOWN\n"},
      {"list", 1, "wifictl: list failed: no configured networks could be read from the daemon\n"},
      {"connect office", 1, "wifictl: connectToNetwork failed: network \"office\" on adapter wlan0\n"},
      {"--adapter wlan7 connect lab", 1, "wifictl: connectToNetwork failed: network \"lab\" on adapter wlan7\n"},
  };
  for (const auto& [arguments, code, expected] : rows) {
    int status = -1;
    std::string output = report_test::run(std::string(WIFICTL " ") + arguments + " 2>&1", &status);
    EXPECT_EQ(std::make_tuple(output, status), std::make_tuple(expected, code * kExitCodeUnit)) << arguments;
  }
}

}  // namespace
