// Console detection on Windows, run under Wine: a real console, an MSYS or
// Cygwin pseudo-terminal (a named pipe with a telling name) or neither.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/console.h"

namespace tavik::platform {
namespace {

// Points the three standard handles at the client end of a named pipe.
class StandardStreamsOnPipe {
 public:
  explicit StandardStreamsOnPipe(const std::wstring& name) {
    const std::wstring path = L"\\\\.\\pipe\\" + name;
    server_ = CreateNamedPipeW(path.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr);
    client_ = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
      saved_.push_back(GetStdHandle(which));
      SetStdHandle(which, client_);
    }
  }
  ~StandardStreamsOnPipe() {
    const DWORD which[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    for (std::size_t i = 0; i < saved_.size(); ++i) SetStdHandle(which[i], saved_[i]);
    CloseHandle(client_);
    CloseHandle(server_);
  }
  bool ready() const { return server_ != INVALID_HANDLE_VALUE && client_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE server_;
  HANDLE client_;
  std::vector<HANDLE> saved_;
};

TEST(Win32Console, RecognisesMsysAndCygwinPseudoTerminalsByTheirPipeNames) {
  struct Case {
    const wchar_t* pipe;
    bool console;
  };
  const Case cases[] = {
      {L"msys-1888ae32e00d56aa-pty0-to-master", true},
      {L"cygwin-e022582115c10879-pty3-from-master", true},
      {L"msys-1888ae32e00d56aa-pty0-to-master-nat", true},
      {L"some-program-output", false},
      {L"msys-1888ae32e00d56aa-pipe-0x1", false},
  };
  for (const auto& c : cases) {
    bool console = false;
    {
      // The real streams come back before anything is reported.
      StandardStreamsOnPipe streams(c.pipe);
      ASSERT_TRUE(streams.ready());
      console = stderr_is_console();
    }
    EXPECT_EQ(console, c.console) << std::string(c.pipe, c.pipe + wcslen(c.pipe));
  }
}

TEST(Win32Console, WritesToAStderrThatIsNoConsole) {
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  ASSERT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 0));
  const HANDLE saved = GetStdHandle(STD_ERROR_HANDLE);
  SetStdHandle(STD_ERROR_HANDLE, write_end);
  const bool console = stderr_is_console();
  const bool written = write_to_stderr("line \xC3\xA7\n");
  SetStdHandle(STD_ERROR_HANDLE, saved);
  CloseHandle(write_end);
  char buffer[32]{};
  DWORD got = 0;
  ReadFile(read_end, buffer, sizeof buffer, &got, nullptr);
  CloseHandle(read_end);
  EXPECT_FALSE(console);
  EXPECT_TRUE(written);
  EXPECT_EQ(std::string(buffer, got), "line \xC3\xA7\n");  // bytes unchanged
}

}  // namespace
}  // namespace tavik::platform
