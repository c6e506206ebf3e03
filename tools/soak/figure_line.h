#pragma once
// One benchmark figure in the report's shape:
// name value unit baseline ratio goal verdict.
#include <string>

#include <fmt/format.h>

namespace tavik::soak {

inline void print_figure(const std::string& name, double value, const std::string& unit, double baseline,
                         const std::string& goal, bool met) {
  fmt::print("{} {:.3f} {} {:.3f} {:.3f} {} {}\n", name, value, unit, baseline, value / baseline, goal,
             met ? "ok" : "MISSED");
}

inline void print_info(const std::string& name, double value, const std::string& unit) {
  fmt::print("{} {:.3f} {} - - - info\n", name, value, unit);
}

}  // namespace tavik::soak
