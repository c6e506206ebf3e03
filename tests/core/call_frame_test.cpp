#include "mfe/call_frame.h"

#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dllsat/utils.h"
#include "mfe/ac_status.h"

namespace tavik::mfe {
namespace {

using kovo_base::ConnectionError;

TEST(ErrorResultText, EachErrorKindHasItsText) {
  struct Row {
    ConnectionError error;
    std::int32_t session;
    std::string text;
  };
  const std::vector<Row> rows = {
      {ConnectionError::device_not_found(), 7, "000007|9999|SAT Desconectado"},
      {ConnectionError::device_not_found(), -5, "-00005|9999|SAT Desconectado"},
      {ConnectionError::device_not_found(), 123456, "123456|9999|SAT Desconectado"},
      {ConnectionError::invalid_null_pointer(), 7, "Argumento eh NULL"},
      {ConnectionError::utf8({0, 1}), 7, "Argumento nao eh UTF-8 valido"},
      {ConnectionError::connection(), 7, "timeout"},
      {ConnectionError::protocol(), 7, "timeout"},
      {ConnectionError::rusb(kovo_base::UsbErrorKind::Access), 7, "timeout"},
      {ConnectionError::io(kovo_base::IoError::custom(kovo_base::IoKind::TimedOut, "x")), 7, "timeout"},
      {ConnectionError::tcp("x"), 7, "timeout"},
      {ConnectionError::ip_parse("x"), 7, "timeout"},
      {ConnectionError::ini_parse("x"), 7, "timeout"},
  };
  for (const auto& row : rows) EXPECT_EQ(dllsat::error_result_text(row.error, row.session), row.text);
}

TEST(CallFrame, ConvertsEveryArgumentAndReportsTheFirstFailure) {
  const auto ok = convert_text_arguments<3>({"a", "S\xC3\xA3o", ""});
  ASSERT_TRUE(ok);
  EXPECT_EQ((*ok)[1], "S\xC3\xA3o");

  const auto null_first = convert_text_arguments<2>({nullptr, "\xFF"});
  ASSERT_FALSE(null_first);
  EXPECT_EQ(null_first.error().kind(), ConnectionError::Kind::InvalidNullPointer);

  const auto utf8_first = convert_text_arguments<2>({"\xFF", nullptr});
  ASSERT_FALSE(utf8_first);
  EXPECT_EQ(utf8_first.error().kind(), ConnectionError::Kind::Utf8);
}

TEST(CallFrame, TheOperationIsNotRunWhenAnArgumentFails) {
  bool ran = false;
  const char* text = text_export<1>(70001, {nullptr}, [&](std::array<std::string, 1>) {
    ran = true;
    return kovo_base::Result<std::string>("sent");
  });
  EXPECT_FALSE(ran);
  EXPECT_STREQ(text, "Argumento eh NULL");
}

TEST(CallFrame, AnExceptionInsideBecomesTheGenericFailureText) {
  const char* text = text_export<0>(70002, {}, [](std::array<std::string, 0>) -> kovo_base::Result<std::string> {
    throw std::runtime_error("unexpected");
  });
  EXPECT_STREQ(text, "timeout");
}

TEST(AcStatus, EnviarStatusACRecordsTheThirdTextInBothSlots) {
  EXPECT_EQ(store_ac_status("one", "two", "three"), "");
  const auto status = read_ac_status();
  EXPECT_EQ(status.a, "three");
  EXPECT_EQ(status.b, "three");
}

}  // namespace
}  // namespace tavik::mfe
