#pragma once
// The device models the TCP transport knows, registered once at load. Each
// entry decides to which model a discovered module is attributed; one
// discovery waits for one beacon per entry.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codec/frame.h"
#include "kovo_base/device_filter.h"

namespace tavik::kovo_base::tcp {

struct TcpModel {
  DeviceModel model = DeviceModel::VortaMfe;
  // The serial text of the module that sent this datagram, or nothing.
  std::optional<std::string> (*parse_beacon)(codec::ByteView datagram) = nullptr;
  // PEM text of the CA certificate that the module's certificate is checked against.
  std::string_view (*ca_certificate)() = nullptr;
};

// Entries are shared so that discovered devices and open handles keep theirs.
using TcpModelRef = std::shared_ptr<const TcpModel>;

// Appends the model, installs the TCP opener and drops the open connection.
void register_tcp_model(DeviceModel model);

// The registered entries in registration order; empty before any registration.
std::vector<TcpModelRef> tcp_models();

namespace testing {
// Forgets every registered model and removes the TCP opener.
void clear_tcp_models();
}  // namespace testing

}  // namespace tavik::kovo_base::tcp
