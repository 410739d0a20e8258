// A record's output text: "%lf %lf %lf", its extra columns each after a
// single blank, and CR LF (record_view::write_to). A record read by tier 1
// or 2 with numbers of up to copy_whole_max integer digits and
// copy_decimals_max decimals (reader_limits.h) is written by copying its
// digits, which gives exactly the "%lf" text of the value read; every other
// record is formatted by format_lf.
#include <algorithm>
#include <cstring>
#include <string>

#include "points/record_reader.h"

namespace tessera {

namespace {

inline bool blank(char c) { return is_space(static_cast<unsigned char>(c)); }

// Writes one number of a copyable shape from its text.
inline char* copy_number(char* out, const char* s, const number_shape& t) {
  if (t.negative) *out++ = '-';
  // No leading zeros, but at least one integer digit.
  int first = t.first_digit;
  while (first < t.point - 1 && s[first] == '0') ++first;
  if (first == t.point) {
    *out++ = '0';
  } else {
    std::memcpy(out, s + first, 16);  // copy_read: the window and the output have room
    out += t.point - first;
  }
  *out++ = '.';
  uint64_t decimals = load8(s + t.point + 1);
  uint64_t kept = t.decimals == 0 ? 0 : ~uint64_t(0) >> (64 - 8 * t.decimals);
  decimals = (decimals & kept) | (zero_bytes & ~kept);  // padded with '0'
  std::memcpy(out, &decimals, 8);
  return out + 6;
}

// Whitespace-separated columns [p, end): each after a single blank.
inline char* put_columns(char* out, const char* p, const char* end) {
  for (;;) {
    while (p != end && blank(*p)) ++p;
    if (p == end) return out;
    *out++ = ' ';
    while (p != end && !blank(*p)) *out++ = *p++;
  }
}

// A field [a, b) of the delimited layout, without the blanks around it,
// after a single blank; written "" if it is empty.
inline char* put_field(char* out, const char* a, const char* b) {
  *out++ = ' ';
  if (a == b) {
    *out++ = '"';
    *out++ = '"';
    return out;
  }
  std::memcpy(out, a, size_t(b - a));
  return out + (b - a);
}

// The fields [p, end) of the delimited layout, cut at `sep`: an empty last
// field is nothing, and any other empty field is written "" so that the
// columns after it keep their places.
inline char* put_fields(char* out, const char* p, const char* end, char sep) {
  for (;;) {
    const char* a = p;
    while (p != end && *p != sep) ++p;
    const char* b = p;
    while (a != b && blank(*a)) ++a;
    while (a != b && blank(b[-1])) --b;
    const bool last = p == end;
    if (last && a == b) return out;
    out = put_field(out, a, b);
    if (last) return out;
    ++p;
  }
}

// Writes the extra columns of a line (`text`, the rest of the line after
// its third number, or after the separator that follows it) at `out` as the
// output holds them: each column after a single blank. In the delimited
// layout the columns are the fields between separators, without the blanks
// around them (put_fields). `out` has room for extras_text_max(size) bytes.
inline char* put_extras(char* out, const char* text, size_t size, char sep) {
  return sep == 0 ? put_columns(out, text, text + size) : put_fields(out, text, text + size, sep);
}

// The most put_extras writes for `size` bytes: an empty field, one
// separator, becomes three bytes, and the first column's blank may be one
// more.
constexpr size_t extras_text_max(size_t size) { return 3 * size + 3; }

// Whitespace-separated columns that are already as the output has them
// (one blank before each, no other whitespace), when they are no longer
// than extras_readable: copied at once.
inline bool plain_columns(const char* text, size_t size) {
#if defined(__SSE2__)
  if (size > size_t(extras_readable) || text[0] != ' ' || text[size - 1] == ' ') return false;
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
  const __m128i from_tab = _mm_sub_epi8(v, _mm_set1_epi8('\t'));
  const __m128i four = _mm_set1_epi8(4);
  uint32_t other = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(from_tab, four), from_tab)));
  uint32_t blank = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(' '))));
  uint32_t within = (uint32_t(1) << size) - 1;
  return ((other | (blank & (blank >> 1))) & within) == 0;
#else
  (void)text;
  (void)size;
  return false;
#endif
}

// Columns longer than a record's room in the writer: through a text of
// their own, written in pieces. Returns where the line's end goes, or
// nullptr if a write failed.
char* put_long_extras(point_writer& w, const record_parts& r) {
  std::string text(extras_text_max(r.extras_size), '\0');
  text.resize(size_t(put_extras(text.data(), r.extras, r.extras_size, r.separator) - text.data()));
  char* out;
  for (size_t done = 0; done < text.size();) {
    if ((out = record_space(w)) == nullptr) return nullptr;
    size_t n = std::min(text.size() - done, size_t(record_text_max));
    std::copy_n(text.data() + done, n, out);
    record_done(w, out + n);
    done += n;
  }
  return record_space(w);
}

}  // namespace

bool record_view::write_to(point_writer& w) const {
  const record_parts& r = parts_;
  char* out = record_space(w);
  if (out == nullptr) return false;
  char* const room_end = out + record_text_max;
  if (r.text != nullptr && r.copyable) {
    out = copy_number(out, r.text, r.shapes[0]);
    *out++ = ' ';
    out = copy_number(out, r.text, r.shapes[1]);
    *out++ = ' ';
    out = copy_number(out, r.text, r.shapes[2]);
  } else {
    out = format_lf(out, x());
    *out++ = ' ';
    out = format_lf(out, y());
    *out++ = ' ';
    out = format_lf(out, z());
  }
  if (r.extras_size != 0 && r.separator == 0 && room_end - out >= extras_readable + 2 &&
      plain_columns(r.extras, r.extras_size)) {
    // The record's room holds these few bytes more.
    std::memcpy(out, r.extras, size_t(extras_readable));
    out += r.extras_size;
  } else if (r.extras_size != 0) {
    record_done(w, out);
    if (extras_text_max(r.extras_size) + 2 <= size_t(record_text_max)) {
      if ((out = record_space(w)) == nullptr) return false;
      out = put_extras(out, r.extras, r.extras_size, r.separator);
    } else if ((out = put_long_extras(w, r)) == nullptr) {
      return false;
    }
  }
  out[0] = '\r';
  out[1] = '\n';
  record_done(w, out + 2);
  return true;
}

}  // namespace tessera
