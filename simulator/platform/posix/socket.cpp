#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fmt/format.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include "simulator/platform/socket.h"

namespace tavik::simulator::platform {
namespace {

std::string last_error(std::string_view what) { return fmt::format("{}: {}", what, std::strerror(errno)); }

std::expected<sockaddr_in, std::string> ipv4(const std::string& address, std::uint16_t port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1) {
    return std::unexpected(fmt::format("not an IPv4 address: {}", address));
  }
  return addr;
}

std::string text_of(const sockaddr_in& addr) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
  return text;
}

// Waits until the socket is readable; false on time-out.
std::expected<bool, std::string> readable_within(int fd, std::chrono::milliseconds timeout) {
  pollfd entry{fd, POLLIN, 0};
  while (true) {
    const int ready = ::poll(&entry, 1, int(timeout.count()));
    if (ready >= 0) return ready > 0;
    if (errno != EINTR) return std::unexpected(last_error("poll"));
  }
}

}  // namespace

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    close();
    native_ = other.release();
  }
  return *this;
}

Socket::~Socket() { close(); }

int Socket::release() {
  const int native = native_;
  native_ = -1;
  return native;
}

void Socket::close() {
  if (native_ >= 0) ::close(native_);
  native_ = -1;
}

void Socket::shutdown_both() const {
  if (native_ >= 0) ::shutdown(native_, SHUT_RDWR);
}

void Socket::set_no_delay() const {
  const int on = 1;
  ::setsockopt(native_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void Socket::set_receive_timeout(std::chrono::milliseconds timeout) const {
  timeval tv{};
  tv.tv_sec = timeout.count() / 1000;
  tv.tv_usec = (timeout.count() % 1000) * 1000;
  ::setsockopt(native_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

std::expected<void, std::string> Socket::write_all(std::span<const std::uint8_t> bytes) const {
  while (!bytes.empty()) {
    const ssize_t n = ::send(native_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::unexpected(last_error("send"));
    bytes = bytes.subspan(std::size_t(n));
  }
  return {};
}

std::expected<std::size_t, std::string> Socket::read_some(std::span<std::uint8_t> buffer) const {
  while (true) {
    const ssize_t n = ::recv(native_, buffer.data(), buffer.size(), 0);
    if (n >= 0) return std::size_t(n);
    if (errno != EINTR) return std::unexpected(last_error("recv"));
  }
}

std::expected<Socket, std::string> listen_tcp(const std::string& address, std::uint16_t port) {
  const auto addr = ipv4(address, port);
  if (!addr) return std::unexpected(addr.error());
  Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket.valid()) return std::unexpected(last_error("socket"));
  const int on = 1;
  ::setsockopt(socket.native(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (::bind(socket.native(), reinterpret_cast<const sockaddr*>(&*addr), sizeof *addr) != 0) {
    return std::unexpected(last_error(fmt::format("bind {}:{}", address, port)));
  }
  if (::listen(socket.native(), 16) != 0) return std::unexpected(last_error("listen"));
  return socket;
}

std::expected<std::uint16_t, std::string> local_port(const Socket& socket) {
  sockaddr_in addr{};
  socklen_t size = sizeof addr;
  if (::getsockname(socket.native(), reinterpret_cast<sockaddr*>(&addr), &size) != 0) {
    return std::unexpected(last_error("getsockname"));
  }
  return ntohs(addr.sin_port);
}

std::expected<std::optional<Accepted>, std::string> accept_for(const Socket& listener,
                                                               std::chrono::milliseconds timeout) {
  const auto ready = readable_within(listener.native(), timeout);
  if (!ready) return std::unexpected(ready.error());
  if (!*ready) return std::nullopt;
  sockaddr_in addr{};
  socklen_t size = sizeof addr;
  const int fd = ::accept4(listener.native(), reinterpret_cast<sockaddr*>(&addr), &size, SOCK_CLOEXEC);
  if (fd < 0) {
    if (errno == EINTR || errno == EAGAIN || errno == ECONNABORTED) return std::nullopt;
    return std::unexpected(last_error("accept"));
  }
  return Accepted{Socket(fd), fmt::format("{}:{}", text_of(addr), ntohs(addr.sin_port))};
}

std::expected<Socket, std::string> connect_tcp(const std::string& address, std::uint16_t port) {
  const auto addr = ipv4(address, port);
  if (!addr) return std::unexpected(addr.error());
  Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket.valid()) return std::unexpected(last_error("socket"));
  if (::connect(socket.native(), reinterpret_cast<const sockaddr*>(&*addr), sizeof *addr) != 0) {
    return std::unexpected(last_error(fmt::format("connect {}:{}", address, port)));
  }
  return socket;
}

std::expected<Socket, std::string> open_udp(const std::string& bind_address, std::uint16_t port, bool broadcast) {
  const auto addr = ipv4(bind_address, port);
  if (!addr) return std::unexpected(addr.error());
  Socket socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!socket.valid()) return std::unexpected(last_error("socket"));
  if (broadcast) {
    const int on = 1;
    ::setsockopt(socket.native(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  }
  if (::bind(socket.native(), reinterpret_cast<const sockaddr*>(&*addr), sizeof *addr) != 0) {
    return std::unexpected(last_error(fmt::format("bind udp {}:{}", bind_address, port)));
  }
  return socket;
}

std::expected<void, std::string> send_to(const Socket& socket, const std::string& address, std::uint16_t port,
                                         std::span<const std::uint8_t> bytes) {
  const auto addr = ipv4(address, port);
  if (!addr) return std::unexpected(addr.error());
  const ssize_t n = ::sendto(socket.native(), bytes.data(), bytes.size(), MSG_NOSIGNAL,
                             reinterpret_cast<const sockaddr*>(&*addr), sizeof *addr);
  if (n != ssize_t(bytes.size())) return std::unexpected(last_error(fmt::format("sendto {}:{}", address, port)));
  return {};
}

std::expected<std::optional<Datagram>, std::string> receive_for(const Socket& socket,
                                                                std::chrono::milliseconds timeout) {
  const auto ready = readable_within(socket.native(), timeout);
  if (!ready) return std::unexpected(ready.error());
  if (!*ready) return std::nullopt;
  std::vector<std::uint8_t> buffer(65536);
  sockaddr_in addr{};
  socklen_t size = sizeof addr;
  const ssize_t n = ::recvfrom(socket.native(), buffer.data(), buffer.size(), 0,
                               reinterpret_cast<sockaddr*>(&addr), &size);
  if (n < 0) return std::unexpected(last_error("recvfrom"));
  buffer.resize(std::size_t(n));
  return Datagram{std::move(buffer), text_of(addr)};
}

void ignore_broken_pipe() { std::signal(SIGPIPE, SIG_IGN); }

namespace {
sigset_t termination_signals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}
}  // namespace

void block_termination_signals() {
  const sigset_t set = termination_signals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void wait_for_termination() {
  const sigset_t set = termination_signals();
  int signal = 0;
  sigwait(&set, &signal);
}

}  // namespace tavik::simulator::platform
