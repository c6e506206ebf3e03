// A host that links taviksat.dll through an import library instead of
// GetProcAddress, compiled with the public header of the build's convention
// (TAVIK_STDCALL for the __stdcall build). Built twice: against the MinGW
// import library and against the MSVC one, so that both resolve the names
// the host's objects use to the DLL's undecorated exports.
#include <string>

#include <gtest/gtest.h>

#include "taviksat/taviksat.h"

namespace {

TEST(WindowsDllImportLibrary, CallsResolveAndReturnTheirAnswers) {
  EXPECT_STREQ(ConsultarSAT(4321), "004321|9999|SAT Desconectado");
  // Five parameters, the first and last ones integers: all arrive in place.
  EXPECT_STREQ(AtivarSAT(1006, 2, "123456789", "00000000000191", 35), "001006|9999|SAT Desconectado");
  EXPECT_STREQ(ConsultarStatusOperacional(10, nullptr), "Argumento eh NULL");
  EXPECT_EQ(std::string(VersaoLib()).rfind("TAVIK  DLL SAT Vers", 0), 0u);
  const int session = GeraNumeroSessao();
  EXPECT_GE(session, 1000);
  EXPECT_LE(session, 999999);
  EXPECT_EQ(FiltraMFEUsb(1, 4), 1);  // no USB device under Wine
  LimpaFiltrosMFE();
}

}  // namespace
