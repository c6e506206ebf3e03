// One request and its answer through send_and_receive, against a scripted module.
#include <gtest/gtest.h>

#include <string>

#include "dllsat/sat_compression.h"
#include "dllsat/sat_message.h"
#include "kovo_base/connection/connection_slot.h"
#include "kovo_base/connection/exchange.h"
#include "kovo_base/connection/modes.h"
#include "log_capture.h"
#include "mfe/mfe_message.h"
#include "scripted_device.h"

namespace tavik::testing {
namespace {

using codec::Bytes;
using codec::SatFunction;
using kovo_base::ConnectionError;
using kovo_base::IoKind;
using kovo_base::Result;
using kovo_base::connection::ConnectionSlot;
using kovo_base::connection::Handle;
using kovo_base::connection::HandleKind;
using kovo_base::connection::send_and_receive;

const codec::SatBody consultar_4321{SatFunction::ConsultarSAT, codec::Source::Lib, {4321, {}}};

// Pieces of one frame: the first `first` bytes, then pieces of `piece` bytes.
std::vector<ReadStep> split(const Bytes& frame, std::size_t first, std::size_t piece) {
  std::vector<ReadStep> steps;
  std::size_t at = 0;
  for (std::size_t size = first; at < frame.size(); size = piece) {
    const std::size_t end = std::min(frame.size(), at + size);
    steps.emplace_back(Bytes(frame.begin() + static_cast<std::ptrdiff_t>(at), frame.begin() + static_cast<std::ptrdiff_t>(end)));
    at = end;
  }
  return steps;
}

class ExchangeTest : public ::testing::Test {
 protected:
  template <class Adapter = dllsat::SatMessage>
  Result<typename Adapter::Body> exchange(const typename Adapter::Body& request) {
    auto guard = slot_.acquire(HandleKind::Usb);
    if (!guard) return std::unexpected(guard.error());
    auto answer = send_and_receive<Adapter>(*guard, request);
    if (!answer) return std::unexpected(answer.error());
    return answer->to_body();  // small answers: their fields as a list to compare
  }

  void SetUp() override { kovo_base::connection::enable_continuous_connection(); }

  void answer_with(std::vector<ReadStep> steps) {
    slot_.drop();  // the held handle refers to the device being replaced
    device_ = std::make_unique<ScriptedDevice>([steps](const Bytes&) { return steps; });
  }

  std::unique_ptr<ScriptedDevice> device_ = std::make_unique<ScriptedDevice>(echo_session({"08000", "ok"}));
  ConnectionSlot slot_{[this](HandleKind) -> Result<Handle> { return device_->open_usb(); }};
  LogCapture log_;
};

TEST_F(ExchangeTest, WritesTheRequestAndReturnsTheAnswer) {
  auto answer = exchange(consultar_4321);
  ASSERT_TRUE(answer) << answer.error().debug();
  EXPECT_EQ(answer->fields, (codec::SatFields{4321, {"08000", "ok"}}));

  ASSERT_EQ(device_->requests().size(), 1u);
  EXPECT_EQ(decode_sat(device_->requests()[0]), consultar_4321);
  // The check drains at 100 ms, then every read of the exchange waits the
  // function's 2 seconds.
  const auto timeouts = device_->read_timeouts();
  ASSERT_EQ(timeouts.size(), 2u);
  EXPECT_EQ(timeouts[0], (std::pair<std::uint64_t, std::uint32_t>{0, 100'000'000}));
  EXPECT_EQ(timeouts[1], (std::pair<std::uint64_t, std::uint32_t>{2, 0}));

  const auto request_size = std::to_string(device_->requests()[0].size());
  EXPECT_EQ(log_.count("[TRACE]", "kovo_base::connection", "Sending " + request_size + " bytes"), 1u);
  EXPECT_EQ(log_.count("Data sent"), 1u);
  EXPECT_EQ(log_.count("bytes consumed from device"), 1u);
  EXPECT_EQ(log_.count("kovo_base::connection::handle", "Connection has no pending data"), 1u);
}

TEST_F(ExchangeTest, RequestFollowsTheCompressionSwitch) {
  auto contains = [](const Bytes& frame, std::string_view text) {
    return std::string_view(reinterpret_cast<const char*>(frame.data()), frame.size()).find(text) != std::string_view::npos;
  };
  dllsat::disable_sat_compression();
  ASSERT_TRUE(exchange(consultar_4321));
  dllsat::enable_sat_compression();
  ASSERT_TRUE(exchange(consultar_4321));
  const auto requests = device_->requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_TRUE(contains(requests[0], "content-type:octet-stream"));
  EXPECT_TRUE(contains(requests[1], "content-type:z-compressed"));
  EXPECT_EQ(decode_sat(requests[1]), consultar_4321);
}

TEST_F(ExchangeTest, StaleFramesAreLoggedAndSkipped) {
  answer_with({sat_frame(4000, {"old"}), sat_frame(4001, {"older"}, SatFunction::AtivarSAT),
               sat_frame(4321, {"08000"})});
  auto answer = exchange(consultar_4321);
  ASSERT_TRUE(answer) << answer.error().debug();
  EXPECT_EQ(answer->fields.contents, std::vector<std::string>{"08000"});
  EXPECT_EQ(log_.count("[TRACE]", "Rejecting response of another request: ", "4000"), 1u);
  EXPECT_EQ(log_.count("[TRACE]", "Rejecting response of another request: ", "4001"), 1u);
}

TEST_F(ExchangeTest, AnAnswerRightBehindARejectedFrameIsKept) {
  // The stale frame and the answer arrive in one chunk; the answer must not
  // be thrown away with the stale frame.
  answer_with({concat({sat_frame(4000, {"old"}), sat_frame(4321, {"08000"})})});
  auto answer = exchange(consultar_4321);
  ASSERT_TRUE(answer) << answer.error().debug();
  EXPECT_EQ(answer->fields.contents.at(0), "08000");
}

TEST_F(ExchangeTest, AnAnswerWhoseHeaderStartsBehindARejectedFrameIsCompletedByTheNextChunk) {
  const Bytes stale = sat_frame(4000, {"old"});
  const Bytes good = sat_frame(4321, {"08000"});
  // The first chunk holds the stale frame and the first 20 bytes of the answer.
  Bytes first = stale;
  first.insert(first.end(), good.begin(), good.begin() + 20);
  answer_with({first, Bytes(good.begin() + 20, good.end())});
  auto answer = exchange(consultar_4321);
  ASSERT_TRUE(answer) << answer.error().debug();
}

TEST_F(ExchangeTest, AHeaderArrivingInPiecesIsReassembled) {
  const Bytes good = sat_frame(4321, {"08000", "payload"});
  // A stale frame and the answer's first bytes fill one 512-byte chunk; the
  // rest of the answer's header follows in pieces.
  const Bytes stale = sat_frame(4000, {"old", std::string(300, 'p')});
  const auto head = static_cast<std::ptrdiff_t>(512 - stale.size());
  std::vector<ReadStep> behind_stale{concat({stale, Bytes(good.begin(), good.begin() + head)})};
  for (auto& piece : split(Bytes(good.begin() + head, good.end()), 30, 40)) behind_stale.push_back(std::move(piece));

  struct Case {
    const char* name;
    std::vector<ReadStep> steps;
  };
  const Case cases[] = {
      {"first read of 20 bytes", split(good, 20, 512)},
      {"one byte per read", split(good, 1, 1)},
      {"cut by the chunk boundary after a stale frame", behind_stale},
  };
  for (const auto& c : cases) {
    answer_with(c.steps);
    auto answer = exchange(consultar_4321);
    ASSERT_TRUE(answer) << c.name << ": " << answer.error().debug();
    EXPECT_EQ(answer->fields.contents.at(1), "payload") << c.name;
  }
}

TEST_F(ExchangeTest, PaddingAfterARejectedFrameIsDropped) {
  Bytes padded = sat_frame(4000, {"old"});
  padded.insert(padded.end(), 16, 0);
  answer_with({padded, sat_frame(4321, {"08000"})});
  auto answer = exchange(consultar_4321);
  ASSERT_TRUE(answer) << answer.error().debug();
}

TEST_F(ExchangeTest, AHeaderDeclaringAnImpossibleSizeIsRefused) {
  std::string frame =
      "smx\r\ncode:ConsultarSAT\r\ncontent-size:99999999999\r\ncontent-type:octet-stream\r\n"
      "edc-type:crc16-ccitt\r\nedc-word:0\r\nsource:6\r\nversion:1.0\r\n\r\n\r\n004321";
  answer_with({Bytes(frame.begin(), frame.end())});
  auto answer = exchange(consultar_4321);
  ASSERT_FALSE(answer);
  EXPECT_EQ(answer.error().kind(), ConnectionError::Kind::Protocol);
}

TEST_F(ExchangeTest, AnswerSplitOverManyChunks) {
  const std::string big(20'000, 'x');
  const Bytes frame = sat_frame(4321, {"08000", big});
  answer_with(split(frame, 300, 97));
  auto answer = exchange(consultar_4321);
  ASSERT_TRUE(answer) << answer.error().debug();
  EXPECT_EQ(answer->fields.contents.at(1), big);
  EXPECT_GE(device_->reads(), frame.size() / 97);
}

TEST_F(ExchangeTest, CompressedAnswerInChunks) {
  const Bytes frame = sat_frame(4321, {"08000", std::string(5000, 'y') + "end"}, SatFunction::ConsultarSAT, true);
  answer_with(split(frame, 200, 1));
  auto answer = exchange(consultar_4321);
  ASSERT_TRUE(answer) << answer.error().debug();
  EXPECT_EQ(answer->fields.contents.at(1).size(), 5003u);
}

TEST_F(ExchangeTest, BrokenFramesEndTheExchange) {
  const Bytes frame = sat_frame(4321, {"08000", "payload"});
  Bytes corrupted = frame;
  corrupted.back() ^= 0x01;
  // A valid header made longer than one chunk by empty lines after its code line.
  const std::string code_line = "smx\r\ncode:ConsultarSAT\r\n";
  Bytes long_header(code_line.begin(), code_line.end());
  for (int i = 0; i < 300; ++i) long_header.insert(long_header.end(), {'\r', '\n'});
  long_header.insert(long_header.end(), frame.begin() + static_cast<std::ptrdiff_t>(code_line.size()), frame.end());
  struct Case {
    const char* name;
    std::vector<ReadStep> steps;
    ConnectionError::Kind kind;
    std::optional<IoKind> io_kind;
  };
  const Case cases[] = {
      {"header cut off and never completed", {split(frame, 20, 512)[0]}, ConnectionError::Kind::Io, IoKind::TimedOut},
      {"header cut off by the end of the stream", {split(frame, 20, 512)[0], EndOfStream{}}, ConnectionError::Kind::Protocol, {}},
      {"header longer than a chunk, in pieces", split(long_header, 100, 100), ConnectionError::Kind::Protocol, {}},
      {"wrong check word", {corrupted}, ConnectionError::Kind::Protocol, {}},
      {"not a frame", {Bytes{'h', 'e', 'l', 'l', 'o'}}, ConnectionError::Kind::Protocol, {}},
      {"empty first read", {EndOfStream{}}, ConnectionError::Kind::Protocol, {}},
      {"time-out mid-body", {split(frame, frame.size() - 3, 512)[0]}, ConnectionError::Kind::Io, IoKind::TimedOut},
      {"read failure mid-body", {split(frame, frame.size() - 3, 512)[0], usb_failure(kovo_base::UsbErrorKind::Pipe)},
       ConnectionError::Kind::Io, IoKind::BrokenPipe},
      {"end of stream mid-body", {split(frame, frame.size() - 3, 512)[0], EndOfStream{}, split(frame, frame.size() - 3, 512)[1]},
       ConnectionError::Kind::Io, IoKind::UnexpectedEof},
  };
  for (const auto& c : cases) {
    answer_with(c.steps);
    auto answer = exchange(consultar_4321);
    ASSERT_FALSE(answer) << c.name;
    EXPECT_EQ(answer.error().kind(), c.kind) << c.name << ": " << answer.error().debug();
    if (c.io_kind) {
      ASSERT_NE(answer.error().io_error(), nullptr) << c.name;
      EXPECT_EQ(answer.error().io_error()->kind, *c.io_kind) << c.name;
    }
    // Nothing spins: the check's drain, a header of at most one chunk in
    // 100-byte reads, and at most two more.
    EXPECT_LE(device_->reads(), 9u) << c.name;
  }
}

TEST_F(ExchangeTest, WriteRetriesInterruptionsAndRefusesZeroProgress) {
  device_->queue_write_failure(TransferError::from_io(kovo_base::IoError::custom(IoKind::Interrupted, "interrupted")));
  device_->set_max_write(50);
  ASSERT_TRUE(exchange(consultar_4321));
  EXPECT_EQ(decode_sat(device_->requests().at(0)), consultar_4321);

  device_->set_max_write(0);
  auto stuck = exchange(consultar_4321);
  ASSERT_FALSE(stuck);
  EXPECT_EQ(stuck.error().io_error()->kind, IoKind::WriteZero);

  device_->set_max_write(SIZE_MAX);
  device_->queue_write_failure(usb_failure(kovo_base::UsbErrorKind::Pipe));
  auto failed = exchange(consultar_4321);
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().debug().substr(0, 3), "Io(");
}

TEST_F(ExchangeTest, MfeRequestsUseTheirOwnRules) {
  const codec::MfeBody request{codec::MfeMessageType::InformarProducaoMFE, codec::Source::Lib, {77, {"a", "b", "c"}}};
  answer_with({mfe_frame(78, {"other"}), mfe_frame(std::nullopt, {"x", "y"})});
  auto answer = exchange<mfe::MfeMessage>(request);
  ASSERT_TRUE(answer) << answer.error().debug();
  EXPECT_EQ(answer->fields, (codec::MfeFields{std::nullopt, {"x", "y"}}));
  EXPECT_EQ(decode_mfe(device_->requests().at(0)), request);
  EXPECT_EQ(device_->read_timeouts().back(), (std::pair<std::uint64_t, std::uint32_t>{40, 0}));
  EXPECT_EQ(log_.count("Rejecting response of another request: "), 1u);
}

}  // namespace
}  // namespace tavik::testing
