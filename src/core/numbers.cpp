// Numbers with the old run-time's semantics: faults on overflow and bad conversions,
// rounding halves to even.
#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <ios>
#include <limits>
#include <new>
#include <stdexcept>
#include <system_error>

#include "core/core.h"

namespace ardo {

Fault Fault::Of(int number) {
  const char* d = "Application-defined or object-defined error";
  switch (number) {
    case 3: d = "Return without GoSub"; break;
    case 5: d = "Invalid procedure call or argument"; break;
    case 6: d = "Overflow"; break;
    case 7: d = "Out of memory"; break;
    case 9: d = "Subscript out of range"; break;
    case 11: d = "Division by zero"; break;
    case 13: d = "Type mismatch"; break;
    case 52: d = "Bad file name or number"; break;
    case 53: d = "File not found"; break;
    case 54: d = "Bad file mode"; break;
    case 55: d = "File already open"; break;
    case 57: d = "Device I/O error"; break;
    case 61: d = "Disk full"; break;
    case 62: d = "Input past end of file"; break;
    case 63: d = "Bad record number"; break;
    case 70: d = "Permission denied"; break;
    case 75: d = "Path/File access error"; break;
    case 76: d = "Path not found"; break;
    case 481: d = "Invalid picture"; break;
    default: break;
  }
  return Fault{number, d};
}

void Raise(int number) { throw Fault::Of(number); }

Fault FaultOf(const std::exception& e) {
  int number = 5;  // Invalid procedure call or argument
  if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr || dynamic_cast<const std::length_error*>(&e) != nullptr) {
    number = 7;  // Out of memory
  } else if (dynamic_cast<const std::ios_base::failure*>(&e) != nullptr ||
             dynamic_cast<const std::system_error*>(&e) != nullptr) {
    number = err::kIoError;  // streams, and the file-system library's errors
  } else if (dynamic_cast<const std::out_of_range*>(&e) != nullptr) {
    // The text-to-number conversions say which one failed; containers say "at" or similar.
    number = std::string_view(e.what()).starts_with("sto") ? err::kOverflow : err::kSubscript;
  } else if (dynamic_cast<const std::overflow_error*>(&e) != nullptr ||
             dynamic_cast<const std::underflow_error*>(&e) != nullptr ||
             dynamic_cast<const std::range_error*>(&e) != nullptr) {
    number = err::kOverflow;
  } else if (dynamic_cast<const std::invalid_argument*>(&e) != nullptr) {
    number = err::kTypeMismatch;
  }
  Fault f = Fault::Of(number);
  f.description += " (";
  f.description += e.what();
  f.description += ")";
  return f;
}

double RoundHalfEven(double v) {
  const int old = std::fegetround();
  if (old != FE_TONEAREST) std::fesetround(FE_TONEAREST);
  const double r = std::nearbyint(v);
  if (old != FE_TONEAREST) std::fesetround(old);
  return r;
}

namespace {
template <class T>
T Checked(double v) {
  if (std::isnan(v)) Raise(err::kOverflow);
  const double r = RoundHalfEven(v);
  if (r < static_cast<double>(std::numeric_limits<T>::min()) || r > static_cast<double>(std::numeric_limits<T>::max())) {
    Raise(err::kOverflow);
  }
  return static_cast<T>(r);
}
template <class T>
T Checked(long long v) {
  if (v < static_cast<long long>(std::numeric_limits<T>::min()) || v > static_cast<long long>(std::numeric_limits<T>::max())) {
    Raise(err::kOverflow);
  }
  return static_cast<T>(v);
}
}  // namespace

Integer CInt(double v) { return Checked<Integer>(v); }
Long CLng(double v) { return Checked<Long>(v); }
Byte CByte(double v) { return Checked<Byte>(v); }
Integer CInt(long long v) { return Checked<Integer>(v); }
Long CLng(long long v) { return Checked<Long>(v); }
Byte CByte(long long v) { return Checked<Byte>(v); }

long long IntDiv(long long a, long long b) {
  if (b == 0) Raise(err::kDivisionByZero);
  return a / b;
}

long long Mod(long long a, long long b) {
  if (b == 0) Raise(err::kDivisionByZero);
  return a % b;
}

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

double ToNumber(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  if (b == e) Raise(err::kTypeMismatch);
  const std::string s(text.substr(b, e - b));
  // Only plain decimal numbers: no hex floats, infinities or NaN.
  for (char c : s) {
    if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E')) {
      Raise(err::kTypeMismatch);
    }
  }
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (end == s.c_str() || *end != '\0') Raise(err::kTypeMismatch);
  return v;
}

double Val(std::string_view text) {
  std::string digits;
  size_t i = 0;
  auto skip = [&] {
    while (i < text.size() && IsBlank(text[i])) ++i;
  };
  skip();
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) digits += text[i++];
  bool seen_dot = false, any = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (IsBlank(c)) continue;
    if (std::isdigit(static_cast<unsigned char>(c))) {
      digits += c;
      any = true;
    } else if (c == '.' && !seen_dot) {
      digits += c;
      seen_dot = true;
    } else {
      break;
    }
  }
  if (!any) return 0;
  return std::strtod(digits.c_str(), nullptr);
}

}  // namespace ardo
