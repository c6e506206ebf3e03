# Writes a C++ source holding the bytes of the PEM file PEM_FILE as the body of
# tavik::kovo_base::ca_certificate_pem(), and IS_DEVELOPMENT (true or false)
# as the answer of ca_certificate_is_development(). Bytes are written as hex
# so CR LF line ends survive unchanged.
file(READ "${PEM_FILE}" hex HEX)
string(LENGTH "${hex}" hex_length)
if(hex_length EQUAL 0)
  message(FATAL_ERROR "CA certificate file ${PEM_FILE} is empty")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUT_FILE}.tmp"
"// Generated from ${PEM_FILE}; do not edit.
#include \"kovo_base/ca_certificate/ca_certificate.h\"

namespace tavik::kovo_base {
namespace {
constexpr char kPem[] = {
    ${bytes}
};
}  // namespace

std::string_view ca_certificate_pem() { return {kPem, sizeof kPem}; }

bool ca_certificate_is_development() { return ${IS_DEVELOPMENT}; }

}  // namespace tavik::kovo_base
")
file(COPY_FILE "${OUT_FILE}.tmp" "${OUT_FILE}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT_FILE}.tmp")
