// The slow reference for the number scanner: keeps the first 19 significant
// digits of a well-formed number by plain string work, then lets strtod
// round. It shares no code with the scanner.
#pragma once

#include <cstdlib>
#include <string>

namespace tessera {

inline double reference(const std::string& text) {
  std::string exponent = "0";
  size_t e = text.find_first_of("eE");
  std::string m = text.substr(0, e);
  if (e != std::string::npos) exponent = text.substr(e + 1);
  bool negative = !m.empty() && m[0] == '-';
  if (!m.empty() && (m[0] == '-' || m[0] == '+')) m.erase(0, 1);
  size_t point = m.find('.');
  std::string whole = m.substr(0, point);
  std::string frac = point == std::string::npos ? "" : m.substr(point + 1);
  std::string digits = whole + frac;
  // Exponents beyond any double are clamped; the result is 0 or infinity.
  std::string exp_digits = exponent;
  bool exp_negative = !exp_digits.empty() && exp_digits[0] == '-';
  if (!exp_digits.empty() && (exp_digits[0] == '-' || exp_digits[0] == '+')) exp_digits.erase(0, 1);
  exp_digits.erase(0, exp_digits.find_first_not_of('0') == std::string::npos ? exp_digits.size()
                                                                            : exp_digits.find_first_not_of('0'));
  long long exp_value = exp_digits.size() > 9 ? 1000000000LL : std::atoll(exp_digits.c_str());
  long long scale = (exp_negative ? -exp_value : exp_value) - static_cast<long long>(frac.size());
  size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return negative ? -0.0 : 0.0;
  digits.erase(0, first);
  if (digits.size() > 19) {
    scale += static_cast<long long>(digits.size() - 19);
    digits.resize(19);
  }
  std::string normal = (negative ? "-" : "") + digits + "e" + std::to_string(scale);
  return std::strtod(normal.c_str(), nullptr);
}

}  // namespace tessera
