#pragma once
// Whether outgoing MFE frames are compressed; set at start-up only.
namespace tavik::mfe {

bool mfe_compression_enabled();
void enable_mfe_compression();
void disable_mfe_compression();

}  // namespace tavik::mfe
