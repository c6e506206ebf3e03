#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kovo_base/device_filter.h"
#include "kovo_base/device_info.h"

namespace tavik::kovo_base {
namespace {

TEST(DeviceJson, StringsAreEscaped) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"plain", "\"plain\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {"\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\""},
      {std::string("\x01\x1f", 2), "\"\\u0001\\u001f\""},
      {std::string(1, '\0'), "\"\\u0000\""},
      {"S\xC3\xA3o /\x7f", "\"S\xC3\xA3o /\x7f\""},  // UTF-8, slash and DEL as they are
  };
  for (const auto& [text, json] : rows) EXPECT_EQ(json_string(text), json);
}

TEST(DeviceJson, AbsentMembersAreLeftOutAndOrderIsFixed) {
  DeviceInfo usb{Transport::Usb, DeviceModel::VortaMfe, std::nullopt, "123", 1, 4};
  EXPECT_EQ(to_json(usb), R"j({"model":"Usb(VortaMfe)","bus":1,"port":4,"serial":"123"})j");
  DeviceInfo usb_no_serial{Transport::Usb, DeviceModel::Ombrix, std::nullopt, std::nullopt, 255, 0};
  EXPECT_EQ(to_json(usb_no_serial), R"j({"model":"Usb(Ombrix)","bus":255,"port":0})j");
  DeviceInfo tcp{Transport::Tcp, DeviceModel::Ombrix, "10.0.0.5:9014", "NA", std::nullopt, std::nullopt};
  EXPECT_EQ(to_json(tcp), R"j({"model":"Tcp(Ombrix)","ip":"10.0.0.5:9014","serial":"NA"})j");
}

TEST(DeviceJson, ListsAreArraysWithoutSpaces) {
  EXPECT_EQ(to_json(std::vector<DeviceInfo>{}), "[]");
  DeviceInfo a{Transport::Tcp, DeviceModel::VortaMfe, "127.0.0.2", "000042", std::nullopt, std::nullopt};
  DeviceInfo b{Transport::Tcp, DeviceModel::Ombrix, "127.0.0.2", "000042", std::nullopt, std::nullopt};
  EXPECT_EQ(to_json(std::vector<DeviceInfo>{a, b}),
            R"j([{"model":"Tcp(VortaMfe)","ip":"127.0.0.2","serial":"000042"},)j"
            R"j({"model":"Tcp(Ombrix)","ip":"127.0.0.2","serial":"000042"}])j");
}

TEST(DeviceJson, EachTextIsANewAllocation) {
  const char* first = new_c_text("[]");
  const char* second = new_c_text("[]");
  EXPECT_NE(first, second);
  EXPECT_STREQ(first, second);
  std::free(const_cast<char*>(first));
  std::free(const_cast<char*>(second));
}

TEST(DeviceFilter, DebugRenderingAndWholeReplacement) {
  EXPECT_EQ(DeviceFilter{}.debug(),
            "DeviceFilter { device_bus: None, device_port: None, device_ip: None, device_serial: None }");
  const DeviceFilter filter{1, std::nullopt, "127.0.0.1", "000123"};
  EXPECT_EQ(filter.debug(),
            "DeviceFilter { device_bus: Some(1), device_port: None, device_ip: Some(\"127.0.0.1\"), "
            "device_serial: Some(\"000123\") }");
  replace_device_filter(filter);
  EXPECT_EQ(current_device_filter(), filter);
  replace_device_filter({});
  EXPECT_EQ(current_device_filter(), DeviceFilter{});
}

}  // namespace
}  // namespace tavik::kovo_base
