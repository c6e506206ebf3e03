#include "mfe/messages.h"

#include <utility>

#include <fmt/format.h>

#include "dllsat/session_manager.h"
#include "kovo_base/connection/connection_slot.h"
#include "kovo_base/connection/exchange.h"
#include "log/log.h"
#include "mfe/logging.h"
#include "mfe/mfe_message.h"

namespace tavik::mfe {
namespace {
constexpr std::string_view messages_target = "mfe::messages";
}  // namespace

kovo_base::Result<codec::ReceivedMfeBody> send_mfe_message(std::optional<std::int32_t> session, codec::MfeMessageType kind,
                                                    std::vector<std::string> contents) {
  const codec::MfeBody request{kind, codec::Source::Lib, {session, std::move(contents)}};
  LOG_DEBUG(messages_target, "Sending MFE msg: {}", codec::debug_string(request));
  // Calls of the exports own a result slot even when the device cannot be
  // reached; the heartbeat sends without a number and registers nothing.
  if (session) dllsat::register_session(*session);

  auto guard = log_and_pass_on(kovo_base::connection::get_connection(), ::tavik::log::Level::Error, "Failed to open port");
  if (!guard) return std::unexpected(std::move(guard.error()));
  auto response = kovo_base::connection::send_and_receive<MfeMessage>(*guard, request);
  // Released as soon as the exchange ends: in per-request mode this closes
  // the connection before anything is logged.
  guard->release();

  response = log_and_pass_on(std::move(response), ::tavik::log::Level::Error, fmt::format("Failed to send {}", codec::name_of(kind)));
  if (!response) return std::unexpected(std::move(response.error()));
  LOG_DEBUG(messages_target, "{} received: {}", codec::name_of(response->code), codec::body_text(response->fields));
  return response;
}

kovo_base::Result<std::string> send_mfe_command(std::int32_t session, codec::MfeMessageType kind,
                                                std::vector<std::string> arguments) {
  auto response = send_mfe_message(session, kind, std::move(arguments));
  if (!response) return std::unexpected(std::move(response.error()));
  // Rendered anew from the decoded fields, not passed through, in the
  // answer's own buffer.
  return codec::into_body_text(std::move(*response));
}

}  // namespace tavik::mfe
