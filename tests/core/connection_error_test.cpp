#include "kovo_base/connection_error.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tavik::kovo_base {
namespace {

struct Rendering {
  ConnectionError error;
  std::string display;
  std::string debug;
};

TEST(ConnectionError, DisplayAndDebugRenderings) {
  const std::vector<Rendering> cases = {
      {ConnectionError::device_not_found(), "DeviceNotFound", "DeviceNotFound"},
      {ConnectionError::connection(), "Connection", "Connection"},
      {ConnectionError::protocol(), "Protocol", "Protocol"},
      {ConnectionError::invalid_null_pointer(), "InvalidNullPointer", "InvalidNullPointer"},
      {ConnectionError::rusb(UsbErrorKind::Timeout), "Operation timed out", "Rusb(Timeout)"},
      {ConnectionError::utf8({2, 1}), "invalid utf-8 sequence of 1 bytes from index 2",
       "Utf8(Utf8Error { valid_up_to: 2, error_len: Some(1) })"},
      {ConnectionError::utf8({5, std::nullopt}), "incomplete utf-8 byte sequence from index 5",
       "Utf8(Utf8Error { valid_up_to: 5, error_len: None })"},
      {ConnectionError::io(IoError::custom(IoKind::TimedOut, "Operation timed out")), "Operation timed out",
       "Io(Custom { kind: TimedOut, error: \"Operation timed out\" })"},
      {ConnectionError::ip_parse("invalid IPv4 address syntax"), "invalid IPv4 address syntax",
       "IpParse(AddrParseError(\"invalid IPv4 address syntax\"))"},
      {ConnectionError::tcp("handshake failure"), "handshake failure", "Tcp(\"handshake failure\")"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.error.display(), c.display);
    EXPECT_EQ(c.error.debug(), c.debug);
  }
}

TEST(ConnectionError, OsErrorsCarryTheirCode) {
  const auto error = IoError::from_errno(ECONNREFUSED);
  EXPECT_EQ(error.kind, IoKind::ConnectionRefused);
#ifndef _WIN32  // the number and the text are the C library's (glibc's here)
  EXPECT_EQ(error.display(), "Connection refused (os error 111)");
  EXPECT_EQ(error.debug(), "Os { code: 111, kind: ConnectionRefused, message: \"Connection refused\" }");
#endif
}

struct UsbRow {
  int code;
  UsbErrorKind kind;
  std::string text;
  IoKind io_kind;
};

TEST(UsbErrorKinds, LibusbCodesMapToKindsTextsAndIoKinds) {
  const std::vector<UsbRow> rows = {
      {-1, UsbErrorKind::Io, "Input/Output Error", IoKind::BrokenPipe},
      {-2, UsbErrorKind::InvalidParam, "Invalid parameter", IoKind::Other},
      {-3, UsbErrorKind::Access, "Access denied (insufficient permissions)", IoKind::Other},
      {-4, UsbErrorKind::NoDevice, "No such device (it may have been disconnected)", IoKind::BrokenPipe},
      {-5, UsbErrorKind::NotFound, "Entity not found", IoKind::BrokenPipe},
      {-6, UsbErrorKind::Busy, "Resource busy", IoKind::Other},
      {-7, UsbErrorKind::Timeout, "Operation timed out", IoKind::TimedOut},
      {-8, UsbErrorKind::Overflow, "Overflow", IoKind::Other},
      {-9, UsbErrorKind::Pipe, "Pipe error", IoKind::BrokenPipe},
      {-10, UsbErrorKind::Interrupted, "System call interrupted (perhaps due to signal)", IoKind::Other},
      {-11, UsbErrorKind::NoMem, "Insufficient memory", IoKind::Other},
      {-12, UsbErrorKind::NotSupported, "Operation not supported or unimplemented on this platform", IoKind::Other},
      {-99, UsbErrorKind::Other, "Other error", IoKind::Other},
      {-13, UsbErrorKind::Other, "Other error", IoKind::Other},
      {0, UsbErrorKind::Other, "Other error", IoKind::Other},
  };
  for (const auto& row : rows) {
    const auto kind = usb_error_from_code(row.code);
    EXPECT_EQ(kind, row.kind) << row.code;
    EXPECT_EQ(usb_error_text(kind), row.text);
    EXPECT_EQ(io_kind_of(kind), row.io_kind);
  }
  EXPECT_EQ(usb_error_text(UsbErrorKind::BadDescriptor), "Malformed descriptor");
}

TEST(UsbErrorKinds, AFailedTransferBecomesAnIoErrorWithTheUsbText) {
  const auto error = usb_transfer_io_error(UsbErrorKind::NoDevice);
  EXPECT_EQ(error.kind, IoKind::BrokenPipe);
  EXPECT_EQ(error.display(), "No such device (it may have been disconnected)");
}

struct Utf8Case {
  std::string bytes;
  std::optional<Utf8Error> error;
};

TEST(Utf8Check, FindsTheFirstInvalidSequence) {
  const std::vector<Utf8Case> cases = {
      {"", std::nullopt},
      {"plain ascii", std::nullopt},
      {"S\xC3\xA3o Paulo \xE2\x82\xAC \xF0\x9F\x98\x80", std::nullopt},
      {"ab\xFF", Utf8Error{2, 1}},
      {"ab\xC3", Utf8Error{2, std::nullopt}},           // cut short at the end
      {"\xC3(", Utf8Error{0, 1}},
      {"\xC0\xAF", Utf8Error{0, 1}},                    // overlong
      {"\xED\xA0\x80", Utf8Error{0, 1}},                // surrogate
      {"\xE2\x82(", Utf8Error{0, 2}},
      {"\xF0\x9F\x98(", Utf8Error{0, 3}},
      {"\xF4\x90\x80\x80", Utf8Error{0, 1}},            // above U+10FFFF
      {"x\xF0\x9F", Utf8Error{1, std::nullopt}},
  };
  for (const auto& c : cases) {
    const auto found = check_utf8(c.bytes);
    ASSERT_EQ(found.has_value(), c.error.has_value()) << c.bytes;
    if (found) {
      EXPECT_EQ(found->valid_up_to, c.error->valid_up_to) << c.bytes;
      EXPECT_EQ(found->error_len, c.error->error_len) << c.bytes;
    }
  }
}

}  // namespace
}  // namespace tavik::kovo_base
