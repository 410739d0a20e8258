#include "points/reader_block.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "points/input_seek.h"
#include "points/number_scan.h"

#include "points/cpu_level.h"

#if defined(TESSERA_CPU_LEVELS)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

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

namespace {

// The width of the chunks the carriage returns are found in by one mask,
// and the bytes the cleaning needs ahead of a chunk: the chunk and the one
// after it, which holds the byte after the chunk's last.
constexpr int clean_chunk_bytes = 16;
constexpr int clean_ahead = 2 * clean_chunk_bytes;

#if defined(__SSE2__)
// The carriage returns of one 16-byte chunk at `in`, of which the next 16
// bytes are `next`, cleaned to `out`: the bytes between them copied by
// 16-byte stores from a local copy of the two chunks, a return before a
// line feed dropped, any other one written as a line feed. Writes below
// out + 32 and at most in + 32 (out <= in): only bytes already loaded.
inline char* clean_chunk(char* out, __m128i chunk, __m128i next, unsigned returns) {
  alignas(16) char t[32];
  _mm_store_si128(reinterpret_cast<__m128i*>(t), chunk);
  _mm_store_si128(reinterpret_cast<__m128i*>(t + 16), next);
  int start = 0;
  while (returns != 0) {
    const int k = __builtin_ctz(returns);
    returns &= returns - 1;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + start)));
    out += k - start;
    if (t[k + 1] != '\n') *out++ = '\n';
    start = k + 1;
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + start)));
  return out + (clean_chunk_bytes - start);
}

// Cleans the chunks from `in` (whose first is `next`) while two chunks are
// left, to `out`; leaves in `in` the first chunk not cleaned, and its bytes
// in `next`.
inline char* squeeze(char* out, const char*& in, const char* last, __m128i& next) {
  const __m128i ret = _mm_set1_epi8('\r');
  for (; last - in >= clean_ahead; in += clean_chunk_bytes) {
    const __m128i chunk = next;
    next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + clean_chunk_bytes));
    const unsigned returns = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, ret)));
    if (returns == 0) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), chunk);
      out += clean_chunk_bytes;
    } else {
      out = clean_chunk(out, chunk, next, returns);
    }
  }
  return out;
}

#if defined(TESSERA_CPU_LEVELS)
// The same with SSSE3's byte shuffle: a chunk whose one carriage return
// stands before a line feed of the chunk (a CR LF line of 16 bytes or more)
// is stored with the bytes from the return on moved down by one; its last
// lane, then out of the data, is stored over by what follows.
__attribute__((target("sse4.1"))) char* squeeze_shuffled(char* out, const char*& in, const char* last,
                                                         __m128i& next) {
  const __m128i ret = _mm_set1_epi8('\r');
  const __m128i feed = _mm_set1_epi8('\n');
  const __m128i lanes = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  for (; last - in >= clean_ahead; in += clean_chunk_bytes) {
    const __m128i chunk = next;
    next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + clean_chunk_bytes));
    const unsigned returns = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, ret)));
    if (returns == 0) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), chunk);
      out += clean_chunk_bytes;
      continue;
    }
    const unsigned feeds = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, feed)));
    if ((returns & (returns - 1)) == 0 && (feeds & (returns << 1)) != 0) {
      const char k = char(__builtin_ctz(returns));
      // Lanes from k on take the byte after theirs.
      const __m128i from = _mm_sub_epi8(lanes, _mm_cmpgt_epi8(lanes, _mm_set1_epi8(char(k - 1))));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(chunk, from));
      out += clean_chunk_bytes - 1;
    } else {
      out = clean_chunk(out, chunk, next, returns);
    }
  }
  return out;
}
#endif
#endif

}  // namespace

// Cleans freshly read bytes in place: the data end at a 0x1A byte; a
// carriage return before a line feed is removed, and any other carriage
// return becomes a line feed (it ends a line as one does). Returns the
// number of bytes kept. Needs eof_ set if nothing follows the block.
// `control_z`, if given, is set to the 0x1A that ended the data, if any.
//
// From the first carriage return on, the bytes move down as returns are
// dropped, 16 at a time: each chunk is loaded, with the one after it,
// before anything is stored over them (the cleaned bytes never stand past
// the raw ones), and a chunk without a return is stored whole. The last
// bytes, fewer than two chunks, are cleaned one at a time from a copy.
size_t reader_block::clean(size_t n, const char** control_z) {
  if (char* stop = static_cast<char*>(std::memchr(buf_, 0x1A, n))) {
    n = size_t(stop - buf_);
    eof_ = true;
    if (control_z != nullptr) *control_z = stop;
  }
  char* cr = static_cast<char*>(std::memchr(buf_, '\r', n));
  if (cr == nullptr) return n;
  char* out = cr;
  const char* in = cr;
  const char* const last = buf_ + n;
  char tail[clean_ahead];
  size_t rest = size_t(last - in);
#if defined(__SSE2__)
  if (rest >= size_t(clean_ahead)) {
    __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
#if defined(TESSERA_CPU_LEVELS)
    if (detail::cpu_level_in_use() != detail::cpu_level::none) {
      out = squeeze_shuffled(out, in, last, next);
    } else {
      out = squeeze(out, in, last, next);
    }
#else
    out = squeeze(out, in, last, next);
#endif
    // The chunk at `in` may have been stored over: its bytes are in `next`.
    rest = size_t(last - in);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(tail), next);
    std::memcpy(tail + clean_chunk_bytes, in + clean_chunk_bytes, rest - clean_chunk_bytes);
  } else {
    std::memcpy(tail, in, rest);
  }
#else
  if (rest > sizeof tail) {  // no masks: every byte is cleaned from the block itself
    for (; in != last; ++in) {
      if (*in != '\r') {
        *out++ = *in;
      } else if (!(in + 1 != last ? in[1] == '\n' : line_feed_follows())) {
        *out++ = '\n';
      }
    }
    return size_t(out - buf_);
  }
  std::memcpy(tail, in, rest);
#endif
  for (size_t i = 0; i != rest; ++i) {
    if (tail[i] != '\r') {
      *out++ = tail[i];
    } else if (!(i + 1 != rest ? tail[i + 1] == '\n' : line_feed_follows())) {
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
