#pragma once
// Where the simulator writes its human-readable account of each exchange.
#include <functional>
#include <string_view>

namespace tavik::simulator {

using RequestLog = std::function<void(std::string_view line)>;

}  // namespace tavik::simulator
