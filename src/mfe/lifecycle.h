#pragma once
// Start-up when the library is loaded and release when it is unloaded. The
// platform's load hook runs library_init once, then registers
// library_release and the SAT layer's release line as exit routines.
namespace tavik::mfe {

void library_init();
void library_release();

}  // namespace tavik::mfe
