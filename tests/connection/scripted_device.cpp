#include "scripted_device.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include <fmt/format.h>

namespace tavik::testing {
namespace {

using kovo_base::IoError;
using kovo_base::IoKind;
using kovo_base::connection::Handle;
using kovo_base::connection::TransferResult;

class ScriptedUsb final : public kovo_base::connection::UsbTransport {
 public:
  explicit ScriptedUsb(ScriptedDevice& device) : device_(device), id_(device.next_id()) {
    device_.record(fmt::format("open {}", id_));
  }
  ~ScriptedUsb() override { device_.record(fmt::format("close {}", id_)); }
  TransferResult write(std::span<const std::uint8_t> bytes) override { return device_.write(bytes); }
  TransferResult read(std::span<std::uint8_t> buffer) override { return device_.read(buffer); }
  std::expected<void, IoError> set_read_timeout(std::uint64_t s, std::uint32_t ns) override {
    device_.set_timeout(s, ns);
    return {};
  }
  std::string debug() const override { return fmt::format("Scripted {}", id_); }

 private:
  ScriptedDevice& device_;
  int id_;
};

class ScriptedTcp final : public kovo_base::connection::TcpTransport {
 public:
  explicit ScriptedTcp(ScriptedDevice& device) : device_(device), id_(device.next_id()) {
    device_.record(fmt::format("open {}", id_));
  }
  ~ScriptedTcp() override { device_.record(fmt::format("close {}", id_)); }
  TransferResult write(std::span<const std::uint8_t> bytes) override { return device_.write(bytes); }
  TransferResult read(std::span<std::uint8_t> buffer) override { return device_.read(buffer); }
  std::expected<void, IoError> set_read_timeout(std::uint64_t s, std::uint32_t ns) override {
    device_.set_timeout(s, ns);
    return {};
  }
  std::expected<void, IoError> set_socket_receive_timeout(std::optional<std::chrono::nanoseconds> timeout) override {
    device_.record(timeout ? fmt::format("socket timeout {}ns", timeout->count()) : "socket timeout cleared");
    return {};
  }
  std::expected<std::size_t, IoError> receive_raw_byte() override { return device_.raw_receive(); }
  std::string debug() const override { return fmt::format("Scripted {}", id_); }

 private:
  ScriptedDevice& device_;
  int id_;
};

// Length of the complete frame at the start of bytes, or nothing while it is
// still incomplete.
std::optional<std::size_t> complete_frame_length(const codec::Bytes& bytes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  constexpr std::string_view end_of_header = "version:1.0\r\n\r\n\r\n";
  const auto header_end = text.find(end_of_header);
  const auto size_at = text.find("content-size:");
  if (header_end == std::string_view::npos || size_at == std::string_view::npos) return std::nullopt;
  const std::size_t body_size = std::stoull(std::string(text.substr(size_at + 13, 20)));
  const std::size_t total = header_end + end_of_header.size() + body_size;
  if (bytes.size() < total) return std::nullopt;
  return total;
}

}  // namespace

TransferError usb_failure(kovo_base::UsbErrorKind kind) { return TransferError::from_usb(kind); }
TransferError timed_out() { return usb_failure(kovo_base::UsbErrorKind::Timeout); }

ScriptedDevice::ScriptedDevice(Responder responder) : responder_(std::move(responder)) {}

Handle ScriptedDevice::open_usb() { return Handle::usb(std::make_unique<ScriptedUsb>(*this)); }
Handle ScriptedDevice::open_tcp() { return Handle::tcp(std::make_unique<ScriptedTcp>(*this)); }

void ScriptedDevice::queue(ReadStep step) {
  std::lock_guard lock(lock_);
  pending_.push_back(std::move(step));
}

void ScriptedDevice::set_max_read(std::size_t bytes) {
  std::lock_guard lock(lock_);
  max_read_ = bytes;
}

void ScriptedDevice::set_max_write(std::size_t bytes) {
  std::lock_guard lock(lock_);
  max_write_ = bytes;
}

void ScriptedDevice::queue_write_failure(TransferError failure) {
  std::lock_guard lock(lock_);
  write_failures_.push_back(std::move(failure));
}

void ScriptedDevice::queue_raw_receive(std::expected<std::size_t, IoError> result) {
  std::lock_guard lock(lock_);
  raw_receives_.push_back(std::move(result));
}

std::vector<std::string> ScriptedDevice::events() const {
  std::lock_guard lock(lock_);
  return events_;
}

std::vector<codec::Bytes> ScriptedDevice::requests() const {
  std::lock_guard lock(lock_);
  return requests_;
}

std::vector<std::pair<std::uint64_t, std::uint32_t>> ScriptedDevice::read_timeouts() const {
  std::lock_guard lock(lock_);
  return timeouts_;
}

std::size_t ScriptedDevice::reads() const {
  std::lock_guard lock(lock_);
  return reads_;
}

TransferResult ScriptedDevice::write(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(lock_);
  if (!write_failures_.empty()) {
    TransferError failure = write_failures_.front();
    write_failures_.pop_front();
    return std::unexpected(std::move(failure));
  }
  const std::size_t taken = std::min(bytes.size(), max_write_);
  inbox_.insert(inbox_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(taken));
  while (auto length = complete_frame_length(inbox_)) {
    codec::Bytes request(inbox_.begin(), inbox_.begin() + static_cast<std::ptrdiff_t>(*length));
    inbox_.erase(inbox_.begin(), inbox_.begin() + static_cast<std::ptrdiff_t>(*length));
    if (responder_) {
      for (auto& step : responder_(request)) pending_.push_back(std::move(step));
    }
    requests_.push_back(std::move(request));
  }
  return taken;
}

TransferResult ScriptedDevice::read(std::span<std::uint8_t> buffer) {
  std::lock_guard lock(lock_);
  ++reads_;
  if (pending_.empty()) return std::unexpected(timed_out());
  ReadStep& step = pending_.front();
  if (auto* bytes = std::get_if<codec::Bytes>(&step)) {
    const std::size_t count = std::min({buffer.size(), bytes->size(), max_read_});
    std::memcpy(buffer.data(), bytes->data(), count);
    bytes->erase(bytes->begin(), bytes->begin() + static_cast<std::ptrdiff_t>(count));
    if (bytes->empty()) pending_.pop_front();
    return count;
  }
  if (auto* failure = std::get_if<TransferError>(&step)) {
    TransferError copy = *failure;
    pending_.pop_front();
    return std::unexpected(std::move(copy));
  }
  pending_.pop_front();
  return 0;
}

void ScriptedDevice::set_timeout(std::uint64_t seconds, std::uint32_t nanos) {
  std::lock_guard lock(lock_);
  timeouts_.emplace_back(seconds, nanos);
}

std::expected<std::size_t, IoError> ScriptedDevice::raw_receive() {
  std::lock_guard lock(lock_);
  if (raw_receives_.empty()) return std::unexpected(IoError::custom(IoKind::WouldBlock, "Resource temporarily unavailable"));
  auto result = raw_receives_.front();
  raw_receives_.pop_front();
  return result;
}

void ScriptedDevice::record(std::string event) {
  std::lock_guard lock(lock_);
  events_.push_back(std::move(event));
}

int ScriptedDevice::next_id() {
  std::lock_guard lock(lock_);
  return ++opened_;
}

codec::Bytes sat_frame(std::int32_t session, std::vector<std::string> contents, codec::SatFunction code,
                       bool compress) {
  auto frame = codec::sat::encode_frame({code, codec::Source::Application, {session, std::move(contents)}}, compress);
  if (!frame) throw std::runtime_error("cannot encode the SAT fixture");
  return *frame;
}

codec::Bytes mfe_frame(std::optional<std::int32_t> session, std::vector<std::string> contents,
                       codec::MfeMessageType code) {
  auto frame = codec::mfe::encode_frame({code, codec::Source::Application, {session, std::move(contents)}}, false);
  if (!frame) throw std::runtime_error("cannot encode the MFE fixture");
  return *frame;
}

codec::Bytes raw_sat_frame(std::string_view body, std::string_view code) {
  const codec::ByteView body_bytes(reinterpret_cast<const std::uint8_t*>(body.data()), body.size());
  const std::string text = fmt::format(
      "smx\r\ncode:{}\r\ncontent-size:{}\r\ncontent-type:octet-stream\r\nedc-type:crc16-ccitt\r\n"
      "edc-word:{}\r\nsource:6\r\nversion:1.0\r\n\r\n\r\n{}",
      code, body.size(), codec::crc16(body_bytes), body);
  return codec::Bytes(text.begin(), text.end());
}

codec::Bytes concat(std::initializer_list<codec::Bytes> parts) {
  codec::Bytes all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

codec::SatBody decode_sat(const codec::Bytes& frame) {
  auto parsed = codec::sat::parse_frame_header(frame);
  if (!parsed) throw std::runtime_error("not a SAT frame header");
  auto body = codec::sat::decode_frame_body(parsed->header, parsed->rest);
  if (!body) throw std::runtime_error("not a SAT frame body");
  return *body;
}

codec::MfeBody decode_mfe(const codec::Bytes& frame) {
  auto parsed = codec::mfe::parse_frame_header(frame);
  if (!parsed) throw std::runtime_error("not an MFE frame header");
  auto body = codec::mfe::decode_frame_body(parsed->header, parsed->rest);
  if (!body) throw std::runtime_error("not an MFE frame body");
  return *body;
}

ScriptedDevice::Responder echo_session(std::vector<std::string> contents) {
  return [contents](const codec::Bytes& request) -> std::vector<ReadStep> {
    const auto body = decode_sat(request);
    return {sat_frame(body.fields.num_session, contents, body.code)};
  };
}

}  // namespace tavik::testing
