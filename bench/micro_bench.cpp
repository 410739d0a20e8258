// Micro-benchmarks of the number scanner, the record reader and the "%lf"
// writer, in nanoseconds per number.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "points/number_format.h"
#include "points/number_scan.h"
#include "points/point_file.h"

namespace {

const char* const samples[] = {"2600000.50", "1200000.50", "450.63", "-98449.688", "0.000123", "1.5e3"};

void BM_GeneralScanner(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state) {
    text_source s{samples[i++ % 6]};
    decimal_number d;
    double v;
    bool ok = scan_decimal(s, d) && decimal_to_double(d, v);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(v);
  }
}
BENCHMARK(BM_GeneralScanner);

// Reads a grid file image from memory: nanoseconds per number.
void BM_ReadRecords(benchmark::State& state) {
  std::string text;
  for (int r = 0; r < 250; ++r) {
    for (int c = 0; c < 400; ++c) {
      char line[64];
      std::snprintf(line, sizeof line, "%d.50 %d.50 %d.%02d\n", 2600000 + c, 1200000 + r, 400 + (r + c) % 90,
                    (r * 7 + c) % 100);
      text += line;
    }
  }
  FILE* f = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), f);
  int64_t numbers = 0;
  for (auto _ : state) {
    record_reader r(f);
    record_view v;
    double sum = 0;
    while (r.next_record(v) == read_status::record) sum += v.x() + v.y() + v.z();
    benchmark::DoNotOptimize(sum);
    numbers += 3 * r.records();
  }
  std::fclose(f);
  state.counters["ns/number"] =
      benchmark::Counter(double(numbers), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReadRecords)->Unit(benchmark::kMillisecond);

void BM_FormatLf(benchmark::State& state) {
  const double values[] = {2600000.5, 1200000.5, 450.63, -98449.688, 0.0078125, 1520.125};
  char out[lf_text_max];
  size_t i = 0;
  for (auto _ : state) {
    char* end = format_lf(out, values[i++ % 6]);
    benchmark::DoNotOptimize(end);
  }
}
BENCHMARK(BM_FormatLf);

void BM_SnprintfLf(benchmark::State& state) {
  const double values[] = {2600000.5, 1200000.5, 450.63, -98449.688, 0.0078125, 1520.125};
  char out[400];
  size_t i = 0;
  for (auto _ : state) {
    int n = std::snprintf(out, sizeof out, "%lf", values[i++ % 6]);
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(BM_SnprintfLf);

}  // namespace

BENCHMARK_MAIN();
