#pragma once
// The device's TLS service: accepts connections on ADDRESS:PORT and runs one
// DeviceSession per connection, each on its own thread.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <expected>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "simulator/device_session.h"
#include "simulator/platform/socket.h"
#include "simulator/tls_contexts.h"

namespace tavik::simulator {

class TlsServer {
 public:
  using SessionFactory = std::function<std::unique_ptr<DeviceSession>(const std::string& peer)>;

  // port 0: an ephemeral port (see port()).
  static std::expected<std::unique_ptr<TlsServer>, std::string> start(const std::string& address,
                                                                       std::uint16_t port, TlsContexts contexts,
                                                                       FaultSwitch& faults, SessionFactory factory,
                                                                       RequestLog log);
  ~TlsServer();
  TlsServer(const TlsServer&) = delete;
  TlsServer& operator=(const TlsServer&) = delete;

  std::uint16_t port() const { return port_; }
  // Closes the listener and every connection; returns when all threads ended.
  void stop();

 private:
  struct Connection {
    platform::Socket socket;
    std::string peer;
    std::thread thread;
    std::atomic<bool> done{false};
  };

  TlsServer(platform::Socket listener, std::uint16_t port, TlsContexts contexts, FaultSwitch& faults,
            SessionFactory factory, RequestLog log);
  void accept_loop();
  void serve(Connection& connection);
  bool run_steps(Connection& connection, SSL* ssl, OutputSteps steps);
  // Waits for a step's delay; false when the server is stopping.
  bool pause(std::chrono::milliseconds delay);
  void reap_finished();
  void note(const std::string& text) const;

  platform::Socket listener_;
  std::uint16_t port_;
  TlsContexts contexts_;
  FaultSwitch& faults_;
  SessionFactory factory_;
  RequestLog log_;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::condition_variable stop_signal_;
  std::list<Connection> connections_;
  std::thread acceptor_;
};

}  // namespace tavik::simulator
