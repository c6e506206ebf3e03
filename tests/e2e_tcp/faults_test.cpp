// Each misbehaviour of a module's answers, met through the C interface: the
// result text the library gives for it, and that the next call is answered
// again. Connection and certificate faults are in tls_test.cpp.
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "e2e_tcp/child_process.h"
#include "e2e_tcp/library.h"
#include "e2e_tcp/module_log.h"
#include "private_network.h"

namespace tavik::e2e {
namespace {

using namespace std::chrono_literals;
using simulator::Fault;
using simulator::FaultPlan;

std::string consulted(int session) { return codec::format_session_number(session) + "|08000|SAT em Operação||"; }

struct FaultCase {
  const char* name;
  FaultPlan plan;  // acts on one answer
  bool answered;   // false: the call gives "timeout"
  const char* part = "";  // also in the answered text
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

class AnswerFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(AnswerFault, GivesItsResultTextAndTheNextCallIsAnswered) {
  TAVIK_REQUIRE_PRIVATE_NETWORK();
  const FaultCase& c = GetParam();
  run_in_child([&] {
    ModuleLog log;
    auto module = start_module({.address = "127.0.0.2"}, log);
    ASSERT_TRUE(module);
    Library library;
    ASSERT_TRUE(library.loaded());
    ASSERT_EQ(library->FiltraMFEIp("127.0.0.2"), 0);
    ASSERT_EQ(std::string(library->ConsultarSAT(340001)), consulted(340001));

    module->set_fault(c.plan);
    const std::string result = library->ConsultarSAT(340002);
    if (c.answered) {
      EXPECT_TRUE(result.starts_with(consulted(340002))) << result.substr(0, 200);
      EXPECT_NE(result.find(c.part), std::string::npos) << result.substr(0, 200);
    } else {
      EXPECT_EQ(result, "timeout");
    }
    EXPECT_EQ(std::string(library->ConsultarSAT(340003)), consulted(340003));
  });
}

FaultPlan once(Fault fault) { return {.fault = fault, .count = 1}; }

INSTANTIATE_TEST_SUITE_P(
    EndToEnd, AnswerFault,
    ::testing::Values(
        // ConsultarSAT waits 2 s for each read.
        FaultCase{"ShortDelay", {.fault = Fault::Delay, .count = 1, .delay = 300ms}, true},
        FaultCase{"DelayBeyondTheWait", {.fault = Fault::Delay, .count = 1, .delay = 2500ms}, false},
        FaultCase{"StaleFrames", once(Fault::StaleFrames), true},
        // The header comes in TLS records of 7 bytes and is put together.
        FaultCase{"SplitWrites", once(Fault::SplitWrites), true},
        FaultCase{"HugeAnswer", {.fault = Fault::HugeAnswer, .count = 1, .huge_bytes = 1u << 20}, true},
        FaultCase{"LongHeader", once(Fault::LongHeader), false},
        FaultCase{"WrongCrc", once(Fault::WrongCrc), false},
        FaultCase{"CorruptZlib", once(Fault::CorruptZlib), false},
        // A plain body decodes with U+FFFD for each invalid sequence.
        FaultCase{"InvalidUtf8", once(Fault::InvalidUtf8), true, "\xEF\xBF\xBD"},
        FaultCase{"CloseMidBody", once(Fault::CloseMidBody), false},
        FaultCase{"NeverAnswer", once(Fault::NeverAnswer), false}),
    [](const auto& info) { return std::string(info.param.name); });

// Answers that inflate far beyond their size on the wire: a body up to the
// decoded-size cap arrives whole however many fields it has, one past it
// gives "timeout" at once, and the connection answers again afterwards.
struct InflatedCase {
  const char* name;
  FaultPlan plan;
  std::size_t extra;  // bytes after the ordinary answer; 0: refused
  char filler;
};

void PrintTo(const InflatedCase& c, std::ostream* out) { *out << c.name; }

class InflatedAnswer : public ::testing::TestWithParam<InflatedCase> {};

TEST_P(InflatedAnswer, ArrivesWholeUpToTheCapAndIsRefusedBeyond) {
  TAVIK_REQUIRE_PRIVATE_NETWORK();
  const InflatedCase& c = GetParam();
  run_in_child([&] {
    ModuleLog log;
    auto module = start_module({.address = "127.0.0.2"}, log);
    ASSERT_TRUE(module);
    Library library;
    ASSERT_TRUE(library.loaded());
    ASSERT_EQ(library->FiltraMFEIp("127.0.0.2"), 0);
    ASSERT_EQ(std::string(library->ConsultarSAT(350001)), consulted(350001));

    module->set_fault(c.plan);
    const std::string result = library->ConsultarSAT(350002);
    if (c.extra == 0) {
      EXPECT_EQ(result, "timeout");
    } else {
      ASSERT_EQ(result.size(), consulted(350002).size() + c.extra) << result.substr(0, 200);
      EXPECT_TRUE(result.starts_with(consulted(350002)));
      // A field of "A" comes after its own "|"; the "|" filler needs none.
      const std::size_t filler_at = consulted(350002).size() + (c.filler == 'A' ? 1 : 0);
      EXPECT_EQ(result.find_first_not_of(c.filler, filler_at), std::string::npos);
    }
    EXPECT_EQ(std::string(library->ConsultarSAT(350003)), consulted(350003));
  });
}

INSTANTIATE_TEST_SUITE_P(
    EndToEnd, InflatedAnswer,
    ::testing::Values(
        // 16 MiB of "|": sixteen million empty fields from about 16 KB.
        InflatedCase{"FieldBomb", {.fault = Fault::FieldBomb, .count = 1}, std::size_t{16} << 20, '|'},
        // 256 MiB from about 256 KB: far past the cap.
        InflatedCase{"ZlibBomb", {.fault = Fault::ZlibBomb, .count = 1, .zlib_bomb_bytes = 256u << 20}, 0, 'A'},
        // A legitimate 8 MiB answer: the ordinary fields and one more of "A".
        InflatedCase{"Legitimate8MiB", {.fault = Fault::HugeAnswer, .count = 1, .huge_bytes = 8u << 20},
                     (std::size_t{8} << 20) + 1, 'A'}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tavik::e2e
