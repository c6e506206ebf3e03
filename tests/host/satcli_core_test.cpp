// satcli's own logic, without the library: the command line and its checks,
// which results count as errors, and how long fields are shown.
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "command_line.h"
#include "error_result.h"
#include "field_display.h"

namespace satcli {
namespace {

std::vector<std::string_view> words(std::initializer_list<std::string_view> list) { return list; }

TEST(SatcliCommandLine, ReadsOptionsThenCallsSeparatedByDashes) {
  const auto line = parse_command_line(words({"--fail-on-error", "--full", "--lib", "/x/lib.so", "ConsultarSAT",
                                              "7", "--", "ConsultarStatusOperacional", "8", "@null", "--",
                                              "VersaoLib"}));
  ASSERT_TRUE(line) << line.error();
  EXPECT_EQ(line->request, Request::Run);
  EXPECT_TRUE(line->fail_on_error);
  EXPECT_TRUE(line->full);
  EXPECT_EQ(line->library, "/x/lib.so");
  ASSERT_EQ(line->calls.size(), 3u);
  EXPECT_EQ(line->calls[0].signature->name, "ConsultarSAT");
  EXPECT_EQ(line->calls[1].arguments.size(), 2u);
  EXPECT_TRUE(line->calls[1].arguments[1].is_null);
  EXPECT_EQ(line->calls[2].signature->name, "VersaoLib");
}

TEST(SatcliCommandLine, WordsAfterTheFirstCallAreArgumentsEvenWhenTheyLookLikeOptions) {
  const auto line = parse_command_line(words({"--", "ConsultarStatusOperacional", "-5", "--full"}));
  ASSERT_TRUE(line) << line.error();
  EXPECT_FALSE(line->full);
  ASSERT_EQ(line->calls.size(), 1u);
  EXPECT_EQ(line->calls[0].arguments[0].text, "-5");
  EXPECT_EQ(line->calls[0].arguments[1].text, "--full");
}

TEST(SatcliCommandLine, ListAndHelpNeedNoCall) {
  EXPECT_EQ(parse_command_line(words({"--list"}))->request, Request::List);
  EXPECT_EQ(parse_command_line(words({"--full", "-h"}))->request, Request::Help);
}

TEST(SatcliCommandLine, RefusesTheWholeLineForAFaultInAnyCall) {
  struct Case {
    std::vector<std::string_view> args;
    std::string fault;
  };
  const std::vector<Case> cases = {
      {{}, "no call given (see satcli --help)"},
      {{"--full"}, "no call given (see satcli --help)"},
      {{"--verbose", "VersaoLib"}, "unknown option --verbose (see satcli --help)"},
      {{"--lib"}, "--lib needs a path"},
      {{"ConsultarSat", "1"}, "no export named 'ConsultarSat' (see satcli --list)"},
      // The third call of a chain: the first two are fine, nothing may run.
      {{"VersaoLib", "--", "EnviarStatusAC", "5", "a", "b", "c", "--", "ConsultarSAT", "x"},
       "call 3 of 3: ConsultarSAT: numeroSessao must be a decimal int, given 'x'"},
      {{"VersaoLib", "--", "ConsultarSAT", "1", "2"},
       "call 2 of 2: ConsultarSAT takes 1 argument (numeroSessao), given 2"},
      {{"VersaoLib", "x"}, "VersaoLib takes 0 arguments, given 1"},
      {{"AtivarSAT", "1", "2", "abc", "x"}, "AtivarSAT takes 5 arguments (numeroSessao subComando codigoDeAtivacao "
                                            "CNPJ cUF), given 4"},
      {{"AtivarSAT", "1", "2", "abc", "x", "SP"}, "AtivarSAT: cUF must be a decimal int, given 'SP'"},
      {{"FiltraMFEUsb", "1", "@null"}, "FiltraMFEUsb: porta must be a decimal int, given @null"},
      {{"ConsultarSAT", "99999999999"}, "ConsultarSAT: numeroSessao must be a decimal int, given '99999999999'"},
      {{"ConsultarSAT", " 7"}, "ConsultarSAT: numeroSessao must be a decimal int, given ' 7'"},
      {{"VersaoLib", "--"}, "call 2 of 2: no export name after --"},
      {{"VersaoLib", "--", "--", "VersaoLib"}, "call 2 of 3: no export name after --"},
  };
  for (const auto& c : cases) {
    const auto line = parse_command_line(c.args);
    ASSERT_FALSE(line) << c.fault;
    EXPECT_EQ(line.error(), c.fault);
  }
}

CallOutcome text(std::string value) { return {'t', std::move(value), 0}; }

TEST(SatcliErrorResults, OnlyTheLibrarysOwnFailuresAreErrors) {
  struct Case {
    CallOutcome outcome;
    bool error;
  };
  const std::vector<Case> cases = {
      {text("004321|9999|SAT Desconectado"), true},
      {text("-00005|9999|SAT Desconectado"), true},
      {text("1234567|9999|SAT Desconectado"), true},
      {text("timeout"), true},
      {text("Argumento eh NULL"), true},
      {text("Argumento nao eh UTF-8 valido"), true},
      {{'t', std::nullopt, 0}, true},
      // Answers of a module, refusals included, and the library's own texts.
      {text("004321|08000|SAT em operação||"), false},
      {text("004321|10001|Código de ativação inválido||"), false},
      {text("004321|99999|Mensagem desconhecida"), false},
      {text("004321|09999|x"), false},
      {text("timeout|9999"), false},
      {text("a timeout"), false},
      {text(""), false},
      {text("TAVIK  DLL SAT Versão: 0123abc"), false},
      {{'f', std::nullopt, 1}, true},
      {{'f', std::nullopt, 0}, false},
      {{'j', std::nullopt, 0}, true},
      {{'j', "[]", 0}, false},
      {{'i', std::nullopt, 1}, false},  // a session number or AbreSerialMFE's 0
      {{'v', std::nullopt, 0}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(is_error_result(c.outcome), c.error) << c.outcome.result << " " << c.outcome.text.value_or("NULL");
  }
}

TEST(SatcliFieldDisplay, ShortensEachLongFieldToItsStartAndLength) {
  const std::string at_limit(long_field_limit, 'A');
  const std::string over(long_field_limit + 1, 'B');
  const std::string base64(5000, 'Q');
  // 121 characters in 242 bytes: counted and cut in characters.
  std::string accented;
  for (std::size_t i = 0; i <= long_field_limit; ++i) accented += "ã";
  std::string accented_start;
  for (std::size_t i = 0; i < shown_field_prefix; ++i) accented_start += "ã";

  struct Case {
    std::string text;
    std::string shown;
  };
  const std::vector<Case> cases = {
      {"004321|08000|SAT em operação||", "004321|08000|SAT em operação||"},
      {at_limit, at_limit},
      {over, std::string(shown_field_prefix, 'B') + "...(121 characters)"},
      {"004321|06000|0000|Emitido com sucesso||" + base64 + "|20260101120000",
       "004321|06000|0000|Emitido com sucesso||" + std::string(shown_field_prefix, 'Q') +
           "...(5000 characters)|20260101120000"},
      {base64 + "|" + accented, std::string(shown_field_prefix, 'Q') + "...(5000 characters)|" + accented_start +
                                    "...(121 characters)"},
      {"", ""},
      {"|", "|"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(shorten_long_fields(c.text), c.shown) << c.text.substr(0, 40);
  }
}

}  // namespace
}  // namespace satcli
