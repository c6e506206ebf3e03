// FreeLibrary while a connection probe waits in beacon discovery (network
// method, no address filter, no module answering): the probe holds its own
// reference on the DLL, so the DLL stays mapped until the probe has ended
// instead of being unmapped under it. FreeLibrary returns at once, the host
// keeps running, and the process ends normally with the probe still alive.
#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "windows/loaded_library.h"
#include "windows/log_file.h"

namespace {

using namespace tavik::windows_test;
using namespace std::chrono_literals;

TEST(WindowsDllUnload, AProbeInDiscoveryKeepsTheDllMappedUntilItEnds) {
  ScratchDirectory scratch(L"taviksat-unload");
  write_text_file(scratch.path() / L"mfe-config.ini",
                  "[logging]\nlevel=trace\nfile=mfe.log\n[connection]\nmethod=Network\n");
  const auto log = scratch.path() / L"mfe.log";

  LoadedLibrary dll;
  ASSERT_TRUE(dll.loaded()) << GetLastError();
  ASSERT_TRUE(wait_for_log(log, "Searching TCP device with options", 10s)) << read_shared(log);
  std::this_thread::sleep_for(300ms);  // into the beacon receive

  EXPECT_LT(dll.unload(), 2000ms);
  // The probe's reference keeps it loaded; no release has run yet.
  EXPECT_NE(GetModuleHandleW(L"taviksat.dll"), nullptr);
  std::this_thread::sleep_for(2s);  // a thread in unmapped code would crash meanwhile
  EXPECT_EQ(read_shared(log).find("Failed to"), std::string::npos) << read_shared(log);
  // Leaving the test ends the process with the probe alive: the release at
  // process exit must not wait for threads the system has already ended.
}

}  // namespace
