// The exports of the real taviksat.dll under Windows (Wine): their names,
// the call-frame texts, and the environment read as UTF-16.
#include <windows.h>

#include <cstring>
#include <functional>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "windows/loaded_library.h"

namespace {

using tavik::windows_test::LoadedLibrary;

LoadedLibrary& library() {
  static LoadedLibrary instance;
  return instance;
}

// The 36 names, read from the public header the test is built with.
std::vector<std::string> declared_names() {
  std::ifstream header(TAVIK_PUBLIC_HEADER);
  std::vector<std::string> names;
  const std::regex declaration("TAVIK_API .* TAVIK_CALL ([A-Za-z_]+)\\(");
  std::string line;
  while (std::getline(header, line)) {
    std::smatch match;
    if (std::regex_search(line, match, declaration)) names.push_back(match[1]);
  }
  return names;
}

TEST(WindowsDll, LoadsAndResolvesEveryDeclaredNameAndNoInternalOne) {
  ASSERT_TRUE(library().loaded()) << "LoadLibraryW failed: " << GetLastError();
  const auto names = declared_names();
  ASSERT_EQ(names.size(), 36u);
  for (const auto& name : names) EXPECT_NE(library().symbol(name.c_str()), nullptr) << name;
  for (const char* internal : {"DllMain", "library_init", "library_release", "on_library_load", "OPENSSL_init_ssl",
                               "libusb_init", "deflate", "_ZN5tavik8platform15on_library_loadEv"}) {
    EXPECT_EQ(library().symbol(internal), nullptr) << internal;
  }
}

using Text1 = const char* TAVIK_CALL(int);
using Text2 = const char* TAVIK_CALL(int, const char*);
using Text4 = const char* TAVIK_CALL(int, const char*, const char*, const char*);

struct CallCase {
  const char* what;
  std::function<const char*()> call;
  const char* expected;
};

TEST(WindowsDll, AnswersWithTheCallFrameTexts) {
  ASSERT_TRUE(library().loaded());
  const LoadedLibrary& dll = library();
  const std::string bad_utf8 = "ab\xC3(";
  const std::vector<CallCase> cases = {
      // libusb finds no device under Wine: the USB transport is disconnected.
      {"ConsultarSAT", [&] { return dll.function<Text1>("ConsultarSAT")(4321); }, "004321|9999|SAT Desconectado"},
      {"ConsultarSAT negative", [&] { return dll.function<Text1>("ConsultarSAT")(-5); },
       "-00005|9999|SAT Desconectado"},
      {"ConsultarStatusOperacionalMFE", [&] { return dll.function<Text2>("ConsultarStatusOperacionalMFE")(7, "x"); },
       "000007|9999|SAT Desconectado"},
      {"NULL argument", [&] { return dll.function<Text2>("ConsultarStatusOperacional")(10, nullptr); },
       "Argumento eh NULL"},
      {"not UTF-8", [&] { return dll.function<Text2>("ConsultarStatusOperacional")(11, bad_utf8.c_str()); },
       "Argumento nao eh UTF-8 valido"},
      {"EnviarStatusAC", [&] { return dll.function<Text4>("EnviarStatusAC")(17, "a", "b", "c"); }, ""},
  };
  for (const auto& c : cases) {
    const char* text = c.call();
    ASSERT_NE(text, nullptr) << c.what;
    EXPECT_STREQ(text, c.expected) << c.what;
  }
}

TEST(WindowsDll, VersaoLibEndsWithTheBuildId) {
  ASSERT_TRUE(library().loaded());
  const char* text = library().function<const char* TAVIK_CALL()>("VersaoLib")();
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(std::regex_match(text, std::regex("TAVIK  DLL SAT Vers\xC3\xA3o: [0-9a-f]{7}"))) << text;
}

TEST(WindowsDll, GeraNumeroSessaoStaysInRange) {
  ASSERT_TRUE(library().loaded());
  auto* generate = library().function<int TAVIK_CALL()>("GeraNumeroSessao");
  std::set<int> seen;
  for (int i = 0; i < 1000; ++i) {
    const int number = generate();
    ASSERT_GE(number, 1000);
    ASSERT_LE(number, 999999);
    ASSERT_TRUE(seen.insert(number).second) << number;
  }
}

TEST(WindowsDll, ReadsTheEnvironmentAsUnicode) {
  ASSERT_TRUE(library().loaded());
  auto* variables = library().function<const char* TAVIK_CALL()>("mfe_log_variaveis");
  SetEnvironmentVariableW(L"LOG_FILE_MFE", L"C:\\logs\\a\u00e7\u00e3o-\u20ac.log");
  SetEnvironmentVariableW(L"LOG_LEVEL_MFE", L"debug");
  EXPECT_STREQ(variables(), "LOG_FILE_MFE: 'C:\\logs\\a\xC3\xA7\xC3\xA3o-\xE2\x82\xAC.log'  LOG_LEVEL_MFE: 'debug'");
  // A lone surrogate is no Unicode text: the variable counts as unset.
  SetEnvironmentVariableW(L"LOG_LEVEL_MFE", L"x\xD800y");
  EXPECT_STREQ(variables(), "LOG_FILE_MFE: 'C:\\logs\\a\xC3\xA7\xC3\xA3o-\xE2\x82\xAC.log'  LOG_LEVEL_MFE: ''");
  SetEnvironmentVariableW(L"LOG_FILE_MFE", nullptr);
  SetEnvironmentVariableW(L"LOG_LEVEL_MFE", nullptr);
  EXPECT_STREQ(variables(), "LOG_FILE_MFE: ''  LOG_LEVEL_MFE: ''");
}

}  // namespace
