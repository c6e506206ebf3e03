#pragma once
// An unbounded channel of data-less stop requests. The receiving side only
// polls; a sending side that is gone is not a stop request.
#include <cstddef>
#include <expected>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace tavik::mfe::heartbeat {

namespace detail {
struct ChannelState {
  std::mutex lock;
  std::size_t pending = 0;
  bool sender_alive = true;
  bool receiver_alive = true;
};
}  // namespace detail

enum class Poll : std::uint8_t { Stop, Empty, SenderGone };

class StopReceiver {
 public:
  explicit StopReceiver(std::shared_ptr<detail::ChannelState> state) : state_(std::move(state)) {}
  StopReceiver(StopReceiver&&) noexcept = default;
  StopReceiver& operator=(StopReceiver&&) = delete;
  ~StopReceiver();

  // Takes one waiting request, if any; never blocks for long.
  Poll poll();

 private:
  std::shared_ptr<detail::ChannelState> state_;
};

class StopSender {
 public:
  explicit StopSender(std::shared_ptr<detail::ChannelState> state) : state_(std::move(state)) {}
  StopSender(StopSender&&) noexcept = default;
  StopSender& operator=(StopSender&&) noexcept;
  ~StopSender();

  // Queues one request; fails with the failure's debug text when the
  // receiving side is gone.
  std::expected<void, std::string> send();

 private:
  void drop();
  std::shared_ptr<detail::ChannelState> state_;
};

std::pair<StopSender, StopReceiver> make_stop_channel();

}  // namespace tavik::mfe::heartbeat
