// The exports as a host program sees them through dlopen, with no fiscal
// module attached.
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export_table.h"
#include "host/library_loader.h"
#include "invoke.h"

namespace {

using satcli::Argument;

Argument text(std::string value) { return {false, std::move(value)}; }
Argument null() { return {true, {}}; }

std::string call_text(std::string_view name, std::vector<Argument> args) {
  for (const auto& signature : satcli::exports) {
    if (signature.name != name) continue;
    const auto outcome = satcli::invoke(signature, library_symbol(name), args);
    if (!outcome || !outcome->text) {
      ADD_FAILURE() << name << " gave no text";
      return {};
    }
    return *outcome->text;
  }
  ADD_FAILURE() << "unknown export " << name;
  return {};
}

struct CallCase {
  std::string_view name;
  std::vector<Argument> args;
  std::string expected;
};

const std::string bad_utf8 = "ab\xC3(";

TEST(ExportedCalls, AnswerEveryCallAsTheFrameRequires) {
  const std::vector<CallCase> cases = {
      // No module reachable: the disconnected text with the padded number.
      {"ConsultarSAT", {text("4321")}, "004321|9999|SAT Desconectado"},
      {"ConsultarSAT", {text("-5")}, "-00005|9999|SAT Desconectado"},
      {"ConsultarSAT", {text("1234567")}, "1234567|9999|SAT Desconectado"},
      {"EnviarDadosVenda", {text("7"), text("123"), text("<CFe/>")}, "000007|9999|SAT Desconectado"},
      {"AtivarSAT", {text("31"), text("2"), text("abc"), text("x"), text("35")}, "000031|9999|SAT Desconectado"},
      {"TrocarCodigoDeAtivacao", {text("8"), text("a"), text("-1"), text("b"), text("b")},
       "000008|9999|SAT Desconectado"},
      {"ConsultarStatusOperacionalMFE", {text("4321"), text("x")}, "004321|9999|SAT Desconectado"},
      {"InformarProducaoMFE", {text("-5"), text("a"), text("b"), text("c")}, "-00005|9999|SAT Desconectado"},
      // Bad arguments never reach a device.
      {"ConsultarStatusOperacional", {text("10"), null()}, "Argumento eh NULL"},
      {"ConsultarStatusOperacional", {text("11"), text(bad_utf8)}, "Argumento nao eh UTF-8 valido"},
      // All arguments are converted; the first failing one in order decides.
      {"CancelarUltimaVenda", {text("12"), text(bad_utf8), null(), text("x")}, "Argumento nao eh UTF-8 valido"},
      {"CancelarUltimaVenda", {text("13"), text("abc"), null(), text(bad_utf8)}, "Argumento eh NULL"},
      {"TrocarCodigoDeAtivacao", {text("14"), text("a"), text("1"), text("b"), null()}, "Argumento eh NULL"},
      {"ConfigurarInterfaceDeRedeMFE", {text("15"), text(bad_utf8), null()}, "Argumento nao eh UTF-8 valido"},
      {"EnviarStatusAC", {text("16"), text("a"), null(), text("c")}, "Argumento eh NULL"},
      // Recorded locally: an empty result.
      {"EnviarStatusAC", {text("17"), text("a"), text("b"), text("c")}, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(call_text(c.name, c.args), c.expected) << c.name;
  }
}

TEST(ExportedCalls, EnviarStatusACReturnsAPointerToASingleNul) {
  using Fn = const char*(int, const char*, const char*, const char*);
  const char* result = library_function<Fn>("EnviarStatusAC")(99, "a", "b", "c");
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result[0], '\0');
}

std::size_t code_points(const char* text) {
  std::size_t count = 0;
  for (const char* p = text; *p; ++p) count += (static_cast<unsigned char>(*p) & 0xC0) != 0x80;
  return count;
}

TEST(ExportedCalls, VersaoLibIsThePrefixAndTheBuildId) {
  auto* versao = library_function<const char*()>("VersaoLib");
  const char* first = versao();
  const char* second = versao();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);  // each call has a private slot
  EXPECT_STREQ(first, second);
  EXPECT_EQ(std::strlen(first), 31u);
  EXPECT_EQ(code_points(first), 30u);
  const std::string text = first;
  const std::string prefix = "TAVIK  DLL SAT Vers\xC3\xA3o: ";
  ASSERT_EQ(text.substr(0, prefix.size()), prefix);
  const std::string id = text.substr(prefix.size());
  EXPECT_EQ(id.size(), 7u);
  EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos) << id;
}

TEST(ExportedCalls, MfeLogVariaveisShowsTheVariablesAtCallTime) {
  auto* variables = library_function<const char*()>("mfe_log_variaveis");
  unsetenv("LOG_FILE_MFE");
  unsetenv("LOG_LEVEL_MFE");
  EXPECT_STREQ(variables(), "LOG_FILE_MFE: ''  LOG_LEVEL_MFE: ''");
  setenv("LOG_FILE_MFE", "/tmp/tavik/mfe.log", 1);
  setenv("LOG_LEVEL_MFE", "debug", 1);
  EXPECT_STREQ(variables(), "LOG_FILE_MFE: '/tmp/tavik/mfe.log'  LOG_LEVEL_MFE: 'debug'");
  setenv("LOG_LEVEL_MFE", "\xFF", 1);  // not Unicode: shown as empty
  EXPECT_STREQ(variables(), "LOG_FILE_MFE: '/tmp/tavik/mfe.log'  LOG_LEVEL_MFE: ''");
  unsetenv("LOG_FILE_MFE");
  unsetenv("LOG_LEVEL_MFE");
}

TEST(ExportedCalls, GeraNumeroSessaoStaysInRangeAndNeverRepeatsAnUnusedNumber) {
  auto* generate = library_function<int()>("GeraNumeroSessao");
  std::set<int> seen;
  for (int i = 0; i < 5000; ++i) {
    const int number = generate();
    ASSERT_GE(number, 1000);
    ASSERT_LE(number, 999999);
    ASSERT_TRUE(seen.insert(number).second) << number << " handed out twice";
  }
}

// A host that forks after drawing (a pre-forking server, Python's
// multiprocessing) must not get the same numbers in parent and child.
TEST(ExportedCalls, GeraNumeroSessaoDrawsDifferentNumbersInAForkedChild) {
  auto* generate = library_function<int()>("GeraNumeroSessao");
  for (int i = 0; i < 3; ++i) generate();  // whatever state a draw sets up exists before the fork

  constexpr int draws = 8;
  int channel[2];
  ASSERT_EQ(pipe(channel), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::array<int, draws> numbers{};
    for (auto& number : numbers) number = generate();
    const auto size = static_cast<ssize_t>(sizeof numbers);
    _exit(write(channel[1], numbers.data(), sizeof numbers) == size ? 0 : 1);
  }
  close(channel[1]);
  std::array<int, draws> parent{};
  for (auto& number : parent) number = generate();
  std::array<int, draws> child_numbers{};
  const ssize_t got = read(channel[0], child_numbers.data(), sizeof child_numbers);
  close(channel[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_EQ(got, static_cast<ssize_t>(sizeof child_numbers));
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // Eight equal draws out of 999000 values would be chance once in 10^47.
  EXPECT_NE(parent, child_numbers);
  int equal = 0;
  for (int i = 0; i < draws; ++i) equal += parent[i] == child_numbers[i];
  EXPECT_LE(equal, 1) << "parent and child drew the same numbers";
}

}  // namespace
