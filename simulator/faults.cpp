#include "simulator/faults.h"

#include <array>
#include <utility>

namespace tavik::simulator {
namespace {

struct FaultInfo {
  Fault fault;
  std::string_view name;
  FaultScope scope;
};

constexpr std::array kFaults{
    FaultInfo{Fault::None, "none", FaultScope::Answer},
    FaultInfo{Fault::Delay, "delay", FaultScope::Answer},
    FaultInfo{Fault::StaleFrames, "stale-frames", FaultScope::Answer},
    FaultInfo{Fault::SplitWrites, "split-writes", FaultScope::Answer},
    FaultInfo{Fault::LongHeader, "long-header", FaultScope::Answer},
    FaultInfo{Fault::WrongCrc, "wrong-crc", FaultScope::Answer},
    FaultInfo{Fault::CorruptZlib, "corrupt-zlib", FaultScope::Answer},
    FaultInfo{Fault::InvalidUtf8, "invalid-utf8", FaultScope::Answer},
    FaultInfo{Fault::CloseMidBody, "close-mid-body", FaultScope::Answer},
    FaultInfo{Fault::DataBeforeRequest, "data-before-request", FaultScope::Connection},
    FaultInfo{Fault::CloseAfterAccept, "close-after-accept", FaultScope::Connection},
    FaultInfo{Fault::NeverAnswer, "never-answer", FaultScope::Answer},
    FaultInfo{Fault::HugeAnswer, "huge-answer", FaultScope::Answer},
    FaultInfo{Fault::WrongCertificate, "wrong-certificate", FaultScope::Certificate},
    FaultInfo{Fault::Impostor, "impostor", FaultScope::Certificate},
    FaultInfo{Fault::SilentHandshake, "silent-handshake", FaultScope::Connection},
    FaultInfo{Fault::StalledReader, "stalled-reader", FaultScope::Connection},
    FaultInfo{Fault::FieldBomb, "field-bomb", FaultScope::Answer},
    FaultInfo{Fault::ZlibBomb, "zlib-bomb", FaultScope::Answer},
    FaultInfo{Fault::Sha1Signatures, "sha1-signatures", FaultScope::Certificate},
};

const FaultInfo& info(Fault fault) {
  for (const auto& entry : kFaults) {
    if (entry.fault == fault) return entry;
  }
  return kFaults[0];
}

}  // namespace

FaultScope scope_of(Fault fault) { return info(fault).scope; }
std::string_view name_of(Fault fault) { return info(fault).name; }

std::optional<Fault> fault_from_name(std::string_view name) {
  for (const auto& entry : kFaults) {
    if (entry.name == name) return entry.fault;
  }
  return std::nullopt;
}

const std::vector<Fault>& all_faults() {
  static const std::vector<Fault> faults = [] {
    std::vector<Fault> list;
    for (const auto& entry : kFaults) {
      if (entry.fault != Fault::None) list.push_back(entry.fault);
    }
    return list;
  }();
  return faults;
}

void FaultSwitch::set(FaultPlan plan) {
  std::lock_guard lock(mutex_);
  plan_ = std::move(plan);
  used_ = 0;
}

FaultPlan FaultSwitch::plan() const {
  std::lock_guard lock(mutex_);
  return plan_;
}

std::optional<FaultPlan> FaultSwitch::take(FaultScope scope) {
  std::lock_guard lock(mutex_);
  if (plan_.fault == Fault::None || scope_of(plan_.fault) != scope) return std::nullopt;
  if (plan_.count != 0 && used_ >= plan_.count) return std::nullopt;
  ++used_;
  return plan_;
}

}  // namespace tavik::simulator
