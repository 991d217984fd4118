#include <gtest/gtest.h>
#include <sys/wait.h>

#include <string>

#include "tests/report/ReportSupport.h"

// The built wifictl run as a process, in its variant with the product's
// null backend, which finds no adapters: every answer is that of
// an unloaded host.
namespace {

TEST(WifictlTest, AnswersOfTheUnloadedHostWithTheirExitStatus) {
  struct Row {
    const char* arguments;
    int status;
    std::string output;  // standard output and error together
  };
  const Row rows[] = {
      {"xml --detailed", 0, report_test::kUnloadedDocument},
      {"dump", 0, "Network Database: \nCurrent WPA_STATUS        : UNKNOWN\n"},
      {"list", 1, "wifictl: list failed: no configured networks could be read from the daemon\n"},
      {"connect office", 1, "wifictl: connectToNetwork failed: network \"office\" on adapter wlan0\n"},
      {"--adapter wlan7 connect lab", 1,
       "wifictl: connectToNetwork failed: network \"lab\" on adapter wlan7\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.arguments);
    int status = -1;
    std::string output = report_test::run(std::string(WIFICTL " ") + row.arguments + " 2>&1", &status);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), row.status);
    EXPECT_EQ(output, row.output);
  }
}

}  // namespace
