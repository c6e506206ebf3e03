#include "kovo_base/usb/usb_candidates.h"

#include <span>

#include <fmt/format.h>
#include <libusb.h>

#include "kovo_base/logging.h"
#include "log/log.h"

namespace tavik::kovo_base::usb {
namespace {

constexpr std::string_view usb_target = "kovo_base::connection::usb";

// The device list of a context, freed (dropping the list's references) when
// it goes out of scope; kept devices hold references of their own.
class DeviceList {
 public:
  static Result<DeviceList> get(std::shared_ptr<UsbContext> context) {
    libusb_device** devices = nullptr;
    const ssize_t count = libusb_get_device_list(context->raw(), &devices);
    if (count < 0) return std::unexpected(ConnectionError::rusb(usb_error_from_code(static_cast<int>(count))));
    return DeviceList(std::move(context), devices, static_cast<std::size_t>(count));
  }
  DeviceList(DeviceList&& other) noexcept
      : context_(std::move(other.context_)), devices_(std::exchange(other.devices_, nullptr)), count_(other.count_) {}
  DeviceList& operator=(DeviceList&&) = delete;
  ~DeviceList() {
    if (devices_ != nullptr) libusb_free_device_list(devices_, 1);
  }

  std::span<libusb_device* const> devices() const { return {devices_, count_}; }
  const std::shared_ptr<UsbContext>& context() const { return context_; }

 private:
  DeviceList(std::shared_ptr<UsbContext> context, libusb_device** devices, std::size_t count)
      : context_(std::move(context)), devices_(devices), count_(count) {}
  std::shared_ptr<UsbContext> context_;
  libusb_device** devices_;
  std::size_t count_;
};

std::optional<Opener> open_candidate(const std::shared_ptr<UsbContext>& context, libusb_device* device) {
  const UsbModel* model = find_usb_model(device);
  if (model == nullptr) return std::nullopt;
  auto opened = OpenDevice::open(DeviceRef(context, device));
  if (!opened) {
    LOG_WARN(usb_target, "Ignoring {} device due to open error: {}", describe_device(device),
             usb_error_text(opened.error()));
    return std::nullopt;
  }
  if (!opened->enable_auto_detach()) LOG_DEBUG(usb_target, "Auto detaching of kernel driver is not supported");
  // Held by another program, for example: skipped without a word.
  if (!opened->claim_fiscal_interface()) return std::nullopt;
  return Opener{std::move(*opened), model};
}

}  // namespace

std::string Opener::debug() const {
  return fmt::format("Opener {{ model_info: Some({}), handle: <omitted> }}", model_info->display_name());
}

std::string debug_list(const std::vector<Opener>& openers) {
  std::string out = "[";
  for (std::size_t i = 0; i < openers.size(); ++i) {
    if (i != 0) out += ", ";
    out += openers[i].debug();
  }
  return out + "]";
}

Result<std::vector<Opener>> list_usb_candidates() {
  auto context = log_and_pass_on(UsbContext::create(), log::Level::Error, "Failed to create usb context");
  if (!context) return std::unexpected(std::move(context.error()));
  auto list = DeviceList::get(std::move(*context));
  if (!list) return std::unexpected(std::move(list.error()));

  std::vector<Opener> candidates;
  for (libusb_device* device : list->devices()) {
    if (auto candidate = open_candidate(list->context(), device)) candidates.push_back(std::move(*candidate));
  }
  LOG_DEBUG(usb_target, "All available devices list {}", debug_list(candidates));
  return candidates;
}

}  // namespace tavik::kovo_base::usb
