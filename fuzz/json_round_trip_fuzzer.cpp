// Device records built from the input are written as the JSON of the listing
// exports, read back with an independent reader and rebuilt; the result must
// equal them, member order and absent members included. Texts are valid UTF-8,
// as every serial and address the library holds is.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/utf8.h"
#include "fuzz_require.h"
#include "json_reader.h"
#include "kovo_base/device_info.h"

using tavik::fuzzing::require;
namespace json = tavik::fuzzing::json;
using tavik::kovo_base::DeviceInfo;
using tavik::kovo_base::DeviceModel;
using tavik::kovo_base::Transport;

namespace {

std::optional<std::string> maybe_text(FuzzedDataProvider& input) {
  if (!input.ConsumeBool()) return std::nullopt;
  std::string text;
  tavik::codec::detail::append_lossy_utf8(text, input.ConsumeRandomLengthString(64));
  return text;
}

std::optional<std::uint8_t> maybe_byte(FuzzedDataProvider& input) {
  if (!input.ConsumeBool()) return std::nullopt;
  return input.ConsumeIntegral<std::uint8_t>();
}

DeviceInfo record_from(FuzzedDataProvider& input) {
  DeviceInfo info;
  info.transport = input.ConsumeBool() ? Transport::Tcp : Transport::Usb;
  info.model = input.ConsumeBool() ? DeviceModel::Ombrix : DeviceModel::VortaMfe;
  info.bus = maybe_byte(input);
  info.port = maybe_byte(input);
  info.ip = maybe_text(input);
  info.serial = maybe_text(input);
  return info;
}

const std::string& as_text(const json::Value& value) {
  const auto* text = std::get_if<std::string>(&value.data);
  require(text != nullptr);
  return *text;
}

std::uint8_t as_byte(const json::Value& value) {
  const auto* number = std::get_if<std::uint64_t>(&value.data);
  require(number != nullptr && *number <= 255);
  return static_cast<std::uint8_t>(*number);
}

DeviceInfo record_of(const json::Value& value) {
  const auto* object = std::get_if<std::shared_ptr<json::Object>>(&value.data);
  require(object != nullptr && !(*object)->empty());
  const auto& members = **object;
  require(members.front().first == "model");
  const std::string& model = as_text(members.front().second);
  DeviceInfo info;
  if (model == "Usb(VortaMfe)" || model == "Usb(Ombrix)") info.transport = Transport::Usb;
  else if (model == "Tcp(VortaMfe)" || model == "Tcp(Ombrix)") info.transport = Transport::Tcp;
  else require(false);
  info.model = model.ends_with("(Ombrix)") ? DeviceModel::Ombrix : DeviceModel::VortaMfe;
  // The optional members follow in a fixed order, each at most once.
  const char* const order[] = {"bus", "port", "ip", "serial"};
  std::size_t next = 0;
  for (std::size_t i = 1; i < members.size(); ++i) {
    const auto& [name, member] = members[i];
    while (next < 4 && name != order[next]) ++next;
    require(next < 4);
    if (name == "bus") info.bus = as_byte(member);
    else if (name == "port") info.port = as_byte(member);
    else if (name == "ip") info.ip = as_text(member);
    else info.serial = as_text(member);
    ++next;
  }
  return info;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  std::vector<DeviceInfo> records(input.ConsumeIntegralInRange<std::size_t>(0, 4));
  for (auto& record : records) record = record_from(input);

  for (const DeviceInfo& record : records) {
    const std::string text = tavik::kovo_base::to_json(record);
    require(!tavik::codec::detail::find_utf8_error(text));
    const auto read = json::Reader(text).read_document();
    require(read.has_value());
    require(record_of(*read) == record);
  }

  const std::string list = tavik::kovo_base::to_json(records);
  const auto read = json::Reader(list).read_document();
  require(read.has_value());
  const auto* array = std::get_if<std::shared_ptr<json::Array>>(&read->data);
  require(array != nullptr && (*array)->size() == records.size());
  for (std::size_t i = 0; i < records.size(); ++i) require(record_of((**array)[i]) == records[i]);
  return 0;
}
