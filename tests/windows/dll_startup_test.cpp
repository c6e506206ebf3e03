// Start-up and release of the real taviksat.dll under Windows (Wine): a
// settings file in the current directory is applied at load, its log goes
// to a file that others may read, write and delete meanwhile, and
// FreeLibrary writes the release lines.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "windows/loaded_library.h"
#include "windows/log_file.h"

namespace {

using namespace tavik::windows_test;

TEST(WindowsDllStartup, AppliesTheSettingsInTheCurrentDirectoryAndLogsThroughASharedFile) {
  ScratchDirectory scratch(L"taviksat-startup");
  // A relative log path in a directory the library must create.
  write_text_file(scratch.path() / L"mfe-config.ini",
                  "[logging]\nlevel=trace\nfile=logs/mfe.log\n[connection]\ncontinuous=false\n"
                  "[protocol]\ncompression=true\n");
  const auto log = scratch.path() / L"logs" / L"mfe.log";

  LoadedLibrary dll;
  ASSERT_TRUE(dll.loaded()) << GetLastError();
  const std::string at_load = read_shared(log);
  for (const char* line : {"Settings load result: Ok(", "Disabling continuous connection due to loaded settings",
                           "[INFO] Disabling continuous connection", "[INFO] Enabling compression",
                           "Starting library version ", " running on Windows 64-bit.",
                           "All supported models added"}) {
    EXPECT_NE(at_load.find(line), std::string::npos) << line << "\n" << at_load;
  }

  // Another process may append to the file while the library holds it.
  const HANDLE other = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE) << GetLastError();
  DWORD written = 0;
  WriteFile(other, "from elsewhere\n", 15, &written, nullptr);
  CloseHandle(other);
  // Lines the library writes afterwards land after it, not over it.
  EXPECT_STREQ(dll.function<const char* TAVIK_CALL(int)>("ConsultarSAT")(4321), "004321|9999|SAT Desconectado");
  const std::string after_call = read_shared(log);
  const auto foreign = after_call.find("from elsewhere\n");
  ASSERT_NE(foreign, std::string::npos);
  EXPECT_GT(after_call.size(), foreign + 15);

  dll.unload();
  const std::string released = read_shared(log);
  const auto sat_line = released.find("dllsat: Releasing library resources.");
  const auto mfe_line = released.find("mfe: Releasing library resources.");
  ASSERT_NE(sat_line, std::string::npos) << released;
  ASSERT_NE(mfe_line, std::string::npos) << released;
  EXPECT_LT(sat_line, mfe_line);

  // The library still holds the file (the log lives until the process ends),
  // and deleting it is allowed all the same.
  EXPECT_TRUE(DeleteFileW(log.c_str())) << GetLastError();
}

}  // namespace
