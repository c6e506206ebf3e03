#pragma once
// Whether outgoing SAT frames are compressed. Read once per encoding.
namespace tavik::dllsat {

bool sat_compression_enabled();
void enable_sat_compression();
void disable_sat_compression();

}  // namespace tavik::dllsat
