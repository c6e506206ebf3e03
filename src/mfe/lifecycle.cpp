#include "mfe/lifecycle.h"

#include "dllsat/sat_compression.h"
#include "kovo_base/ca_certificate/ca_certificate.h"
#include "kovo_base/connection/modes.h"
#include "kovo_base/device_filter.h"
#include "kovo_base/tcp/tcp_models.h"
#include "kovo_base/usb/usb_models.h"
#include "mfe/build_id.h"
#include "mfe/device_selection.h"
#include "mfe/heartbeat/heartbeat.h"
#include "mfe/log/init_logging.h"
#include "mfe/log/log.h"
#include "mfe/mfe_compression.h"
#include "mfe/settings/load_settings.h"
#include "mfe/settings/log_values.h"
#include "platform/os_info.h"
#include "platform/unload_state.h"

namespace tavik::mfe {

namespace connection = kovo_base::connection;
using kovo_base::DeviceModel;

namespace {

void apply_continuous_mode(const kovo_base::Result<Settings>& settings) {
  if (settings && !settings->connection.continuous) {
    LOG_TRACE("mfe", "Disabling continuous connection due to loaded settings");
    connection::disable_continuous_connection();
  } else {
    connection::enable_continuous_connection();
  }
}

void apply_compression(const kovo_base::Result<Settings>& settings) {
  // Both switches always end up equal.
  if (settings && !settings->protocol.compression) {
    LOG_TRACE("mfe", "Disabling protocol compression due to loaded settings");
    disable_mfe_compression();
    dllsat::disable_sat_compression();
  } else {
    enable_mfe_compression();
    dllsat::enable_sat_compression();
  }
}

void apply_opening_options(const Settings& settings) {
  LOG_TRACE("mfe", "Setting opening options following loaded setting");
  const auto& c = settings.connection;
  set_opening_options(c.hub, c.port, c.ip, c.serial);
  if (c.method == ConnectionMethod::Network) start_heartbeat();
}

void register_models() {
  LOG_TRACE("mfe", "Adding compatible device models");
  for (const DeviceModel model : {DeviceModel::VortaMfe, DeviceModel::Ombrix}) {
    kovo_base::usb::register_usb_model(model);
    kovo_base::tcp::register_tcp_model(model);
  }
  LOG_TRACE("mfe", "All supported models added");
}

}  // namespace

void library_init() {
  const auto settings = load_settings();
  const auto log_values = choose_log_values(settings);
  log::init_logging(log_values.level, log_values.file);
  LOG_TRACE("mfe", "Settings load result: {}", debug(settings));
  // Its private key is in the source repository: anyone could pose as a module.
  if (kovo_base::ca_certificate_is_development()) {
    LOG_WARN("mfe", "This library trusts the development CA, whose private key is public: it must not be deployed.");
  }
  apply_continuous_mode(settings);
  apply_compression(settings);
  if (settings) apply_opening_options(*settings);
  if (log::enabled(log::Level::Debug)) {
    const auto os = platform::read_os_info();
    LOG_DEBUG("mfe", "Starting library version {} running on {} {}.", build_id, os.type_name,
              platform::bitness_text(os.bitness));
  }
  register_models();
}

void library_release() {
  // First: the threads' long waits end now, so that the waits below are short.
  platform::raise_shutdown();
  stop_heartbeat();
  stop_connection_probes();
  LOG_DEBUG("mfe", "Releasing library resources.");
}

}  // namespace tavik::mfe
