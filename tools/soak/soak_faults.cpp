#include "soak_faults.h"

#include <array>

namespace tavik::soak {
namespace {

using simulator::Fault;

constexpr std::array kSoakFaults{
    SoakFault{Fault::Delay, true},          // 1 to 40 ms, far within the read time-out
    SoakFault{Fault::StaleFrames, true},    // answers to other sessions are skipped
    SoakFault{Fault::SplitWrites, true},    // a header in pieces is put together again
    SoakFault{Fault::LongHeader, false},    // a header over 512 bytes is refused
    SoakFault{Fault::WrongCrc, false},      // the body fails its check
    SoakFault{Fault::CorruptZlib, false},   // the body cannot be inflated
    SoakFault{Fault::InvalidUtf8, false},   // the body is no valid text
    SoakFault{Fault::CloseMidBody, false},  // the answer never arrives whole
    SoakFault{Fault::DataBeforeRequest, false},  // the TLS handshake meets a plain frame
    SoakFault{Fault::CloseAfterAccept, false},   // the connection ends before the handshake
    SoakFault{Fault::FieldBomb, true},      // 16 MiB of empty fields: under the size cap, answered
    SoakFault{Fault::ZlibBomb, false},      // inflates past the size cap: refused
};

}  // namespace

std::span<const SoakFault> soak_faults() { return kSoakFaults; }

std::optional<SoakFault> soak_fault_named(std::string_view name) {
  for (const auto& entry : kSoakFaults) {
    if (simulator::name_of(entry.fault) == name) return entry;
  }
  return std::nullopt;
}

}  // namespace tavik::soak
