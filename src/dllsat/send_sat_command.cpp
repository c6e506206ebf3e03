#include "dllsat/send_sat_command.h"

#include <utility>

#include <fmt/format.h>

#include "dllsat/catalogue.h"
#include "dllsat/sat_message.h"
#include "dllsat/session_manager.h"
#include "kovo_base/connection/connection_slot.h"
#include "kovo_base/connection/exchange.h"
#include "log/log.h"
#include "log/pass_on.h"

namespace tavik::dllsat {
namespace {
constexpr std::string_view messages_target = "mfe::messages";
// A failed SAT call is logged under the exported layer's target, like the
// failures of the MFE calls.
constexpr ::tavik::log::ResultPassOn log_under_mfe_target{"mfe::logging"};
}  // namespace

kovo_base::Result<std::string> send_sat_command(std::int32_t session, codec::SatFunction function,
                                                std::vector<std::string> arguments) {
  const codec::SatBody request{function, codec::Source::Lib, {session, std::move(arguments)}};
  LOG_DEBUG(messages_target, "Sending: {}", codec::debug_string(request));
  // Before any contact with the device, so the call owns a result slot even
  // when the device cannot be reached.
  register_session(session);

  auto guard = log_under_mfe_target(kovo_base::connection::get_connection(), ::tavik::log::Level::Error, "Failed to open port");
  if (!guard) return std::unexpected(std::move(guard.error()));
  auto response = kovo_base::connection::send_and_receive<SatMessage>(*guard, request);
  // Released as soon as the exchange ends: in per-request mode this closes
  // the connection before anything is logged.
  guard->release();

  response = log_under_mfe_target(std::move(response), ::tavik::log::Level::Error,
                                  fmt::format("Failed to send {}", function_name(function)));
  if (!response) return std::unexpected(std::move(response.error()));
  // Rendered anew from the decoded fields, not passed through, in the
  // answer's own buffer: a large answer is never held twice here.
  const codec::SatFunction answered = response->code;
  std::string text = codec::into_body_text(std::move(*response));
  LOG_DEBUG(messages_target, "{} received: {}", function_name(answered), text);
  return text;
}

void release_line() { LOG_DEBUG("dllsat", "Releasing library resources."); }

}  // namespace tavik::dllsat
