// The shared library, built over the libusb double, loaded with dlopen as a
// host program does and driven over USB into the simulated module.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "usb_double/simulator_link.h"
#include "usb_double/usb_double.h"

namespace {

using ConsultarSat = const char*(int);

void* library() {
  static void* handle = dlopen(TAVIK_USBTEST_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  return handle;
}

template <class F>
F* symbol(const char* name) {
  return reinterpret_cast<F*>(dlsym(library(), name));
}

class LibraryOverUsbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(library(), nullptr) << dlerror();
    tavik::usb_double::reset();
  }
  void TearDown() override { tavik::usb_double::reset(); }
};

TEST_F(LibraryOverUsbTest, ConsultarSatReachesTheModule) {
  auto module = tavik::usb_double::start_usb_module();
  tavik::usb_double::plug(tavik::usb_double::vorta_mfe(1, 4, tavik::usb_double::simulator_link(*module)));
  auto* consultar = symbol<ConsultarSat>("ConsultarSAT");
  ASSERT_NE(consultar, nullptr);
  EXPECT_STREQ(consultar(4321), "004321|08000|SAT em Operação||");
  EXPECT_STREQ(consultar(4322), "004322|08000|SAT em Operação||");
  // Leave the device unplugged: the held connection is found closed next time.
  tavik::usb_double::reset();
  EXPECT_STREQ(consultar(4323), "004323|9999|SAT Desconectado");
}

}  // namespace
