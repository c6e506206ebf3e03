// Unloading the library built over the libusb double while it holds the USB
// connection, then loading it again in the same process: the unload closes
// the device (interface released, handle closed, libusb context ended), so
// the new load claims the module afresh instead of finding it busy.
#include <dlfcn.h>

#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "simulator/simulator.h"
#include "usb_double/simulator_link.h"
#include "usb_double/usb_double.h"

// An unload loses the library's process-wide state, which lives for the
// process by design (never destroyed, so threads outliving the statics find
// it): not a leak to report here.
extern "C" __attribute__((visibility("default"))) const char* __asan_default_options() { return "detect_leaks=0"; }

namespace tavik::e2e_usb {
namespace {

using ConsultarSATFn = const char*(int);

std::string consult(void* library, int session) {
  auto* call = reinterpret_cast<ConsultarSATFn*>(::dlsym(library, "ConsultarSAT"));
  return call != nullptr ? std::string(call(session)) : "no export";
}

TEST(UsbReload, UnloadReleasesTheDeviceAndLoadingAgainReachesIt) {
  simulator::DeviceConfig config;
  config.activation_code = "12345678";
  auto module = usb_double::start_usb_module(std::move(config));
  usb_double::plug(usb_double::vorta_mfe(1, 4, usb_double::simulator_link(*module)));

  void* library = ::dlopen(TAVIK_USBTEST_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << ::dlerror();
  EXPECT_EQ(consult(library, 1001), "001001|08000|SAT em Operação||");
  EXPECT_EQ(usb_double::census().claimed, 1);

  ::dlclose(library);
  const auto after_unload = usb_double::census();
  EXPECT_EQ(after_unload.claimed, 0) << "interface 1 stayed claimed";
  EXPECT_EQ(after_unload.handles, 0) << "the device handle stayed open";
  EXPECT_EQ(after_unload.contexts, 0) << "the libusb context was never ended";

  library = ::dlopen(TAVIK_USBTEST_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << ::dlerror();
  EXPECT_EQ(consult(library, 1002), "001002|08000|SAT em Operação||");
  ::dlclose(library);

  EXPECT_EQ(usb_double::census().handles, 0);
  EXPECT_THAT(usb_double::misuses(), ::testing::IsEmpty());
}

}  // namespace
}  // namespace tavik::e2e_usb
