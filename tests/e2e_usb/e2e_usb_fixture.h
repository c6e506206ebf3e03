#pragma once
// Each test starts with the library loaded, no device plugged, no filter,
// continuous mode and compression on; it ends with nothing of libusb left
// open by the library and no misuse of libusb.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <libusb.h>

#include <algorithm>
#include <memory>
#include <string>

#include "e2e_usb/usb_library.h"
#include "simulator/simulator.h"
#include "usb_double/simulator_link.h"
#include "usb_double/usb_double.h"

namespace tavik::e2e_usb {

inline constexpr const char* kActivationCode = "12345678";

class UsbLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(usb_library(), nullptr);
    restore_library_modes();
    usb_double::reset();
    log_.mark();
  }

  void TearDown() override {
    restore_library_modes();  // drops the connection the test left open
    const auto census = usb_double::census();
    EXPECT_EQ(census.contexts, 0) << "a libusb context was never ended";
    EXPECT_EQ(census.devices, 0) << "a device reference was never dropped";
    EXPECT_EQ(census.handles, 0) << "a device handle was never closed";
    EXPECT_THAT(usb_double::misuses(), ::testing::IsEmpty());
    usb_double::reset();
  }

  static void restore_library_modes() {
    TAVIK_EXPORT(HabilitarConexaoContinua)();
    TAVIK_EXPORT(HabilitarProtocoloComprimido)();
    TAVIK_EXPORT(LimpaFiltrosMFE)();
  }

  // A simulated module reachable over USB only, activated unless told otherwise.
  static std::unique_ptr<simulator::Simulator> start_module(bool activated = true) {
    simulator::DeviceConfig config;
    if (activated) config.activation_code = kActivationCode;
    return usb_double::start_usb_module(std::move(config));
  }

  static std::string consult(int session) { return TAVIK_EXPORT(ConsultarSAT)(session); }

  static std::string answered(int session) { return fmt_session(session) + "|08000|SAT em Operação||"; }
  static std::string disconnected(int session) { return fmt_session(session) + "|9999|SAT Desconectado"; }

  static std::string fmt_session(int session) {
    std::string digits = std::to_string(session);
    return std::string(digits.size() < 6 ? 6 - digits.size() : 0, '0') + digits;
  }

  static std::size_t count_events(const std::string& event) {
    const auto all = usb_double::events();
    return static_cast<std::size_t>(std::count(all.begin(), all.end(), event));
  }
  static std::string id(usb_double::DeviceId device) { return std::to_string(device); }

  // Bulk transfers made on one device.
  static std::size_t transfers_on(usb_double::DeviceId device) {
    const auto all = usb_double::transfers();
    return static_cast<std::size_t>(
        std::count_if(all.begin(), all.end(), [&](const usb_double::Transfer& t) { return t.device == device; }));
  }

  LibraryLog log_;
};

}  // namespace tavik::e2e_usb
