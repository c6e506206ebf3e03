#include "usb_double/bulk_link.h"

#include <algorithm>

namespace tavik::usb_double {

void BufferLink::push(Bytes piece) {
  if (piece.empty()) return;
  std::lock_guard lock(lock_);
  pieces_.push_back(std::move(piece));
  arrived_.notify_all();
}

Bytes BufferLink::written() const {
  std::lock_guard lock(lock_);
  return written_;
}

std::size_t BufferLink::pending() const {
  std::lock_guard lock(lock_);
  std::size_t total = 0;
  for (const auto& piece : pieces_) total += piece.size();
  return total;
}

void BufferLink::write(std::span<const std::uint8_t> bytes) {
  std::vector<Bytes> answers;
  {
    std::lock_guard lock(lock_);
    written_.insert(written_.end(), bytes.begin(), bytes.end());
  }
  if (responder_) answers = responder_(bytes);
  for (auto& answer : answers) push(std::move(answer));
}

std::expected<Bytes, BulkLink::End> BufferLink::read(std::size_t max_bytes, std::chrono::milliseconds timeout) {
  std::unique_lock lock(lock_);
  if (!arrived_.wait_for(lock, timeout, [&] { return !pieces_.empty(); })) return std::unexpected(End::TimedOut);
  Bytes& front = pieces_.front();
  const std::size_t n = std::min(max_bytes, front.size());
  Bytes out(front.begin(), front.begin() + static_cast<std::ptrdiff_t>(n));
  front.erase(front.begin(), front.begin() + static_cast<std::ptrdiff_t>(n));
  if (front.empty()) pieces_.pop_front();
  return out;
}

}  // namespace tavik::usb_double
