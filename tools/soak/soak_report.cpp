#include "soak_report.h"

#include <cstdio>

#include <fmt/format.h>

namespace tavik::soak {
namespace {

double milliseconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

constexpr std::size_t kKeptFaults = 10;

}  // namespace

void SoakReport::add(const CallResult& result, bool faulted) {
  const bool overrun = result.took > result.allowed;
  const bool unexplained = result.exchange && result.outcome == Outcome::ErrorText && !faulted;
  std::lock_guard lock(mutex_);
  auto found = kinds_.find(result.name);
  if (found == kinds_.end()) found = kinds_.emplace(std::string(result.name), PerKind{}).first;
  PerKind& kind = found->second;
  switch (result.outcome) {
    case Outcome::Answer: ++kind.answers; break;
    case Outcome::ErrorText: ++(unexplained ? kind.unexplained : kind.error_texts); break;
    case Outcome::Mismatch: ++kind.mismatches; break;
  }
  if (result.exchange) ++kind.exchanges;
  if (overrun) ++kind.overruns;
  kind.total += result.took;
  kind.longest = std::max(kind.longest, result.took);
  if ((overrun || unexplained || result.outcome == Outcome::Mismatch) && first_faults_.size() < kKeptFaults) {
    const char* why = overrun ? " (over its waiting time)" : unexplained ? " (error, nothing faulted)" : "";
    first_faults_.push_back(fmt::format("{} {:06} after {:.1f} ms{}: \"{}\"", result.name, result.session,
                                        milliseconds(result.took), why, result.text.substr(0, 200)));
  }
}

std::uint64_t SoakReport::calls() const {
  std::lock_guard lock(mutex_);
  std::uint64_t n = 0;
  for (const auto& [name, kind] : kinds_) n += kind.answers + kind.error_texts + kind.unexplained + kind.mismatches;
  return n;
}

std::uint64_t SoakReport::exchanges() const {
  std::lock_guard lock(mutex_);
  std::uint64_t n = 0;
  for (const auto& [name, kind] : kinds_) n += kind.exchanges;
  return n;
}

std::uint64_t SoakReport::answered() const {
  std::lock_guard lock(mutex_);
  std::uint64_t n = 0;
  for (const auto& [name, kind] : kinds_) n += kind.exchanges == 0 ? 0 : kind.answers;
  return n;
}

std::uint64_t SoakReport::unexplained_errors() const {
  std::lock_guard lock(mutex_);
  std::uint64_t n = 0;
  for (const auto& [name, kind] : kinds_) n += kind.unexplained;
  return n;
}

std::uint64_t SoakReport::mismatches() const {
  std::lock_guard lock(mutex_);
  std::uint64_t n = 0;
  for (const auto& [name, kind] : kinds_) n += kind.mismatches;
  return n;
}

std::uint64_t SoakReport::overruns() const {
  std::lock_guard lock(mutex_);
  std::uint64_t n = 0;
  for (const auto& [name, kind] : kinds_) n += kind.overruns;
  return n;
}

void SoakReport::print() const {
  std::lock_guard lock(mutex_);
  std::printf("%-31s %8s %8s %8s %8s %8s %9s %10s\n", "call", "answers", "errors", "unexpl", "mismatch",
              "overrun", "mean ms", "longest ms");
  for (const auto& [name, kind] : kinds_) {
    const std::uint64_t n = kind.answers + kind.error_texts + kind.unexplained + kind.mismatches;
    std::printf("%-31s %8llu %8llu %8llu %8llu %8llu %9.2f %10.1f\n", name.c_str(),
                static_cast<unsigned long long>(kind.answers), static_cast<unsigned long long>(kind.error_texts),
                static_cast<unsigned long long>(kind.unexplained), static_cast<unsigned long long>(kind.mismatches),
                static_cast<unsigned long long>(kind.overruns),
                n == 0 ? 0.0 : milliseconds(kind.total) / static_cast<double>(n), milliseconds(kind.longest));
  }
  for (const auto& fault : first_faults_) std::printf("  fault: %s\n", fault.c_str());
}

}  // namespace tavik::soak
