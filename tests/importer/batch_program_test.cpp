// Which program runs the bulk-load batch file, chosen by the variables of
// the Env the import is given.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "importer/batch_runner.h"
#include "support/fault_env.h"

namespace kestrel::importer {
namespace {

TEST(BulkCopyProgramTest, TheEnvsVariableElseTheBcpBesideTheProgram) {
  struct Row {
    std::string variable;  // KESTREL_BCP, "" for none
    std::string program;
  };
  const std::string beside = std::string(KESTREL_BIN_DIR) + "/bcp";
  const std::vector<Row> rows = {
      {"", beside},
      {"/opt/tools/bcp", "/opt/tools/bcp"},
      {"bcp-lumo", "bcp-lumo"},  // looked up on PATH when run
  };
  for (const Row& row : rows) {
    kestrel::testing::FaultEnv env;
    env.SetVariable("KESTREL_BCP", row.variable);
    EXPECT_EQ(BulkCopyProgram(env), row.program) << '"' << row.variable << '"';
  }
}

}  // namespace
}  // namespace kestrel::importer
