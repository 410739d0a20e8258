#include "points/reader_block.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "points/input_seek.h"
#include "points/number_scan.h"

namespace tessera {

reader_block::reader_block(FILE* file, char* buf, int size) : buf_(buf), size_(size), pos_(buf), end_(buf) {
  *end_ = 0;
  input_open(in_, file);
  skip_byte_order_mark();
}

void reader_block::reset(int64_t consumed, bool eof) {
  pos_ = end_ = buf_;
  *end_ = 0;
  block_at_ = -1;
  consumed_ = consumed;
  eof_ = eof;
}

// Skips a UTF-8 byte-order mark at the very start of the file.
void reader_block::skip_byte_order_mark() {
  char head[3];
  if (input_read(in_, head, 3) == 3 && std::memcmp(head, "\xEF\xBB\xBF", 3) == 0) {
    consumed_ = 3;
    next_at_ = 3;
    return;
  }
  input_rewind(in_);
  next_at_ = 0;
}

// Whether the byte after the block just read is a line feed; leaves it
// unread.
bool reader_block::line_feed_follows() {
  if (eof_) return false;
  return input_peek(in_) == '\n';
}

// Cleans freshly read bytes in place: the data end at a 0x1A byte; a
// carriage return before a line feed is removed, and any other carriage
// return becomes a line feed (it ends a line as one does). Returns the
// number of bytes kept. Needs eof_ set if nothing follows the block.
// `control_z`, if given, is set to the 0x1A that ended the data, if any.
size_t reader_block::clean(size_t n, const char** control_z) {
  if (char* stop = static_cast<char*>(std::memchr(buf_, 0x1A, n))) {
    n = size_t(stop - buf_);
    eof_ = true;
    if (control_z != nullptr) *control_z = stop;
  }
  char* cr = static_cast<char*>(std::memchr(buf_, '\r', n));
  if (cr == nullptr) return n;
  char* out = cr;
  const char* last = buf_ + n;
  for (const char* in = cr; in != last; ++in) {
    if (*in != '\r') {
      *out++ = *in;
    } else if (!(in + 1 != last ? in[1] == '\n' : line_feed_follows())) {
      *out++ = '\n';
    }
  }
  return size_t(out - buf_);
}

// Whether anything but blanks (or more 0x1A bytes, the padding some
// programs write) follows a 0x1A that ended the data: the rest of its
// block, [from, to), then the rest of the input.
bool reader_block::text_follows(const char* from, const char* to) {
  auto blank = [](const char* p, const char* e) {
    for (; p != e; ++p) {
      if (!is_space(static_cast<unsigned char>(*p)) && *p != 0x1A) return false;
    }
    return true;
  };
  if (!blank(from, to)) return true;
  char rest[4096];
  for (size_t n; (n = input_read(in_, rest, sizeof rest)) > 0;) {
    if (!blank(rest, rest + n)) return true;
  }
  return false;
}

bool reader_block::refill() {
  while (!eof_) {
    int64_t bytes = end_ - buf_;
    size_t n = input_read(in_, buf_, size_t(size_));
    if (n < size_t(size_)) {
      if (input_error(in_)) read_errno_ = errno != 0 ? errno : EIO;
      eof_ = true;
    }
    if (n == 0) return false;
    block_at_ = next_at_;
    next_at_ += int64_t(n);
    consumed_ += bytes;
    const char* raw_end = buf_ + n;
    const char* control_z = nullptr;
    n = clean(n, &control_z);
    if (control_z != nullptr && text_follows(control_z + 1, raw_end)) control_z_ = consumed_ + int64_t(n);
    pos_ = buf_;
    end_ = buf_ + n;
    *end_ = 0;
    if (n > 0) return true;
  }
  return false;
}

void reader_block::restart() {
  input_rewind(in_);
  control_z_ = -1;
  read_errno_ = 0;
  reset(0, false);
  skip_byte_order_mark();
}

void reader_block::skip_to(int64_t at) {
  while (offset() < at && peek() >= 0) pos_ += std::min<int64_t>(at - offset(), end_ - pos_);
}

bool reader_block::move_to(int64_t block_at, int64_t consumed, int32_t in_block) {
  if (block_at != block_at_ || consumed != consumed_ || block_at_ < 0) {
    // The block as the other pass read it: from its first byte, then cleaned.
    reset(consumed, false);
    next_at_ = block_at;
    if (!seek_input(in_.file, block_at)) {
      read_errno_ = errno != 0 ? errno : EIO;
      eof_ = true;
      return false;
    }
    refill();
  }
  pos_ = buf_ + std::min<int64_t>(in_block, end_ - buf_);
  return true;
}

void reader_block::close() { reset(offset(), true); }

void text_around::keep_before(const char* b, size_t n) {
  const int k = int(std::min<size_t>(n, size));
  const int kept = std::min(before_size, size - k);
  std::memmove(before, before + before_size - kept, size_t(kept));
  std::memcpy(before + kept, b + n - size_t(k), size_t(k));
  before_size = kept + k;
  // Only the place's own line.
  for (int i = before_size; i > 0; --i) {
    if (before[i - 1] == '\n') {
      std::memmove(before, before + i, size_t(before_size - i));
      before_size -= i;
      break;
    }
  }
}

void text_around::keep_after(const char* p, const char* e) {
  for (; !after_done && p != e; ++p) {
    if (*p == '\n' || after_size == size) {
      after_done = true;
    } else {
      after[after_size++] = *p;
    }
  }
}

namespace {

// Quotes the token bytes of [p, e) into `text` (in the delimited layout the
// separator ends the token too). False once the token has ended.
bool quote_token(quoted_text& text, const char* p, const char* e, char separator) {
  for (; p < e; ++p) {
    const int c = separator != 0 && *p == separator ? -1 : int(static_cast<unsigned char>(*p));
    if (!text.add_token_byte(c)) return false;
  }
  return true;
}

}  // namespace

int64_t reader_block::locate(int64_t at, quoted_text* text, char separator, text_around* around) {
  input_rewind(in_);
  reset(offset(), false);
  int64_t line = 1;
  bool found = false;
  bool quoting = text != nullptr;
  while (!eof_) {
    size_t n = input_read(in_, buf_, size_t(size_));
    if (n < size_t(size_)) eof_ = true;
    n = clean(n);
    const char* p = buf_;
    if (!found) {
      int64_t take = at < int64_t(n) ? at : int64_t(n);
      line += std::count(buf_, buf_ + take, '\n');
      if (around != nullptr) around->keep_before(buf_, size_t(take));
      at -= take;
      if (at > 0) continue;
      found = true;
      p = buf_ + take;
    }
    if (around != nullptr) around->keep_after(p, buf_ + n);
    quoting = quoting && quote_token(*text, p, buf_ + n, separator);
    if (!quoting && (around == nullptr || around->after_done)) break;
  }
  if (text != nullptr) text->add_token_byte(-1);
  close();
  return line;
}

}  // namespace tessera
