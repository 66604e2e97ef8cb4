// Tokenising a generated 2 MB script, and a label search over 100,000 tokens, each against a
// plain byte scan of the same buffer as the floor (memchr for line ends, memcmp for the label).
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "platform/log.h"
#include "script/script.h"

namespace {

// A script shaped like the story's: commands with arguments, text blocks in braces, quoted
// names, comments, blank lines and labels, with Shift_JIS text.
std::string GenerateScript(size_t bytes) {
  std::string s;
  s.reserve(bytes + 256);
  for (int n = 0; s.size() < bytes; ++n) {
    s += "*scene" + std::to_string(n) + ":\r\n";
    s += "@bg_load 0 \"ev_juno01\" 500\r\n";
    s += "@text,3,\"v_" + std::to_string(n) + "\",{\r\n";
    s += "\x81\x75\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8\x81\x76\t// a comment\r\n";
    s += "\x8d\xa1\x93\xfa\x82\xcd\x90\xb0\x82\xea\x82\xc4\x82\xa2\x82\xe9\x81\x42\r\n";
    s += "}\r\n\r\n";
    s += "$LOCAL[12] = $LOCAL[12] + 1\r\n";
  }
  return s;
}

platform::Log& QuietLog() {
  static platform::Log log;
  log.SetEcho(false);
  return log;
}

const std::string& Source() {
  static const std::string s = GenerateScript(2 << 20);
  return s;
}

void BM_Tokenise(benchmark::State& state) {
  QuietLog();
  const std::string& src = Source();
  CScript script;
  for (auto _ : state) {
    bool ok = script.LoadFromMemory("SCP\\bench.scp", reinterpret_cast<const uint8_t*>(src.data()),
                                    src.size());
    benchmark::DoNotOptimize(ok);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(src.size()));
  state.counters["tokens"] = script.TokenCount();
}
BENCHMARK(BM_Tokenise)->Unit(benchmark::kMillisecond);

// The floor: one pass over the same bytes finding every line end.
void BM_Floor_LineScan(benchmark::State& state) {
  const std::string& src = Source();
  for (auto _ : state) {
    size_t lines = 0;
    const char* p = src.data();
    const char* end = p + src.size();
    while (const void* q = std::memchr(p, '\n', static_cast<size_t>(end - p))) {
      ++lines;
      p = static_cast<const char*>(q) + 1;
    }
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(src.size()));
}
BENCHMARK(BM_Floor_LineScan)->Unit(benchmark::kMillisecond);

// A script of 100,000 tokens whose only label is the last line, searched from the start.
struct LabelCase {
  std::string source;
  CScript script;
  LabelCase() {
    // Nine tokens a line: four words and the end-of-line group.
    for (int line = 0; line < 100'000 / 9; ++line) source += "@wait 100 ; x\r\n";
    source += "end_label:\r\n";
    script.LoadFromMemory("SCP\\labels.scp", reinterpret_cast<const uint8_t*>(source.data()),
                          source.size());
  }
};
LabelCase& Labels() {
  static LabelCase c;
  return c;
}

void BM_FindLabel(benchmark::State& state) {
  QuietLog();
  LabelCase& c = Labels();
  for (auto _ : state) {
    c.script.SetPosition(0);
    benchmark::DoNotOptimize(c.script.FindLabel("*end_label", true));
  }
  state.counters["tokens"] = c.script.TokenCount();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(c.source.size()));
}
BENCHMARK(BM_FindLabel)->Unit(benchmark::kMicrosecond);

// The floor: finding the label's text in the source bytes line by line.
void BM_Floor_LabelScan(benchmark::State& state) {
  LabelCase& c = Labels();
  const std::string key = "end_label:";
  for (auto _ : state) {
    const char* p = c.source.data();
    const char* end = p + c.source.size();
    const char* found = nullptr;
    while (p < end) {
      const void* q = std::memchr(p, '\n', static_cast<size_t>(end - p));
      const char* line_end = q ? static_cast<const char*>(q) + 1 : end;
      if (static_cast<size_t>(line_end - p) >= key.size() &&
          std::memcmp(p, key.data(), key.size()) == 0) {
        found = p;
        break;
      }
      p = line_end;
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(c.source.size()));
}
BENCHMARK(BM_Floor_LabelScan)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
