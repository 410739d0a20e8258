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
//                        the block as it goes (general_free;
//                        general_line a line at a time, with
//                        comments, headers and nan lines)
//
//   In the line and delimited layouts tiers 1 to 3 read the three numbers
//   of a line and find the rest of it in the block (line_rest, and inline
//   in record_reader::take_line); a line that goes on beyond the block, or
//   anything else they do not know, goes to the general scanner.
//
//   In the free and line layouts a number ends where the grammar ends it,
//   and the next may follow at once. Tiers 1 and 2 cut a record at its
//   whitespace and take only pieces that are each one whole number, so they
//   decline any touching numbers; tier 3 takes, in the line layout, a Y or Z
//   whose sign follows the number before it at once (the free layout's tier
//   3 reads number after number as it always did), and leaves any other
//   text right after a number (text after Z: extra columns) to the general
//   scanner.
//
//   and, when writing a record read by tier 1 or 2:
//   copy to output       the digits copied as "%lf" text        9 integer digits, 6 decimals
//                                                               (copy_whole_max, copy_decimals_max)
//
// Tiers 1 to 3 take no exponent and only numbers that lie wholly in the
// block; the general scanner takes everything else.
//
// The reader keeps the most decimals typed in an X, Y or Z (max_decimals):
// tier 2 notes those of the shapes it learns, which every record tier 1
// takes repeats; tiers 3 and 4 note each number's. How far each reads past
// its position is stated below, checked against reader_look_ahead.
#include "points/record_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

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
//   the end of a line (record_reader::take_line): 32 bytes from the third
//   number's delimiter, which lies in the data; extra columns: extras_readable
//   bytes from their first, in the data or at its end.
constexpr int line_end_read = 32;
static_assert(numbers_whole_max == 8 + 7 && numbers_decimals_max == 7, "tier 3 reads as numbers_read says");
static_assert(line_end_read <= reader_look_ahead && extras_readable <= reader_look_ahead,
              "the line's end and its columns are read within the look-ahead");
static_assert(window_read <= reader_look_ahead && numbers_read <= reader_look_ahead && copy_read <= reader_look_ahead,
              "every path reads within the look-ahead");

namespace {

// The reader's own block; the passes run one at a time.
char input_block[input_block_size + input_block_padding];

// Sets the position of `file` to byte `at`, past 2 GiB too.
bool seek_input(FILE* file, int64_t at) {
#ifdef _WIN32
  return _fseeki64(file, at, SEEK_SET) == 0;
#else
  return fseeko(file, off_t(at), SEEK_SET) == 0;
#endif
}

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
      r.next_at_ = 3;
      return;
    }
    input_rewind(r.in_);
    r.next_at_ = 0;
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
      r.block_at_ = r.next_at_;
      r.next_at_ += int64_t(n);
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
  // the first skipped lines need them, so the passes never count lines, and a text
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
      // In the delimited layout the separator ends the quoted text too.
      const char sep = r.file_layout_.separator;
      auto byte = [sep](char c) { return sep != 0 && c == sep ? -1 : int(static_cast<unsigned char>(c)); };
      while (p < r.buf_ + n && text->add_token_byte(byte(*p))) ++p;
      if (p < r.buf_ + n) break;
    }
    if (text != nullptr) text->add_token_byte(-1);
    return line;
  }

  // Ends the pass where it stands: places the first skipped lines on their
  // lines; then nothing more is read.
  static void end_pass(record_reader& r) {
    if (r.ended_) return;
    r.ended_ = true;
    int64_t end = r.offset();
    if (r.skipped_at_ >= 0) r.skipped_.first_line = locate(r, r.skipped_at_, nullptr);
    if (r.nodata_at_ >= 0) r.nodata_.first_line = locate(r, r.nodata_at_, nullptr);
    // The notice of a 0x1A belongs to a pass that read up to it.
    if (r.control_z_ == end) r.control_z_line_ = locate(r, end, nullptr);
    // The block may now hold other bytes.
    r.consumed_ = end;
    r.pos_ = r.end_ = r.buf_;
    r.block_at_ = -1;
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

  // Notes the decimals typed in a number of X, Y or Z.
  static void note_decimals(record_reader& r, int64_t decimals) {
    if (decimals > r.max_decimals_) r.max_decimals_ = decimals;
  }

  // The characters a number can begin with.
  static bool begins_number(int c) { return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.'; }

  // Whitespace within a line: all of it but the line feed.
  static bool is_blank(int c) { return c != '\n' && is_space(c); }

  // Moves past the rest of the line and its line feed.
  static void skip_line(record_reader& r) {
    stream_source s{r};
    while (s.peek() >= 0) {
      const char* nl = static_cast<const char*>(std::memchr(r.pos_, '\n', size_t(r.end_ - r.pos_)));
      if (nl != nullptr) {
        r.pos_ = const_cast<char*>(nl) + 1;
        return;
      }
      r.pos_ = r.end_;
    }
  }

  // Counts a skipped line that begins at cleaned offset `at`.
  static void tally(line_tally& t, int64_t& first_at, int64_t at) {
    if (t.count++ == 0) first_at = at;
  }

  // A comment line, from its first non-blank character: #, //, % or >.
  static bool is_comment(std::string_view t) {
    return !t.empty() && (t[0] == '#' || t[0] == '%' || t[0] == '>' || t.substr(0, 2) == "//");
  }

  // At the first non-blank character of a line: moves past the line and
  // says so if it is a comment or the header again. Otherwise the characters
  // it took in comparing the line with the header are in `taken`, to be
  // read again (replay_source).
  static bool skip_if_not_data(record_reader& r, std::string& taken) {
    stream_source s{r};
    taken.clear();
    int c = s.peek();
    if (c == '#' || c == '%' || c == '>') {
      skip_line(r);
      return true;
    }
    const std::string& h = r.header_;
    size_t k = 0;
    if (c == '/') {
      s.bump();
      taken += '/';
      if (s.peek() == '/') {
        skip_line(r);
        return true;
      }
      k = 1;  // a header may begin with one '/'
    }
    if (h.empty() || c != static_cast<unsigned char>(h[0])) return false;
    for (; k < h.size() && s.peek() == static_cast<unsigned char>(h[k]); ++k) {
      taken += h[k];
      s.bump();
    }
    if (k < h.size()) return false;
    for (; is_blank(c = s.peek()); s.bump()) taken += char(c);
    if (c >= 0 && c != '\n') return false;
    if (c == '\n') s.bump();
    return true;
  }

  // The characters a line comparison took, then the stream again.
  struct replay_source {
    const std::string& taken;
    size_t i;
    stream_source s;
    int peek() { return i < taken.size() ? static_cast<unsigned char>(taken[i]) : s.peek(); }
    void bump() {
      if (i < taken.size()) {
        ++i;
      } else {
        s.bump();
      }
    }
    int64_t offset() const { return s.r.offset() - int64_t(taken.size() - i); }
  };

  enum class field { number, nan, absent, bad };

  // Reads X, Y or Z of a line of the line layout: a number as the grammar
  // reads it, which ends where its syntax ends (the next number, or the
  // extra columns, may follow at once); or, as a field of its own (first on
  // the line or after a blank, `field_start`), nan in any case with or
  // without a sign, ending at a blank or the end of the line. After `bad`,
  // `at` is the offset of the text to quote: where the number (or the nan
  // field) that could not be read begins.
  static field read_number(replay_source& s, bool field_start, double& value, int64_t& at) {
    at = s.offset();
    int c = s.peek();
    if (c < 0 || c == '\n') return field::absent;
    bool negative = c == '-';
    if (c == '-' || c == '+') {
      s.bump();
      c = s.peek();
    }
    if (field_start && (c == 'n' || c == 'N')) {
      for (const char* w = "nan"; *w != 0; ++w, s.bump()) {
        if ((s.peek() | 0x20) != *w) return field::bad;
      }
      c = s.peek();
      return c < 0 || is_space(c) ? field::nan : field::bad;
    }
    decimal_number d;
    if (c == '-' || c == '+' || !scan_decimal(s, d) || !decimal_to_double(d, value)) return field::bad;
    note_decimals(s.s.r, typed_decimals(d));
    if (negative) value = -value;
    return field::number;
  }

  // Reads one of the first three fields of a line of the delimited layout:
  // within one pair of double quotes or none, an optional sign, then a
  // number or nan (any case); the field ends at a blank, the separator or
  // the end of the line. After `bad`, `at` is the offset of the text to
  // quote: where the field begins, or where the number in it is followed by
  // what cannot follow it.
  static field read_field(replay_source& s, char sep, double& value, int64_t& at) {
    at = s.offset();
    int c = s.peek();
    if (c < 0 || c == '\n') return field::absent;
    if (sep != 0 && c == sep) return field::bad;  // an empty field
    bool quoted = sep != 0 && c == '"';
    if (quoted) s.bump();
    c = s.peek();
    bool signed_ = c == '-' || c == '+';
    bool negative = c == '-';
    if (signed_) {
      s.bump();
      c = s.peek();
    }
    bool nan = c == 'n' || c == 'N';
    if (nan) {
      for (const char* w = "nan"; *w != 0; ++w, s.bump()) {
        if ((s.peek() | 0x20) != *w) return field::bad;
      }
    } else {
      decimal_number d;
      if (c == '-' || c == '+' || !scan_decimal(s, d) || !decimal_to_double(d, value)) return field::bad;
      note_decimals(s.s.r, typed_decimals(d));
      if (negative) value = -value;
    }
    if (quoted) {
      if (s.peek() != '"') {
        at = s.offset();
        return field::bad;
      }
      s.bump();
    }
    c = s.peek();
    if (!(c < 0 || is_space(c) || (sep != 0 && c == sep))) {
      at = s.offset();
      return field::bad;
    }
    return nan ? field::nan : field::number;
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

  // Ends the pass at the end of the data.
  static read_status data_end(record_reader& r) {
    if (r.read_errno_ != 0) return read_status::read_error;
    end_pass(r);
    return read_status::end_of_data;
  }

  // Stops the pass at text that is not a number, at cleaned offset `at`.
  static read_status text_stop(record_reader& r, int64_t at) {
    if (r.read_errno_ != 0) return read_status::read_error;
    note_stop(r, at, true);
    return read_status::not_a_number;
  }

  // Tier 4 of the free layout: the general scanner, refilling the block as
  // it goes. A comment line or the header again, where a number should
  // begin a line, is skipped.
  static read_status general_free(record_reader& r) {
    stream_source s{r};
    double values[3];
    int64_t token = 0;
    for (int i = 0; i < 3; ++i) {
      bool line_start = r.offset() == r.line_start_;
      int c;
      for (; is_space(c = s.peek()); s.bump()) line_start |= c == '\n';
      if (c < 0) {
        if (i == 0) return data_end(r);
        if (r.read_errno_ != 0) return read_status::read_error;
        // The record's last number tells the line.
        note_stop(r, token, false);
        return read_status::cut_short;
      }
      if (line_start && !begins_number(c)) {
        int64_t at = r.offset();
        if (!skip_if_not_data(r, r.taken_)) return text_stop(r, at);
        tally(r.skipped_, r.skipped_at_, at);
        r.line_start_ = r.offset();
        --i;
        continue;
      }
      token = r.offset();
      decimal_number d;
      // Quoted from the character where the number that could not be read
      // begins (a number before it on its token was read).
      if (!scan_decimal(s, d) || !decimal_to_double(d, values[i])) return text_stop(r, token);
      note_decimals(r, typed_decimals(d));
    }
    r.view_.extras_size_ = 0;
    return take(r, values);
  }

  // Tier 4 of the line and delimited layouts: a line at a time, refilling
  // the block as it goes. Blank lines, comment lines and the header again
  // are skipped, and so are lines with a nan among their X, Y and Z.
  static read_status general_line(record_reader& r) {
    stream_source s{r};
    const char sep = r.file_layout_.separator;
    for (;;) {
      int c;
      while (is_blank(c = s.peek())) s.bump();
      if (c < 0) return data_end(r);
      if (c == '\n') {
        s.bump();
        continue;
      }
      const int64_t line_at = r.offset();
      if (skip_if_not_data(r, r.taken_)) {
        tally(r.skipped_, r.skipped_at_, line_at);
        continue;
      }
      replay_source f{r.taken_, 0, s};
      double values[3];
      bool nan = false;
      int64_t at = 0;
      for (int i = 0; i < 3; ++i) {
        bool field_start = i == 0;  // the line's first non-blank character, or after a blank
        if (i > 0) {
          for (; is_blank(f.peek()); f.bump()) field_start = true;
          if (sep != 0 && f.peek() == sep) {
            f.bump();
            while (is_blank(f.peek())) f.bump();
          } else if (sep != 0 && f.peek() >= 0 && f.peek() != '\n') {
            return text_stop(r, f.offset());
          }
        }
        field k = sep == 0 ? read_number(f, field_start, values[i], at) : read_field(f, sep, values[i], at);
        if (k == field::bad) return text_stop(r, at);
        if (k == field::absent) {
          if (r.read_errno_ != 0) return read_status::read_error;
          r.stop_.numbers = i;
          note_stop(r, line_at, false);
          return read_status::short_line;
        }
        nan |= k == field::nan;
      }
      // The rest of the line: from the end of the third number (in the
      // delimited layout, after the separator that follows the third field).
      if (sep != 0) {
        while (is_blank(f.peek())) f.bump();
        c = f.peek();
        if (c == sep) {
          f.bump();
        } else if (c >= 0 && c != '\n') {
          return text_stop(r, f.offset());
        }
      }
      r.extras_.clear();
      for (; (c = f.peek()) >= 0 && c != '\n'; f.bump()) r.extras_ += char(c);
      if (c == '\n') f.bump();
      const size_t extras_size = r.extras_.size();
      // Readable bytes after the columns, as after any text in the block.
      r.extras_.append(extras_readable, '\0');
      if (r.read_errno_ != 0) return read_status::read_error;
      if (nan) {
        tally(r.nodata_, r.nodata_at_, line_at);
        continue;
      }
      r.view_.extras_ = r.extras_.data();
      r.view_.extras_size_ = extras_size;
      return take(r, values);
    }
  }

  static read_status general(record_reader& r) {
    return r.file_layout_.kind == point_layout::free ? general_free(r) : general_line(r);
  }

  // Line and delimited layouts, for the tiers that read a line in the
  // block: the rest of a line whose third number ends at p. Finds its extra
  // columns and where the next line begins; false if the line goes on
  // beyond the block, or if what follows the third number cannot follow it
  // (left to the general scanner to say).
  static bool line_rest(record_reader& r, const char* p, const char*& next) {
    record_view& v = r.view_;
    v.extras_size_ = 0;
    const char sep = r.file_layout_.separator;
    if (sep != 0) {
      while (p != r.end_ && is_blank(static_cast<unsigned char>(*p))) ++p;
      if (p != r.end_ && *p != '\n') {
        if (*p != sep) return false;
        ++p;
        if (p == r.end_ && !r.eof_) return false;
      } else if (p == r.end_ && !r.eof_) {
        return false;
      }
    } else if (p != r.end_ && !is_space(static_cast<unsigned char>(*p))) {
      return false;
    }
    if (p == r.end_) {
      if (!r.eof_) return false;
      next = p;
      return true;
    }
    if (sep == 0 && *p == '\n') {
      next = p + 1;
      return true;
    }
    const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(r.end_ - p)));
    if (nl == nullptr) {
      if (!r.eof_) return false;
      nl = next = r.end_;
    } else {
      next = nl + 1;
    }
    v.extras_ = p;
    v.extras_size_ = size_t(nl - p);
    return true;
  }

  // Deciding the layout. The first data line is read whole up to this
  // many bytes, which is more than any real point line holds: a longer
  // line is decided by its beginning.
  static constexpr size_t decide_line_max = 1 << 16;

  // Reads the rest of the line from its first non-blank character (keeping
  // at most decide_line_max bytes) and moves past its line feed. Returns
  // the offset of that character.
  static int64_t read_line(record_reader& r, std::string& line) {
    stream_source s{r};
    line.clear();
    while (is_blank(s.peek())) s.bump();
    int64_t at = r.offset();
    for (int c; (c = s.peek()) >= 0; s.bump()) {
      if (c == '\n') {
        s.bump();
        return at;
      }
      if (line.size() < decide_line_max) line += char(c);
    }
    return at;
  }

  static std::string_view trimmed(std::string_view t) {
    while (!t.empty() && is_space(static_cast<unsigned char>(t.front()))) t.remove_prefix(1);
    while (!t.empty() && is_space(static_cast<unsigned char>(t.back()))) t.remove_suffix(1);
    return t;
  }

  // nan in any case, with or without a sign.
  static bool is_nan_text(std::string_view t) {
    if (!t.empty() && (t[0] == '-' || t[0] == '+')) t.remove_prefix(1);
    return t.size() == 3 && (t[0] | 0x20) == 'n' && (t[1] | 0x20) == 'a' && (t[2] | 0x20) == 'n';
  }

  // A field of a first data line that the delimited layout reads as a
  // number: a number, or nan.
  static bool is_number_text(std::string_view t) {
    if (is_nan_text(t)) return true;
    std::string z(t);
    text_source src{z.c_str()};
    decimal_number d;
    double v;
    return scan_decimal(src, d) && src.p == z.c_str() + z.size() && decimal_to_double(d, v);
  }

  // A line as the line layout reads it: how many numbers begin it (up to
  // three), each read as the grammar reads it from where the one before it
  // ended and the blanks after it, so that the next may follow at once (nan
  // only as a field of its own: first, or after a blank, and up to a blank
  // or the end); and its columns: those numbers, then the
  // whitespace-separated columns after the third.
  static void count_fields(std::string_view t, int& columns, int& numbers) {
    const std::string z(t);  // a 0 byte ends a number, as in the block
    const char* p = z.c_str();
    const char* const end = p + z.size();
    auto blank = [](char c) { return is_space(static_cast<unsigned char>(c)); };
    numbers = 0;
    while (numbers < 3) {
      const char* q = p;
      while (q != end && blank(*q)) ++q;
      const bool field_start = numbers == 0 || q != p;
      p = q;
      if (p == end) break;
      const char* w = p;
      while (w != end && !blank(*w)) ++w;
      if (field_start && is_nan_text(std::string_view(p, size_t(w - p)))) {
        p = w;
      } else {
        text_source src{p};
        decimal_number d;
        double v;
        if (!scan_decimal(src, d) || !decimal_to_double(d, v)) break;
        p = src.p;
      }
      ++numbers;
    }
    columns = numbers;
    if (numbers < 3) return;
    for (;;) {
      while (p != end && blank(*p)) ++p;
      if (p == end) return;
      ++columns;
      while (p != end && !blank(*p)) ++p;
    }
  }

  // The fields of a line cut at `sep` (an empty last one is nothing), if
  // there are 3 or more and each is a number once the blanks around it and
  // one pair of double quotes are taken off; otherwise 0.
  static int delimited_fields(std::string_view t, char sep) {
    if (t.find(sep) == std::string_view::npos) return 0;
    int fields = 0;
    for (;;) {
      size_t cut = t.find(sep);
      std::string_view f = trimmed(t.substr(0, cut));
      bool last = cut == std::string_view::npos;
      if (last && f.empty()) break;
      if (f.size() >= 2 && f.front() == '"' && f.back() == '"') f = f.substr(1, f.size() - 2);
      if (!is_number_text(f)) return 0;
      ++fields;
      if (last) break;
      t.remove_prefix(cut + 1);
    }
    return fields >= 3 ? fields : 0;
  }

  // The layout a data line shows.
  static file_layout layout_of(std::string_view t) {
    for (char sep : {',', ';'}) {
      if (int n = delimited_fields(t, sep); n != 0) return {point_layout::delimited, sep, n, 0, 0};
    }
    int columns, numbers;
    count_fields(t, columns, numbers);
    if (numbers == 3) return {point_layout::line, 0, columns, 0, 0};
    return {point_layout::free, 0, 0, 0, 0};
  }

  // A whole number alone on its line: what may be a count of points.
  static bool is_count(std::string_view t, int64_t& value) {
    // More digits than this may not fit 64 bits: no count of points.
    constexpr size_t count_digits_max = 18;
    if (t.empty() || t.size() > count_digits_max) return false;
    value = 0;
    for (char c : t) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    return true;
  }

  // Reads the lines before the points: blank lines, comments, the header,
  // a count of points; decides the layout from the first data line; then
  // starts the pass again at the first line to read as points.
  static void decide_layout(record_reader& r) {
    std::string line;
    int64_t line_no = 0;
    bool seen_line = false;    // a line neither blank nor a comment came
    int64_t count_start = -1;  // where a possible count of points begins
    int64_t after_count = 0;   // then where the line after it begins
    int64_t count_line = 0, count_value = 0;
    int64_t data_start = -1;
    file_layout layout{point_layout::free, 0, 0, 0, 0};
    for (;;) {
      stream_source s{r};
      if (s.peek() < 0) break;
      const int64_t start = r.offset();
      ++line_no;
      const int64_t at = read_line(r, line);
      std::string_view t = trimmed(line);
      if (t.empty()) continue;
      if (is_comment(t) || (!r.header_.empty() && t == r.header_)) {
        if (count_start < 0) tally(r.skipped_, r.skipped_at_, at);
        continue;
      }
      if (!seen_line) {
        seen_line = true;
        if (!begins_number(static_cast<unsigned char>(t.front()))) {
          r.header_line_ = line_no;
          r.header_ = t;
          quoted_text text{r.header_text_};
          for (size_t i = 0; i < t.size() && text.add_token_byte(static_cast<unsigned char>(t[i])); ++i) {
          }
          text.add_token_byte(-1);
          continue;
        }
      }
      if (count_start < 0 && is_count(t, count_value)) {
        count_start = start;
        after_count = r.offset();
        count_line = line_no;
        continue;
      }
      layout = layout_of(t);
      data_start = start;
      if (count_start >= 0) {
        if (layout.kind == point_layout::free) {
          data_start = count_start;
        } else {
          data_start = after_count;
          layout.count_line = count_line;
          layout.count_value = count_value;
        }
      }
      break;
    }
    if (data_start < 0) data_start = count_start >= 0 ? count_start : r.offset();
    r.file_layout_ = layout;
    r.view_.separator_ = layout.separator;
    // The pass starts again at the first line to read as points.
    input_rewind(r.in_);
    r.control_z_ = -1;
    r.consumed_ = 0;
    r.eof_ = false;
    r.read_errno_ = 0;
    r.pos_ = r.end_ = r.buf_;
    r.block_at_ = -1;
    *r.end_ = 0;
    skip_byte_order_mark(r);
    stream_source s{r};
    while (r.offset() < data_start && s.peek() >= 0) {
      r.pos_ += std::min<int64_t>(data_start - r.offset(), r.end_ - r.pos_);
    }
    r.line_start_ = r.offset();
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

  // Tier 3: one number after another, each read 8 digits at a time. In
  // the line and delimited layouts the three lie on one line, the second
  // and third each after one separator.
  static read_status by_numbers(record_reader& r) {
    const char* s = r.pos_;
    const char sep = r.file_layout_.separator;
    const bool lines = r.file_layout_.kind != point_layout::free;
    double values[3];
    int64_t decimals = 0;  // noted once the record is taken
    for (int i = 0; i < 3; ++i) {
      if (i == 0 || !lines) {
        while (is_space(static_cast<unsigned char>(*s))) ++s;
      } else {
        while (is_blank(static_cast<unsigned char>(*s))) ++s;
        if (sep != 0) {
          if (*s != sep) return general(r);
          ++s;
          while (is_blank(static_cast<unsigned char>(*s))) ++s;
        }
      }
      decimal_number d;
      if (!eight_at_once(s, d) || s >= r.end_ || !decimal_to_double(d, values[i])) return general(r);
      // A field of a line ends at a blank or the separator; in the line
      // layout X or Y may also be followed at once by the sign of the next
      // number (this tier's number is never followed by a digit, a point or
      // an e, which would extend it).
      if (lines && !is_space(static_cast<unsigned char>(*s)) && *s != sep &&
          !(sep == 0 && i < 2 && (*s == '-' || *s == '+'))) {
        return general(r);
      }
      decimals = std::max(decimals, -d.exponent);
    }
    const char* next = s;
    r.view_.extras_size_ = 0;
    if (lines && !line_rest(r, s, next)) return general(r);
    r.pos_ = const_cast<char*>(next);
    note_decimals(r, decimals);
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
    const char sep = r.file_layout_.separator;
    const bool lines = r.file_layout_.kind != point_layout::free;
    uint64_t delimiter = m.space | m.nul;
    if (sep != 0) delimiter |= byte_mask<window / 16>(s, sep);
    record_reader::record_shape& l = r.layout_;
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
    // In the line and delimited layouts the three numbers lie on one line
    // (blank lines may come before it), the second and the third each
    // after one separator, the first after none.
    if (lines && (!gap_holds(s, 0, a0, sep, 0, true) || !gap_holds(s, e0, a1, sep, 1, false) ||
                  !gap_holds(s, e1, a2, sep, 1, false))) {
      return by_numbers(r);
    }
    l.known = true;
    // Tier 1 takes only records of these shapes: their decimals are noted once.
    note_decimals(r, std::max({shape[0].decimals, shape[1].decimals, shape[2].decimals}));
    l.range = (uint64_t(2) << e2) - 1;
    for (int i = 0; i < window; ++i) l.pattern[i] = i <= e2 && s[i] >= '0' && s[i] <= '9' ? '0' : s[i];
    r.view_.copyable_ = copyable(shape[0]) && copyable(shape[1]) && copyable(shape[2]);
    // A line whose third number ends it ends with the pattern; any other
    // line goes on to its end (record_reader::take_line).
    l.rest = lines && s[e2] != '\n';
    l.end = lines && !l.rest ? e2 + 1 : e2;
    if (!l.rest) return r.take_text(s);
    if (r.take_line(s)) return read_status::record;
    return by_numbers(r);
  }

  // Whether the gap [from, to) of a window at s holds `seps` separators
  // (sep, or none if sep is 0), and a line end only if `line_ends`.
  static bool gap_holds(const char* s, int from, int to, char sep, int seps, bool line_ends) {
    int found = 0;
    for (int i = from; i < to; ++i) {
      if (s[i] == '\n' && !line_ends) return false;
      found += sep != 0 && s[i] == sep;
    }
    return found == (sep != 0 ? seps : 0);
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
  reader_tiers::decide_layout(*this);
}

reader_position record_reader::position() const {
  return {block_at_, consumed_, records_, skipped_.count, nodata_.count, int32_t(pos_ - buf_), line_start_ == offset()};
}

void record_reader::resume(const reader_position& p) {
  if (ended_) return;
  if (p.block_at != block_at_ || p.consumed != consumed_ || block_at_ < 0) {
    // The block as the other pass read it: from its first byte, then cleaned.
    pos_ = end_ = buf_;
    *end_ = 0;
    block_at_ = -1;
    eof_ = false;
    consumed_ = p.consumed;
    next_at_ = p.block_at;
    if (!seek_input(in_.file, p.block_at)) {
      read_errno_ = errno != 0 ? errno : EIO;
      eof_ = true;
      return;
    }
    reader_tiers::refill(*this);
  }
  // A file changed since the place was taken may hold less there: the pass
  // then reads what it finds, and the input check after it tells.
  pos_ = buf_ + std::min<int64_t>(p.in_block, end_ - buf_);
  records_ = p.records;
  skipped_.count = p.skipped;
  nodata_.count = p.nodata;
  line_start_ = p.line_start ? offset() : -1;
}

bool record_reader::take_rest(const char* s) {
  const char* next;
  if (!reader_tiers::line_rest(*this, s + layout_.end, next)) return false;
  view_.text_ = s;
  pos_ = const_cast<char*>(next);
  ++records_;
  return true;
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

namespace {

// Writes the extra columns of a line (`text`, the rest of the line after
// its third number, or after the separator that follows it) at `out` as the
// output holds them: each column after a single blank. In the delimited
// layout the columns are the fields between separators, without the blanks
// around them; an empty last field is nothing, and any other empty field is
// written "" so that the columns after it keep their places. `out` has room
// for extras_text_max(size) bytes.
char* put_extras(char* out, const char* text, size_t size, char sep) {
  const char* p = text;
  const char* end = text + size;
  auto blank = [](char c) { return is_space(static_cast<unsigned char>(c)); };
  if (sep == 0) {
    for (;;) {
      while (p != end && blank(*p)) ++p;
      if (p == end) return out;
      *out++ = ' ';
      while (p != end && !blank(*p)) *out++ = *p++;
    }
  }
  for (;;) {
    const char* a = p;
    while (p != end && *p != sep) ++p;
    const char* b = p;
    while (a != b && blank(*a)) ++a;
    while (a != b && blank(b[-1])) --b;
    bool last = p == end;
    if (last && a == b) return out;
    *out++ = ' ';
    if (a == b) {
      *out++ = '"';
      *out++ = '"';
    } else {
      std::memcpy(out, a, size_t(b - a));
      out += b - a;
    }
    if (last) return out;
    ++p;
  }
}

// The most put_extras writes for `size` bytes: an empty field, one
// separator, becomes three bytes, and the first column's blank may be one
// more.
constexpr size_t extras_text_max(size_t size) { return 3 * size + 3; }

}  // namespace

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

bool record_view::write_to(point_writer& w) const {
  char* out = record_space(w);
  if (out == nullptr) return false;
  char* const room_end = out + record_text_max;
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
  if (extras_size_ != 0 && separator_ == 0 && room_end - out >= extras_readable + 2 &&
      plain_columns(extras_, extras_size_)) {
    // The record's room holds these few bytes more.
    std::memcpy(out, extras_, size_t(extras_readable));
    out += extras_size_;
  } else if (extras_size_ != 0) {
    record_done(w, out);
    if (extras_text_max(extras_size_) + 2 <= size_t(record_text_max)) {
      if ((out = record_space(w)) == nullptr) return false;
      out = put_extras(out, extras_, extras_size_, separator_);
    } else {
      // Longer columns than a record's room: through a text of their own.
      std::string text(extras_text_max(extras_size_), '\0');
      text.resize(size_t(put_extras(text.data(), extras_, extras_size_, separator_) - text.data()));
      for (size_t done = 0; done < text.size();) {
        if ((out = record_space(w)) == nullptr) return false;
        size_t n = std::min(text.size() - done, size_t(record_text_max));
        std::memcpy(out, text.data() + done, n);
        record_done(w, out + n);
        done += n;
      }
      if ((out = record_space(w)) == nullptr) return false;
    }
  }
  out[0] = '\r';
  out[1] = '\n';
  record_done(w, out + 2);
  return true;
}
