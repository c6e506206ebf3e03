#pragma once
// Runs a program as a child process, the way a script runs satcli, and keeps
// its exit status and output for the test to look at.
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace tavik::testing {

struct ProgramRun {
  int exit_status = -1;  // -1: killed (a signal, or past the limit)
  std::string out;
  std::string err;
  std::vector<std::string> out_lines() const;
};

// Runs program with args in the directory dir (created; its output files go
// there too), stopping it after limit. The program sees this process's
// environment with the "NAME=value" entries of extra_environment in front
// (so they win over the same names).
ProgramRun run_program(const std::filesystem::path& program, const std::vector<std::string>& args,
                       const std::filesystem::path& dir, const std::vector<std::string>& extra_environment = {},
                       std::chrono::milliseconds limit = std::chrono::seconds(60));

// A fresh empty directory under the temporary directory, unique to this
// process and name.
std::filesystem::path scratch_directory(const std::string& name);

}  // namespace tavik::testing
