// A whole pass of the point reader over a file, kept for comparison: the
// records bit for bit, the text write_to gives them, how the pass ended and
// what it noted. For the unit tests and the fuzz targets alike.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "points/point_file.h"

namespace tessera {

struct whole_pass {
  std::vector<point_record> records;
  read_status end;
  data_stop stop;
  int64_t offset;
  int64_t header_line;
  std::string header_text;
  std::string written;  // every record as record_view::write_to writes it
  file_layout layout;
  line_tally skipped, nodata;
  int64_t control_z_line;
  int64_t max_decimals;
};

// Reads `f` to its end. With a block size, the reader reads through a heap
// block of exactly that size and the look-ahead, so that AddressSanitizer
// sees any read beyond; without, through its own block.
inline whole_pass read_whole(FILE* f, int block_size = 0, bool general_only = false) {
  whole_pass result;
  auto pass = [&](record_reader& r) {
    FILE* out = std::tmpfile();
    point_writer w;
    writer_start(w, out);
    while ((result.end = r.next_record()) == read_status::record) {
      const record_view& v = r.record();
      result.records.push_back(v.point());
      v.write_to(w);
    }
    writer_flush(w);
    std::rewind(out);
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, out)) > 0;) result.written.append(chunk, n);
    std::fclose(out);
    result.stop = r.stop();
    result.offset = r.offset();
    result.header_line = r.header_line();
    result.header_text = r.header_text();
    result.layout = r.layout();
    result.skipped = r.skipped();
    result.nodata = r.nodata();
    result.control_z_line = r.control_z_line();
    result.max_decimals = r.max_decimals();
  };
  if (block_size == 0) {
    record_reader r(f);
    pass(r);
  } else {
    std::unique_ptr<char[]> block(new char[size_t(block_size + reader_look_ahead)]);
    record_reader r(f, block.get(), block_size, general_only);
    pass(r);
  }
  return result;
}

inline bool same_layout(const file_layout& a, const file_layout& b) {
  return a.kind == b.kind && a.separator == b.separator && a.columns == b.columns && a.count_line == b.count_line &&
         a.count_value == b.count_value && a.row_names == b.row_names && a.by_names == b.by_names &&
         std::equal(a.xyz, a.xyz + 3, b.xyz) && a.unnamed_axis == b.unnamed_axis;
}

// What differs between two passes, or "" if nothing does.
inline std::string pass_difference(const whole_pass& a, const whole_pass& b) {
  if (a.records.size() != b.records.size()) return "record counts";
  for (size_t i = 0; i < a.records.size(); ++i) {
    if (std::memcmp(&a.records[i], &b.records[i], sizeof(point_record)) != 0) return "record " + std::to_string(i);
  }
  if (a.end != b.end) return "ends";
  if (a.offset != b.offset) return "end offsets";
  if (a.header_line != b.header_line || a.header_text != b.header_text) return "headers";
  if (a.written != b.written) return "written texts";
  if (!same_layout(a.layout, b.layout)) return "layouts";
  if (a.skipped.count != b.skipped.count || a.skipped.first_line != b.skipped.first_line) return "skipped lines";
  if (a.nodata.count != b.nodata.count || a.nodata.first_line != b.nodata.first_line) return "nodata lines";
  if (a.control_z_line != b.control_z_line) return "0x1A lines";
  if (a.max_decimals != b.max_decimals) return "decimals typed";
  if ((a.end == read_status::not_a_number || a.end == read_status::cut_short || a.end == read_status::short_line ||
       a.end == read_status::line_too_long) &&
      (a.stop.line != b.stop.line || a.stop.record != b.stop.record || std::strcmp(a.stop.text, b.stop.text) != 0 ||
       (a.end == read_status::short_line && a.stop.numbers != b.stop.numbers))) {
    return std::string("stops: ") + a.stop.text + " / " + b.stop.text;
  }
  return "";
}

}  // namespace tessera
