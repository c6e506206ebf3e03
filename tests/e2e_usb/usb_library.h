#pragma once
// The shared library built over the libusb double, loaded once per test
// process with dlopen as a point-of-sale program loads it, with its log at
// Trace level going to a file of this process that tests read back.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "taviksat/taviksat.h"

namespace tavik::e2e_usb {

// Loads the library on first use; null (and a test failure) if it cannot.
void* usb_library();
void* usb_library_symbol(std::string_view name);

// An export of the loaded library, typed after its declaration in the header.
#define TAVIK_EXPORT(name) (reinterpret_cast<decltype(&::name)>(::tavik::e2e_usb::usb_library_symbol(#name)))

// The log lines the library wrote after the last mark().
class LibraryLog {
 public:
  void mark();
  std::vector<std::string> lines() const;
  // Lines that contain every given piece.
  template <class... Pieces>
  std::size_t count(Pieces... pieces) const {
    std::size_t n = 0;
    for (const auto& line : lines()) {
      if (((line.find(std::string_view(pieces)) != std::string::npos) && ...)) ++n;
    }
    return n;
  }
  std::string text() const;

 private:
  std::size_t start_ = 0;
};

}  // namespace tavik::e2e_usb
