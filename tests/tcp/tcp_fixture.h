#pragma once
// Shared pieces of the TCP transport tests: raw MFE frames, the registered
// models, and the network settings put back after each test.
#include <string_view>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "codec/frame.h"
#include "kovo_base/connection/connection_slot.h"
#include "kovo_base/device_filter.h"
#include "kovo_base/tcp/network_settings.h"
#include "kovo_base/tcp/tcp_models.h"

namespace tavik::testing {

// An MFE frame whose body is exactly this text.
inline codec::Bytes mfe_frame(std::string_view body, codec::MfeMessageType code = codec::MfeMessageType::Beacon,
                              codec::Source source = codec::Source::Broadcast) {
  const codec::ByteView body_bytes(reinterpret_cast<const std::uint8_t*>(body.data()), body.size());
  const std::string_view source_digit = source == codec::Source::Lib ? "3" : source == codec::Source::Application ? "6" : "5";
  const std::string text = fmt::format(
      "smx\r\ncode:{}\r\ncontent-size:{}\r\ncontent-type:octet-stream\r\nedc-type:crc16-ccitt\r\n"
      "edc-word:{}\r\nsource:{}\r\nversion:1.0\r\n\r\n\r\n{}",
      codec::name_of(code), body.size(), codec::crc16(body_bytes), source_digit, body);
  return codec::Bytes(text.begin(), text.end());
}

inline codec::Bytes compressed_beacon(std::int32_t serial) {
  const codec::MfeBody body{codec::MfeMessageType::Beacon, codec::Source::Broadcast, {serial, {"VortaMfe", "1.0.0"}}};
  return codec::mfe::encode_frame(body, true).value();
}

// Both models registered as at load, no filter, default settings; all of it
// undone afterwards.
class ModelsFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    kovo_base::tcp::testing::clear_tcp_models();
    kovo_base::tcp::register_tcp_model(kovo_base::DeviceModel::VortaMfe);
    kovo_base::tcp::register_tcp_model(kovo_base::DeviceModel::Ombrix);
    kovo_base::replace_device_filter({});
  }
  void TearDown() override {
    kovo_base::connection::drop_connection();
    kovo_base::tcp::testing::clear_tcp_models();
    kovo_base::replace_device_filter({});
    kovo_base::tcp::testing::set_network_settings({});
  }
};

}  // namespace tavik::testing
