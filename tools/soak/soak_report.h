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
  // faulted: whether the soak faulted the call's exchange (or cut the module
  // off meanwhile), which lets it end in an error text.
  void add(const CallResult& result, bool faulted);

  std::uint64_t calls() const;
  std::uint64_t mismatches() const;
  std::uint64_t overruns() const;
  // Calls that made a device exchange, those that got the module's answer,
  // and those that got an error text although nothing was faulted.
  std::uint64_t exchanges() const;
  std::uint64_t answered() const;
  std::uint64_t unexplained_errors() const;
  void print() const;

 private:
  struct PerKind {
    std::uint64_t answers = 0;
    std::uint64_t error_texts = 0;
    std::uint64_t unexplained = 0;  // error texts of exchanges nothing faulted
    std::uint64_t exchanges = 0;
    std::uint64_t mismatches = 0;
    std::uint64_t overruns = 0;
    std::chrono::steady_clock::duration total{};
    std::chrono::steady_clock::duration longest{};
  };
  mutable std::mutex mutex_;
  std::map<std::string, PerKind, std::less<>> kinds_;
  std::vector<std::string> first_faults_;  // the first few mismatches, overruns and unexplained errors, for the report
};

}  // namespace tavik::soak
