#pragma once
// What a transport does with the device's output: wait, write, close.
#include <chrono>
#include <vector>

#include "codec/frame.h"

namespace tavik::simulator {

struct OutputStep {
  std::chrono::milliseconds delay{0};  // before writing
  codec::Bytes bytes;                  // one write; may be empty
  bool close = false;                  // close the connection after writing
  bool hold = false;                   // then do nothing more until the simulator stops
};

using OutputSteps = std::vector<OutputStep>;

}  // namespace tavik::simulator
