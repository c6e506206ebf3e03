// satcli as a script runs it: the real program, loading the real library,
// with no fiscal module attached. Each run is a child process in a scratch
// directory (no settings file applies there).
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/program_run.h"

namespace tavik::testing {
namespace {

namespace fs = std::filesystem;

ProgramRun satcli(const std::vector<std::string>& args) {
  return run_program(TAVIK_SATCLI_PATH, args, scratch_directory("satcli"));
}

// One call that succeeds, one whose result is an argument error, one more.
const std::vector<std::string> chain_with_error_result = {
    "EnviarStatusAC", "1", "a", "b", "c", "--", "ConsultarStatusOperacional", "2", "@null", "--", "VersaoLib"};

TEST(SatcliProgram, FailOnErrorStopsAtTheFirstErrorResult) {
  std::vector<std::string> args = {"--fail-on-error"};
  args.insert(args.end(), chain_with_error_result.begin(), chain_with_error_result.end());
  const ProgramRun run = satcli(args);
  EXPECT_EQ(run.exit_status, 1) << run.err;
  EXPECT_EQ(run.out, "EnviarStatusAC: \nConsultarStatusOperacional: Argumento eh NULL\n");
  EXPECT_EQ(run.err, "satcli: ConsultarStatusOperacional gave an error result; the 1 later call(s) did not run\n");
}

TEST(SatcliProgram, WithoutFailOnErrorEveryCallRuns) {
  const ProgramRun run = satcli(chain_with_error_result);
  EXPECT_EQ(run.exit_status, 0) << run.err;
  const auto lines = run.out_lines();
  ASSERT_EQ(lines.size(), 3u) << run.out;
  EXPECT_EQ(lines[1], "ConsultarStatusOperacional: Argumento eh NULL");
  EXPECT_TRUE(lines[2].starts_with("VersaoLib: TAVIK  DLL SAT Versão: ")) << lines[2];
}

TEST(SatcliProgram, FailOnErrorJudgesEachKindOfResult) {
  struct Case {
    std::vector<std::string> call;
    std::string out;
    int exit_status;
  };
  const std::vector<Case> cases = {
      {{"ConsultarSAT", "4321"}, "004321|9999|SAT Desconectado\n", 1},
      {{"ConsultarStatusOperacional", "5", "ab\xC3("}, "Argumento nao eh UTF-8 valido\n", 1},
      {{"EnviarStatusAC", "6", "a", "b", "c"}, "\n", 0},
      // The filter finds no device to open: status 1.
      {{"FiltraMFEUsb", "1", "4"}, "1\n", 1},
      {{"GetDeviceInfoAsJson"}, "NULL\n", 1},
      {{"AbreSerialMFE"}, "0\n", 0},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"--fail-on-error"};
    args.insert(args.end(), c.call.begin(), c.call.end());
    const ProgramRun run = satcli(args);
    EXPECT_EQ(run.out, c.out) << c.call[0];
    EXPECT_EQ(run.exit_status, c.exit_status) << c.call[0] << ": " << run.err;
  }
}

TEST(SatcliProgram, AFaultInAnyCallRunsNoCall) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"EnviarStatusAC", "1", "a", "b", "c", "--", "VersaoLib", "--", "ConsultarSAT", "x"},
       "satcli: call 3 of 3: ConsultarSAT: numeroSessao must be a decimal int, given 'x'\n"},
      {{"EnviarStatusAC", "1", "a", "b", "c", "--", "ConsultarSat", "1"},
       "satcli: call 2 of 2: no export named 'ConsultarSat' (see satcli --list)\n"},
      {{"--fail-on-eror", "VersaoLib"}, "satcli: unknown option --fail-on-eror (see satcli --help)\n"},
  };
  for (const auto& c : cases) {
    const ProgramRun run = satcli(c.args);
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_EQ(run.out, "") << "a call ran";
    EXPECT_EQ(run.err, c.err);
  }
}

TEST(SatcliProgram, HelpNamesTheOptions) {
  const ProgramRun run = satcli({"--help"});
  EXPECT_EQ(run.exit_status, 0);
  for (const char* option : {"--fail-on-error", "--full", "--lib PATH", "--list", TAVIK_LIBRARY_FILE_NAME}) {
    EXPECT_NE(run.out.find(option), std::string::npos) << option;
  }
}

// satcli copied into a folder of its own, as a point-of-sale vendor ships it,
// with or without a library beside it.
class SatcliBesideALibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_directory("satcli-beside");
    fs::copy_file(TAVIK_SATCLI_PATH, program());
  }
  fs::path program() const { return dir_ / "satcli"; }
  fs::path beside() const { return dir_ / TAVIK_LIBRARY_FILE_NAME; }
  ProgramRun run(const std::vector<std::string>& args, const std::vector<std::string>& environment = {}) const {
    return run_program(program(), args, dir_ / "work", environment);
  }

  fs::path dir_;
};

TEST_F(SatcliBesideALibrary, LoadsTheChosenLibraryElseTheOneBesideIt) {
  fs::copy_file(TAVIK_STUB_LIBRARY_PATH, beside());
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> environment;
    std::string out_start;
  };
  const std::string stub = "stub library beside satcli";
  const std::string real = "TAVIK  DLL SAT Versão: ";
  const std::vector<Case> cases = {
      {{"VersaoLib"}, {}, stub},
      {{"--lib", TAVIK_LIBRARY_PATH, "VersaoLib"}, {}, real},
      {{"VersaoLib"}, {std::string("TAVIK_LIBRARY=") + TAVIK_LIBRARY_PATH}, real},
      {{"VersaoLib"}, {"TAVIK_LIBRARY="}, stub},  // empty: not a choice
  };
  for (const auto& c : cases) {
    const ProgramRun run = this->run(c.args, c.environment);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_TRUE(run.out.starts_with(c.out_start)) << run.out;
  }
}

TEST_F(SatcliBesideALibrary, WithNoneBesideItTheSystemSearchFindsTheLibrary) {
  const ProgramRun lost = this->run({"VersaoLib"});
  EXPECT_EQ(lost.exit_status, 3);
  EXPECT_TRUE(lost.err.starts_with(std::string("satcli: cannot load ") + TAVIK_LIBRARY_FILE_NAME + ": ")) << lost.err;

  const std::string library_dir = fs::path(TAVIK_LIBRARY_PATH).parent_path().string();
  const ProgramRun run = this->run({"VersaoLib"}, {"LD_LIBRARY_PATH=" + library_dir});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("TAVIK  DLL SAT Versão: ")) << run.out;
}

TEST_F(SatcliBesideALibrary, ABrokenLibraryBesideItIsAnErrorNotASilentFallBack) {
  { std::ofstream(beside()) << "not a library"; }
  const ProgramRun run = this->run({"VersaoLib"});
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(run.err.starts_with(std::string("satcli: cannot load ") + TAVIK_LIBRARY_FILE_NAME + " beside satcli: "))
      << run.err;
}

}  // namespace
}  // namespace tavik::testing
