// Several threads sharing the one connection.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "dllsat/sat_message.h"
#include "kovo_base/connection/connection_slot.h"
#include "kovo_base/connection/exchange.h"
#include "kovo_base/connection/modes.h"
#include "scripted_device.h"

namespace tavik::testing {
namespace {

using kovo_base::Result;
using kovo_base::connection::ConnectionSlot;
using kovo_base::connection::Handle;
using kovo_base::connection::HandleKind;

class SharedConnection : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    GetParam() ? kovo_base::connection::enable_continuous_connection()
               : kovo_base::connection::disable_continuous_connection();
  }
  void TearDown() override { kovo_base::connection::enable_continuous_connection(); }
};

TEST_P(SharedConnection, TwoCallersNeverInterleaveOnTheWire) {
  std::atomic<int> corrupt_requests{0};
  ScriptedDevice device([&](const codec::Bytes& request) -> std::vector<ReadStep> {
    try {
      const auto body = decode_sat(request);
      // Answer in small pieces so that reads of two callers would mix.
      auto frame = sat_frame(body.fields.num_session, {"08000", std::string(600, 'a')});
      std::vector<ReadStep> steps{codec::Bytes(frame.begin(), frame.begin() + 200)};
      for (std::size_t at = 200; at < frame.size(); at += 50) {
        steps.emplace_back(codec::Bytes(frame.begin() + static_cast<std::ptrdiff_t>(at),
                                        frame.begin() + static_cast<std::ptrdiff_t>(std::min(frame.size(), at + 50))));
      }
      return steps;
    } catch (const std::exception&) {
      ++corrupt_requests;
      return {};
    }
  });
  device.set_max_write(16);  // every request takes many writes
  ConnectionSlot slot([&](HandleKind) -> Result<Handle> { return device.open_usb(); });

  constexpr int rounds = 40;
  std::atomic<int> failures{0};
  auto caller = [&](std::int32_t first_session) {
    for (int i = 0; i < rounds; ++i) {
      const codec::SatBody request{codec::SatFunction::ConsultarSAT, codec::Source::Lib, {first_session + i, {}}};
      auto guard = slot.acquire(HandleKind::Usb);
      auto answer = guard ? kovo_base::connection::send_and_receive<dllsat::SatMessage>(*guard, request)
                          : std::unexpected(guard.error());
      if (!answer || answer->fields.num_session != first_session + i) ++failures;
    }
  };
  std::thread first(caller, 1000);
  std::thread second(caller, 5000);
  first.join();
  second.join();

  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(corrupt_requests.load(), 0);
  EXPECT_EQ(device.requests().size(), 2u * rounds);
}

INSTANTIATE_TEST_SUITE_P(Modes, SharedConnection, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Continuous" : "PerRequest"; });

TEST(SharedSlot, ConcurrentFirstUseOpensOnce) {
  kovo_base::connection::enable_continuous_connection();
  ScriptedDevice device;
  std::atomic<int> openings{0};
  ConnectionSlot slot([&](HandleKind) -> Result<Handle> {
    ++openings;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return device.open_usb();
  });
  std::vector<std::thread> callers;
  for (int i = 0; i < 4; ++i) {
    callers.emplace_back([&] { EXPECT_TRUE(slot.acquire(HandleKind::Usb)); });
  }
  for (auto& caller : callers) caller.join();
  EXPECT_EQ(openings.load(), 1);
}

TEST(SharedSlot, DropWaitsForTheHolder) {
  kovo_base::connection::enable_continuous_connection();
  ScriptedDevice device;
  ConnectionSlot slot([&](HandleKind) -> Result<Handle> { return device.open_usb(); });
  auto guard = slot.acquire(HandleKind::Usb);
  ASSERT_TRUE(guard);

  std::atomic<bool> dropped{false};
  std::thread dropper([&] {
    slot.drop();
    dropped = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(dropped.load());
  // The handle is still alive and usable while the guard is held.
  const std::uint8_t byte = 0;
  EXPECT_TRUE(guard->handle().write_all(std::span(&byte, 1)));
  guard->release();
  dropper.join();
  EXPECT_TRUE(dropped.load());
  EXPECT_FALSE(slot.holds_handle());
}

}  // namespace
}  // namespace tavik::testing
