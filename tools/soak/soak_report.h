#pragma once
// What the callers saw, gathered over all threads.
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "call_mix.h"

namespace tavik::soak {

class SoakReport {
 public:
  void add(const CallResult& result);

  std::uint64_t calls() const;
  std::uint64_t mismatches() const;
  std::uint64_t overruns() const;
  void print() const;

 private:
  struct PerKind {
    std::uint64_t answers = 0;
    std::uint64_t error_texts = 0;
    std::uint64_t mismatches = 0;
    std::uint64_t overruns = 0;
    std::chrono::steady_clock::duration total{};
    std::chrono::steady_clock::duration longest{};
  };
  mutable std::mutex mutex_;
  std::map<std::string, PerKind, std::less<>> kinds_;
  std::vector<std::string> first_faults_;  // the first few mismatches and overruns, for the report
};

}  // namespace tavik::soak
