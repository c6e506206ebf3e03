#include "mfe/lifecycle.h"

#include "dllsat/sat_compression.h"
#include "kovo_base/ca_certificate/ca_certificate.h"
#include "kovo_base/connection/connection_slot.h"
#include "kovo_base/connection/modes.h"
#include "kovo_base/device_filter.h"
#include "kovo_base/tcp/tcp_models.h"
#include "kovo_base/usb/usb_models.h"
#include "mfe/build_id.h"
#include "mfe/device_selection.h"
#include "mfe/export_calls.h"
#include "mfe/heartbeat/heartbeat.h"
#include "log/init_logging.h"
#include "log/log.h"
#include "mfe/mfe_compression.h"
#include "mfe/settings/load_settings.h"
#include "mfe/settings/log_values.h"
#include "platform/os_info.h"
#include "platform/socket_wake.h"
#include "platform/unload_state.h"

namespace tavik::mfe {

namespace connection = kovo_base::connection;
using kovo_base::DeviceModel;

namespace {

// At unload the connection is closed unless a thread holds it for longer than
// this: the library's own threads have ended by then, and a host thread still
// inside an export at unload must not make the unload hang.
constexpr auto unload_drop_wait_limit = std::chrono::milliseconds(200);

// A host thread still inside an export when its host unloads the library
// leaves within milliseconds once its socket is woken; this bounds the wait
// for one that does not (blocked in a USB transfer, for example).
constexpr auto export_leave_wait_limit = std::chrono::milliseconds(300);

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

// Returns whether the settings name the network, whose heartbeat start
// library_init makes its last step.
bool apply_opening_options(const Settings& settings) {
  LOG_TRACE("mfe", "Setting opening options following loaded setting");
  const auto& c = settings.connection;
  set_opening_options(c.hub, c.port, c.ip, c.serial);
  return c.method == ConnectionMethod::Network;
}

void register_models() {
  LOG_TRACE("mfe", "Adding compatible device models");
  for (const DeviceModel model : {DeviceModel::VortaMfe, DeviceModel::Ombrix}) {
    kovo_base::usb::register_usb_model(model);
    kovo_base::tcp::register_tcp_model(model);
  }
  LOG_TRACE("mfe", "All supported models added");
}

// An unload while the process goes on: the host's threads leave the exports
// (their sockets are woken), and the device connection is closed, so that a
// new load in this process starts afresh and finds the device free (the USB
// interface unclaimed, the libusb context ended, the TLS session closed).
void release_for_next_load() {
  if (!wait_for_export_calls(export_leave_wait_limit)) {
    LOG_WARN("mfe", "Failed to wait for the calls in progress: {}", "StillInside");
  }
  if (!connection::drop_connection_within(unload_drop_wait_limit)) {
    LOG_WARN("mfe", "Failed to close the device connection: {}", "InUse");
  }
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
  const bool network = settings && apply_opening_options(*settings);
  if (log::enabled(log::Level::Debug)) {
    const auto os = platform::read_os_info();
    LOG_DEBUG("mfe", "Starting library version {} running on {} {}.", build_id, os.type_name,
              platform::bitness_text(os.bitness));
  }
  register_models();
  // Only now: the heartbeat's first probe opens a TCP connection at once, and
  // before the models are registered there is no TCP opener yet. That probe
  // would fail, and the first HeartBeatPDV would wait for the next one, 5 s
  // later. Registering also drops the connection, which would make the load
  // wait for a probe that is inside a beacon discovery.
  if (network) start_heartbeat();
}

void library_release() {
  // First: the threads' long waits end now, and every call blocked on one of
  // the library's sockets returns, so that the waits below are short.
  platform::raise_shutdown();
  platform::wake_blocked_sockets();
  stop_heartbeat();
  stop_connection_probes();
  // At process exit the system closes everything and nothing may block.
  if (platform::unloading_while_process_runs()) release_for_next_load();
  LOG_DEBUG("mfe", "Releasing library resources.");
}

}  // namespace tavik::mfe
