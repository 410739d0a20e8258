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
#include "points/quoted_text.h"

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
  // Whether the byte after the block just read is a line feed; leaves it
  // unread.
  static bool line_feed_follows(record_reader& r) {
    if (r.eof_) return false;
    return input_peek(r.in_) == '\n';
  }

  // Cleans freshly read bytes in place: the data end at a 0x1A byte; a
  // carriage return before a line feed is removed, and any other carriage
  // return becomes a line feed (it ends a line as one does). Returns the
  // number of bytes kept. Needs eof_ set if nothing follows the block.
  // `control_z`, if given, is set to the 0x1A that ended the data, if any.
  static size_t clean_block(record_reader& r, size_t n, const char** control_z = nullptr) {
    if (char* stop = static_cast<char*>(std::memchr(r.buf_, 0x1A, n))) {
      n = size_t(stop - r.buf_);
      r.eof_ = true;
      if (control_z != nullptr) *control_z = stop;
    }
    char* cr = static_cast<char*>(std::memchr(r.buf_, '\r', n));
    if (cr == nullptr) return n;
    char* out = cr;
    const char* last = r.buf_ + n;
    for (const char* in = cr; in != last; ++in) {
      if (*in != '\r') {
        *out++ = *in;
      } else if (!(in + 1 != last ? in[1] == '\n' : line_feed_follows(r))) {
        *out++ = '\n';
      }
    }
    return size_t(out - r.buf_);
  }

  // Skips a UTF-8 byte-order mark at the very start of the file.
  static void skip_byte_order_mark(record_reader& r) {
    char head[3];
    if (input_read(r.in_, head, 3) == 3 && std::memcmp(head, "\xEF\xBB\xBF", 3) == 0) {
      r.consumed_ = 3;
      return;
    }
    input_rewind(r.in_);
  }

  // Whether anything but blanks (or more 0x1A bytes, the padding some
  // programs write) follows a 0x1A that ended the data: the rest of its
  // block, [from, to), then the rest of the input.
  static bool text_follows(record_reader& r, const char* from, const char* to) {
    auto blank = [](const char* p, const char* e) {
      for (; p != e; ++p) {
        if (!is_space(static_cast<unsigned char>(*p)) && *p != 0x1A) return false;
      }
      return true;
    };
    if (!blank(from, to)) return true;
    char rest[4096];
    for (size_t n; (n = input_read(r.in_, rest, sizeof rest)) > 0;) {
      if (!blank(rest, rest + n)) return true;
    }
    return false;
  }

  // Moves past the consumed block and reads the next one. False at the end
  // of the data (or on a read error, which read_errno_ then holds).
  static bool refill(record_reader& r) {
    while (!r.eof_) {
      int64_t bytes = r.end_ - r.buf_;
      size_t n = input_read(r.in_, r.buf_, size_t(r.block_size_));
      if (n < size_t(r.block_size_)) {
        if (input_error(r.in_)) r.read_errno_ = errno != 0 ? errno : EIO;
        r.eof_ = true;
      }
      if (n == 0) return false;
      r.consumed_ += bytes;
      const char* raw_end = r.buf_ + n;
      const char* control_z = nullptr;
      n = clean_block(r, n, &control_z);
      if (control_z != nullptr && text_follows(r, control_z + 1, raw_end)) r.control_z_ = r.consumed_ + int64_t(n);
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

  // The line of a cleaned offset in the data, and the text that starts
  // there, found by reading the file again from its start: only a stop and
  // a shifted line need them, so the passes never count lines, and a text
  // that crosses the end of a block is quoted whole. Uses the reader's
  // block, so it is called only when the pass is over.
  static int64_t locate(record_reader& r, int64_t offset, quoted_text* text) {
    input_rewind(r.in_);
    r.eof_ = false;
    int64_t line = 1;
    while (!r.eof_) {
      size_t n = input_read(r.in_, r.buf_, size_t(r.block_size_));
      if (n < size_t(r.block_size_)) r.eof_ = true;
      n = clean_block(r, n);
      int64_t take = offset < int64_t(n) ? offset : int64_t(n);
      line += std::count(r.buf_, r.buf_ + take, '\n');
      offset -= take;
      if (offset > 0) continue;
      if (text == nullptr) break;
      const char* p = r.buf_ + take;
      while (p < r.buf_ + n && text->add_token_byte(static_cast<unsigned char>(*p))) ++p;
      if (p < r.buf_ + n) break;
    }
    if (text != nullptr) text->add_token_byte(-1);
    return line;
  }

  // Ends the pass where it stands: places the shifted line, if any, on its
  // line; then nothing more is read.
  static void end_pass(record_reader& r) {
    if (r.ended_) return;
    r.ended_ = true;
    int64_t end = r.offset();
    if (r.shifted_end_ >= 0) r.shifted_.line = locate(r, r.shifted_end_, nullptr);
    // The notice of a 0x1A belongs to a pass that read up to it.
    if (r.control_z_ == end) r.control_z_line_ = locate(r, end, nullptr);
    // The block may now hold other bytes.
    r.consumed_ = end;
    r.pos_ = r.end_ = r.buf_;
    *r.end_ = 0;
    r.eof_ = true;
  }

  // Records where the reading stopped and ends the pass there. `at` is the
  // cleaned offset of the text where reading failed (or, for a record cut
  // short, of its last number).
  static void note_stop(record_reader& r, int64_t at, bool with_text) {
    r.stop_.record = r.records_ + 1;
    r.stop_.text[0] = 0;
    quoted_text text{r.stop_.text};
    r.stop_.line = locate(r, at, with_text ? &text : nullptr);
    end_pass(r);
  }

  // The characters a number can begin with.
  static bool begins_number(int c) { return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.'; }

  // Skips the first non-blank line if its first character cannot begin a
  // number: a header. A first line that begins like a number but is not
  // one is read, and stops the pass like any other line.
  static void skip_header(record_reader& r) {
    stream_source s{r};
    int64_t line = 1;
    int c;
    for (; is_space(c = s.peek()); s.bump()) line += c == '\n';
    if (c < 0 || begins_number(c)) return;
    r.header_line_ = line;
    quoted_text text{r.header_text_};
    while (text.add_token_byte(s.peek())) s.bump();
    while (s.peek() >= 0 && *r.pos_ != '\n') {
      const char* nl = static_cast<const char*>(std::memchr(r.pos_, '\n', size_t(r.end_ - r.pos_)));
      r.pos_ = nl != nullptr ? const_cast<char*>(nl) : r.end_;
    }
    if (s.peek() == '\n') s.bump();
  }

  // Counts `numbers` numbers on their lines; gap_end[i] is the cleaned
  // offset of the first line end before number i, or -1 if none.
  static void count_numbers(record_reader& r, const int64_t* gap_end, int numbers) {
    for (int i = 0; i < numbers; ++i) {
      if (gap_end[i] >= 0) {
        r.line_ended(r.line_numbers_, gap_end[i]);
        r.line_numbers_ = 0;
      }
      ++r.line_numbers_;
    }
  }

  static read_status take(record_reader& r, const double (&values)[3]) {
    record_view& v = r.view_;
    ++r.records_;
    v.text_ = nullptr;
    v.values_[0] = values[0];
    v.values_[1] = values[1];
    v.values_[2] = values[2];
    return read_status::record;
  }

  // Tier 4: the general scanner, refilling the block as it goes.
  static read_status general(record_reader& r) {
    stream_source s{r};
    double values[3];
    int64_t gap_end[4];
    int64_t token = 0;
    for (int i = 0; i < 3; ++i) {
      gap_end[i] = -1;
      for (int c; is_space(c = s.peek()); s.bump()) {
        if (c == '\n' && gap_end[i] < 0) gap_end[i] = r.offset();
      }
      if (s.peek() < 0) {
        if (r.read_errno_ != 0) return read_status::read_error;
        // The data end: so do the last line and the pass.
        count_numbers(r, gap_end, i);
        r.line_ended(r.line_numbers_, gap_end[i] >= 0 ? gap_end[i] : r.offset());
        r.line_numbers_ = 0;
        if (i == 0) {
          end_pass(r);
          return read_status::end_of_data;
        }
        // The record's last number tells the line.
        note_stop(r, token, false);
        return read_status::cut_short;
      }
      token = r.offset();
      decimal_number d;
      if (!scan_decimal(s, d) || !decimal_to_double(d, values[i])) {
        if (r.read_errno_ != 0) return read_status::read_error;
        // The lines before the failing number are complete.
        count_numbers(r, gap_end, i);
        if (gap_end[i] >= 0) r.line_ended(r.line_numbers_, gap_end[i]);
        // Quoted from the character where the number that could not be
        // read begins (a number before it on its token was read).
        note_stop(r, token, true);
        return read_status::not_a_number;
      }
    }
    count_numbers(r, gap_end, 3);
    return take(r, values);
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
  static read_status by_numbers(record_reader& r) {
    const char* s = r.pos_;
    double values[3];
    const char* gap_end[3];
    for (int i = 0; i < 3; ++i) {
      gap_end[i] = nullptr;
      for (char c; is_space(static_cast<unsigned char>(c = *s)); ++s) {
        if (c == '\n' && gap_end[i] == nullptr) gap_end[i] = s;
      }
      decimal_number d;
      if (!eight_at_once(s, d) || s >= r.end_ || !decimal_to_double(d, values[i])) return general(r);
    }
    int64_t ends[3];
    for (int i = 0; i < 3; ++i) ends[i] = gap_end[i] != nullptr ? r.consumed_ + (gap_end[i] - r.buf_) : -1;
    count_numbers(r, ends, 3);
    r.pos_ = const_cast<char*>(s);
    return take(r, values);
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
  static read_status learn(record_reader& r) {
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
    number_shape* shape = r.view_.shapes_;
    if (e2 == 64 || (m.nul & ((uint64_t(2) << e2) - 1)) != 0 || !shape_of(s, a0, e0, m.digit, m.point, shape[0]) ||
        !shape_of(s, a1, e1, m.digit, m.point, shape[1]) || !shape_of(s, a2, e2, m.digit, m.point, shape[2])) {
      return by_numbers(r);
    }
    l.known = true;
    l.range = (uint64_t(2) << e2) - 1;
    for (int i = 0; i < window; ++i) l.pattern[i] = i <= e2 && s[i] >= '0' && s[i] <= '9' ? '0' : s[i];
    l.end = e2;
    r.view_.copyable_ = copyable(shape[0]) && copyable(shape[1]) && copyable(shape[2]);
    // The line ends in the gaps before the three numbers.
    const int gap[3][2] = {{0, a0}, {e0, a1}, {e1, a2}};
    l.first_gap = 3;
    for (int i = 0; i < 3; ++i) {
      const void* nl = std::memchr(s + gap[i][0], '\n', size_t(gap[i][1] - gap[i][0]));
      if (nl == nullptr) continue;
      if (l.first_gap == 3) {
        l.first_gap = i;
        l.first_end = int(static_cast<const char*>(nl) - s);
      }
      l.tail = 3 - i;
    }
    l.whole_line = l.first_gap == 0 && l.tail == 3;
    r.count_line_numbers(l, s);
    return r.take_text(s);
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
    : buf_(block), block_size_(block_size), general_only_(general_only), pos_(block), end_(block) {
  *end_ = 0;
  input_open(in_, file);
  reader_tiers::skip_byte_order_mark(*this);
  reader_tiers::skip_header(*this);
}

void record_reader::line_ended(int64_t count, int64_t end) {
  if (count > 3 && count % 3 != 0 && shifted_end_ < 0) {
    shifted_end_ = end;
    shifted_.numbers = count;
  }
}

// Tier 1: a record laid out like the one before it matches that layout's
// pattern, which checks every character of it; anything else goes to
// tier 2. A 0 byte, the one at the end of the data included, never stands
// in a pattern, so a record that matches lies wholly in the data.
read_status record_reader::next_other() {
  // Tier 1 is in next_record, in record_reader.h.
  if (general_only_) return reader_tiers::general(*this);
  return reader_tiers::learn(*this);
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
