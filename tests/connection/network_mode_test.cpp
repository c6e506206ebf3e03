// The connection method: USB until the network is chosen, and only for what
// is opened next. network_mode never goes back, so these run in a binary of
// their own.
#include <gtest/gtest.h>

#include "kovo_base/connection/connection_slot.h"
#include "kovo_base/connection/modes.h"
#include "kovo_base/connection/openers.h"
#include "scripted_device.h"

namespace tavik::testing {
namespace {

using kovo_base::connection::HandleKind;

TEST(NetworkMode, ChoosesWhatIsOpenedNext) {
  kovo_base::connection::enable_continuous_connection();
  ScriptedDevice usb;
  ScriptedDevice tcp;
  kovo_base::connection::set_opener(HandleKind::Usb, [&] { return usb.open_usb(); });
  kovo_base::connection::set_opener(HandleKind::Tcp, [&] { return tcp.open_tcp(); });
  auto kind_in_use = [](std::optional<HandleKind> forced = std::nullopt) {
    auto guard = forced ? kovo_base::connection::get_connection(*forced) : kovo_base::connection::get_connection();
    EXPECT_TRUE(guard);
    return guard ? guard->handle().kind() : HandleKind::Usb;
  };

  EXPECT_FALSE(kovo_base::connection::network_mode());
  EXPECT_EQ(kind_in_use(), HandleKind::Usb);
  kovo_base::connection::drop_connection();
  // The heartbeat's probe opens TCP whatever the method.
  EXPECT_EQ(kind_in_use(HandleKind::Tcp), HandleKind::Tcp);
  kovo_base::connection::drop_connection();

  EXPECT_EQ(kind_in_use(), HandleKind::Usb);
  kovo_base::connection::set_network_mode();
  EXPECT_TRUE(kovo_base::connection::network_mode());
  EXPECT_EQ(kind_in_use(), HandleKind::Usb);  // the held USB handle goes on being used
  kovo_base::connection::drop_connection();
  EXPECT_EQ(kind_in_use(), HandleKind::Tcp);

  kovo_base::connection::drop_connection();
  kovo_base::connection::set_opener(HandleKind::Usb, {});
  kovo_base::connection::set_opener(HandleKind::Tcp, {});
}

}  // namespace
}  // namespace tavik::testing
