// 32-bit x86 only: every export of the real taviksat.dll called the way a
// host of the build's convention calls it, with the stack pointer compared
// before and after each call. Under __cdecl the caller removes the
// arguments, under __stdcall the called function does; a DLL of the other
// convention than its host leaves the stack pointer off by the size of the
// arguments, which in a real host corrupts its stack. The calls are made in
// assembly (tavik_checked_call below) so that the measurement is exact, and
// with the stack aligned to 4 bytes only, as 32-bit MSVC, Delphi and VB6
// hosts leave it, as well as to 16.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "windows/loaded_library.h"

#if !defined(__i386__)
#error "the calling-convention test is for 32-bit x86 builds"
#endif

namespace {

struct CallReport {
  std::uint32_t result;        // EAX after the call
  std::uint32_t stack_before;  // ESP just before the arguments were pushed
  std::uint32_t stack_after;   // ESP after the call and the caller's own clean-up
  std::uint32_t kept_registers;  // 1 when EBX, ESI and EDI kept their values
};

}  // namespace

// tavik_checked_call(function, words, count, caller_pops, misalignment, report)
// Pushes the count argument words (the first one last, so it ends up on top),
// calls the function, removes the arguments itself when caller_pops is set
// (the __cdecl caller's part) and reports. Before the pushes the stack is
// aligned to 16 bytes and then lowered by misalignment bytes. EBP keeps the
// frame, so a wrong stack pointer after the call cannot harm this program.
extern "C" void tavik_checked_call(const void* function, const std::uint32_t* words, std::uint32_t count,
                                   std::uint32_t caller_pops, std::uint32_t misalignment, CallReport* report);

asm(R"(
    .text
    .p2align 4
    .globl _tavik_checked_call
_tavik_checked_call:
    pushl %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl %esp, %ebp
    andl $-16, %esp
    subl 36(%ebp), %esp
    movl 40(%ebp), %edx
    movl %esp, 4(%edx)
    movl 28(%ebp), %ecx
    movl 24(%ebp), %edx
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%edx,%ecx,4)
    jmp 1b
2:  movl 20(%ebp), %eax
    movl $0x5EB1C0DE, %ebx
    movl $0x51DEC0DE, %esi
    movl $0x0D1C0DE5, %edi
    call *%eax
    cmpl $0, 32(%ebp)
    je 3f
    movl 28(%ebp), %ecx
    leal (%esp,%ecx,4), %esp
3:  movl 40(%ebp), %edx
    movl %eax, 0(%edx)
    movl %esp, 8(%edx)
    xorl %ecx, %ecx
    cmpl $0x5EB1C0DE, %ebx
    jne 4f
    cmpl $0x51DEC0DE, %esi
    jne 4f
    cmpl $0x0D1C0DE5, %edi
    jne 4f
    movl $1, %ecx
4:  movl %ecx, 12(%edx)
    movl %ebp, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

namespace {

using tavik::windows_test::LoadedLibrary;

#if defined(TAVIK_STDCALL)
constexpr bool built_stdcall = true;
#else
constexpr bool built_stdcall = false;
#endif

// One argument as the host pushes it: an int, or a text's address.
struct Word {
  Word(int value) : value(static_cast<std::uint32_t>(value)) {}
  Word(const char* text) : value(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(text))) {}
  std::uint32_t value;
};

enum class Result { Text, SessionText, Int, Void, JsonOrNull };

struct ExportCall {
  const char* name;
  std::vector<Word> arguments;
  Result result;
};

CallReport checked_call(const LoadedLibrary& dll, const ExportCall& call, bool caller_pops,
                        std::uint32_t misalignment) {
  std::vector<std::uint32_t> words;
  for (const Word& word : call.arguments) words.push_back(word.value);
  CallReport report{};
  const void* function = dll.symbol(call.name);
  if (function == nullptr) {
    ADD_FAILURE() << "missing export " << call.name;
    return report;
  }
  tavik_checked_call(function, words.data(), static_cast<std::uint32_t>(words.size()), caller_pops, misalignment,
                     &report);
  return report;
}

// The number of parameters of every export, read from the public header.
std::map<std::string, std::size_t> declared_parameter_counts() {
  std::ifstream file(TAVIK_PUBLIC_HEADER);
  std::stringstream text;
  text << file.rdbuf();
  const std::string header = text.str();
  const std::regex declaration("TAVIK_CALL ([A-Za-z_]+)\\(([^)]*)\\)");
  std::map<std::string, std::size_t> counts;
  for (std::sregex_iterator it(header.begin(), header.end(), declaration), end; it != end; ++it) {
    const std::string parameters = (*it)[2];
    counts[(*it)[1]] = parameters == "void" ? 0 : 1 + static_cast<std::size_t>(std::count(parameters.begin(),
                                                                                       parameters.end(), ','));
  }
  return counts;
}

// Every export with arguments that need no device. The ones that switch to
// the network come last: after them, calls would wait for beacons.
const std::vector<ExportCall>& every_export() {
  static const std::vector<ExportCall> calls = {
      {"ConsultarSAT", {4321}, Result::SessionText},
      {"ConsultarStatusOperacional", {1002, "123456789"}, Result::SessionText},
      {"AtualizarSoftwareSAT", {1003, "123456789"}, Result::SessionText},
      {"ExtrairLogs", {1004, "123456789"}, Result::SessionText},
      {"EnviarDadosVenda", {1005, "123456789", "<CFe/>"}, Result::SessionText},
      {"AtivarSAT", {1006, 2, "123456789", "00000000000191", 35}, Result::SessionText},
      {"AssociarAssinatura", {1007, "123456789", "00000000000191", "assinatura"}, Result::SessionText},
      {"ConsultarNumeroSessao", {1008, "123456789", 1001}, Result::SessionText},
      {"ConsultarUltimaSessaoFiscal", {1009, "123456789"}, Result::SessionText},
      {"CancelarUltimaVenda", {1010, "123456789", "CFe3519", "<CFeCanc/>"}, Result::SessionText},
      {"ConfigurarInterfaceDeRede", {1011, "123456789", "<config/>"}, Result::SessionText},
      {"BloquearSAT", {1012, "123456789"}, Result::SessionText},
      {"DesbloquearSAT", {1013, "123456789"}, Result::SessionText},
      {"TesteFimAFim", {1014, "123456789", "<CFe/>"}, Result::SessionText},
      {"ComunicarCertificadoICPBRASIL", {1015, "123456789", "certificado"}, Result::SessionText},
      {"TrocarCodigoDeAtivacao", {1016, "123456789", 1, "novo", "novo"}, Result::SessionText},
      {"ConfigurarInterfaceDeRedeMFE", {1017, "a", "b"}, Result::SessionText},
      {"ConsultarStatusOperacionalMFE", {1018, "a"}, Result::SessionText},
      {"EnviarStatusAC", {1019, "a", "b", "c"}, Result::Text},
      {"InformarProducaoMFE", {1020, "a", "b", "c"}, Result::SessionText},
      {"GeraNumeroSessao", {}, Result::Int},
      {"VersaoLib", {}, Result::Text},
      {"mfe_log_variaveis", {}, Result::Text},
      {"DesabilitarConexaoContinua", {}, Result::Void},
      {"HabilitarConexaoContinua", {}, Result::Void},
      {"DesabilitarProtocoloComprimido", {}, Result::Void},
      {"HabilitarProtocoloComprimido", {}, Result::Void},
      {"AbreSerialMFE", {}, Result::Int},
      {"FiltraMFEUsb", {1, 4}, Result::Int},
      {"FiltraMFENumSerie", {"000123"}, Result::Int},
      {"LimpaFiltrosMFE", {}, Result::Void},
      {"GetDeviceInfoAsJson", {}, Result::JsonOrNull},
      {"ListAvailableMfeUsbAsJson", {}, Result::JsonOrNull},
      {"ListAvailableMfeTcpAsJson", {}, Result::JsonOrNull},
      {"FiltraMFEIp", {"127.0.0.1"}, Result::Int},
      {"HabilitarRedeBroadcast", {}, Result::Void},
  };
  return calls;
}

// 4321 as the result texts write it: 004321.
std::string six_digits(int number) {
  std::string text = std::to_string(number);
  if (text.size() < 6) text.insert(0, 6 - text.size(), '0');
  return text;
}

LoadedLibrary& library() {
  static LoadedLibrary instance;
  return instance;
}

TEST(WindowsDllConvention, TheTableCoversEveryDeclaredExportWithItsParameters) {
  const auto declared = declared_parameter_counts();
  ASSERT_EQ(declared.size(), 36u);
  std::map<std::string, std::size_t> called;
  for (const auto& call : every_export()) called[call.name] = call.arguments.size();
  EXPECT_EQ(called, declared);
}

TEST(WindowsDllConvention, EveryExportLeavesTheStackAsItsConventionSays) {
  ASSERT_TRUE(library().loaded()) << GetLastError();
  // A 16-byte aligned stack and the three 4-byte aligned ones, in turn (each
  // call with a device search takes a while under Wine).
  std::uint32_t turn = 0;
  for (const auto& call : every_export()) {
    {
      const std::uint32_t misalignment = 4u * (turn++ % 4u);
      SCOPED_TRACE(std::string(call.name) + ", stack lowered by " + std::to_string(misalignment));
      const CallReport report = checked_call(library(), call, !built_stdcall, misalignment);
      EXPECT_EQ(report.stack_after, report.stack_before)
          << "the stack pointer moved by " << static_cast<int>(report.stack_after - report.stack_before);
      EXPECT_EQ(report.kept_registers, 1u) << "EBX, ESI or EDI changed";
      const auto* text = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(report.result));
      const int first = call.arguments.empty() ? 0 : static_cast<int>(call.arguments[0].value);
      switch (call.result) {
        case Result::SessionText:
          // The session number arrived in its place: the answer starts with it.
          ASSERT_NE(text, nullptr);
          EXPECT_EQ(std::string(text).rfind(six_digits(first) + "|", 0), 0u) << text;
          break;
        case Result::Text: EXPECT_NE(text, nullptr); break;
        case Result::Int:
          if (std::string(call.name) == "GeraNumeroSessao") {
            EXPECT_GE(static_cast<int>(report.result), 1000);
            EXPECT_LE(static_cast<int>(report.result), 999999);
          } else {
            EXPECT_LE(report.result, 1u);
          }
          break;
        case Result::Void:
        case Result::JsonOrNull: break;
      }
    }
  }
}

// The checker itself: the same export called as a host of the other
// convention would call it is caught, by exactly the argument bytes. (An
// export without parameters is the same in both conventions.)
TEST(WindowsDllConvention, AHostOfTheOtherConventionIsDetected) {
  ASSERT_TRUE(library().loaded()) << GetLastError();
  const ExportCall consult{"ConsultarSAT", {4321}, Result::SessionText};
  const ExportCall activate{"AtivarSAT", {1006, 2, "123456789", "00000000000191", 35}, Result::SessionText};
  for (const ExportCall& call : {consult, activate}) {
    SCOPED_TRACE(call.name);
    const CallReport report = checked_call(library(), call, built_stdcall, 4);
    const auto moved = static_cast<std::int32_t>(report.stack_after - report.stack_before);
    const auto bytes = static_cast<std::int32_t>(4 * call.arguments.size());
    // A __stdcall DLL already removed the arguments the __cdecl host removes
    // again; a __cdecl DLL leaves them to a __stdcall host that never does.
    EXPECT_EQ(moved, built_stdcall ? bytes : -bytes);
  }
}

}  // namespace
