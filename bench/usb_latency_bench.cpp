// Per-call latency of ConsultarSAT over USB in continuous mode, through the
// shared library built over the libusb double, next to the floor the design
// sets: the liveness check's 100 ms wait plus the transfers of one exchange.
// The floor is measured in the same run by making exactly those transfers on
// the double directly, with the request frame the library sent.
#include <dlfcn.h>
#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "taviksat/taviksat.h"
#include "usb_double/simulator_link.h"
#include "usb_double/usb_double.h"

namespace {

using namespace tavik;
using Clock = std::chrono::steady_clock;

constexpr int calls_per_round = 15;
constexpr int rounds = 3;
constexpr double allowed_overhead_ms = 1.0;

// The module behind a link that keeps the last request and counts the
// bytes of the answer to it.
class RecordingLink final : public usb_double::BulkLink {
 public:
  explicit RecordingLink(std::shared_ptr<usb_double::BulkLink> module) : module_(std::move(module)) {}
  void write(std::span<const std::uint8_t> bytes) override {
    {
      std::lock_guard lock(lock_);
      request_.assign(bytes.begin(), bytes.end());
      answer_size_ = 0;
    }
    module_->write(bytes);
  }
  std::expected<usb_double::Bytes, End> read(std::size_t max_bytes, std::chrono::milliseconds timeout) override {
    auto got = module_->read(max_bytes, timeout);
    if (got) {
      std::lock_guard lock(lock_);
      answer_size_ += got->size();
    }
    return got;
  }
  usb_double::Bytes request() const {
    std::lock_guard lock(lock_);
    return request_;
  }
  std::size_t answer_size() const {
    std::lock_guard lock(lock_);
    return answer_size_;
  }

 private:
  std::shared_ptr<usb_double::BulkLink> module_;
  mutable std::mutex lock_;
  usb_double::Bytes request_;
  std::size_t answer_size_ = 0;
};

// The transfers of one exchange, made on the double without the library.
class DirectDevice {
 public:
  DirectDevice() {
    libusb_init(&context_);
    libusb_device** list = nullptr;
    if (libusb_get_device_list(context_, &list) > 0 && libusb_open(list[0], &handle_) == 0) {
      libusb_claim_interface(handle_, 1);
    }
    libusb_free_device_list(list, 1);
  }
  ~DirectDevice() {
    if (handle_ != nullptr) {
      libusb_release_interface(handle_, 1);
      libusb_close(handle_);
    }
    libusb_exit(context_);
  }
  bool ok() const { return handle_ != nullptr; }

  // The check's idle read, the request, and reads until the whole answer is in.
  bool exchange(usb_double::Bytes request, std::size_t answer_size) {
    unsigned char buffer[512];
    int moved = 0;
    if (libusb_bulk_transfer(handle_, 0x81, buffer, sizeof buffer, &moved, 100) != LIBUSB_ERROR_TIMEOUT) return false;
    if (libusb_bulk_transfer(handle_, 0x02, request.data(), static_cast<int>(request.size()), &moved, 100) != 0) {
      return false;
    }
    for (std::size_t received = 0; received < answer_size; received += static_cast<std::size_t>(moved)) {
      if (libusb_bulk_transfer(handle_, 0x81, buffer, sizeof buffer, &moved, 2000) != 0) return false;
    }
    return true;
  }

 private:
  libusb_context* context_ = nullptr;
  libusb_device_handle* handle_ = nullptr;
};

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

template <class Call>
void time_calls(std::vector<double>& into, Call call) {
  for (int i = 0; i < calls_per_round; ++i) {
    const auto start = Clock::now();
    call();
    into.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
}

}  // namespace

int main() {
  void* library = dlopen(TAVIK_USBTEST_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "dlopen: %s\n", dlerror());
    return 1;
  }
  auto* consultar = reinterpret_cast<decltype(&ConsultarSAT)>(dlsym(library, "ConsultarSAT"));
  auto* drop = reinterpret_cast<decltype(&LimpaFiltrosMFE)>(dlsym(library, "LimpaFiltrosMFE"));

  simulator::DeviceConfig config;
  config.refuse_reused_sessions = false;  // the floor replays one request
  auto module = usb_double::start_usb_module(config);
  auto link = std::make_shared<RecordingLink>(usb_double::simulator_link(*module));
  usb_double::plug(usb_double::vorta_mfe(1, 4, link));

  const std::string expected = "000001|08000|SAT em Operação||";
  if (expected != consultar(1)) {
    std::fprintf(stderr, "the module did not answer over USB\n");
    return 1;
  }
  const auto request = link->request();
  const std::size_t answer_size = link->answer_size();

  std::vector<double> library_ms;
  std::vector<double> floor_ms;
  int session = 2;
  for (int round = 0; round < rounds; ++round) {
    // Every timed call must be answered: one that fails fast would make the figure look good.
    bool answered = true;
    time_calls(library_ms, [&] {
      const int number = session++;
      answered = std::string(consultar(number)).starts_with(fmt::format("{:06}|08000|", number)) && answered;
    });
    if (!answered) {
      std::fprintf(stderr, "a timed call was not answered\n");
      return 1;
    }
    drop();  // gives the device back, so that the floor can claim it
    DirectDevice direct;
    if (!direct.ok()) return 1;
    bool exchanged = true;
    time_calls(floor_ms, [&] { exchanged = direct.exchange(request, answer_size) && exchanged; });
    if (!exchanged) {
      std::fprintf(stderr, "the direct exchange failed\n");
      return 1;
    }
  }

  const double call = median(library_ms);
  const double floor = median(floor_ms);
  const double overhead = call - floor;
  const char* verdict = overhead <= allowed_overhead_ms ? "ok" : "MISSED";
  // Seven fields per line, as the benchmark report reads them.
  fmt::print("name value unit baseline ratio goal verdict\n");
  fmt::print("usb_consultar_sat_call_median {:.3f} ms {:.3f} {:.4f} <=floor+1ms {}\n", call, floor, call / floor,
             verdict);
  fmt::print("usb_library_overhead_per_call {:.3f} ms - - <=1ms {}\n", overhead, verdict);
  return overhead <= allowed_overhead_ms ? 0 : 1;
}
