// Random spellings of numbers and random point file texts for the tests and
// the fuzz targets: every spelling the grammar knows, and some it refuses.
#pragma once

#include <random>
#include <string>

// A number as people and programs write it: a sign or none, leading zeros,
// 1 to 40 digits with a point anywhere or nowhere, an exponent or none.
inline std::string random_spelling(std::mt19937_64& rng) {
  auto pick = [&](int n) { return int(rng() % unsigned(n)); };
  std::string t;
  int sign = pick(3);
  if (sign == 1) t += '-';
  if (sign == 2) t += '+';
  int lead_zeros = pick(4) == 0 ? pick(6) : 0;
  t.append(size_t(lead_zeros), '0');
  static const int lengths[] = {1, 2, 3, 6, 9, 15, 16, 17, 18, 19, 20, 21, 25, 40};
  int n = lengths[pick(14)];
  std::string digits;
  for (int i = 0; i < n; ++i) digits += char('0' + pick(10));
  int point = pick(n + 2) - 1;  // -1: no point
  if (point < 0) {
    t += digits;
  } else {
    t += digits.substr(0, size_t(point));
    t += '.';
    t += digits.substr(size_t(point));
    if (point == 0 && t.back() == '.') t += '0';
  }
  if (pick(2) == 0) {
    t += "eE"[pick(2)];
    int es = pick(3);
    if (es == 1) t += '-';
    if (es == 2) t += '+';
    t += std::to_string(pick(330));
  }
  return t;
}

// A point file of mixed layouts: runs of lines alike (as real files have
// them) in the common shape, with odd spellings, blanks, tabs, CR LF, lines
// of 1, 2, 4 or 6 numbers, and now and then something that is not a number.
inline std::string random_point_text(std::mt19937_64& rng, int numbers) {
  auto pick = [&](int n) { return int(rng() % unsigned(n)); };
  static const char* const odd[] = {"1e3", "-0", "+.5", "5.", "007.25", "1.2.3", "1-2", "0x1A", "abc", "-",
                                    ".",   "1e",  "nan", "12345678901234567890.5", "0.12345678901", "\x1a"};
  std::string text;
  int per_line = 3;
  int whole = 7, decimals = 2;
  for (int i = 0; i < numbers; ++i) {
    if (i % 60 == 0) {  // a new run of lines
      static const int layouts[] = {3, 3, 3, 1, 2, 4, 6};
      per_line = layouts[pick(7)];
      whole = 1 + pick(16);
      decimals = pick(10);
    }
    if (pick(200) == 0) {
      text += odd[pick(16)];
    } else {
      if (pick(4) == 0) text += '-';
      for (int k = 0; k < whole; ++k) text += char('0' + (k == 0 && whole > 1 ? 1 + pick(9) : pick(10)));
      if (decimals > 0 || pick(8) == 0) text += '.';
      for (int k = 0; k < decimals; ++k) text += char('0' + pick(10));
    }
    if ((i + 1) % per_line != 0) {
      text += pick(30) == 0 ? "\t" : pick(30) == 0 ? "  " : " ";
    } else {
      text += pick(20) == 0 ? "\r\n" : "\n";
      if (pick(100) == 0) text += "\n";
    }
  }
  return text;
}
