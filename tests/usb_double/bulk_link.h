#pragma once
// The device side of a test device's bulk endpoints: what the host writes
// goes in, what the device answers comes out.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <expected>
#include <functional>
#include <mutex>
#include <span>
#include <vector>

namespace tavik::usb_double {

using Bytes = std::vector<std::uint8_t>;

class BulkLink {
 public:
  enum class End : std::uint8_t { TimedOut, Closed };
  virtual ~BulkLink() = default;
  virtual void write(std::span<const std::uint8_t> bytes) = 0;
  // The next bytes the device sent, at most max_bytes, waiting at most timeout.
  virtual std::expected<Bytes, End> read(std::size_t max_bytes, std::chrono::milliseconds timeout) = 0;
};

// A device played by the test: it queues pieces to send and records what
// the host wrote; an optional responder answers each write.
class BufferLink final : public BulkLink {
 public:
  using Responder = std::function<std::vector<Bytes>(std::span<const std::uint8_t> written)>;
  explicit BufferLink(Responder responder = {}) : responder_(std::move(responder)) {}

  void push(Bytes piece);
  Bytes written() const;
  std::size_t pending() const;

  void write(std::span<const std::uint8_t> bytes) override;
  std::expected<Bytes, End> read(std::size_t max_bytes, std::chrono::milliseconds timeout) override;

 private:
  Responder responder_;
  mutable std::mutex lock_;
  std::condition_variable arrived_;
  std::deque<Bytes> pieces_;
  Bytes written_;
};

}  // namespace tavik::usb_double
