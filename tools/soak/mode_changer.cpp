#include "mode_changer.h"

#include <chrono>

namespace tavik::soak {

using namespace std::chrono_literals;

ModeChanger::ModeChanger(const Exports& exports, std::vector<ModuleAddress> modules, FaultLedger& ledger,
                         std::uint32_t seed)
    : exports_(exports), modules_(std::move(modules)), ledger_(ledger), random_(seed), thread_([this] { run(); }) {}

ModeChanger::~ModeChanger() { stop(); }

void ModeChanger::stop() {
  stopping_.store(true);
  if (thread_.joinable()) thread_.join();
}

void ModeChanger::run() {
  std::uniform_int_distribution<int> pause_ms(10, 60);
  while (!stopping_.load()) {
    change_once();
    changes_.fetch_add(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms(random_)));
  }
}

void ModeChanger::change_once() {
  std::uniform_int_distribution<int> roll(0, 99);
  std::uniform_int_distribution<std::size_t> module(0, modules_.size() - 1);
  const int r = roll(random_);
  using Reach = FaultLedger::Reach;
  // Mostly an address filter: without one every opening runs a discovery.
  if (r < 40) {
    (void)exports_.filtra_ip(modules_[module(random_)].ip.c_str());
    ledger_.module_reach(Reach::Direct);
  } else if (r < 48) {
    // Reach::Discovery from before the change: a call may already open by it.
    ledger_.module_reach(Reach::Discovery);
    (void)exports_.filtra_num_serie(modules_[module(random_)].serial.c_str());
  } else if (r < 52) {
    exports_.limpa_filtros();
    ledger_.module_reach(Reach::Direct);
  } else if (r < 55) {
    // Nothing listens there: calls fail at once, so the window stays short
    // or those instant failures would crowd out the exchanges.
    ledger_.module_reach(Reach::None);
    (void)exports_.filtra_ip("127.0.0.250");
    std::this_thread::sleep_for(5ms);
    (void)exports_.filtra_ip(modules_[module(random_)].ip.c_str());
    ledger_.module_reach(Reach::Direct);
  } else if (r < 57) {
    ledger_.module_reach(Reach::None);
    (void)exports_.filtra_usb(1, 4);
  } else if (r < 70) {
    exports_.habilitar_conexao_continua();
  } else if (r < 80) {
    exports_.desabilitar_conexao_continua();
  } else if (r < 90) {
    exports_.habilitar_protocolo_comprimido();
  } else {
    exports_.desabilitar_protocolo_comprimido();
  }
}

}  // namespace tavik::soak
