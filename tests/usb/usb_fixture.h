#pragma once
// Each test starts with no device plugged, the USB models registered, the
// continuous mode on and an empty filter; it ends with nothing of libusb left
// open and no misuse of it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <libusb.h>

#include <algorithm>

#include "connection/log_capture.h"
#include "kovo_base/connection/connection_slot.h"
#include "kovo_base/connection/modes.h"
#include "kovo_base/device_filter.h"
#include "kovo_base/usb/usb_models.h"
#include "usb_double/usb_double.h"

namespace tavik::testing {

class UsbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    usb_double::reset();
    kovo_base::usb::register_supported_usb_models();
    kovo_base::connection::enable_continuous_connection();
    kovo_base::replace_device_filter({});
  }

  void TearDown() override {
    kovo_base::connection::drop_connection();
    kovo_base::connection::enable_continuous_connection();
    kovo_base::replace_device_filter({});
    const auto census = usb_double::census();
    EXPECT_EQ(census.contexts, 0) << "a libusb context was never ended";
    EXPECT_EQ(census.devices, 0) << "a device reference was never dropped";
    EXPECT_EQ(census.handles, 0) << "a device handle was never closed";
    EXPECT_THAT(usb_double::misuses(), ::testing::IsEmpty());
    usb_double::reset();
  }

  static std::size_t count_events(const std::string& event) {
    const auto all = usb_double::events();
    return static_cast<std::size_t>(std::count(all.begin(), all.end(), event));
  }

  LogCapture log_;
};

}  // namespace tavik::testing
