// Cost of reading an answer through send_and_receive in 512-byte chunks, per
// byte, for growing answer sizes. A flat figure means the reading is O(n).
// Baseline in the same run: copying the same bytes in 512-byte chunks.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include <fmt/format.h>

#include "dllsat/sat_message.h"
#include "kovo_base/connection/connection_slot.h"
#include "kovo_base/connection/exchange.h"
#include "kovo_base/connection/modes.h"

namespace {

using namespace tavik;
using kovo_base::connection::TransferResult;

// Answers every request with one prepared frame, up to 512 bytes per read.
class StreamingDevice final : public kovo_base::connection::UsbTransport {
 public:
  explicit StreamingDevice(const codec::Bytes& answer) : answer_(answer) {}
  TransferResult write(std::span<const std::uint8_t> bytes) override {
    position_ = 0;
    sending_ = true;
    return bytes.size();
  }
  TransferResult read(std::span<std::uint8_t> buffer) override {
    if (!sending_ || position_ == answer_.size()) {
      sending_ = false;
      return std::unexpected(kovo_base::connection::TransferError::from_usb(kovo_base::UsbErrorKind::Timeout));
    }
    const std::size_t count = std::min(buffer.size(), answer_.size() - position_);
    std::memcpy(buffer.data(), answer_.data() + position_, count);
    position_ += count;
    return count;
  }
  std::expected<void, kovo_base::IoError> set_read_timeout(std::uint64_t, std::uint32_t) override { return {}; }
  std::string debug() const override { return "StreamingDevice"; }

 private:
  const codec::Bytes& answer_;
  std::size_t position_ = 0;
  bool sending_ = false;
};

codec::Bytes answer_of(std::size_t size) {
  const codec::SatBody body{codec::SatFunction::ConsultarSAT, codec::Source::Application, {1, {std::string(size, 'x')}}};
  return *codec::sat::encode_frame(body, false);
}

template <class Work>
double best_seconds(Work work) {
  double best = 1e9;
  for (int run = 0; run < 7; ++run) {
    const auto start = std::chrono::steady_clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main() {
  kovo_base::connection::enable_continuous_connection();
  const codec::SatBody request{codec::SatFunction::ConsultarSAT, codec::Source::Lib, {1, {}}};
  double first_ns_per_byte = 0;
  fmt::print("{:>10} {:>14} {:>14} {:>12} {:>14}\n", "answer", "exchange ns/B", "copy ns/B", "vs copy", "vs 64 KiB");
  for (std::size_t size : {std::size_t{64} << 10, std::size_t{1} << 20, std::size_t{8} << 20}) {
    const codec::Bytes answer = answer_of(size);
    kovo_base::connection::ConnectionSlot slot([&](kovo_base::connection::HandleKind) -> kovo_base::Result<kovo_base::connection::Handle> {
      return kovo_base::connection::Handle::usb(std::make_unique<StreamingDevice>(answer));
    });
    const double exchange = best_seconds([&] {
      auto guard = slot.acquire(kovo_base::connection::HandleKind::Usb);
      auto response = kovo_base::connection::send_and_receive<dllsat::SatMessage>(*guard, request);
      if (!response) std::abort();
      benchmark::DoNotOptimize(response->fields.contents.size());
    });
    codec::Bytes copy;
    const double baseline = best_seconds([&] {
      copy.clear();
      for (std::size_t at = 0; at < answer.size(); at += 512) {
        const std::size_t count = std::min<std::size_t>(512, answer.size() - at);
        copy.insert(copy.end(), answer.begin() + static_cast<std::ptrdiff_t>(at),
                    answer.begin() + static_cast<std::ptrdiff_t>(at + count));
      }
      benchmark::DoNotOptimize(copy.data());
    });
    const double ns_per_byte = exchange * 1e9 / static_cast<double>(answer.size());
    const double copy_ns_per_byte = baseline * 1e9 / static_cast<double>(answer.size());
    if (first_ns_per_byte == 0) first_ns_per_byte = ns_per_byte;
    fmt::print("{:>7} KiB {:>14.3f} {:>14.3f} {:>11.1f}x {:>13.2f}x\n", size >> 10, ns_per_byte, copy_ns_per_byte,
               ns_per_byte / copy_ns_per_byte, ns_per_byte / first_ns_per_byte);
  }
  return 0;
}
