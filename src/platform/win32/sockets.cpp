#include "platform/sockets.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include <fmt/format.h>

#include "platform/unload_state.h"
#include "platform/win32/windows_error.h"
#include "platform/win32/winsock_startup.h"

// Socket keeps the native value in an int: Windows socket handles are kernel
// handles, whose significant bits fit in 32 (the system guarantees it for
// 32/64-bit interoperation), and INVALID_SOCKET becomes -1.

namespace tavik::platform {

using kovo_base::IoError;
using kovo_base::IoKind;

void Socket::close() {
  if (native_ >= 0) ::closesocket(static_cast<SOCKET>(native_));
  native_ = -1;
}

namespace {

SOCKET raw(const Socket& socket) { return socket.valid() ? static_cast<SOCKET>(socket.native()) : INVALID_SOCKET; }

IoError last_error() { return win32::last_wsa_error(); }

sockaddr_in to_native(const SocketAddressV4& address) {
  sockaddr_in native{};
  native.sin_family = AF_INET;
  native.sin_port = htons(address.port);
  std::memcpy(&native.sin_addr.s_addr, address.ip.data(), 4);
  return native;
}

SocketAddressV4 from_native(const sockaddr_in& native) {
  SocketAddressV4 address;
  std::memcpy(address.ip.data(), &native.sin_addr.s_addr, 4);
  address.port = ntohs(native.sin_port);
  return address;
}

IoResult<Socket> new_socket(int type, int protocol) {
  if (!win32::ensure_winsock()) return std::unexpected(IoError::custom(IoKind::Other, "Winsock did not start"));
  // Not inherited by child processes, like SOCK_CLOEXEC elsewhere.
  const SOCKET native = ::WSASocketW(AF_INET, type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (native == INVALID_SOCKET) return std::unexpected(last_error());
  if (native > static_cast<SOCKET>(std::numeric_limits<int>::max())) {
    ::closesocket(native);
    return std::unexpected(IoError::custom(IoKind::Other, "socket handle out of range"));
  }
  return Socket(static_cast<int>(native));
}

// Winsock time-outs are whole milliseconds in a DWORD; 0 means none.
IoResult<void> set_time_option(const Socket& socket, int option, std::optional<std::chrono::nanoseconds> timeout) {
  DWORD value = 0;
  if (timeout && timeout->count() > 0) {
    const auto millis = std::chrono::ceil<std::chrono::milliseconds>(*timeout).count();
    value = millis > static_cast<long long>(std::numeric_limits<DWORD>::max() - 1)
                ? std::numeric_limits<DWORD>::max() - 1
                : static_cast<DWORD>(millis);
  }
  if (::setsockopt(raw(socket), SOL_SOCKET, option, reinterpret_cast<const char*>(&value), sizeof value) != 0) {
    return std::unexpected(last_error());
  }
  return {};
}

IoResult<void> set_blocking(const Socket& socket, bool blocking) {
  u_long non_blocking = blocking ? 0 : 1;
  if (::ioctlsocket(raw(socket), FIONBIO, &non_blocking) != 0) return std::unexpected(last_error());
  return {};
}

// A connect waits in slices of this length, so that the library's release
// does not wait for the rest of the connect time-out.
constexpr std::chrono::milliseconds connect_slice{100};

// Waits until a non-blocking connect has finished, at most until deadline.
IoResult<void> finish_connect(const Socket& socket, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    if (shutting_down()) return std::unexpected(IoError::custom(IoKind::Interrupted, "library is being released"));
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::unexpected(IoError::custom(IoKind::TimedOut, "connection timed out"));
    const auto slice = std::min(left, connect_slice);
    WSAPOLLFD waiting{raw(socket), POLLWRNORM, 0};
    const int ready = ::WSAPoll(&waiting, 1, static_cast<INT>(slice.count()));
    if (ready == SOCKET_ERROR) return std::unexpected(last_error());
    if (ready == 0) continue;  // a slice has passed: the checks above decide
    int failure = 0;
    int length = sizeof failure;
    if (::getsockopt(raw(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&failure), &length) != 0) {
      return std::unexpected(last_error());
    }
    if (failure != 0) return std::unexpected(win32::io_error_from_wsa(failure));
    // A refused connect shows as POLLERR/POLLHUP without SO_ERROR on some stacks.
    if ((waiting.revents & (POLLERR | POLLHUP)) != 0 && (waiting.revents & POLLWRNORM) == 0) {
      return std::unexpected(win32::io_error_from_wsa(WSAECONNREFUSED));
    }
    return {};
  }
}

IoResult<SocketAddressV4> name_of(const Socket& socket, bool peer) {
  sockaddr_in native{};
  int length = sizeof native;
  auto* address = reinterpret_cast<sockaddr*>(&native);
  const int result = peer ? ::getpeername(raw(socket), address, &length) : ::getsockname(raw(socket), address, &length);
  if (result != 0) return std::unexpected(last_error());
  return from_native(native);
}

IoResult<bool> poll_readable(const Socket& socket, INT millis) {
  WSAPOLLFD waiting{raw(socket), POLLRDNORM, 0};
  const int ready = ::WSAPoll(&waiting, 1, millis);
  if (ready == SOCKET_ERROR) return std::unexpected(last_error());
  return ready > 0;
}

// Waits no longer than this go through a high-resolution waitable timer:
// WSAPoll and the socket's time-out option round to the 15.6 ms system tick,
// which would turn the 10 ms liveness check into 16 ms. Longer waits (the
// reads of an exchange, in whole seconds) keep WSAPoll, whose rounding is
// negligible there and which a shutdown of the socket ends.
constexpr std::chrono::milliseconds precise_wait_limit{1000};

struct OwnedHandle {
  HANDLE value = nullptr;
  ~OwnedHandle() {
    if (value) ::CloseHandle(value);
  }
};

// Waits for the socket's read or close event, or the timer, whichever comes
// first; nullopt when the system offers no such wait, so the caller polls.
std::optional<bool> wait_readable_precisely(const Socket& socket, std::chrono::nanoseconds timeout) {
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
  constexpr DWORD CREATE_WAITABLE_TIMER_HIGH_RESOLUTION = 0x00000002;
#endif
  OwnedHandle timer{::CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS)};
  if (!timer.value) return std::nullopt;  // older systems: no high-resolution timer
  OwnedHandle event{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  if (!event.value) return std::nullopt;
  LARGE_INTEGER due{};
  due.QuadPart = -static_cast<LONGLONG>((timeout.count() + 99) / 100);  // relative, in 100 ns units
  if (!::SetWaitableTimer(timer.value, &due, 0, nullptr, nullptr, FALSE)) return std::nullopt;
  if (::WSAEventSelect(raw(socket), event.value, FD_READ | FD_CLOSE) != 0) return std::nullopt;
  const HANDLE both[2] = {event.value, timer.value};
  const DWORD which = ::WaitForMultipleObjects(2, both, FALSE, INFINITE);  // the timer bounds it
  // Undo the event selection, which also made the socket non-blocking.
  ::WSAEventSelect(raw(socket), nullptr, 0);
  u_long blocking = 0;
  ::ioctlsocket(raw(socket), FIONBIO, &blocking);
  if (which == WAIT_OBJECT_0) return true;
  if (which == WAIT_OBJECT_0 + 1) {
    // Input that arrived just as the timer fired counts.
    auto late = poll_readable(socket, 0);
    return late && *late;
  }
  return std::nullopt;
}

int clamp_length(std::size_t size) {
  return size > static_cast<std::size_t>(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max()
                                                                          : static_cast<int>(size);
}

}  // namespace

IoResult<Socket> bind_udp(const SocketAddressV4& local) {
  auto socket = new_socket(SOCK_DGRAM, IPPROTO_UDP);
  if (!socket) return socket;
  // Without exclusive use another program could bind the same port with
  // SO_REUSEADDR and steal the beacons; a second listener must fail instead.
  BOOL exclusive = TRUE;
  ::setsockopt(raw(*socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
               sizeof exclusive);
  const sockaddr_in native = to_native(local);
  if (::bind(raw(*socket), reinterpret_cast<const sockaddr*>(&native), sizeof native) != 0) {
    return std::unexpected(last_error());
  }
  return socket;
}

IoResult<Datagram> receive_datagram(const Socket& socket, std::span<std::uint8_t> buffer) {
  sockaddr_in sender{};
  int sender_length = sizeof sender;
  const int got = ::recvfrom(raw(socket), reinterpret_cast<char*>(buffer.data()), clamp_length(buffer.size()), 0,
                             reinterpret_cast<sockaddr*>(&sender), &sender_length);
  if (got == SOCKET_ERROR) {
    // Winsock reports a datagram longer than the buffer as an error, after
    // filling the buffer with its start.
    if (WSAGetLastError() == WSAEMSGSIZE) return Datagram{buffer.size(), true, from_native(sender)};
    return std::unexpected(last_error());
  }
  return Datagram{static_cast<std::size_t>(got), false, from_native(sender)};
}

IoResult<Socket> connect_tcp(const SocketAddressV4& remote, std::optional<std::chrono::milliseconds> timeout) {
  auto socket = new_socket(SOCK_STREAM, IPPROTO_TCP);
  if (!socket) return socket;
  const auto deadline = std::chrono::steady_clock::now() + timeout.value_or(std::chrono::milliseconds(0));
  if (timeout) {
    if (auto set = set_blocking(*socket, false); !set) return std::unexpected(set.error());
  }
  const sockaddr_in native = to_native(remote);
  if (::connect(raw(*socket), reinterpret_cast<const sockaddr*>(&native), sizeof native) != 0) {
    const int code = WSAGetLastError();
    if (!timeout || code != WSAEWOULDBLOCK) return std::unexpected(win32::io_error_from_wsa(code));
    if (auto done = finish_connect(*socket, deadline); !done) return std::unexpected(done.error());
  }
  if (timeout) {
    if (auto set = set_blocking(*socket, true); !set) return std::unexpected(set.error());
  }
  // Only a matter of latency: a system that refuses it still carries the stream.
  BOOL no_delay = TRUE;
  ::setsockopt(raw(*socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&no_delay), sizeof no_delay);
  return socket;
}

IoResult<void> set_receive_timeout(const Socket& socket, std::optional<std::chrono::nanoseconds> timeout) {
  return set_time_option(socket, SO_RCVTIMEO, timeout);
}

IoResult<void> set_send_timeout(const Socket& socket, std::optional<std::chrono::nanoseconds> timeout) {
  return set_time_option(socket, SO_SNDTIMEO, timeout);
}

IoResult<std::optional<std::chrono::nanoseconds>> receive_timeout(const Socket& socket) {
  DWORD value = 0;
  int length = sizeof value;
  if (::getsockopt(raw(socket), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char*>(&value), &length) != 0) {
    return std::unexpected(last_error());
  }
  if (value == 0) return std::nullopt;
  return std::chrono::milliseconds(value);
}

IoResult<std::size_t> send_some(const Socket& socket, std::span<const std::uint8_t> bytes) {
  // Winsock raises no signal; a peer that has gone is reported as an error.
  const int sent = ::send(raw(socket), reinterpret_cast<const char*>(bytes.data()), clamp_length(bytes.size()), 0);
  if (sent == SOCKET_ERROR) {
    const int code = WSAGetLastError();
    if (code == WSAECONNRESET || code == WSAECONNABORTED || code == WSAESHUTDOWN) {
      IoError error = win32::io_error_from_wsa(code);
      error.kind = IoKind::BrokenPipe;
      return std::unexpected(std::move(error));
    }
    return std::unexpected(win32::io_error_from_wsa(code));
  }
  return static_cast<std::size_t>(sent);
}

IoResult<std::size_t> receive_some(const Socket& socket, std::span<std::uint8_t> buffer) {
  const int got = ::recv(raw(socket), reinterpret_cast<char*>(buffer.data()), clamp_length(buffer.size()), 0);
  if (got == SOCKET_ERROR) return std::unexpected(last_error());
  return static_cast<std::size_t>(got);
}

IoResult<bool> wait_readable(const Socket& socket, std::chrono::nanoseconds timeout) {
  // Whatever is there already (input, the peer's close, a shutdown) answers at once.
  auto now = poll_readable(socket, 0);
  if (!now || *now || timeout <= std::chrono::nanoseconds::zero()) return now;
  if (timeout <= precise_wait_limit) {
    if (auto precise = wait_readable_precisely(socket, timeout)) return *precise;
  }
  const auto millis = std::chrono::ceil<std::chrono::milliseconds>(timeout).count();
  return poll_readable(socket, millis > std::numeric_limits<INT>::max() ? std::numeric_limits<INT>::max()
                                                                        : static_cast<INT>(millis));
}

IoResult<std::size_t> receive_within(const Socket& socket, std::span<std::uint8_t> buffer,
                                     std::optional<std::chrono::nanoseconds> timeout) {
  if (timeout) {
    auto ready = wait_readable(socket, *timeout);
    if (!ready) return std::unexpected(ready.error());
    if (!*ready) return std::unexpected(win32::io_error_from_wsa(WSAETIMEDOUT));  // what SO_RCVTIMEO gives
  }
  return receive_some(socket, buffer);
}

IoResult<SocketAddressV4> local_address(const Socket& socket) { return name_of(socket, false); }

IoResult<SocketAddressV4> peer_address(const Socket& socket) { return name_of(socket, true); }

}  // namespace tavik::platform
