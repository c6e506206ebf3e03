#pragma once
#include "dllsat/utils.h"

namespace tavik::mfe {

template <std::size_t N>
kovo_base::Result<std::array<std::string, N>> convert_text_arguments(const std::array<const char*, N>& arguments) {
  std::array<std::string, N> texts;
  std::optional<kovo_base::ConnectionError> first_error;
  for (std::size_t i = 0; i < N; ++i) {
    auto text = dllsat::read_c_string_argument(arguments[i]);
    if (text) {
      texts[i] = std::move(*text);
    } else if (!first_error) {
      first_error = text.error();
    }
  }
  if (first_error) return std::unexpected(*first_error);
  return texts;
}

}  // namespace tavik::mfe
