#include "kovo_base/tcp/tcp_models.h"

#include <mutex>

#include "kovo_base/ca_certificate/ca_certificate.h"
#include "kovo_base/connection/connection_slot.h"
#include "kovo_base/connection/openers.h"
#include "kovo_base/tcp/beacon.h"
#include "kovo_base/tcp/open_tcp.h"

namespace tavik::kovo_base::tcp {
namespace {

struct ModelList {
  std::mutex lock;
  std::vector<TcpModelRef> entries;
};

ModelList& model_list() {
  static ModelList list;
  return list;
}

}  // namespace

void register_tcp_model(DeviceModel model) {
  {
    ModelList& list = model_list();
    std::lock_guard lock(list.lock);
    list.entries.push_back(std::make_shared<const TcpModel>(TcpModel{model, &parse_beacon, &ca_certificate_pem}));
  }
  connection::set_opener(connection::HandleKind::Tcp, [] { return open_tcp(); });
  connection::drop_connection();
}

std::vector<TcpModelRef> tcp_models() {
  ModelList& list = model_list();
  std::lock_guard lock(list.lock);
  return list.entries;
}

void testing::clear_tcp_models() {
  {
    ModelList& list = model_list();
    std::lock_guard lock(list.lock);
    list.entries.clear();
  }
  connection::set_opener(connection::HandleKind::Tcp, {});
}

}  // namespace tavik::kovo_base::tcp
