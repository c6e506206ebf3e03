#pragma once
// The tavik-simulator command line.
#include <expected>
#include <string>
#include <vector>

#include "simulator/simulator.h"

namespace tavik::simulator {

struct CommandLine {
  SimulatorOptions options;
  bool help = false;
  bool quiet = false;
};

std::expected<CommandLine, std::string> parse_command_line(const std::vector<std::string>& args);
std::string help_text();

}  // namespace tavik::simulator
