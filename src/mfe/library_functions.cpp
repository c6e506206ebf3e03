#include "mfe/library_functions.h"

#include <fmt/format.h>

#include "dllsat/session_manager.h"
#include "mfe/build_id.h"
#include "log/log.h"
#include "platform/env.h"

namespace tavik::mfe {

namespace {

const char* store_private(const std::string& text) {
  const std::int32_t session = dllsat::generate_session_number();
  dllsat::register_session(session);
  return dllsat::store_result_text(session, text);
}

}  // namespace

std::string version_text() { return std::string("TAVIK  DLL SAT Vers\xC3\xA3o: ") + build_id; }

std::string log_variables_text() {
  return fmt::format("LOG_FILE_MFE: '{}'  LOG_LEVEL_MFE: '{}'",
                     platform::read_env_unicode("LOG_FILE_MFE").value_or(""),
                     platform::read_env_unicode("LOG_LEVEL_MFE").value_or(""));
}

const char* versao_lib() { return store_private(version_text()); }
const char* mfe_log_variaveis() { return store_private(log_variables_text()); }

int abre_serial_mfe() {
  LOG_WARN("mfe", "Called 'abre_serial_mfe' but it does nothing.");
  return 0;
}

}  // namespace tavik::mfe
