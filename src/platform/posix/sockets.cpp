#include "platform/sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fmt/format.h>

#include "platform/unload_state.h"

namespace tavik::platform {

using kovo_base::IoError;
using kovo_base::IoKind;

void Socket::close() {
  if (native_ >= 0) ::close(native_);
  native_ = -1;
}

namespace {

IoError last_error() { return IoError::from_errno(errno); }

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

IoResult<Socket> new_socket(int type) {
  const int native = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
  if (native < 0) return std::unexpected(last_error());
  return Socket(native);
}

IoResult<void> set_time_option(const Socket& socket, int option, std::optional<std::chrono::nanoseconds> timeout) {
  timeval value{};
  if (timeout && timeout->count() > 0) {
    const auto micros = std::chrono::ceil<std::chrono::microseconds>(*timeout).count();
    value.tv_sec = static_cast<time_t>(micros / 1'000'000);
    value.tv_usec = static_cast<suseconds_t>(micros % 1'000'000);
  }
  if (::setsockopt(socket.native(), SOL_SOCKET, option, &value, sizeof value) != 0) {
    return std::unexpected(last_error());
  }
  return {};
}

IoResult<void> set_blocking(const Socket& socket, bool blocking) {
  const int flags = ::fcntl(socket.native(), F_GETFL);
  if (flags < 0) return std::unexpected(last_error());
  const int wanted = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
  if (::fcntl(socket.native(), F_SETFL, wanted) != 0) return std::unexpected(last_error());
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
    pollfd waiting{socket.native(), POLLOUT, 0};
    const int ready = ::poll(&waiting, 1, static_cast<int>(slice.count()));
    if (ready < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(last_error());
    }
    if (ready == 0) continue;  // a slice has passed: the checks above decide
    int failure = 0;
    socklen_t length = sizeof failure;
    if (::getsockopt(socket.native(), SOL_SOCKET, SO_ERROR, &failure, &length) != 0) {
      return std::unexpected(last_error());
    }
    if (failure != 0) return std::unexpected(IoError::from_errno(failure));
    return {};
  }
}

IoResult<SocketAddressV4> name_of(const Socket& socket, bool peer) {
  sockaddr_in native{};
  socklen_t length = sizeof native;
  auto* raw = reinterpret_cast<sockaddr*>(&native);
  const int result = peer ? ::getpeername(socket.native(), raw, &length) : ::getsockname(socket.native(), raw, &length);
  if (result != 0) return std::unexpected(last_error());
  return from_native(native);
}

}  // namespace

IoResult<Socket> bind_udp(const SocketAddressV4& local) {
  auto socket = new_socket(SOCK_DGRAM);
  if (!socket) return socket;
  const sockaddr_in native = to_native(local);
  if (::bind(socket->native(), reinterpret_cast<const sockaddr*>(&native), sizeof native) != 0) {
    return std::unexpected(last_error());
  }
  return socket;
}

IoResult<Datagram> receive_datagram(const Socket& socket, std::span<std::uint8_t> buffer) {
  sockaddr_in sender{};
  iovec part{buffer.data(), buffer.size()};
  msghdr message{};
  message.msg_name = &sender;
  message.msg_namelen = sizeof sender;
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  const ssize_t got = ::recvmsg(socket.native(), &message, 0);
  if (got < 0) return std::unexpected(last_error());
  return Datagram{static_cast<std::size_t>(got), (message.msg_flags & MSG_TRUNC) != 0, from_native(sender)};
}

IoResult<Socket> connect_tcp(const SocketAddressV4& remote, std::optional<std::chrono::milliseconds> timeout) {
  auto socket = new_socket(SOCK_STREAM);
  if (!socket) return socket;
  const auto deadline = std::chrono::steady_clock::now() + timeout.value_or(std::chrono::milliseconds(0));
  if (timeout) {
    if (auto set = set_blocking(*socket, false); !set) return std::unexpected(set.error());
  }
  const sockaddr_in native = to_native(remote);
  int result;
  do {
    result = ::connect(socket->native(), reinterpret_cast<const sockaddr*>(&native), sizeof native);
  } while (result != 0 && errno == EINTR && !timeout);
  if (result != 0) {
    const bool pending = timeout && (errno == EINPROGRESS || errno == EINTR);
    if (!pending) return std::unexpected(last_error());
    if (auto done = finish_connect(*socket, deadline); !done) return std::unexpected(done.error());
  }
  if (timeout) {
    if (auto set = set_blocking(*socket, true); !set) return std::unexpected(set.error());
  }
  // Only a matter of latency: a system that refuses it still carries the stream.
  const int no_delay = 1;
  ::setsockopt(socket->native(), IPPROTO_TCP, TCP_NODELAY, &no_delay, sizeof no_delay);
  return socket;
}

IoResult<void> set_receive_timeout(const Socket& socket, std::optional<std::chrono::nanoseconds> timeout) {
  return set_time_option(socket, SO_RCVTIMEO, timeout);
}

IoResult<void> set_send_timeout(const Socket& socket, std::optional<std::chrono::nanoseconds> timeout) {
  return set_time_option(socket, SO_SNDTIMEO, timeout);
}

IoResult<std::optional<std::chrono::nanoseconds>> receive_timeout(const Socket& socket) {
  timeval value{};
  socklen_t length = sizeof value;
  if (::getsockopt(socket.native(), SOL_SOCKET, SO_RCVTIMEO, &value, &length) != 0) {
    return std::unexpected(last_error());
  }
  if (value.tv_sec == 0 && value.tv_usec == 0) return std::nullopt;
  return std::chrono::seconds(value.tv_sec) + std::chrono::microseconds(value.tv_usec);
}

IoResult<std::size_t> send_some(const Socket& socket, std::span<const std::uint8_t> bytes) {
  const ssize_t sent = ::send(socket.native(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
  if (sent < 0) return std::unexpected(last_error());
  return static_cast<std::size_t>(sent);
}

IoResult<std::size_t> receive_some(const Socket& socket, std::span<std::uint8_t> buffer) {
  const ssize_t got = ::recv(socket.native(), buffer.data(), buffer.size(), 0);
  if (got < 0) return std::unexpected(last_error());
  return static_cast<std::size_t>(got);
}

IoResult<bool> wait_readable(const Socket& socket, std::chrono::nanoseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left = std::max(deadline - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration::zero());
    const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    const timespec wait{static_cast<time_t>(nanos / 1'000'000'000), static_cast<long>(nanos % 1'000'000'000)};
    pollfd waiting{socket.native(), POLLIN, 0};
    // ppoll sleeps on a high-resolution timer, not in whole timer ticks.
    const int ready = ::ppoll(&waiting, 1, &wait, nullptr);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return std::unexpected(last_error());
    return ready > 0;
  }
}

IoResult<std::size_t> receive_within(const Socket& socket, std::span<std::uint8_t> buffer,
                                     std::optional<std::chrono::nanoseconds> timeout) {
  if (timeout) {
    auto ready = wait_readable(socket, *timeout);
    if (!ready) return std::unexpected(ready.error());
    if (!*ready) return std::unexpected(IoError::from_errno(EAGAIN));  // what SO_RCVTIMEO gives
  }
  return receive_some(socket, buffer);
}

IoResult<SocketAddressV4> local_address(const Socket& socket) { return name_of(socket, false); }

IoResult<SocketAddressV4> peer_address(const Socket& socket) { return name_of(socket, true); }

}  // namespace tavik::platform
