#include "kovo_base/usb/usb_handle.h"

#include <algorithm>
#include <climits>
#include <limits>

#include <fmt/format.h>
#include <libusb.h>

namespace tavik::kovo_base::usb {

unsigned transfer_timeout_ms(std::uint64_t seconds, std::uint32_t nanos) {
  constexpr std::uint64_t limit = std::numeric_limits<unsigned>::max();
  if (seconds >= limit / 1000) return static_cast<unsigned>(limit);
  const std::uint64_t ms = seconds * 1000 + nanos / 1'000'000;
  if (ms == 0 && nanos != 0) return 1;
  return static_cast<unsigned>(std::min(ms, limit));
}

connection::TransferResult transfer_outcome(int rc, int transferred) {
  if (rc == 0) return static_cast<std::size_t>(std::max(transferred, 0));
  if ((rc == LIBUSB_ERROR_TIMEOUT || rc == LIBUSB_ERROR_INTERRUPTED) && transferred > 0) {
    return static_cast<std::size_t>(transferred);
  }
  return std::unexpected(connection::TransferError::from_usb(usb_error_from_code(rc)));
}

connection::TransferResult UsbHandle::bulk(std::uint8_t endpoint, std::uint8_t* data, std::size_t length) {
  // One transfer moves at most INT_MAX bytes; the write-all loop sends the rest.
  const int chunk = static_cast<int>(std::min<std::size_t>(length, INT_MAX));
  int transferred = 0;
  const int rc = libusb_bulk_transfer(device_.handle(), endpoint, data, chunk, &transferred,
                                      transfer_timeout_ms(timeout_seconds_, timeout_nanos_));
  return transfer_outcome(rc, transferred);
}

connection::TransferResult UsbHandle::write(std::span<const std::uint8_t> bytes) {
  // libusb's buffer is not const, but an OUT transfer only reads it.
  return bulk(info_.out_endpoint, const_cast<std::uint8_t*>(bytes.data()), bytes.size());
}

connection::TransferResult UsbHandle::read(std::span<std::uint8_t> buffer) {
  return bulk(info_.in_endpoint, buffer.data(), buffer.size());
}

std::expected<void, IoError> UsbHandle::set_read_timeout(std::uint64_t seconds, std::uint32_t nanos) {
  timeout_seconds_ = seconds;
  timeout_nanos_ = nanos;
  return {};
}

std::string UsbHandle::debug() const {
  return fmt::format("UsbHandle {{ info: {}, bus: {}, port: {}, timeout: {}.{:09}s }}", info_.display_name(), bus(),
                     port(), timeout_seconds_, timeout_nanos_);
}

}  // namespace tavik::kovo_base::usb
