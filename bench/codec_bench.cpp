// Frame encoding and decoding against their floors: the bare CRC table loop
// over the same bytes, and zlib inflate alone on the same stream. Prints the
// usual Google Benchmark table, then the ratios decode/CRC (goal <= 1.2) and
// compressed decode/(inflate + CRC) (goal <= 1.1), from CPU time so that a
// busy shared machine disturbs them less.
#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <zlib.h>

#include <array>
#include <cstdint>
#include <map>
#include <random>
#include <string>

#include "codec/frame.h"
#include "codec/received_body.h"

namespace {

using namespace tavik::codec;

constexpr std::array<std::size_t, 3> kBodySizes = {6, 4 << 10, 1 << 20};

ByteView view_of(std::string_view text) { return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}; }

std::string base64_of(const std::string& bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i + 2 < bytes.size(); i += 3) {
    const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                       static_cast<unsigned char>(bytes[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) out += kAlphabet[(v >> shift) & 63];
  }
  return out;
}

// An answer like a sale's: a few short fields, then the base64 of an XML
// document, cut to `size` bytes in all.
SatFields answer_of_size(std::size_t size) {
  if (size <= 6) return {4321, {}};
  std::mt19937 random(42);
  std::string xml = "<CFe><infCFe versao=\"0.08\">";
  while (xml.size() < size) {
    xml += fmt::format("<det nItem=\"{}\"><prod><cProd>{}</cProd><xProd>Produto {}</xProd><vProd>{}.{:02}</vProd>"
                       "</prod></det>",
                       random() % 1000, random() % 100000, random() % 500, random() % 1000, random() % 100);
  }
  SatFields fields{4321, {"06000", "0000", "Emitido com sucesso", ""}};
  const std::size_t used = body_text(fields).size();
  fields.contents.back() = base64_of(xml).substr(0, size - used);
  return fields;
}

struct Sample {
  SatBody body;
  std::string text;        // the body text
  Bytes plain_frame;
  Bytes compressed_frame;
  Bytes stream;            // the compressed body bytes
};

const Sample& sample(std::size_t size) {
  static std::map<std::size_t, Sample> samples;
  auto [it, inserted] = samples.try_emplace(size);
  if (inserted) {
    Sample& s = it->second;
    s.body = {SatFunction::EnviarDadosVenda, Source::Application, answer_of_size(size)};
    s.text = body_text(s.body.fields);
    s.plain_frame = *sat::encode_frame(s.body, false);
    s.compressed_frame = *sat::encode_frame(s.body, true);
    const auto parsed = sat::parse_frame_header(s.compressed_frame);
    s.stream.assign(parsed->rest.begin(), parsed->rest.end());
  }
  return it->second;
}

void count_bytes(benchmark::State& state, std::size_t text_size) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text_size));
}

void BM_CrcPlain(benchmark::State& state) {
  const auto& s = sample(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(crc16(view_of(s.text)));
  count_bytes(state, s.text.size());
}

void BM_CrcStream(benchmark::State& state) {
  const auto& s = sample(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(crc16(s.stream));
  count_bytes(state, s.text.size());
}

void BM_Inflate(benchmark::State& state) {
  const auto& s = sample(static_cast<std::size_t>(state.range(0)));
  std::string out(s.text.size(), '\0');
  for (auto _ : state) {
    uLongf size = out.size();
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size, s.stream.data(), s.stream.size()) != Z_OK ||
        size != s.text.size()) {
      state.SkipWithError("the stream did not inflate");
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  count_bytes(state, s.text.size());
}

void BM_DecodePlain(benchmark::State& state) {
  const auto& s = sample(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    const auto parsed = sat::parse_frame_header(s.plain_frame);
    // A decode that fails fast must not pass for a fast one.
    if (!parsed) {
      state.SkipWithError("the header did not parse");
      break;
    }
    auto body = sat::decode_received_body(parsed->header, parsed->rest);  // what the library decodes
    if (!body || body->fields.contents.size() != s.body.fields.contents.size()) {
      state.SkipWithError("the frame did not decode to its body");
      break;
    }
    benchmark::DoNotOptimize(body);
  }
  count_bytes(state, s.text.size());
}

void BM_DecodeCompressed(benchmark::State& state) {
  const auto& s = sample(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    const auto parsed = sat::parse_frame_header(s.compressed_frame);
    // A decode that fails fast must not pass for a fast one.
    if (!parsed) {
      state.SkipWithError("the header did not parse");
      break;
    }
    auto body = sat::decode_received_body(parsed->header, parsed->rest);  // what the library decodes
    if (!body || body->fields.contents.size() != s.body.fields.contents.size()) {
      state.SkipWithError("the frame did not decode to its body");
      break;
    }
    benchmark::DoNotOptimize(body);
  }
  count_bytes(state, s.text.size());
}

void BM_EncodePlain(benchmark::State& state) {
  const auto& s = sample(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(sat::encode_frame(s.body, false));
  count_bytes(state, s.text.size());
}

void BM_EncodeCompressed(benchmark::State& state) {
  const auto& s = sample(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(sat::encode_frame(s.body, true));
  count_bytes(state, s.text.size());
}

void sizes(benchmark::internal::Benchmark* benchmark) {
  for (const auto size : kBodySizes) benchmark->Arg(static_cast<std::int64_t>(size));
}

BENCHMARK(BM_CrcPlain)->Apply(sizes);
BENCHMARK(BM_DecodePlain)->Apply(sizes);
BENCHMARK(BM_CrcStream)->Apply(sizes);
BENCHMARK(BM_Inflate)->Apply(sizes);
BENCHMARK(BM_DecodeCompressed)->Apply(sizes);
BENCHMARK(BM_EncodePlain)->Apply(sizes);
BENCHMARK(BM_EncodeCompressed)->Apply(sizes);

// Keeps each run's time per iteration, to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs) {
      if (run.run_type == Run::RT_Iteration) times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void print_ratios() const {
    fmt::print("\n{:>10} {:>12} {:>14} {:>16} {:>26}\n", "body", "text bytes", "decode/CRC", "compression",
               "decode/(inflate+CRC)");
    for (const auto size : kBodySizes) {
      const auto plain = time_of("BM_DecodePlain", size) / time_of("BM_CrcPlain", size);
      const auto compressed = time_of("BM_DecodeCompressed", size) /
                              (time_of("BM_Inflate", size) + time_of("BM_CrcStream", size));
      const auto& s = sample(size);
      fmt::print("{:>10} {:>12} {:>14.3f} {:>15.1f}% {:>26.3f}\n", size_name(size), s.text.size(), plain,
                 100.0 * static_cast<double>(s.stream.size()) / static_cast<double>(s.text.size()), compressed);
    }
    fmt::print("goals: decode/CRC <= 1.2, decode/(inflate+CRC) <= 1.1 (header parsing dominates tiny bodies)\n");
  }

 private:
  double time_of(const std::string& name, std::size_t size) const {
    const auto it = times_.find(fmt::format("{}/{}", name, size));
    return it == times_.end() ? 0.0 : it->second;
  }
  static std::string size_name(std::size_t size) {
    return size >= (1 << 20) ? fmt::format("{} MiB", size >> 20)
                             : size >= 1024 ? fmt::format("{} KiB", size >> 10) : fmt::format("{} B", size);
  }
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_ratios();
  benchmark::Shutdown();
  return 0;
}
