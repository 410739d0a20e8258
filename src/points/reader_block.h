// The block of the record reader: the one buffer a pass reads its input
// through, and what it knows of where it stands.
//
// The input is read a block at a time into a buffer of fixed size, and each
// block is cleaned as it comes: the data end at a 0x1A byte; a carriage
// return before a line feed is removed, and any other carriage return
// becomes a line feed. A UTF-8 byte-order mark at the very start of the file
// is skipped. The reader stands at a place of the cleaned data, told as its
// offset (cleaned bytes before it) or as a place in a block of the file (the
// file byte where the block begins and the index in its cleaned bytes, see
// reader_position in record_reader.h), and can be moved to such a place by a
// seek. The line of an offset, and the text that starts there, are found by
// reading the file again from its start (locate).
//
// Every change of the bookkeeping (position, end, consumed bytes, block
// start, end of the file) outside reading goes through one reset.
#pragma once

#include <cstdint>
#include <cstdio>

#include "points/quoted_text.h"
#include "points/text_input.h"

namespace tessera {

// The reader reads its input in blocks of this size.
constexpr int input_block_size = 1 << 20;
// How far past the end of the data the reader may read: its fast paths read
// whole words and windows from any position up to the end of the data (where
// a 0 byte always stands), so a block buffer needs this many bytes after its
// data. reader_limits.h checks it against the furthest read of each path.
constexpr int reader_look_ahead = 78;
// Extra columns no longer than this are checked and copied by one 16-byte
// load: any text in the block, and the general path's copy of the columns,
// has this many readable bytes from its start.
constexpr int extras_readable = 16;
static_assert(extras_readable <= reader_look_ahead, "the block holds the columns' load");
// The padding of the reader's own block: the look-ahead, rounded up.
constexpr int input_block_padding = 128;
static_assert(input_block_padding >= reader_look_ahead, "the block must hold the reader's look-ahead");

// The text of a line around a place, as locate finds it: up to `size`
// bytes of the line before the place, and up to `size` from it on, enough
// to tell the number a reading stopped after and the field it stopped in.
struct text_around {
  static constexpr int size = 32;
  char before[size] = {};
  int before_size = 0;
  char after[size] = {};
  int after_size = 0;
  bool after_done = false;  // the line, or `size` bytes of it, ended after the place

  // Adds the n bytes at b, which follow those kept before the place.
  void keep_before(const char* b, size_t n);
  // Adds the bytes [p, e), which follow those kept from the place on.
  void keep_after(const char* p, const char* e);
};

class reader_block {
 public:
  // Reads `file` from its beginning (past a byte-order mark) through `buf`,
  // which holds `size` bytes and reader_look_ahead more.
  reader_block(FILE* file, char* buf, int size);

  reader_block(const reader_block&) = delete;
  reader_block& operator=(const reader_block&) = delete;

  // The data left in the block, [pos(), end()); *end() is always a 0, and
  // the padding follows it.
  const char* pos() const { return pos_; }
  const char* end() const { return end_; }
  // Moves to `p`, a place in [pos(), end()] (or, for a pass resumed in a
  // block that changed, in [data, end()]).
  void move(const char* p) { pos_ = p; }
  // Nothing more will be read from the file into the block.
  bool eof() const { return eof_; }

  // As the number grammar's character source (scan_decimal): the next byte,
  // refilling the block when it is used up, or -1 at the end of the data.
  int peek() {
    if (pos_ == end_ && !refill()) return -1;
    return static_cast<unsigned char>(*pos_);
  }
  void bump() { ++pos_; }

  int64_t offset() const { return consumed_ + (pos_ - buf_); }  // cleaned bytes before pos()
  int read_errno() const { return read_errno_; }  // errno of a failed read, or 0
  int size() const { return size_; }
  // Whether places can be moved to: the file is read as its bytes (UTF-16
  // text is decoded as it is read, so a place in the text is no byte of the
  // file).
  bool resumable() const { return in_.encoding == text_encoding::bytes; }
  // Where the reader stands as a place in a block of the file.
  int64_t block_at() const { return block_at_; }  // the file byte where the block begins, or -1
  int64_t consumed() const { return consumed_; }  // cleaned bytes before the block
  int32_t in_block() const { return int32_t(pos_ - buf_); }
  // The cleaned offset of a 0x1A that ended the data with text after it,
  // or -1.
  int64_t control_z() const { return control_z_; }

  // Moves past the consumed block and reads the next one. False at the end
  // of the data (or on a read error, which read_errno then holds).
  bool refill();
  // Goes back to the beginning of the data (past a byte-order mark), as a
  // new pass: read errors and a 0x1A seen are forgotten.
  void restart();
  // Moves forward to cleaned offset `at`, or to the end of the data before
  // it.
  void skip_to(int64_t at);
  // Moves to place `in_block` of the block that begins at file byte
  // `block_at` with `consumed` cleaned bytes before it: within the block
  // held, or by reading that block from the file. A file changed since the
  // place was taken may hold less there: the reader then stands at the end
  // of what it holds. False if the file cannot be set there: read_errno
  // then tells why, and nothing more is read.
  bool move_to(int64_t block_at, int64_t consumed, int32_t in_block);
  // Ends the reading: the block holds nothing more and nothing more is read
  // into it; the offset stays.
  void close();
  // The line (from 1) of cleaned offset `at`, and, if `text` is given, the
  // text that starts there as a token (in the delimited layout, `separator`
  // ends it too; 0 for none), found by reading the file again from its
  // start: only a stop and the first skipped lines need them, so the passes
  // never count lines, and a text that crosses the end of a block is quoted
  // whole. If `around` is given, the line's text around `at` is kept in
  // it. The block's bytes are used for it, so it closes the block: it is
  // called only when the pass is over.
  int64_t locate(int64_t at, quoted_text* text, char separator, text_around* around = nullptr);

 private:
  // The one reset of the bookkeeping: the block holds nothing, `consumed`
  // cleaned bytes lie before it, and the file is read on unless `eof`.
  void reset(int64_t consumed, bool eof);
  void skip_byte_order_mark();
  size_t clean(size_t n, const char** control_z = nullptr);
  bool line_feed_follows();
  bool text_follows(const char* from, const char* to);

  char* buf_;              // the block; *end_ is always a 0, and the padding follows
  int size_;
  const char* pos_;        // next byte to read
  char* end_;              // end of the data in buf_
  bool eof_ = false;       // nothing more will be read from the file
  int64_t block_at_ = -1;  // the file byte where the block begins, or -1 while it holds none
  int64_t next_at_ = 0;    // the file byte the next block begins at
  int64_t consumed_ = 0;   // cleaned bytes before buf_
  int read_errno_ = 0;
  int64_t control_z_ = -1;  // cleaned offset of a 0x1A with text after it, or -1
  text_input in_;          // the file, as text (see text_input.h)
};

}  // namespace tessera
