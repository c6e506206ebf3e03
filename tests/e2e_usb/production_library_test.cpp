// The production library over the real libusb-1.0 on a machine without a
// fiscal module: every call that needs the module answers as disconnected.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "taviksat/taviksat.h"

namespace {

void* library() {
  static void* const handle = ::dlopen(TAVIK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  return handle;
}

#define EXPORT(name) (reinterpret_cast<decltype(&::name)>(::dlsym(library(), #name)))

TEST(ProductionLibraryOverUsb, CallsThatNeedTheModuleAnswerSatDesconectado) {
  ASSERT_NE(library(), nullptr) << ::dlerror();
  const char* c = "12345678";
  struct Case {
    const char* name;
    std::function<const char*()> call;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"AtivarSAT", [&] { return EXPORT(AtivarSAT)(1, 1, c, "11222333000181", 35); }, "000001|9999|SAT Desconectado"},
      {"ComunicarCertificadoICPBRASIL", [&] { return EXPORT(ComunicarCertificadoICPBRASIL)(2, c, "x"); },
       "000002|9999|SAT Desconectado"},
      {"EnviarDadosVenda", [&] { return EXPORT(EnviarDadosVenda)(3, c, "<CFe/>"); }, "000003|9999|SAT Desconectado"},
      {"CancelarUltimaVenda", [&] { return EXPORT(CancelarUltimaVenda)(4, c, "k", "<CFeCanc/>"); },
       "000004|9999|SAT Desconectado"},
      {"ConsultarSAT", [&] { return EXPORT(ConsultarSAT)(5); }, "000005|9999|SAT Desconectado"},
      {"TesteFimAFim", [&] { return EXPORT(TesteFimAFim)(6, c, "<CFe/>"); }, "000006|9999|SAT Desconectado"},
      {"ConsultarStatusOperacional", [&] { return EXPORT(ConsultarStatusOperacional)(7, c); },
       "000007|9999|SAT Desconectado"},
      {"ConsultarNumeroSessao", [&] { return EXPORT(ConsultarNumeroSessao)(8, c, 7); },
       "000008|9999|SAT Desconectado"},
      {"ConsultarUltimaSessaoFiscal", [&] { return EXPORT(ConsultarUltimaSessaoFiscal)(9, c); },
       "000009|9999|SAT Desconectado"},
      {"ConfigurarInterfaceDeRede", [&] { return EXPORT(ConfigurarInterfaceDeRede)(10, c, "<config/>"); },
       "000010|9999|SAT Desconectado"},
      {"AssociarAssinatura", [&] { return EXPORT(AssociarAssinatura)(11, c, "1", "2"); },
       "000011|9999|SAT Desconectado"},
      {"AtualizarSoftwareSAT", [&] { return EXPORT(AtualizarSoftwareSAT)(12, c); }, "000012|9999|SAT Desconectado"},
      {"ExtrairLogs", [&] { return EXPORT(ExtrairLogs)(13, c); }, "000013|9999|SAT Desconectado"},
      {"BloquearSAT", [&] { return EXPORT(BloquearSAT)(14, c); }, "000014|9999|SAT Desconectado"},
      {"DesbloquearSAT", [&] { return EXPORT(DesbloquearSAT)(15, c); }, "000015|9999|SAT Desconectado"},
      {"TrocarCodigoDeAtivacao", [&] { return EXPORT(TrocarCodigoDeAtivacao)(16, c, 1, "a", "a"); },
       "000016|9999|SAT Desconectado"},
      {"ConfigurarInterfaceDeRedeMFE", [&] { return EXPORT(ConfigurarInterfaceDeRedeMFE)(17, "a", "b"); },
       "000017|9999|SAT Desconectado"},
      {"ConsultarStatusOperacionalMFE", [&] { return EXPORT(ConsultarStatusOperacionalMFE)(18, "a"); },
       "000018|9999|SAT Desconectado"},
      {"InformarProducaoMFE", [&] { return EXPORT(InformarProducaoMFE)(19, "a", "b", "c"); },
       "000019|9999|SAT Desconectado"},
  };
  for (const auto& c : cases) {
    const char* answer = c.call();
    ASSERT_NE(answer, nullptr) << c.name;
    EXPECT_STREQ(answer, c.expected) << c.name;
  }
  // No module: no record of one either.
  EXPECT_EQ(EXPORT(GetDeviceInfoAsJson)(), nullptr);
}

}  // namespace
