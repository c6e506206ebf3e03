#pragma once
// The AC status texts that EnviarStatusAC records and every HeartBeatPDV
// carries.
#include <optional>
#include <string>

namespace tavik::mfe {

struct AcStatus {
  std::optional<std::string> a;
  std::optional<std::string> b;
};

// Records texto3 in both slots and returns the empty result text; texto1 and
// texto2 only had to convert.
std::string store_ac_status(std::string texto1, std::string texto2, std::string texto3);

// A consistent copy of both slots: never one slot before a write and the
// other after it.
AcStatus read_ac_status();

}  // namespace tavik::mfe
