#pragma once
// Enumeration: every supported device of the machine, opened and with
// interface 1 claimed.
#include <string>
#include <vector>

#include "kovo_base/connection_error.h"
#include "kovo_base/usb/usb_device.h"
#include "kovo_base/usb/usb_models.h"

namespace tavik::kovo_base::usb {

// One candidate device. Destroying it releases the interface, closes the
// handle and drops the device reference.
struct Opener {
  OpenDevice device;
  const UsbModel* model_info;

  // Opener { model_info: Some(VortaMfe), handle: <omitted> }
  std::string debug() const;
};

// [Opener { ... }, Opener { ... }]
std::string debug_list(const std::vector<Opener>& openers);

// A new libusb context, then every device whose ids match a registered model
// and that opens and lets interface 1 be claimed, in libusb's list order.
Result<std::vector<Opener>> list_usb_candidates();

}  // namespace tavik::kovo_base::usb
