#pragma once
// The frame codec shared by the SAT and MFE variants: records, vocabularies,
// and the three operations of each variant. Pure functions over buffers.
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codec/protocol_error.h"

namespace tavik::codec {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// The largest body text accepted, plain or inflated. The largest real
// answers (an ExtrairLogs log, a signed sale in base64) are a few MiB, so
// 32 MiB leaves them ample room; past it a body fails with Io, so a few KB of
// zlib that would inflate to a GiB stop here instead of taking the host's
// memory. The inflation buffer doubles on its way up, so one answer holds at
// most about one and a half times this while it is inflated.
inline constexpr std::uint64_t max_body_bytes = std::uint64_t{32} << 20;
// The largest body on the wire: a text of max_body_bytes that deflate could
// not shrink grows by at most zlib's compressBound margin.
inline constexpr std::uint64_t max_transmitted_body_bytes =
    max_body_bytes + (max_body_bytes >> 12) + (max_body_bytes >> 14) + (max_body_bytes >> 25) + 13;

enum class Source : std::uint8_t { Lib = 0, Application = 1, Broadcast = 2 };

enum class SatFunction : std::uint8_t {
  ConsultarSAT = 0,
  ConsultarStatusOperacional = 1,
  AtualizarSoftwareSAT = 2,
  ExtrairLogs = 3,
  EnviarDadosVenda = 4,
  AtivarSAT = 5,
  AssociarAssinatura = 6,
  ConsultarNumeroSessao = 7,
  ConsultarUltimaSessaoFiscal = 8,
  CancelarUltimaVenda = 9,
  ConfigurarInterfaceDeRede = 10,
  BloquearSAT = 11,
  DesbloquearSAT = 12,
  TesteFimAFim = 13,
  ComunicarCertificadoICPBRASIL = 14,
  TrocarCodigoDeAtivacao = 15,
};

enum class MfeMessageType : std::uint8_t {
  Beacon = 0,
  HeartBeatPDV = 1,
  ConfigurarInterfaceDeRedeMFE = 2,
  ConsultarStatusOperacionalMFE = 3,
  EnviarStatusAC = 4,
  InformarProducaoMFE = 5,
};

std::string_view name_of(Source source);
std::string_view name_of(SatFunction code);
std::string_view name_of(MfeMessageType code);

struct SatFields {
  std::int32_t num_session = 0;
  std::vector<std::string> contents;
  friend bool operator==(const SatFields&, const SatFields&) = default;
};

struct MfeFields {
  std::optional<std::int32_t> num_session;
  std::vector<std::string> contents;
  friend bool operator==(const MfeFields&, const MfeFields&) = default;
};

struct SatBody {
  SatFunction code = SatFunction::ConsultarSAT;
  Source source = Source::Lib;
  SatFields fields;
  friend bool operator==(const SatBody&, const SatBody&) = default;
};

struct MfeBody {
  MfeMessageType code = MfeMessageType::Beacon;
  Source source = Source::Lib;
  MfeFields fields;
  friend bool operator==(const MfeBody&, const MfeBody&) = default;
};

template <class Code>
struct FrameHeader {
  std::uint64_t content_size = 0;
  std::uint64_t content_uncompressed_size = 0;
  std::uint16_t edc_word = 0;
  Code code{};
  bool compressed = false;
  Source source = Source::Lib;
  friend bool operator==(const FrameHeader&, const FrameHeader&) = default;
};

using SatHeader = FrameHeader<SatFunction>;
using MfeHeader = FrameHeader<MfeMessageType>;

template <class Header>
struct ParsedHeader {
  Header header;
  ByteView rest;  // the bytes after the version block: the start of the body
};

// A session number as frames and result texts write it: decimal, at least six
// characters, zero-padded after the sign (4321 -> 004321, -12 -> -00012).
std::string format_session_number(std::int32_t number);

// Body texts before compression.
std::string body_text(const SatFields& fields);
std::string body_text(const MfeFields& fields);

// Debug renderings for log lines, e.g.
// Body { code: ConsultarSAT, source: Lib, fields: Fields { num_session: 4321, contents: ["a"] } }
std::string debug_string(const SatBody& body);
std::string debug_string(const MfeBody& body);

// CRC-16/XMODEM over bytes, table driven.
std::uint16_t crc16(ByteView bytes, std::uint16_t crc = 0);

namespace sat {
std::expected<Bytes, ProtocolError> encode_frame(const SatBody& body, bool compress);
std::expected<ParsedHeader<SatHeader>, ProtocolError> parse_frame_header(ByteView input);
std::expected<SatBody, ProtocolError> decode_frame_body(const SatHeader& header, ByteView body);
}  // namespace sat

namespace mfe {
std::expected<Bytes, ProtocolError> encode_frame(const MfeBody& body, bool compress);
std::expected<ParsedHeader<MfeHeader>, ProtocolError> parse_frame_header(ByteView input);
std::expected<MfeBody, ProtocolError> decode_frame_body(const MfeHeader& header, ByteView body);
}  // namespace mfe

}  // namespace tavik::codec
