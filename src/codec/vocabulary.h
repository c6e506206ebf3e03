#pragma once
// The words of the header: code names of both variants and source digits.
#include <optional>
#include <string_view>

#include "codec/frame.h"

namespace tavik::codec::detail {

// The digit written in the "source" header ("3", "6", "5"); empty for a value
// outside the enumeration.
std::string_view source_digit(Source source);

std::optional<Source> sat_source_from_digit(std::string_view text);
std::optional<Source> mfe_source_from_digit(std::string_view text);

// Received code names. The SAT side also accepts "TrocarCodigoAtivacao".
std::optional<SatFunction> sat_function_from_name(std::string_view text);
std::optional<MfeMessageType> mfe_message_type_from_name(std::string_view text);

}  // namespace tavik::codec::detail
