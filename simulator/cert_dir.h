#pragma once
// The folder of development certificates the simulator presents by default.
#include <string>

namespace tavik::simulator {

// Found relative to the running program, so that a build tree or an
// installation moved to another machine still finds its own certificates:
// the nearest folder above the program (the program's own first) that holds
// certs/development-only (a build tree, or the source tree it lies in) or
// share/tavik-simulator/certs/development-only (an installation under a
// prefix). Falls back to certs/development-only under the current directory.
std::string default_cert_dir();

}  // namespace tavik::simulator
