#include <gtest/gtest.h>
#ifdef _WIN32
// pclose gives the exit code itself.
#define WIFEXITED(status) ((status) != -1)
#define WEXITSTATUS(status) (status)
#else
#include <sys/wait.h>
#endif

#include <string>

#include "tests/report/ReportSupport.h"

// The built wifictl run as a process, in its variant with the product's
// null backend, which finds no adapters: every answer is that of
// an unloaded host.
namespace {

TEST(WifictlTest, AnswersOfTheUnloadedHostWithTheirExitStatus) {
  const struct {
    const char* arguments;
    int status;
    std::string output;  // standard output and error together
  } rows[] = {
      {"xml --detailed", 0, report_test::kUnloadedDocument},
      {"dump", 0, "Network Database: \nCurrent WPA_STATUS        : UNKNOWN\n"},
      {"list", 1, "wifictl: list failed: no configured networks could be read from the daemon\n"},
      {"connect office", 1, "wifictl: connectToNetwork failed: network \"office\" on adapter wlan0\n"},
      {"--adapter wlan7 connect lab", 1,
       "wifictl: connectToNetwork failed: network \"lab\" on adapter wlan7\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.arguments);
    int status = -1;
    std::string output = report_test::run(std::string(WIFICTL " ") + row.arguments + " 2>&1", &status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == row.status);
    EXPECT_EQ(output, row.output);
  }
}

}  // namespace
