#pragma once
// A fiscal module played from a script, behind the transport interfaces. It
// answers each complete request frame through a responder, hands out what it
// has to send in reads of at most max_read bytes, and times out when it has
// nothing. Opening and closing are recorded as events.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "codec/frame.h"
#include "kovo_base/connection/handle.h"

namespace tavik::testing {

using kovo_base::connection::TransferError;

// What one read returns: bytes (possibly split over several reads), one
// failure, or one end of stream (a read of zero bytes).
struct EndOfStream {};
using ReadStep = std::variant<codec::Bytes, TransferError, EndOfStream>;

TransferError usb_failure(kovo_base::UsbErrorKind kind);
TransferError timed_out();

class ScriptedDevice {
 public:
  // Steps to queue in answer to one complete request frame.
  using Responder = std::function<std::vector<ReadStep>(const codec::Bytes& request)>;

  explicit ScriptedDevice(Responder responder = {});

  // A new handle onto this device; its destruction is recorded as "close N".
  kovo_base::connection::Handle open_usb();
  kovo_base::connection::Handle open_tcp();

  void queue(ReadStep step);
  void set_max_read(std::size_t bytes);
  void set_max_write(std::size_t bytes);
  // The next write fails with this instead of taking bytes.
  void queue_write_failure(TransferError failure);
  // Results of the next raw socket receives of TCP handles; a time-out when
  // none is queued.
  void queue_raw_receive(std::expected<std::size_t, kovo_base::IoError> result);

  std::vector<std::string> events() const;
  std::vector<codec::Bytes> requests() const;
  std::vector<std::pair<std::uint64_t, std::uint32_t>> read_timeouts() const;
  std::size_t reads() const;

  // Used by the scripted transports.
  kovo_base::connection::TransferResult write(std::span<const std::uint8_t> bytes);
  kovo_base::connection::TransferResult read(std::span<std::uint8_t> buffer);
  void set_timeout(std::uint64_t seconds, std::uint32_t nanos);
  std::expected<std::size_t, kovo_base::IoError> raw_receive();
  void record(std::string event);
  int next_id();

 private:
  mutable std::mutex lock_;
  Responder responder_;
  std::deque<ReadStep> pending_;
  std::deque<TransferError> write_failures_;
  std::deque<std::expected<std::size_t, kovo_base::IoError>> raw_receives_;
  codec::Bytes inbox_;
  std::vector<codec::Bytes> requests_;
  std::vector<std::string> events_;
  std::vector<std::pair<std::uint64_t, std::uint32_t>> timeouts_;
  std::size_t max_read_ = 512;
  std::size_t max_write_ = SIZE_MAX;
  std::size_t reads_ = 0;
  int opened_ = 0;
};

// Plain (uncompressed) frames built with the real codec.
codec::Bytes sat_frame(std::int32_t session, std::vector<std::string> contents,
                       codec::SatFunction code = codec::SatFunction::ConsultarSAT, bool compress = false);
codec::Bytes mfe_frame(std::optional<std::int32_t> session, std::vector<std::string> contents,
                       codec::MfeMessageType code = codec::MfeMessageType::ConsultarStatusOperacionalMFE);
// A plain SAT answer frame carrying exactly this body text.
codec::Bytes raw_sat_frame(std::string_view body, std::string_view code = "ConsultarSAT");
codec::Bytes concat(std::initializer_list<codec::Bytes> parts);

// Decodes a request the library wrote.
codec::SatBody decode_sat(const codec::Bytes& frame);
codec::MfeBody decode_mfe(const codec::Bytes& frame);

// A responder answering every SAT request with its own session number and
// the given fields.
ScriptedDevice::Responder echo_session(std::vector<std::string> contents);

}  // namespace tavik::testing
