#include "kovo_base/tcp/tls_stream.h"

#include <fmt/format.h>
#include <openssl/err.h>

namespace tavik::kovo_base::tcp {
namespace {

IoError timed_out() { return IoError::custom(IoKind::TimedOut, "TLS handshake timed out"); }

// The time left before the handshake's deadline; nothing once it is past.
std::optional<std::chrono::nanoseconds> time_left(const SocketIo& io) {
  const auto left = *io.deadline - std::chrono::steady_clock::now();
  if (left <= std::chrono::steady_clock::duration::zero()) return std::nullopt;
  return std::chrono::duration_cast<std::chrono::nanoseconds>(left);
}

// A time-out leaves the session able to go on: the call is marked for retry.
void record_failure(BIO* bio, SocketIo& io, IoError error, bool receiving) {
  const bool waiting = error.kind == IoKind::WouldBlock || error.kind == IoKind::TimedOut;
  if (waiting && io.deadline) error = timed_out();
  if (waiting) {
    if (receiving) BIO_set_retry_read(bio);
    else BIO_set_retry_write(bio);
  }
  io.last_error = std::move(error);
}

int socket_read(BIO* bio, char* data, std::size_t length, std::size_t* read) {
  auto& io = *static_cast<SocketIo*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  for (;;) {
    std::optional<std::chrono::nanoseconds> bound = io.receive_timeout;
    if (io.deadline) {
      bound = time_left(io);
      if (!bound) {
        record_failure(bio, io, timed_out(), true);
        return 0;
      }
    }
    auto got = platform::receive_within(*io.socket, std::span(reinterpret_cast<std::uint8_t*>(data), length), bound);
    if (!got && got.error().kind == IoKind::Interrupted) continue;
    if (!got) {
      record_failure(bio, io, std::move(got.error()), true);
      return 0;
    }
    if (*got == 0) {
      io.end_of_stream = true;
      return 0;
    }
    *read = *got;
    return 1;
  }
}

int socket_write(BIO* bio, const char* data, std::size_t length, std::size_t* written) {
  auto& io = *static_cast<SocketIo*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  for (;;) {
    if (io.deadline) {
      // The send time-out is rounded to the tick on some systems; a handshake
      // flight is small and is taken at once, so that rounding never shows.
      const auto left = time_left(io);
      if (!left || !platform::set_send_timeout(*io.socket, *left)) {
        record_failure(bio, io, timed_out(), false);
        return 0;
      }
    }
    auto sent = platform::send_some(*io.socket, std::span(reinterpret_cast<const std::uint8_t*>(data), length));
    if (!sent && sent.error().kind == IoKind::Interrupted) continue;
    if (!sent) {
      record_failure(bio, io, std::move(sent.error()), false);
      return 0;
    }
    *written = *sent;
    return 1;
  }
}

long socket_ctrl(BIO* bio, int command, long, void*) {
  auto* io = static_cast<SocketIo*>(BIO_get_data(bio));
  switch (command) {
    case BIO_CTRL_FLUSH: return 1;
    case BIO_CTRL_EOF: return io && io->end_of_stream ? 1 : 0;
    default: return 0;
  }
}

int socket_create(BIO* bio) {
  BIO_set_init(bio, 1);
  return 1;
}

// One method table for the process, built on first use.
BIO_METHOD* socket_method() {
  static BIO_METHOD* const method = [] {
    BIO_METHOD* built = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "tavik socket");
    if (built) {
      BIO_meth_set_read_ex(built, socket_read);
      BIO_meth_set_write_ex(built, socket_write);
      BIO_meth_set_ctrl(built, socket_ctrl);
      BIO_meth_set_create(built, socket_create);
    }
    return built;
  }();
  return method;
}

std::string address_text(const platform::IoResult<platform::SocketAddressV4>& address) {
  return address ? address->text() : std::string("?");
}

}  // namespace

std::expected<std::unique_ptr<TlsStream>, TlsError> TlsStream::create(const TlsConfig& config, ServerName identity) {
  ERR_clear_error();
  std::unique_ptr<TlsStream> stream(new TlsStream());
  stream->session_.reset(SSL_new(config.context.get()));
  if (!stream->session_) return std::unexpected(TlsError::general(take_openssl_error()));
  stream->verifier_ = config.verifier;
  stream->state_ = SessionState{std::move(identity), stream->verifier_.get(), std::nullopt};
  attach_session_state(stream->session_.get(), &stream->state_);
  SSL_set_connect_state(stream->session_.get());
  return stream;
}

TlsStream::~TlsStream() {
  // The session goes first: its BIO points at io_ and socket_.
  session_.reset();
}

std::expected<void, TlsError> TlsStream::attach(platform::Socket socket) {
  socket_ = std::move(socket);
  // Every wait of the session is on this socket: the release wakes it.
  wake_ = platform::WakeRegistration(socket_);
  io_.socket = &socket_;
  BIO_METHOD* method = socket_method();
  BIO* bio = method ? BIO_new(method) : nullptr;
  if (!bio) return std::unexpected(TlsError::general(take_openssl_error("cannot create the socket BIO")));
  BIO_set_data(bio, &io_);
  SSL_set_bio(session_.get(), bio, bio);  // the session owns it now
  return {};
}

bool TlsStream::handshake_done() const { return SSL_is_init_finished(session_.get()) == 1; }

bool TlsStream::holds_unread_input() const { return SSL_has_pending(session_.get()) == 1; }

IoError TlsStream::failure_of(int result) {
  const int kind = SSL_get_error(session_.get(), result);
  IoError error = IoError::custom(IoKind::Other, "TLS failure");
  switch (kind) {
    case SSL_ERROR_WANT_READ:
    case SSL_ERROR_WANT_WRITE:
      error = io_.last_error.value_or(IoError::custom(IoKind::WouldBlock, "operation would block"));
      break;
    case SSL_ERROR_SYSCALL:
      failed_ = true;
      error = io_.last_error.value_or(
          IoError::custom(IoKind::UnexpectedEof, "peer closed connection without sending TLS close_notify"));
      break;
    case SSL_ERROR_SSL:
      failed_ = true;
      if (state_.rejection) {
        error = IoError::custom(IoKind::InvalidData, state_.rejection->display());
      } else if (ERR_GET_REASON(ERR_peek_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
        error = IoError::custom(IoKind::UnexpectedEof, "peer closed connection without sending TLS close_notify");
      } else if (io_.last_error) {
        error = *io_.last_error;
      } else {
        error = IoError::custom(IoKind::InvalidData, take_openssl_error());
      }
      break;
    default:
      failed_ = true;
      error = IoError::custom(IoKind::Other, take_openssl_error());
      break;
  }
  ERR_clear_error();
  return error;
}

std::expected<void, IoError> TlsStream::set_receive_timeout(std::optional<std::chrono::nanoseconds> timeout) {
  if (timeout == io_.receive_timeout) return {};  // every read of an exchange sets the same
  if (auto set = platform::set_receive_timeout(socket_, timeout); !set) return set;
  io_.receive_timeout = timeout;
  return {};
}

std::expected<void, IoError> TlsStream::set_send_timeout(std::optional<std::chrono::nanoseconds> timeout) {
  if (timeout == send_timeout_) return {};
  if (auto set = platform::set_send_timeout(socket_, timeout); !set) return set;
  send_timeout_ = timeout;
  return {};
}

std::expected<void, IoError> TlsStream::handshake(std::chrono::steady_clock::time_point deadline) {
  ERR_clear_error();
  io_.last_error.reset();
  io_.deadline = deadline;
  const int result = SSL_do_handshake(session_.get());
  io_.deadline.reset();
  std::expected<void, IoError> outcome;
  if (result != 1) outcome = std::unexpected(failure_of(result));
  auto restored = platform::set_send_timeout(socket_, send_timeout_);
  if (outcome && !restored) return std::unexpected(restored.error());
  return outcome;
}

std::expected<std::size_t, IoError> TlsStream::read(std::span<std::uint8_t> buffer) {
  ERR_clear_error();
  io_.last_error.reset();
  std::size_t got = 0;
  const int result = SSL_read_ex(session_.get(), buffer.data(), buffer.size(), &got);
  if (result == 1) return got;
  if (SSL_get_error(session_.get(), result) == SSL_ERROR_ZERO_RETURN) return 0;
  return std::unexpected(failure_of(result));
}

std::expected<std::size_t, IoError> TlsStream::write(std::span<const std::uint8_t> bytes) {
  ERR_clear_error();
  io_.last_error.reset();
  std::size_t taken = 0;
  const int result = SSL_write_ex(session_.get(), bytes.data(), bytes.size(), &taken);
  if (result == 1) return taken;
  IoError error = failure_of(result);
  if (error.kind == IoKind::WouldBlock || error.kind == IoKind::TimedOut) {
    // The peer took nothing for the whole send time-out. Part of a record
    // may be out: the session cannot go on, and the next use replaces it.
    failed_ = true;
    return std::unexpected(IoError::custom(IoKind::TimedOut, "write timed out"));
  }
  return std::unexpected(std::move(error));
}

std::string TlsStream::debug() const {
  const std::string sock = fmt::format("TcpStream {{ addr: {}, peer: {}, fd: {} }}",
                                       address_text(platform::local_address(socket_)),
                                       address_text(platform::peer_address(socket_)), socket_.native());
  if (!handshake_done()) return fmt::format("TlsStream {{ state: Handshaking, sock: {} }}", sock);
  return fmt::format("TlsStream {{ state: Connected, version: {}, cipher: {}, sock: {} }}",
                     SSL_get_version(session_.get()), SSL_get_cipher_name(session_.get()), sock);
}

}  // namespace tavik::kovo_base::tcp
