#pragma once
namespace tavik::mfe {
// Seven lowercase hexadecimal characters of the source revision, fixed when
// the library is built.
extern const char build_id[8];
}  // namespace tavik::mfe
