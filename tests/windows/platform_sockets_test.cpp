// Winsock behind the platform socket interface, run under Wine: time-outs
// in milliseconds and WSA errors as the I/O kinds the transports expect.
// The peers the interface has no calls for (a UDP sender, a TCP listener)
// are plain Winsock here.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "platform/sockets.h"

namespace tavik::platform {
namespace {

using kovo_base::IoKind;
using namespace std::chrono_literals;

const SocketAddressV4 loopback_any_port{{127, 0, 0, 1}, 0};

sockaddr_in native(const SocketAddressV4& address) {
  sockaddr_in out{};
  out.sin_family = AF_INET;
  out.sin_port = htons(address.port);
  std::memcpy(&out.sin_addr.s_addr, address.ip.data(), 4);
  return out;
}

// A listening TCP socket on loopback; closed when destroyed.
struct Listener {
  Listener() {
    handle = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in any = native(loopback_any_port);
    ::bind(handle, reinterpret_cast<sockaddr*>(&any), sizeof any);
    ::listen(handle, 4);
    int length = sizeof any;
    ::getsockname(handle, reinterpret_cast<sockaddr*>(&any), &length);
    address = {{127, 0, 0, 1}, ntohs(any.sin_port)};
  }
  ~Listener() { ::closesocket(handle); }
  SOCKET accept_one() const { return ::accept(handle, nullptr, nullptr); }
  SOCKET handle;
  SocketAddressV4 address;
};

TEST(Win32Sockets, UdpBindsOncePerPortTimesOutAndReportsTruncatedDatagrams) {
  auto receiver = bind_udp(loopback_any_port);
  ASSERT_TRUE(receiver) << receiver.error().debug();
  const auto address = local_address(*receiver);
  ASSERT_TRUE(address);
  EXPECT_NE(address->port, 0);

  const auto second = bind_udp(*address);
  ASSERT_FALSE(second);
  EXPECT_EQ(second.error().kind, IoKind::AddrInUse) << second.error().debug();

  // Nothing arrives: the receive gives up after the time-out with WouldBlock.
  ASSERT_TRUE(set_receive_timeout(*receiver, 30ms));
  EXPECT_EQ(receive_timeout(*receiver).value(), std::optional<std::chrono::nanoseconds>(30ms));
  std::uint8_t buffer[8];
  const auto start = std::chrono::steady_clock::now();
  const auto nothing = receive_datagram(*receiver, buffer);
  const auto waited = std::chrono::steady_clock::now() - start;
  ASSERT_FALSE(nothing);
  EXPECT_EQ(nothing.error().kind, IoKind::WouldBlock) << nothing.error().debug();
  EXPECT_GE(waited, 20ms);
  EXPECT_LT(waited, 2s);

  // A datagram longer than the buffer is cut, and says so.
  const SOCKET sender = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  const sockaddr_in to = native(*address);
  const std::vector<char> long_datagram(20, 'x');
  ASSERT_EQ(::sendto(sender, long_datagram.data(), 20, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to), 20);
  ASSERT_TRUE(set_receive_timeout(*receiver, 2s));
  const auto cut = receive_datagram(*receiver, buffer);
  ::closesocket(sender);
  ASSERT_TRUE(cut) << cut.error().debug();
  EXPECT_TRUE(cut->truncated);
  EXPECT_EQ(cut->size, sizeof buffer);
  EXPECT_EQ(cut->sender.ip_text(), "127.0.0.1");
}

TEST(Win32Sockets, TimeOutsAreWholeMillisecondsRoundedUp) {
  auto socket = bind_udp(loopback_any_port);
  ASSERT_TRUE(socket);
  ASSERT_TRUE(set_receive_timeout(*socket, 1ns));
  EXPECT_EQ(receive_timeout(*socket).value(), std::optional<std::chrono::nanoseconds>(1ms));
  ASSERT_TRUE(set_receive_timeout(*socket, 1500us));
  EXPECT_EQ(receive_timeout(*socket).value(), std::optional<std::chrono::nanoseconds>(2ms));
  ASSERT_TRUE(set_receive_timeout(*socket, std::nullopt));
  EXPECT_EQ(receive_timeout(*socket).value(), std::nullopt);
}

TEST(Win32Sockets, TcpConnectsExchangesAndMapsFailures) {
  Listener listener;
  auto client = connect_tcp(listener.address, 2000ms);
  ASSERT_TRUE(client) << client.error().debug();
  const SOCKET server = listener.accept_one();
  ASSERT_NE(server, INVALID_SOCKET);
  EXPECT_EQ(peer_address(*client)->port, listener.address.port);

  const std::uint8_t hello[] = {'h', 'i'};
  ASSERT_EQ(send_some(*client, hello).value(), 2u);
  char got[2]{};
  ASSERT_EQ(::recv(server, got, 2, 0), 2);

  // Idle connection under a receive time-out: WouldBlock, as the liveness check expects.
  ASSERT_TRUE(set_receive_timeout(*client, 10ms));
  std::uint8_t byte[1];
  const auto idle = receive_some(*client, byte);
  ASSERT_FALSE(idle);
  EXPECT_EQ(idle.error().kind, IoKind::WouldBlock) << idle.error().debug();

  // The peer closes: the end of the stream reads as 0 bytes.
  ::closesocket(server);
  ASSERT_TRUE(set_receive_timeout(*client, 2s));
  EXPECT_EQ(receive_some(*client, byte).value(), 0u);

  // Nobody listens any more on that port: refused.
  const SocketAddressV4 gone = listener.address;
  ::closesocket(listener.handle);
  listener.handle = INVALID_SOCKET;
  for (const auto timeout : {std::optional<std::chrono::milliseconds>(2000ms), std::optional<std::chrono::milliseconds>()}) {
    const auto refused = connect_tcp(gone, timeout);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, IoKind::ConnectionRefused) << refused.error().debug();
    EXPECT_TRUE(refused.error().os_code.has_value());
  }
}

TEST(Win32Sockets, SendingToAResetConnectionIsABrokenPipe) {
  Listener listener;
  auto client = connect_tcp(listener.address, std::nullopt);
  ASSERT_TRUE(client);
  const SOCKET server = listener.accept_one();
  // An abortive close (linger 0) resets the connection.
  linger abort_close{1, 0};
  ::setsockopt(server, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort_close), sizeof abort_close);
  ::closesocket(server);
  const std::vector<std::uint8_t> bytes(1024, 'x');
  IoResult<std::size_t> sent = send_some(*client, bytes);
  for (int i = 0; i < 50 && sent; ++i) sent = send_some(*client, bytes);
  ASSERT_FALSE(sent);
  EXPECT_EQ(sent.error().kind, IoKind::BrokenPipe) << sent.error().debug();
}

}  // namespace
}  // namespace tavik::platform
