#pragma once
// The open USB transport behind a Handle: bulk transfers on the model's
// endpoints, each bounded by the stored time-out.
#include <cstdint>
#include <optional>
#include <string>

#include "kovo_base/connection/transport.h"
#include "kovo_base/usb/usb_device.h"
#include "kovo_base/usb/usb_models.h"
#include "kovo_base/usb/usb_strings.h"

namespace tavik::kovo_base::usb {

// seconds × 1000 + nanos ÷ 1,000,000, truncated, as libusb takes it (0: no
// limit). A non-zero time-out shorter than 1 ms becomes 1 ms rather than
// turning into an unbounded wait; one too long for libusb is clamped.
unsigned transfer_timeout_ms(std::uint64_t seconds, std::uint32_t nanos);

// The outcome of one libusb_bulk_transfer: a time-out or interruption after
// some bytes moved counts as a partial transfer of those bytes.
connection::TransferResult transfer_outcome(int rc, int transferred);

class UsbHandle final : public connection::UsbTransport {
 public:
  UsbHandle(OpenDevice device, const UsbModel& info) : device_(std::move(device)), info_(info) {}

  connection::TransferResult write(std::span<const std::uint8_t> bytes) override;
  connection::TransferResult read(std::span<std::uint8_t> buffer) override;
  std::expected<void, IoError> set_read_timeout(std::uint64_t seconds, std::uint32_t nanos) override;
  std::string debug() const override;

  const UsbModel& info() const { return info_; }
  std::uint8_t bus() const { return device_.bus(); }
  std::uint8_t port() const { return device_.port(); }
  std::optional<std::string> read_string(UsbString which) const { return read_usb_string(device_.handle(), which); }

 private:
  connection::TransferResult bulk(std::uint8_t endpoint, std::uint8_t* data, std::size_t length);

  OpenDevice device_;
  const UsbModel& info_;
  std::uint64_t timeout_seconds_ = 0;
  std::uint32_t timeout_nanos_ = 0;
};

}  // namespace tavik::kovo_base::usb
