/* A host program as an integrator writes one: built against an installed
 * taviksat (pkg-config, find_package or the MinGW import library), it calls
 * two exports that need no device and checks their answers. */
#include <stdio.h>
#include <string.h>

#include <taviksat/taviksat.h>

#if TAVIK_VERSION_MAJOR < 1
#error "the installed header carries no version"
#endif

int main(void) {
  const char* version = VersaoLib();
  const int session = GeraNumeroSessao();
  printf("header %s, library: %s, session %d\n", TAVIK_VERSION_STRING, version ? version : "(null)", session);
  if (version == NULL || strstr(version, "TAVIK  DLL SAT Vers\xc3\xa3o: ") == NULL) return 1;
  return session >= 1000 && session <= 999999 ? 0 : 1;
}
