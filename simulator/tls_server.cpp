#include "simulator/tls_server.h"

#include <fmt/format.h>
#include <openssl/err.h>

namespace tavik::simulator {
namespace {

constexpr auto kAcceptPoll = std::chrono::milliseconds(50);
// A client that connects and never completes the handshake is let go.
constexpr auto kHandshakeTimeout = std::chrono::seconds(10);
constexpr std::size_t kReadSize = 16 * 1024;

struct SslFree {
  void operator()(SSL* ssl) const { SSL_free(ssl); }
};

}  // namespace

std::expected<std::unique_ptr<TlsServer>, std::string> TlsServer::start(const std::string& address,
                                                                        std::uint16_t port, TlsContexts contexts,
                                                                        FaultSwitch& faults, SessionFactory factory,
                                                                        RequestLog log) {
  platform::ignore_broken_pipe();
  auto listener = platform::listen_tcp(address, port);
  if (!listener) return std::unexpected(listener.error());
  const auto bound = platform::local_port(*listener);
  if (!bound) return std::unexpected(bound.error());
  std::unique_ptr<TlsServer> server(new TlsServer(std::move(*listener), *bound, std::move(contexts), faults,
                                                  std::move(factory), std::move(log)));
  server->acceptor_ = std::thread([raw = server.get()] { raw->accept_loop(); });
  return server;
}

TlsServer::TlsServer(platform::Socket listener, std::uint16_t port, TlsContexts contexts, FaultSwitch& faults,
                     SessionFactory factory, RequestLog log)
    : listener_(std::move(listener)),
      port_(port),
      contexts_(std::move(contexts)),
      faults_(faults),
      factory_(std::move(factory)),
      log_(std::move(log)) {}

TlsServer::~TlsServer() { stop(); }

void TlsServer::note(const std::string& text) const {
  if (log_) log_(text);
}

void TlsServer::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (auto& connection : connections_) connection.socket.shutdown_both();
  }
  stop_signal_.notify_all();
  if (acceptor_.joinable()) acceptor_.join();
  std::list<Connection> remaining;
  {
    std::lock_guard lock(mutex_);
    remaining.splice(remaining.end(), connections_);
  }
  for (auto& connection : remaining) {
    connection.socket.shutdown_both();
    if (connection.thread.joinable()) connection.thread.join();
  }
  listener_.close();
}

void TlsServer::reap_finished() {
  std::list<Connection> finished;
  {
    std::lock_guard lock(mutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      auto next = std::next(it);
      if (it->done) finished.splice(finished.end(), connections_, it);
      it = next;
    }
  }
  for (auto& connection : finished) connection.thread.join();
}

void TlsServer::accept_loop() {
  while (!stopping_) {
    reap_finished();
    auto accepted = platform::accept_for(listener_, kAcceptPoll);
    if (!accepted) {
      note(fmt::format("accept failed: {}", accepted.error()));
      pause(kAcceptPoll);
      continue;
    }
    if (!*accepted) continue;
    std::lock_guard lock(mutex_);
    if (stopping_) break;
    Connection& connection = connections_.emplace_back();
    connection.socket = std::move((*accepted)->socket);
    connection.peer = (*accepted)->peer;
    connection.thread = std::thread([this, &connection] {
      serve(connection);
      connection.socket.shutdown_both();
      connection.done = true;
    });
  }
}

bool TlsServer::pause(std::chrono::milliseconds delay) {
  if (delay.count() <= 0) return !stopping_;
  std::unique_lock lock(mutex_);
  return !stop_signal_.wait_for(lock, delay, [this] { return stopping_.load(); });
}

bool TlsServer::run_steps(Connection& connection, SSL* ssl, OutputSteps steps) {
  for (auto& step : steps) {
    if (!pause(step.delay)) return false;
    if (!step.bytes.empty()) {
      if (ssl == nullptr) {
        if (!connection.socket.write_all(step.bytes)) return false;
      } else if (SSL_write(ssl, step.bytes.data(), int(step.bytes.size())) <= 0) {
        note(fmt::format("[{}] write failed: {}", connection.peer, take_openssl_errors()));
        return false;
      }
    }
    if (step.close) return false;
    if (step.hold) {
      while (pause(std::chrono::hours(1))) {
      }
      return false;
    }
  }
  return true;
}

void TlsServer::serve(Connection& connection) {
  note(fmt::format("[{}] connected", connection.peer));
  auto session = factory_(connection.peer);
  connection.socket.set_no_delay();
  // Connection faults act below TLS, before any handshake byte.
  if (!run_steps(connection, nullptr, session->open())) {
    note(fmt::format("[{}] closed by the device", connection.peer));
    return;
  }
  const auto certificate_fault = faults_.take(FaultScope::Certificate);
  const Fault fault = certificate_fault ? certificate_fault->fault : Fault::None;
  if (fault != Fault::None) note(fmt::format("[{}] presenting the {} identity", connection.peer, name_of(fault)));

  ERR_clear_error();
  std::unique_ptr<SSL, SslFree> ssl(SSL_new(contexts_.for_fault(fault)));
  if (!ssl || SSL_set_fd(ssl.get(), connection.socket.native()) != 1) {
    note(fmt::format("[{}] TLS setup failed: {}", connection.peer, take_openssl_errors()));
    return;
  }
  connection.socket.set_receive_timeout(kHandshakeTimeout);
  if (SSL_accept(ssl.get()) != 1) {
    note(fmt::format("[{}] TLS handshake failed: {}", connection.peer, take_openssl_errors()));
    return;
  }
  connection.socket.set_receive_timeout(std::chrono::milliseconds(0));
  if (session->stalls_after_handshake()) {
    note(fmt::format("[{}] reading nothing more", connection.peer));
    while (pause(std::chrono::hours(1))) {
    }
    return;
  }

  std::vector<std::uint8_t> buffer(kReadSize);
  while (!stopping_) {
    const int n = SSL_read(ssl.get(), buffer.data(), int(buffer.size()));
    if (n <= 0) break;
    auto steps = session->feed(codec::ByteView(buffer.data(), std::size_t(n)));
    if (!run_steps(connection, ssl.get(), std::move(steps))) {
      note(fmt::format("[{}] closed by the device", connection.peer));
      return;  // no close notification: the device just drops the line
    }
  }
  SSL_shutdown(ssl.get());
  ERR_clear_error();
  note(fmt::format("[{}] disconnected", connection.peer));
}

}  // namespace tavik::simulator
