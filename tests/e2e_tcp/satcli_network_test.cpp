// satcli as a script runs it against a simulated module on the network: the
// real program and library in a child process, the module in this one.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_tcp/module_log.h"
#include "host/program_run.h"
#include "private_network.h"
#include "simulator/test_device.h"

namespace tavik::e2e {
namespace {

using tavik::testing::ProgramRun;
using tavik::testing::run_program;
using tavik::testing::scratch_directory;

ProgramRun satcli(std::vector<std::string> args) {
  return run_program(TAVIK_SATCLI_PATH, args, scratch_directory("satcli-network"));
}

// The fields of a result line after its "Name: " prefix.
std::vector<std::string> fields_of(const std::string& line) {
  std::vector<std::string> fields;
  std::string rest = line.substr(line.find(": ") + 2);
  for (std::size_t bar; (bar = rest.find('|')) != std::string::npos; rest.erase(0, bar + 1)) {
    fields.push_back(rest.substr(0, bar));
  }
  fields.push_back(rest);
  return fields;
}

class SatcliAgainstAModule : public ::testing::Test {
 protected:
  void SetUp() override {
    TAVIK_REQUIRE_PRIVATE_NETWORK();
    module_ = start_module({.address = "127.0.0.2"}, log_);
    ASSERT_TRUE(module_);
  }

  // Opens the module, then a sale: its answer carries the signed CF-e in
  // base64, thousands of characters.
  std::vector<std::string> sale(const std::string& option, int session) {
    return {option, "FiltraMFEIp", "127.0.0.2", "--", "EnviarDadosVenda", std::to_string(session),
            simulator::testing::kCode, simulator::testing::sale_xml()};
  }

  ModuleLog log_;
  std::unique_ptr<simulator::Simulator> module_;
};

TEST_F(SatcliAgainstAModule, FailOnErrorPassesTheModulesAnswersRefusalsIncluded) {
  const ProgramRun run = satcli({"--fail-on-error", "FiltraMFEIp", "127.0.0.2", "--", "ConsultarSAT", "100001", "--",
                                 "ConsultarStatusOperacional", "100002", "wrong-code"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  const auto lines = run.out_lines();
  ASSERT_EQ(lines.size(), 3u) << run.out;
  EXPECT_EQ(lines[0], "FiltraMFEIp: 0");
  EXPECT_TRUE(lines[1].starts_with("ConsultarSAT: 100001|08000|")) << lines[1];
  // The module refuses the activation code: an answer, not an error result.
  EXPECT_TRUE(lines[2].starts_with("ConsultarStatusOperacional: 100002|10001|")) << lines[2];
}

TEST_F(SatcliAgainstAModule, LongFieldsAreShortenedWithTheirLength) {
  const ProgramRun run = satcli(sale("--fail-on-error", 100011));
  EXPECT_EQ(run.exit_status, 0) << run.err;
  const auto lines = run.out_lines();
  ASSERT_EQ(lines.size(), 2u) << run.out;
  ASSERT_TRUE(lines[1].starts_with("EnviarDadosVenda: 100011|06000|")) << lines[1].substr(0, 200);
  std::size_t shortened = 0;
  for (const std::string& field : fields_of(lines[1])) {
    EXPECT_LE(field.size(), 130u) << field.substr(0, 40);
    if (field.ends_with(" characters)")) ++shortened;
  }
  EXPECT_GE(shortened, 1u) << lines[1];
}

TEST_F(SatcliAgainstAModule, FullPrintsLongFieldsWhole) {
  const ProgramRun run = satcli(sale("--full", 100021));
  EXPECT_EQ(run.exit_status, 0) << run.err;
  const auto lines = run.out_lines();
  ASSERT_EQ(lines.size(), 2u) << run.out;
  ASSERT_TRUE(lines[1].starts_with("EnviarDadosVenda: 100021|06000|")) << lines[1].substr(0, 200);
  std::size_t longest = 0;
  for (const std::string& field : fields_of(lines[1])) {
    longest = std::max(longest, field.size());
    EXPECT_FALSE(field.ends_with(" characters)")) << field.substr(0, 40);
  }
  EXPECT_GT(longest, 1000u);
}

}  // namespace
}  // namespace tavik::e2e
