// What a HeartBeatPDV carries, before and after EnviarStatusAC.
#include <gtest/gtest.h>

#include <string>

#include "connection/log_capture.h"
#include "connection/scripted_device.h"
#include "kovo_base/connection/connection_slot.h"
#include "kovo_base/connection/openers.h"
#include "mfe/build_id.h"
#include "mfe/heartbeat/heartbeat_pdv.h"
#include "platform/os_info.h"

namespace tavik::testing {
namespace {

using kovo_base::connection::HandleKind;
using Contents = std::vector<std::string>;

// The AC status store lives for the whole process, so the order matters:
// everything before the first store_ac_status happens in one test.
TEST(HeartbeatPdv, CarriesTheAcStatusTheBuildAndTheSystem) {
  LogCapture log;
  ScriptedDevice device([](const codec::Bytes&) {
    return std::vector<ReadStep>{mfe_frame(0, {"30"}, codec::MfeMessageType::HeartBeatPDV)};
  });
  kovo_base::connection::set_opener(HandleKind::Usb, [&] { return device.open_usb(); });
  const std::string system = platform::os_description(platform::read_os_info());
  ASSERT_EQ(std::string(mfe::build_id).size(), 7u);

  auto first = mfe::send_heartbeat_pdv();
  ASSERT_TRUE(first) << first.error().debug();
  EXPECT_EQ(first->fields.contents, Contents{"30"});

  mfe::store_ac_status("one", "two", "three");
  ASSERT_TRUE(mfe::send_heartbeat_pdv());
  mfe::store_ac_status("a", "b", "four");
  ASSERT_TRUE(mfe::send_heartbeat_pdv());

  const auto sent = device.requests();
  ASSERT_EQ(sent.size(), 3u);
  const auto before = decode_mfe(sent[0]);
  EXPECT_EQ(before.code, codec::MfeMessageType::HeartBeatPDV);
  EXPECT_EQ(before.source, codec::Source::Lib);
  EXPECT_EQ(before.fields.num_session, std::nullopt);
  EXPECT_EQ(before.fields.contents, (Contents{"NA", "NA", "0", "NA", mfe::build_id, system}));
  EXPECT_EQ(decode_mfe(sent[1]).fields.contents, (Contents{"three", "three", "1", "NA", mfe::build_id, system}));
  EXPECT_EQ(decode_mfe(sent[2]).fields.contents, (Contents{"four", "four", "1", "NA", mfe::build_id, system}));

  // No session number: the body starts with the first field.
  EXPECT_EQ(codec::body_text(before.fields).rfind("NA|NA|0|NA|", 0), 0u);
  EXPECT_EQ(log.count("[DEBUG]", "Sending MFE msg: Body { code: HeartBeatPDV, source: Lib, fields: Fields { "
                                 "num_session: None, contents: [\"NA\", \"NA\", \"0\""),
            1u);

  kovo_base::connection::drop_connection();
  kovo_base::connection::set_opener(HandleKind::Usb, {});
}

TEST(HeartbeatPdv, ContentsWithOnlyTheSecondSlotRecorded) {
  // Only the builder can see this state: store_ac_status always fills both.
  const mfe::AcStatus only_b{std::nullopt, "b"};
  EXPECT_EQ(mfe::heartbeat_pdv_contents(only_b, "Linux 6 (64-bit)"),
            (Contents{"b", "NA", "0", "NA", mfe::build_id, "Linux 6 (64-bit)"}));
}

TEST(HeartbeatPdv, SystemDescriptionIsReadOnce) {
  EXPECT_EQ(&mfe::cached_os_description(), &mfe::cached_os_description());
  EXPECT_EQ(mfe::cached_os_description(), platform::os_description(platform::read_os_info()));
}

}  // namespace
}  // namespace tavik::testing
