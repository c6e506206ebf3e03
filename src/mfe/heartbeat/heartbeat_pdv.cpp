#include "mfe/heartbeat/heartbeat_pdv.h"

#include <optional>

#include "mfe/build_id.h"
#include "mfe/messages.h"
#include "platform/os_info.h"

namespace tavik::mfe {

std::vector<std::string> heartbeat_pdv_contents(const AcStatus& status, const std::string& os_description) {
  const std::string not_available = "NA";
  return {
      status.b.value_or(not_available),
      status.a.value_or(not_available),
      status.a ? "1" : "0",
      not_available,
      std::string(build_id),
      os_description,
  };
}

const std::string& cached_os_description() {
  // Never destroyed: a heartbeat thread left running at process exit may
  // still read it.
  static const std::string* description = new std::string(platform::os_description(platform::read_os_info()));
  return *description;
}

kovo_base::Result<codec::MfeBody> send_heartbeat_pdv() {
  auto answer = send_mfe_message(std::nullopt, codec::MfeMessageType::HeartBeatPDV,
                                 heartbeat_pdv_contents(read_ac_status(), cached_os_description()));
  if (!answer) return std::unexpected(std::move(answer.error()));
  // The interval in the first field is all the heartbeat reads: only that
  // field becomes a string, however many the module sent.
  codec::MfeBody body{answer->code, answer->source, {answer->fields.num_session, {}}};
  if (auto first = answer->fields.contents.at(0)) body.fields.contents.emplace_back(*first);
  return body;
}

}  // namespace tavik::mfe
