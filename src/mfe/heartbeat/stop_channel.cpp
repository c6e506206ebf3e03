#include "mfe/heartbeat/stop_channel.h"

namespace tavik::mfe::heartbeat {

StopReceiver::~StopReceiver() {
  if (!state_) return;
  std::lock_guard lock(state_->lock);
  state_->receiver_alive = false;
}

Poll StopReceiver::poll() {
  std::lock_guard lock(state_->lock);
  if (state_->pending > 0) {
    --state_->pending;
    return Poll::Stop;
  }
  return state_->sender_alive ? Poll::Empty : Poll::SenderGone;
}

StopSender& StopSender::operator=(StopSender&& other) noexcept {
  if (this != &other) {
    drop();
    state_ = std::move(other.state_);
  }
  return *this;
}

StopSender::~StopSender() { drop(); }

void StopSender::drop() {
  if (!state_) return;
  std::lock_guard lock(state_->lock);
  state_->sender_alive = false;
}

std::expected<void, std::string> StopSender::send() {
  std::lock_guard lock(state_->lock);
  if (!state_->receiver_alive) return std::unexpected(std::string("ReceiverGone"));
  ++state_->pending;
  return {};
}

std::pair<StopSender, StopReceiver> make_stop_channel() {
  auto state = std::make_shared<detail::ChannelState>();
  return {StopSender(state), StopReceiver(state)};
}

}  // namespace tavik::mfe::heartbeat
