// The record reader and its tiers.
//
// A record is read by the first of four tiers that takes it; a tier that
// meets anything outside its limits declines and hands the record, from its
// first byte, to the next tier. Every tier finds the same decimal form of
// each number (sign, digits, exponent) and decimal_to_double converts it, so
// a tier can decline but never read a number differently.
//
//   tier                 what it takes                          limits (named below)
//   1 same layout        a record whose window matches the      tier 2's, as it learnt the layout
//                        layout of the record before it
//                        (record_reader::next_record, inline)
//   2 layout from masks  a record wholly inside a 64-byte       15 digits, 8 of them decimals
//                        window, cut into its numbers from      (shape_digits_max,
//                        the masks of its delimiters            shape_decimals_max)
//   3 number by number   each number read 8 digits at a time    15 integer digits, 7 decimals,
//                                                               19 digits in all (numbers_whole_max,
//                                                               numbers_decimals_max,
//                                                               numbers_digits_max)
//   4 general scanner    anything: scan_decimal, refilling      the grammar's 19 kept digits
//                        the block as it goes
//
//   and, when writing a record read by tier 1 or 2:
//   copy to output       the digits copied as "%lf" text        9 integer digits, 6 decimals
//                                                               (copy_whole_max, copy_decimals_max)
//
// Tiers 1 to 3 take no exponent and only numbers that lie wholly in the
// block; the general scanner takes everything else. How far each reads past
// its position is stated below, checked against reader_look_ahead.
#include "points/record_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "points/delimiters.h"

// Tier 2: at most 15 digits, so that the digits are below 2^53 and the
// converter always takes its one-division path.
constexpr int shape_digits_max = 15;
// Tier 2: the decimals are read by one 8-byte load.
constexpr int shape_decimals_max = 8;
static_assert(powers_of_ten[shape_digits_max] <= exact_digits_max && shape_decimals_max <= exact_power_max,
              "a known shape always suits the converter's exact step (record_view::value)");
// Tier 3: the integer digits are read by two 8-byte loads; eight digits in
// the second may go on, and are left to the general scanner.
constexpr int numbers_whole_max = 15;
// Tier 3: the digits kept by the grammar, which fit a 64-bit integer: with
// no more than these, the digits are exactly those the general scanner keeps.
constexpr int numbers_digits_max = kept_digits;
// Tier 3: the decimals and the character after them are read by one 8-byte
// load; eight digits in it may go on, and are left to the general scanner.
constexpr int numbers_decimals_max = 7;
// Copy: a number of at most 9 integer digits and at most 6 decimals prints
// under "%lf" as its own digits, padded to six decimals: the double read from
// it lies within half a unit in the last place, below 2.4e-7 under 2^32, of
// the decimal, so rounding it to 10^-6 gives the decimal back.
constexpr int copy_whole_max = 9;
constexpr int copy_decimals_max = 6;

// The width of the windows of tiers 1 and 2: the bits of one 64-bit mask.
constexpr int window = 64;

// How far each path reads, counted in bytes from a position at or before
// the end of the data.
//   tiers 1 and 2: the window from the record's first byte;
constexpr int window_read = window;
//   tier 3: from a number's first byte, a sign, two 8-byte loads of integer
//   digits (at most numbers_whole_max, 15: 8 then 7), the point at byte 16,
//   then one 8-byte load of decimals and the byte after them: bytes 0 to
//   24, 25 bytes;
constexpr int numbers_read = 1 + 8 + 8 + 8;
//   copy: 16 bytes from the first integer digit, which lies before the
//   point, before the window's last byte (63): bytes 0 to 77 of the record.
constexpr int copy_read = (window - 2) + 16;
static_assert(numbers_whole_max == 8 + 7 && numbers_decimals_max == 7, "tier 3 reads as numbers_read says");
static_assert(window_read <= reader_look_ahead && numbers_read <= reader_look_ahead &&
                  copy_read <= reader_look_ahead,
              "every path reads within the look-ahead");

namespace {

// The reader's own block; the passes run one at a time.
char input_block[input_block_size + input_block_padding];

}  // namespace

struct reader_tiers {
  // Cleans freshly read bytes in place: the data ends at a 0x1A byte, and
  // carriage returns are removed. Returns the number of bytes kept.
  static size_t clean_block(record_reader& r, size_t n) {
    if (char* stop = static_cast<char*>(std::memchr(r.buf_, 0x1A, n))) {
      n = size_t(stop - r.buf_);
      r.eof_ = true;
    }
    char* cr = static_cast<char*>(std::memchr(r.buf_, '\r', n));
    if (cr == nullptr) return n;
    char* out = cr;
    for (const char* in = cr; in != r.buf_ + n; ++in) {
      if (*in != '\r') *out++ = *in;
    }
    return size_t(out - r.buf_);
  }

  // Moves past the consumed block and reads the next one. False at the end
  // of the data (or on a read error, which read_errno_ then holds). The
  // consumed block stays in place when nothing more comes, so that a stop at
  // the very end can still be placed on its line.
  static bool refill(record_reader& r) {
    while (!r.eof_) {
      int64_t bytes = r.end_ - r.buf_;
      size_t n = std::fread(r.buf_, 1, size_t(r.block_size_), r.file_);
      if (n < size_t(r.block_size_)) {
        if (std::ferror(r.file_)) r.read_errno_ = errno != 0 ? errno : EIO;
        r.eof_ = true;
      }
      if (n == 0) return false;
      r.consumed_ += bytes;
      n = clean_block(r, n);
      r.pos_ = r.buf_;
      r.end_ = r.buf_ + n;
      *r.end_ = 0;
      if (n > 0) return true;
    }
    return false;
  }

  // The character source of the general scanner: refills the block as it
  // goes, so a record may cross the end of a block.
  struct stream_source {
    record_reader& r;
    int peek() {
      if (r.pos_ == r.end_ && !refill(r)) return -1;
      return static_cast<unsigned char>(*r.pos_);
    }
    void bump() { ++r.pos_; }
  };

  // Collects the text of a token for a message: at most 32 characters,
  // then "..." if it goes on, non-printable bytes as '?'.
  struct quoted_text {
    static constexpr int shown = 32;
    char (&out)[48];
    int len = 0;
    bool done = false;
    // Takes the next character of the token (or -1 at its end); false once
    // the token has ended.
    bool add(int c) {
      if (done) return false;
      if (c < 0 || is_space(c)) {
        done = true;
      } else if (len == shown) {
        std::memcpy(out + len, "...", 3);
        len += 3;
        done = true;
      } else {
        out[len++] = c >= 0x20 && c < 0x7F ? char(c) : '?';
      }
      out[len] = 0;
      return !done;
    }
  };

  // The line of a cleaned offset in the data, and the text of the
  // whitespace-delimited token around it, found by reading the file again
  // from its start: only a stop needs them, so the passes never count
  // lines, and a token that crosses the end of a block is quoted whole.
  // Uses the reader's block, so it is called only when the pass is over.
  static int64_t locate(record_reader& r, int64_t offset, quoted_text* text) {
    std::fseek(r.file_, 0, SEEK_SET);
    r.eof_ = false;
    int64_t line = 1;
    // The first characters of the token before the offset, so far.
    char before[quoted_text::shown + 1];
    int before_len = 0;
    while (!r.eof_) {
      size_t n = std::fread(r.buf_, 1, size_t(r.block_size_), r.file_);
      if (n < size_t(r.block_size_)) r.eof_ = true;
      n = clean_block(r, n);
      int64_t take = offset < int64_t(n) ? offset : int64_t(n);
      line += std::count(r.buf_, r.buf_ + take, '\n');
      offset -= take;
      const char* start = r.buf_ + take;
      while (start > r.buf_ && !is_space(static_cast<unsigned char>(start[-1]))) --start;
      if (start > r.buf_) before_len = 0;
      for (const char* p = start; p < r.buf_ + take && before_len < int(sizeof before); ++p) before[before_len++] = *p;
      if (offset > 0) continue;
      if (text == nullptr) break;
      for (int i = 0; i < before_len; ++i) text->add(static_cast<unsigned char>(before[i]));
      before_len = 0;
      const char* p = r.buf_ + take;
      while (p < r.buf_ + n && text->add(static_cast<unsigned char>(*p))) ++p;
      if (p < r.buf_ + n) break;
    }
    if (text != nullptr) text->add(-1);
    return line;
  }

  // Records where the reading stopped and ends the pass there. `token` is
  // the cleaned offset of the offending text.
  static void note_stop(record_reader& r, int64_t token, bool with_text) {
    r.stop_.record = r.records_ + 1;
    r.stop_.text[0] = 0;
    quoted_text text{r.stop_.text};
    int64_t end = r.offset();
    r.stop_.line = locate(r, token, with_text ? &text : nullptr);
    // The pass ends where it stopped; the block now holds other bytes.
    r.consumed_ = end;
    r.pos_ = r.end_ = r.buf_;
    *r.end_ = 0;
    r.eof_ = true;
  }

  // Whether the data begin with a number, judged from the file itself, so
  // that the answer does not depend on where a block ends. Leaves the file
  // at its start.
  static bool begins_with_number(record_reader& r) {
    // The file's bytes as the reader cleans them: no carriage returns, and
    // the data end at a 0x1A byte.
    struct file_source {
      FILE* f;
      int c = next();
      int next() {
        int b;
        do b = std::getc(f);
        while (b == '\r');
        return b == 0x1A ? EOF : b;
      }
      int peek() const { return c; }
      void bump() {
        if (c != EOF) c = next();
      }
    } s{r.file_};
    skip_space(s);
    decimal_number d;
    double v;
    bool number = s.peek() == EOF || (scan_decimal(s, d) && decimal_to_double(d, v));
    std::rewind(r.file_);
    return number;
  }

  // Skips the first non-blank line if it does not begin with a number.
  static void skip_header(record_reader& r) {
    if (begins_with_number(r)) return;
    stream_source s{r};
    int64_t line = 1;
    for (int c; is_space(c = s.peek()); s.bump()) line += c == '\n';
    r.header_line_ = line;
    quoted_text text{r.header_text_};
    while (text.add(s.peek())) s.bump();
    while (s.peek() >= 0 && *r.pos_ != '\n') {
      const char* nl = static_cast<const char*>(std::memchr(r.pos_, '\n', size_t(r.end_ - r.pos_)));
      r.pos_ = nl != nullptr ? const_cast<char*>(nl) : r.end_;
    }
    if (s.peek() == '\n') s.bump();
  }

  static read_status take(record_reader& r, record_view& v, const double (&values)[3]) {
    ++r.records_;
    v.text_ = nullptr;
    v.values_[0] = values[0];
    v.values_[1] = values[1];
    v.values_[2] = values[2];
    return read_status::record;
  }

  // Tier 4: the general scanner, refilling the block as it goes.
  static read_status general(record_reader& r, record_view& v) {
    stream_source s{r};
    double values[3];
    int64_t token = 0;
    for (int i = 0; i < 3; ++i) {
      skip_space(s);
      if (s.peek() < 0) {
        if (r.read_errno_ != 0) return read_status::read_error;
        if (i == 0) return read_status::end_of_data;
        // The record's last number tells the line.
        note_stop(r, token, false);
        return read_status::cut_short;
      }
      token = r.offset();
      decimal_number d;
      if (!scan_decimal(s, d) || !decimal_to_double(d, values[i])) {
        if (r.read_errno_ != 0) return read_status::read_error;
        note_stop(r, token, true);
        return read_status::not_a_number;
      }
    }
    return take(r, v, values);
  }

  // Tier 3's number: an optional sign, at most numbers_whole_max integer
  // digits and numbers_decimals_max decimals, numbers_digits_max in all, no
  // exponent.
  // Reads at most numbers_read bytes from p, and advances p past it.
  static bool eight_at_once(const char*& p, decimal_number& d) {
    const char* s = p;
    d.negative = *s == '-';
    s += d.negative || *s == '+';
    uint64_t w = load8(s);
    int whole = leading_digits(w);
    uint64_t m = 0;
    if (whole != 0) m = digits_value(w, whole);
    s += whole;
    if (whole == 8) {
      w = load8(s);
      int more = leading_digits(w);
      if (whole + more > numbers_whole_max) return false;
      if (more != 0) m = m * powers_of_ten[more] + digits_value(w, more);
      s += more;
      whole += more;
    }
    int decimals = 0;
    if (*s == '.') {
      ++s;
      w = load8(s);
      decimals = leading_digits(w);
      if (decimals > numbers_decimals_max || whole + decimals > numbers_digits_max) return false;
      if (decimals != 0) m = m * powers_of_ten[decimals] + digits_value(w, decimals);
      s += decimals;
    }
    char next = *s;
    if (whole + decimals == 0 || next == 'e' || next == 'E' || next == '.') return false;
    d.digits = m;
    d.exponent = -decimals;
    p = s;
    return true;
  }

  // Tier 3: one number after another, each read 8 digits at a time.
  static read_status by_numbers(record_reader& r, record_view& v) {
    const char* s = r.pos_;
    double values[3];
    for (double& value : values) {
      while (is_space(static_cast<unsigned char>(*s))) ++s;
      decimal_number d;
      if (!eight_at_once(s, d) || s >= r.end_ || !decimal_to_double(d, value)) return general(r, v);
    }
    r.pos_ = const_cast<char*>(s);
    return take(r, v, values);
  }

  // Checks the number [a, e) of the window at s (e < window) with the
  // window's digit and point masks: an optional sign, then only digits and
  // at most one point, within tier 2's limits. Fills its shape.
  static bool shape_of(const char* s, int a, int e, uint64_t digit, uint64_t point, number_shape& t) {
    t.negative = s[a] == '-';
    t.b = a + (t.negative || s[a] == '+');
    uint64_t range = ((uint64_t(1) << e) - 1) & (~uint64_t(0) << t.b);
    uint64_t dot = point & range;
    if (((digit | dot) & range) != range || (dot & (dot - 1)) != 0) return false;
    t.d = dot != 0 ? __builtin_ctzll(dot) : e;
    t.whole = t.d - t.b;
    t.decimals = dot != 0 ? e - t.d - 1 : 0;
    return t.whole + t.decimals != 0 && t.whole + t.decimals <= shape_digits_max && t.decimals <= shape_decimals_max;
  }

  static bool copyable(const number_shape& t) { return t.whole <= copy_whole_max && t.decimals <= copy_decimals_max; }

  // Tier 2: cuts the record into its numbers from the delimiter masks of
  // its window and learns its layout for tier 1.
  static read_status learn(record_reader& r, record_view& v) {
    const char* s = r.pos_;
    char_masks m = char_masks_at<window / 16>(s);
    uint64_t delimiter = m.space | m.nul;
    record_reader::layout& l = r.layout_;
    uint64_t starts = ~delimiter;
    int a0 = starts != 0 ? __builtin_ctzll(starts) : 64;
    uint64_t ends = a0 < 64 ? delimiter & (~uint64_t(0) << a0) : 0;
    int e0 = ends != 0 ? __builtin_ctzll(ends) : 64;
    starts = e0 < 64 ? starts & (~uint64_t(0) << e0) : 0;
    int a1 = starts != 0 ? __builtin_ctzll(starts) : 64;
    ends = a1 < 64 ? delimiter & (~uint64_t(0) << a1) : 0;
    int e1 = ends != 0 ? __builtin_ctzll(ends) : 64;
    starts = e1 < 64 ? starts & (~uint64_t(0) << e1) : 0;
    int a2 = starts != 0 ? __builtin_ctzll(starts) : 64;
    ends = a2 < 64 ? delimiter & (~uint64_t(0) << a2) : 0;
    int e2 = ends != 0 ? __builtin_ctzll(ends) : 64;
    // The record must end inside the window, with no 0 byte up to and
    // including its delimiter (the 0 at the end of the data may hide more).
    l.known = false;
    if (e2 == 64 || (m.nul & ((uint64_t(2) << e2) - 1)) != 0 || !shape_of(s, a0, e0, m.digit, m.point, l.shape[0]) ||
        !shape_of(s, a1, e1, m.digit, m.point, l.shape[1]) || !shape_of(s, a2, e2, m.digit, m.point, l.shape[2])) {
      return by_numbers(r, v);
    }
    l.known = true;
    l.range = (uint64_t(2) << e2) - 1;
    for (int i = 0; i < window; ++i) l.pattern[i] = i <= e2 && s[i] >= '0' && s[i] <= '9' ? '0' : s[i];
    l.end = e2;
    l.copyable = copyable(l.shape[0]) && copyable(l.shape[1]) && copyable(l.shape[2]);
    return r.take_text(v, s);
  }

  // Writes one number of a copyable shape from its text.
  static char* copy_number(char* out, const char* s, const number_shape& t) {
    if (t.negative) *out++ = '-';
    // No leading zeros, but at least one integer digit.
    int first = t.b;
    while (first < t.d - 1 && s[first] == '0') ++first;
    if (first == t.d) {
      *out++ = '0';
    } else {
      std::memcpy(out, s + first, 16);  // copy_read: the window and the output have room
      out += t.d - first;
    }
    *out++ = '.';
    uint64_t decimals = load8(s + t.d + 1);
    uint64_t kept = t.decimals == 0 ? 0 : ~uint64_t(0) >> (64 - 8 * t.decimals);
    decimals = (decimals & kept) | (0x3030303030303030u & ~kept);  // padded with '0'
    std::memcpy(out, &decimals, 8);
    return out + 6;
  }
};

record_reader::record_reader(FILE* file) : record_reader(file, input_block, input_block_size) {}

record_reader::record_reader(FILE* file, char* block, int block_size, bool general_only)
    : file_(file), buf_(block), block_size_(block_size), general_only_(general_only), pos_(block), end_(block) {
  *end_ = 0;
  std::rewind(file);
  reader_tiers::skip_header(*this);
}

// Tier 1: a record laid out like the one before it matches that layout's
// pattern, which checks every character of it; anything else goes to
// tier 2. A 0 byte, the one at the end of the data included, never stands
// in a pattern, so a record that matches lies wholly in the data.
read_status record_reader::next_other(record_view& v) {
  // Tier 1 is in next_record, in record_reader.h.
  if (general_only_) return reader_tiers::general(*this, v);
  return reader_tiers::learn(*this, v);
}

bool record_view::write_to(point_writer& w) const {
  char* out = record_space(w);
  if (out == nullptr) return false;
  if (text_ != nullptr && copyable_) {
    out = reader_tiers::copy_number(out, text_, shapes_[0]);
    *out++ = ' ';
    out = reader_tiers::copy_number(out, text_, shapes_[1]);
    *out++ = ' ';
    out = reader_tiers::copy_number(out, text_, shapes_[2]);
  } else {
    out = format_lf(out, x());
    *out++ = ' ';
    out = format_lf(out, y());
    *out++ = ' ';
    out = format_lf(out, z());
  }
  out[0] = '\r';
  out[1] = '\n';
  record_done(w, out + 2);
  return true;
}
