// FreeLibrary while the heartbeat waits on a module that never answers (its
// handshake waits for the server's first message): the release wakes the
// heartbeat's socket, the thread ends, and the DLL is gone within 3 s with
// nothing of it left running. A program of its own: each needs a fresh load.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "windows/loaded_library.h"
#include "windows/log_file.h"

namespace {

using namespace tavik::windows_test;
using namespace std::chrono_literals;

// A host on address:9014 that accepts one connection and never answers:
// the heartbeat's handshake waits there for the server's first message.
class SilentModule {
 public:
  explicit SilentModule(const char* address) {
    WSADATA data{};
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(9014);
    inet_pton(AF_INET, address, &at.sin_addr);
    listening_ = bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 && listen(listener_, 4) == 0;
    if (!listening_) return;
    thread_ = std::thread([this] {
      connection_ = accept(listener_, nullptr, nullptr);
      if (connection_ == INVALID_SOCKET) return;
      // The first bytes of the handshake arrived; nothing is ever sent back.
      WSAPOLLFD waiting{connection_, POLLRDNORM, 0};
      while (!stopping_ && !hello_) hello_ = WSAPoll(&waiting, 1, 50) == 1;
    });
  }
  ~SilentModule() {
    stopping_ = true;
    closesocket(listener_);  // ends an accept still waiting
    if (thread_.joinable()) thread_.join();
    if (connection_ != INVALID_SOCKET) closesocket(connection_);
    WSACleanup();
  }
  bool listening() const { return listening_; }
  bool hello_received() const { return hello_; }

 private:
  SOCKET listener_ = INVALID_SOCKET;
  SOCKET connection_ = INVALID_SOCKET;
  bool listening_ = false;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> hello_{false};
  std::thread thread_;
};

TEST(WindowsDllUnload, TheHeartbeatWaitingOnASilentModuleEndsPromptly) {
  SilentModule module("127.0.0.6");
  ASSERT_TRUE(module.listening()) << WSAGetLastError();
  ScratchDirectory scratch(L"taviksat-unload-silent");
  write_text_file(scratch.path() / L"mfe-config.ini",
                  "[logging]\nlevel=trace\nfile=mfe.log\n[connection]\nmethod=Network\nip=127.0.0.6\n");
  const auto log = scratch.path() / L"mfe.log";

  LoadedLibrary dll;
  ASSERT_TRUE(dll.loaded()) << GetLastError();
  const auto deadline = std::chrono::steady_clock::now() + 15s;
  while (!module.hello_received() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(module.hello_received()) << "the heartbeat never began its handshake\n" << read_shared(log);
  std::this_thread::sleep_for(300ms);  // into the wait for the server's answer

  EXPECT_LT(dll.unload(), 3000ms);
  std::this_thread::sleep_for(1500ms);  // a thread in unmapped code would crash meanwhile
  EXPECT_EQ(GetModuleHandleW(L"taviksat.dll"), nullptr) << "the DLL stayed loaded";
  const std::string released = read_shared(log);
  EXPECT_NE(released.find("Clean closed HeartBeater thread"), std::string::npos) << released;
  EXPECT_EQ(released.find("Failed to clean close"), std::string::npos) << released;
}

}  // namespace
