#pragma once
// Misbehaviours the simulator can be told to show, per test or from the
// command line.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavik::simulator {

enum class Fault : std::uint8_t {
  None,
  Delay,              // wait before answering
  StaleFrames,        // frames with other session numbers before the answer
  SplitWrites,        // the answer in many small writes
  LongHeader,         // a valid header longer than 512 bytes
  WrongCrc,           // edc-word does not match the body
  CorruptZlib,        // a compressed body whose zlib stream is broken
  InvalidUtf8,        // a plain body with invalid UTF-8
  CloseMidBody,       // header and half the body, then the connection closes
  DataBeforeRequest,  // bytes sent right after accepting
  CloseAfterAccept,   // the connection is closed right after accepting
  NeverAnswer,        // requests are read and never answered
  HugeAnswer,         // an answer of several MiB
  WrongCertificate,   // TLS: a certificate for another key
  Impostor,           // TLS: the CA certificate, signed with another key
  SilentHandshake,    // the connection is accepted and TLS never answered
  StalledReader,      // the handshake completes, then nothing more is read
  FieldBomb,          // a small compressed answer inflating to millions of empty fields
  ZlibBomb,           // a small compressed answer inflating to a GiB
  Sha1Signatures,     // TLS: 1.2 only, signing only with RSA and SHA-1
};

// When a fault acts: on each answer, on each accepted connection, or on the
// TLS certificate chosen for a connection.
enum class FaultScope : std::uint8_t { Answer, Connection, Certificate };

FaultScope scope_of(Fault fault);
std::string_view name_of(Fault fault);
std::optional<Fault> fault_from_name(std::string_view name);
const std::vector<Fault>& all_faults();

struct FaultPlan {
  Fault fault = Fault::None;
  unsigned count = 0;  // how many times it acts; 0: every time
  std::chrono::milliseconds delay{2000};
  unsigned stale_frames = 3;
  std::size_t split_size = 7;
  std::size_t huge_bytes = 6u << 20;
  std::uint64_t field_bomb_bytes = 16u << 20;  // "|" after the answer: about 16 KB on the wire
  std::uint64_t zlib_bomb_bytes = 1u << 30;    // one field of "A": about 1 MiB on the wire
};

// The fault plan shared by every connection of one simulator; tests may
// replace it at any moment.
class FaultSwitch {
 public:
  void set(FaultPlan plan);
  FaultPlan plan() const;
  // The plan if its fault has the scope and acts once more; uses up one count.
  std::optional<FaultPlan> take(FaultScope scope);

 private:
  mutable std::mutex mutex_;
  FaultPlan plan_;
  unsigned used_ = 0;
};

}  // namespace tavik::simulator
