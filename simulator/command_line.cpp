#include "simulator/command_line.h"

#include <fmt/format.h>
#include <functional>
#include <map>

#include "simulator/text_utils.h"

namespace tavik::simulator {
namespace {

using Setter = std::function<std::expected<void, std::string>(CommandLine&, const std::string&)>;

std::expected<std::uint64_t, std::string> number(const std::string& option, const std::string& value,
                                                 std::uint64_t min, std::uint64_t max) {
  const auto parsed = all_digits(value) && value.size() <= 18 ? parse_integer(value) : std::nullopt;
  if (!parsed || std::uint64_t(*parsed) < min || std::uint64_t(*parsed) > max) {
    return std::unexpected(fmt::format("{} needs a number from {} to {}, not '{}'", option, min, max, value));
  }
  return std::uint64_t(*parsed);
}

template <class Apply>
Setter numeric(std::string option, std::uint64_t max, Apply apply, std::uint64_t min = 0) {
  return [option, min, max, apply](CommandLine& line, const std::string& value) -> std::expected<void, std::string> {
    const auto n = number(option, value, min, max);
    if (!n) return std::unexpected(n.error());
    apply(line, *n);
    return {};
  };
}

template <class Apply>
Setter text(Apply apply) {
  return [apply](CommandLine& line, const std::string& value) -> std::expected<void, std::string> {
    apply(line, value);
    return {};
  };
}

// Dotted-decimal IPv4 text: four numbers 0-255 without leading zeros.
bool is_ipv4_text(std::string_view text) {
  int octets = 0;
  while (true) {
    const auto dot = text.find('.');
    const std::string_view octet = text.substr(0, dot);
    if (!all_digits(octet) || octet.size() > 3 || (octet.size() > 1 && octet[0] == '0') ||
        *parse_integer(octet) > 255) {
      return false;
    }
    ++octets;
    if (dot == std::string_view::npos) break;
    text.remove_prefix(dot + 1);
  }
  return octets == 4;
}

template <class Apply>
Setter address(std::string option, Apply apply) {
  return [option, apply](CommandLine& line, const std::string& value) -> std::expected<void, std::string> {
    if (!is_ipv4_text(value)) return std::unexpected(fmt::format("{} needs an IPv4 address, not '{}'", option, value));
    apply(line, value);
    return {};
  };
}

const std::map<std::string, Setter>& setters() {
  using std::chrono::milliseconds;
  static const std::map<std::string, Setter> table{
      {"--address", address("--address", [](CommandLine& l, const std::string& v) { l.options.address = v; })},
      {"--port", numeric("--port", 65535, [](CommandLine& l, std::uint64_t n) { l.options.tls_port = std::uint16_t(n); })},
      {"--serial", [](CommandLine& l, const std::string& v) -> std::expected<void, std::string> {
         if (!all_digits(v) || v.size() > 9) return std::unexpected(fmt::format("--serial needs 1 to 9 digits, not '{}'", v));
         l.options.device.serial = v;
         return {};
       }},
      {"--model", text([](CommandLine& l, const std::string& v) { l.options.device.model = v; })},
      {"--module-version", text([](CommandLine& l, const std::string& v) { l.options.device.version = v; })},
      {"--beacon-target",
       address("--beacon-target", [](CommandLine& l, const std::string& v) { l.options.beacon->target = v; })},
      {"--beacon-port", numeric("--beacon-port", 65535,
                                [](CommandLine& l, std::uint64_t n) { l.options.beacon->port = std::uint16_t(n); })},
      {"--beacon-period-ms", numeric("--beacon-period-ms", 3600000,
                                     [](CommandLine& l, std::uint64_t n) { l.options.beacon->period = milliseconds(n); })},
      {"--heartbeat-interval", numeric("--heartbeat-interval", UINT64_MAX, [](CommandLine& l, std::uint64_t n) {
         l.options.device.heartbeat_interval_seconds = n;
       })},
      {"--compression", [](CommandLine& l, const std::string& v) -> std::expected<void, std::string> {
         if (v == "on") l.options.device.compression = CompressionMode::Compressed;
         else if (v == "off") l.options.device.compression = CompressionMode::Plain;
         else if (v == "mirror") l.options.device.compression = CompressionMode::Mirror;
         else return std::unexpected("--compression takes on, off or mirror");
         return {};
       }},
      {"--activation-code", text([](CommandLine& l, const std::string& v) { l.options.device.activation_code = v; })},
      {"--cnpj", text([](CommandLine& l, const std::string& v) { l.options.device.taxpayer_cnpj = v; })},
      {"--sign-ac", text([](CommandLine& l, const std::string& v) { l.options.device.ac_signature = v; })},
      {"--emergency-code", text([](CommandLine& l, const std::string& v) { l.options.device.emergency_code = v; })},
      {"--session-depth", numeric(
                              "--session-depth", 100,
                              [](CommandLine& l, std::uint64_t n) { l.options.device.session_depth = n; }, 1)},
      {"--block-after-wrong-codes", numeric("--block-after-wrong-codes", 1000, [](CommandLine& l, std::uint64_t n) {
         l.options.device.block_after_wrong_codes = unsigned(n);
       })},
      {"--long-command-ms", numeric("--long-command-ms", 3600000, [](CommandLine& l, std::uint64_t n) {
         l.options.device.long_command_duration = milliseconds(n);
       })},
      {"--fault", [](CommandLine& l, const std::string& v) -> std::expected<void, std::string> {
         const auto fault = fault_from_name(v);
         if (!fault) return std::unexpected(fmt::format("unknown fault '{}' (see --help)", v));
         l.options.fault.fault = *fault;
         return {};
       }},
      {"--fault-count", numeric("--fault-count", 1000000,
                                [](CommandLine& l, std::uint64_t n) { l.options.fault.count = unsigned(n); })},
      {"--fault-delay-ms", numeric("--fault-delay-ms", 3600000,
                                   [](CommandLine& l, std::uint64_t n) { l.options.fault.delay = milliseconds(n); })},
      {"--stale-frames", numeric("--stale-frames", 1000,
                                 [](CommandLine& l, std::uint64_t n) { l.options.fault.stale_frames = unsigned(n); })},
      {"--split-size", numeric("--split-size", 1u << 20,
                               [](CommandLine& l, std::uint64_t n) { l.options.fault.split_size = std::max<std::uint64_t>(n, 1); })},
      {"--huge-bytes", numeric("--huge-bytes", 256u << 20,
                               [](CommandLine& l, std::uint64_t n) { l.options.fault.huge_bytes = n; })},
      {"--cert-dir", text([](CommandLine& l, const std::string& v) { l.options.cert_dir = v; })},
  };
  return table;
}

}  // namespace

std::expected<CommandLine, std::string> parse_command_line(const std::vector<std::string>& args) {
  CommandLine line;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      line.help = true;
    } else if (arg == "--quiet") {
      line.quiet = true;
    } else if (arg == "--no-beacon") {
      line.options.beacon.reset();
    } else if (arg == "--allow-session-reuse") {
      line.options.device.refuse_reused_sessions = false;
    } else if (arg == "--drop-cccc-on-failure") {
      line.options.device.drop_cccc_on_failure = true;
    } else if (const auto it = setters().find(arg); it != setters().end()) {
      if (i + 1 >= args.size()) return std::unexpected(fmt::format("{} needs a value", arg));
      if (arg.starts_with("--beacon-") && !line.options.beacon) line.options.beacon = BeaconOptions{};
      if (auto set = it->second(line, args[++i]); !set) return std::unexpected(set.error());
    } else {
      return std::unexpected(fmt::format("unknown option '{}' (see --help)", arg));
    }
  }
  return line;
}

std::string help_text() {
  std::string faults;
  for (const Fault fault : all_faults()) faults += fmt::format(" {}", name_of(fault));
  return fmt::format(R"(tavik-simulator: a simulated SAT/MFE fiscal module on the network (development only)

Usage: tavik-simulator [options]

Network
  --address A              IPv4 address to serve and send beacons from (127.0.0.1)
  --port P                 TLS port; 0 picks a free one (9014)
  --beacon-target A        where beacons go (255.255.255.255; e.g. 127.0.0.1)
  --beacon-port P          beacon UDP port (9015)
  --beacon-period-ms N     time between beacons (1000)
  --no-beacon              send no beacons
  --cert-dir DIR           development certificates
                           ({})

Identity
  --serial S               serial number, 1 to 9 digits (900000123)
  --model M                model name in beacons (VortaMfe)
  --module-version V       version text in beacons (1.0.0)

Behaviour
  --heartbeat-interval N   seconds the HeartBeatPDV answer prescribes (30)
  --compression on|off|mirror
                           answer bodies compressed, plain, or as the request came (mirror)
  --activation-code C      start activated with this activation code (default: not activated)
  --cnpj D                 taxpayer CNPJ when started activated (11222333000181)
  --sign-ac S              start associated with this signAC value
  --emergency-code C       emergency activation code (87654321)
  --session-depth N        sessions ConsultarNumeroSessao can reach, 1-100 (1)
  --allow-session-reuse    do not refuse a session number used in the last 100 calls
  --block-after-wrong-codes N
                           block the device after N wrong activation codes (0: never)
  --drop-cccc-on-failure   five-field failure answers for EnviarDadosVenda, CancelarUltimaVenda,
                           AssociarAssinatura
  --long-command-ms N      AtivarSAT and AtualizarSoftwareSAT take N ms; meanwhile xx098 (0)

Faults
  --fault NAME             one of:{}
  --fault-count N          act only N times (0: always)
  --fault-delay-ms N       delay of the 'delay' fault (2000)
  --stale-frames N         frames sent before the answer by 'stale-frames' (3)
  --split-size N           bytes per write for 'split-writes' (7)
  --huge-bytes N           size of the 'huge-answer' answer (6291456)

Output
  --quiet                  do not log requests and answers
  --help                   this text

Exit status: 0 after Ctrl-C, 2 for any bad option, 1 when the module cannot
start (address or port taken, certificates unreadable).
)",
                     default_cert_dir(), faults);
}

}  // namespace tavik::simulator
