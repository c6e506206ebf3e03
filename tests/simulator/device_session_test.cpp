// The transport-independent engine: frames found in a byte stream, answers
// in both codec variants, and every fault's effect on the wire.
#include <gtest/gtest.h>
#include <zlib.h>

#include "simulator/byte_pipe.h"
#include "simulator/device_session.h"
#include "test_device.h"
#include "wire_test_helpers.h"

namespace tavik::simulator::testing {
namespace {

using codec::SatFunction;
using std::chrono::milliseconds;

codec::Bytes concat(const OutputSteps& steps) {
  codec::Bytes all;
  for (const auto& step : steps) all.insert(all.end(), step.bytes.begin(), step.bytes.end());
  return all;
}

class Engine : public ::testing::Test {
 protected:
  FiscalModule module{activated_config()};
  FaultSwitch faults;
  DeviceSession session{module, faults, nullptr, "test"};

  OutputSteps ask(const codec::Bytes& request) { return session.feed(request); }
};

TEST_F(Engine, FindsFramesFedOneByteAtATimeAfterNoise) {
  codec::Bytes stream = {'n', 'o', 'i', 's', 'e', 's', 'm'};
  const auto first = sat_request(SatFunction::ConsultarSAT, 4321, {});
  const auto second = sat_request(SatFunction::ConsultarSAT, 4322, {}, true);
  stream.insert(stream.end(), first.begin(), first.end());
  stream.insert(stream.end(), second.begin(), second.end());
  OutputSteps steps;
  for (const auto byte : stream) {
    for (auto& step : session.feed(codec::ByteView(&byte, 1))) steps.push_back(std::move(step));
  }
  ASSERT_EQ(steps.size(), 2u);
  const auto a = read_frame(steps[0].bytes);
  ASSERT_TRUE(a.sat);
  EXPECT_EQ(a.sat->source, codec::Source::Application);
  EXPECT_EQ(a.sat->fields, (codec::SatFields{4321, {"08000", "SAT em Operação", "", ""}}));
  const auto b = read_frame(steps[1].bytes);
  ASSERT_TRUE(b.sat);
  EXPECT_EQ(b.sat->fields.num_session, 4322);
  // Mirror mode answers a compressed request compressed.
  const std::string header(steps[1].bytes.begin(), steps[1].bytes.begin() + std::ptrdiff_t(b.header_bytes));
  EXPECT_NE(header.find("z-compressed"), std::string::npos);
}

TEST_F(Engine, AnswersMfeFramesWithTheMfeVariant) {
  const auto request =
      codec::mfe::encode_frame({codec::MfeMessageType::HeartBeatPDV, codec::Source::Lib,
                                {std::nullopt, {"NA", "NA", "0", "NA", "abc1234", "Linux 6 (64-bit)"}}},
                               false)
          .value();
  const auto answer = read_frame(concat(ask(request)));
  ASSERT_TRUE(answer.mfe);
  EXPECT_EQ(answer.mfe->code, codec::MfeMessageType::HeartBeatPDV);
  EXPECT_EQ(codec::body_text(answer.mfe->fields), "000000|30");
}

TEST_F(Engine, DropsAFrameWithABadCrcAndAnswersTheNext) {
  auto broken = sat_request(SatFunction::ConsultarSAT, 1, {});
  broken.back() ^= 1;
  auto good = sat_request(SatFunction::ConsultarSAT, 2, {});
  broken.insert(broken.end(), good.begin(), good.end());
  const auto steps = ask(broken);
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(read_frame(steps[0].bytes).sat->fields.num_session, 2);
}

struct FaultCase {
  const char* name;
  Fault fault;
  // What the library's decoder makes of the first frame written.
  std::function<void(const OutputSteps&)> check;
};

class AnswerFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(AnswerFaults, ShowOnTheWire) {
  FiscalModule module(activated_config());
  FaultSwitch faults;
  FaultPlan plan;
  plan.fault = GetParam().fault;
  plan.delay = milliseconds(1500);
  plan.huge_bytes = 5u << 20;
  plan.zlib_bomb_bytes = 256u << 20;  // enough to show the ratio, quick to compress
  faults.set(plan);
  DeviceSession session(module, faults, nullptr, "test");
  GetParam().check(session.feed(sat_request(SatFunction::ConsultarSAT, 4321, {})));
}

void expect_error(const OutputSteps& steps, codec::ProtocolError::Kind kind) {
  ASSERT_FALSE(steps.empty());
  const auto frame = read_frame(concat(steps));
  ASSERT_TRUE(frame.error);
  EXPECT_EQ(frame.error->kind, kind) << frame.error->display();
}

// 004321|08000|SAT em Operação|| in bytes (ç and ã take two each).
constexpr std::uint64_t consulted_bytes = 32;

void expect_bomb(const OutputSteps& steps, std::size_t most_on_wire, std::uint64_t inflated) {
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_LE(steps[0].bytes.size(), most_on_wire);
  const auto parsed = codec::sat::parse_frame_header(steps[0].bytes);
  ASSERT_TRUE(parsed);
  EXPECT_TRUE(parsed->header.compressed);
  EXPECT_EQ(parsed->header.content_uncompressed_size, inflated);
  EXPECT_EQ(parsed->rest.size(), parsed->header.content_size);
  // A valid zlib stream (Adler-32 included) of the declared size, inflated
  // piecewise without holding it.
  z_stream stream{};
  ASSERT_EQ(inflateInit(&stream), Z_OK);
  stream.next_in = const_cast<Bytef*>(parsed->rest.data());
  stream.avail_in = uInt(parsed->rest.size());
  std::vector<Bytef> piece(1 << 16);
  std::uint64_t total = 0;
  int status = Z_OK;
  while (status == Z_OK) {
    stream.next_out = piece.data();
    stream.avail_out = uInt(piece.size());
    status = inflate(&stream, Z_NO_FLUSH);
    total += piece.size() - stream.avail_out;
  }
  inflateEnd(&stream);
  EXPECT_EQ(status, Z_STREAM_END);
  EXPECT_EQ(total, inflated);
}

INSTANTIATE_TEST_SUITE_P(
    EveryAnswerFault, AnswerFaults,
    ::testing::Values(
        FaultCase{"Delay", Fault::Delay,
                  [](const OutputSteps& s) {
                    ASSERT_EQ(s.size(), 1u);
                    EXPECT_EQ(s[0].delay, milliseconds(1500));
                    EXPECT_TRUE(read_frame(s[0].bytes).sat);
                  }},
        FaultCase{"StaleFrames", Fault::StaleFrames,
                  [](const OutputSteps& s) {
                    ASSERT_EQ(s.size(), 4u);
                    for (std::size_t i = 0; i < 3; ++i) {
                      const auto stale = read_frame(s[i].bytes);
                      ASSERT_TRUE(stale.sat);
                      EXPECT_NE(stale.sat->fields.num_session, 4321);
                      EXPECT_NE(stale.sat->fields.contents.at(1), "Erro desconhecido");
                    }
                    EXPECT_EQ(read_frame(s[3].bytes).sat->fields.num_session, 4321);
                  }},
        FaultCase{"SplitWrites", Fault::SplitWrites,
                  [](const OutputSteps& s) {
                    EXPECT_GT(s.size(), 10u);
                    for (const auto& step : s) EXPECT_LE(step.bytes.size(), 7u);
                    EXPECT_EQ(read_frame(concat(s)).sat->fields.num_session, 4321);
                  }},
        FaultCase{"LongHeader", Fault::LongHeader,
                  [](const OutputSteps& s) {
                    const auto frame = read_frame(concat(s));
                    EXPECT_GT(frame.header_bytes, 512u);
                    ASSERT_TRUE(frame.sat);  // still a valid frame
                    EXPECT_EQ(frame.sat->fields.num_session, 4321);
                  }},
        FaultCase{"WrongCrc", Fault::WrongCrc,
                  [](const OutputSteps& s) { expect_error(s, codec::ProtocolError::Kind::Crc16); }},
        FaultCase{"CorruptZlib", Fault::CorruptZlib,
                  [](const OutputSteps& s) { expect_error(s, codec::ProtocolError::Kind::Io); }},
        FaultCase{"InvalidUtf8", Fault::InvalidUtf8,
                  [](const OutputSteps& s) {
                    const auto frame = read_frame(concat(s));
                    ASSERT_TRUE(frame.sat);
                    EXPECT_TRUE(frame.sat->fields.contents.back().ends_with("\xEF\xBF\xBD"));
                  }},
        FaultCase{"CloseMidBody", Fault::CloseMidBody,
                  [](const OutputSteps& s) {
                    ASSERT_EQ(s.size(), 1u);
                    EXPECT_TRUE(s[0].close);
                    const auto frame = read_frame(s[0].bytes);
                    EXPECT_LT(s[0].bytes.size(), frame.frame_bytes);
                    expect_error(s, codec::ProtocolError::Kind::NomParsing);
                  }},
        FaultCase{"NeverAnswer", Fault::NeverAnswer, [](const OutputSteps& s) { EXPECT_TRUE(s.empty()); }},
        // The bombs are judged from the header alone: decoding them whole is
        // what the library must refuse to do.
        FaultCase{"FieldBomb", Fault::FieldBomb,
                  [](const OutputSteps& s) { expect_bomb(s, 64u << 10, (16u << 20) + consulted_bytes); }},
        FaultCase{"ZlibBomb", Fault::ZlibBomb,
                  [](const OutputSteps& s) { expect_bomb(s, 512u << 10, (256u << 20) + consulted_bytes + 1); }},
        FaultCase{"HugeAnswer", Fault::HugeAnswer,
                  [](const OutputSteps& s) {
                    EXPECT_GT(concat(s).size(), 5u << 20);
                    EXPECT_TRUE(read_frame(concat(s)).sat);
                  }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConnectionFaults, ActOnOpeningAndCountDown) {
  FiscalModule module(activated_config());
  FaultSwitch faults;
  faults.set({.fault = Fault::CloseAfterAccept, .count = 1});
  DeviceSession first(module, faults, nullptr, "a");
  const auto closing = first.open();
  ASSERT_EQ(closing.size(), 1u);
  EXPECT_TRUE(closing[0].close);
  EXPECT_TRUE(closing[0].bytes.empty());
  DeviceSession second(module, faults, nullptr, "b");
  EXPECT_TRUE(second.open().empty());

  faults.set({.fault = Fault::DataBeforeRequest});
  DeviceSession third(module, faults, nullptr, "c");
  const auto early = third.open();
  ASSERT_EQ(early.size(), 1u);
  EXPECT_TRUE(read_frame(early[0].bytes).sat);
}

TEST(HugeLogs, ExtrairLogsCarriesSeveralMiBOfValidBase64) {
  FiscalModule module(activated_config());
  FaultSwitch faults;
  faults.set({.fault = Fault::HugeAnswer, .huge_bytes = 3u << 20});
  DeviceSession session(module, faults, nullptr, "test");
  const auto frame = read_frame(concat(session.feed(sat_request(SatFunction::ExtrairLogs, 9, {kCode}, true))));
  ASSERT_TRUE(frame.sat);
  ASSERT_EQ(frame.sat->fields.contents.size(), 5u);
  const std::string log = base64_decode(frame.sat->fields.contents[4]);
  EXPECT_GE(log.size(), 3u << 20);
  EXPECT_NE(log.find("|SAT|info|"), std::string::npos);
}

TEST(BytePipe, DeliversPiecesInOrderHonouringDelaysAndClose) {
  FiscalModule module(activated_config());
  FaultSwitch faults;
  faults.set({.fault = Fault::CloseMidBody});
  BytePipe pipe(std::make_unique<DeviceSession>(module, faults, nullptr, "pipe"));
  EXPECT_EQ(pipe.read(512, milliseconds(1)).error(), PipeEnd::TimedOut);
  pipe.write(sat_request(SatFunction::ConsultarSAT, 1, {}));
  codec::Bytes got;
  while (auto piece = pipe.read(64, milliseconds(100))) got.insert(got.end(), piece->begin(), piece->end());
  EXPECT_TRUE(pipe.closed());
  EXPECT_EQ(pipe.read(64, milliseconds(1)).error(), PipeEnd::Closed);
  EXPECT_FALSE(got.empty());
}

TEST(BytePipe, DelayedAnswerIsNotReadyBeforeItsTime) {
  FiscalModule module(activated_config());
  FaultSwitch faults;
  faults.set({.fault = Fault::Delay, .delay = milliseconds(150)});
  BytePipe pipe(std::make_unique<DeviceSession>(module, faults, nullptr, "pipe"));
  pipe.write(sat_request(SatFunction::ConsultarSAT, 1, {}));
  EXPECT_EQ(pipe.read(512, milliseconds(10)).error(), PipeEnd::TimedOut);
  const auto answer = pipe.read(1 << 20, milliseconds(2000));
  ASSERT_TRUE(answer);
  EXPECT_EQ(read_frame(*answer).sat->fields.num_session, 1);
}

}  // namespace
}  // namespace tavik::simulator::testing
