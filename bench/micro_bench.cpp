// Micro-benchmarks of the number scanner, the record reader and the "%lf"
// writer, in nanoseconds per number.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "points/extraction.h"
#include "points/number_format.h"
#include "points/number_scan.h"
#include "points/point_file.h"
#include "points/survey.h"

using namespace tessera;

namespace {

// Shows the time per item (number or point) of a benchmark's runs.
void time_per(benchmark::State& state, const char* name, int64_t items) {
  state.counters[name] = benchmark::Counter(double(items), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

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

// A grid file of 100000 points, as the benchmark script makes them.
FILE* grid_file() {
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
  return f;
}

// The same grid in fixed-width columns whose Z fills its field, so that it
// touches Y: "  2600000.50  1200000.50-100400.13".
FILE* touching_file() {
  std::string text;
  for (int r = 0; r < 250; ++r) {
    for (int c = 0; c < 400; ++c) {
      char line[64];
      std::snprintf(line, sizeof line, "%12.2f%12.2f%10.2f\n", 2600000.5 + c, 1200000.5 + r,
                    -100400.0 - (r + c) % 90 - (r * 7 + c) % 100 / 100.0);
      text += line;
    }
  }
  FILE* f = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), f);
  return f;
}

// Reads a file image (from the page cache) and closes it: nanoseconds per number.
void read_every_record(benchmark::State& state, FILE* f) {
  int64_t numbers = 0;
  for (auto _ : state) {
    record_reader r(f);
    double sum = 0;
    while (r.next_record() == read_status::record) sum += r.record().x() + r.record().y() + r.record().z();
    benchmark::DoNotOptimize(sum);
    numbers += 3 * r.records();
  }
  std::fclose(f);
  time_per(state, "ns/number", numbers);
}

// The grid file.
void BM_ReadRecords(benchmark::State& state) { read_every_record(state, grid_file()); }
BENCHMARK(BM_ReadRecords)->Unit(benchmark::kMillisecond);

// The fixed-width grid whose values touch.
void BM_ReadTouching(benchmark::State& state) { read_every_record(state, touching_file()); }
BENCHMARK(BM_ReadTouching)->Unit(benchmark::kMillisecond);

// The survey of a grid file: nanoseconds per point.
void BM_Survey(benchmark::State& state) {
  FILE* f = grid_file();
  int64_t points = 0;
  for (auto _ : state) {
    record_reader r(f);
    survey_values s = survey_records(r, nullptr);
    benchmark::DoNotOptimize(s);
    points += s.record_count;
  }
  std::fclose(f);
  time_per(state, "ns/point", points);
}
BENCHMARK(BM_Survey)->Unit(benchmark::kMillisecond);

// The same survey recording no zone map: what recording the map costs is
// the difference between the two.
void BM_SurveyWithoutMap(benchmark::State& state) {
  FILE* f = grid_file();
  int64_t points = 0;
  for (auto _ : state) {
    record_reader r(f);
    survey_values s = survey_records(r, nullptr, zone_map(0));
    benchmark::DoNotOptimize(s);
    points += s.record_count;
  }
  std::fclose(f);
  time_per(state, "ns/point", points);
}
BENCHMARK(BM_SurveyWithoutMap)->Unit(benchmark::kMillisecond);

// The extraction of a small zone (a twentieth of the points) from a grid
// file: nanoseconds per point read.
void BM_ExtractSmallZone(benchmark::State& state) {
  FILE* f = grid_file();
  FILE* out = std::fopen("/dev/null", "wb");
  int64_t points = 0;
  for (auto _ : state) {
    record_reader r(f);
    point_writer w;
    writer_start(w, out);
    extraction_result e = extract_records(r, {2600100, 2600120, 1200000, 1200250}, w, nullptr);
    benchmark::DoNotOptimize(e);
    points += e.record_count;
  }
  std::fclose(f);
  std::fclose(out);
  time_per(state, "ns/point", points);
}
BENCHMARK(BM_ExtractSmallZone)->Unit(benchmark::kMillisecond);

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
