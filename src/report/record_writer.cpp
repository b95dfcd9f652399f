#include "report/record_writer.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace kestro::report {
namespace {

void fill_asterisks(std::span<char> out) { std::fill(out.begin(), out.end(), '*'); }

// Right-justifies `text` in `out` with leading blanks, or fills the field
// with asterisks when the text is longer than the field.
void right_justify(std::span<char> out, std::string_view text) {
  if (text.size() > out.size()) return fill_asterisks(out);
  const std::size_t blanks = out.size() - text.size();
  std::fill(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(blanks), ' ');
  std::memcpy(out.data() + blanks, text.data(), text.size());
}

// NaN, Infinity, -Infinity; the short forms Inf and -Inf when the field is
// too narrow for the long ones.
void non_finite_field(std::span<char> out, double value) {
  if (std::isnan(value)) return right_justify(out, "NaN");
  const bool negative = std::signbit(value);
  const std::string_view long_form = negative ? "-Infinity" : "Infinity";
  if (long_form.size() <= out.size()) return right_justify(out, long_form);
  right_justify(out, negative ? "-Inf" : "Inf");
}

}  // namespace

void integer_field(std::span<char> out, std::int32_t value) {
  char text[16];
  const auto result = std::to_chars(text, text + sizeof text, value);
  right_justify(out, std::string_view(text, static_cast<std::size_t>(result.ptr - text)));
}

void fixed_field(std::span<char> out, int digits, double value) {
  if (!std::isfinite(value)) return non_finite_field(out, value);
  // The longest fixed-point text of a double has 309 integer digits.
  char text[320 + 2 * kMaxFieldWidth];
  if (digits < 0 || digits > kMaxFieldWidth) return fill_asterisks(out);
  // Correctly rounded from the exact binary value, ties to even; a negative
  // value keeps its sign when it rounds to zero, and so does -0.0.
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, digits);
  if (result.ec != std::errc()) return fill_asterisks(out);
  right_justify(out, std::string_view(text, static_cast<std::size_t>(result.ptr - text)));
}

void exponent_field(std::span<char> out, int digits, char letter, double value) {
  if (!std::isfinite(value)) return non_finite_field(out, value);
  if (digits < 1 || digits > kMaxFieldWidth) return fill_asterisks(out);

  char text[2 * kMaxFieldWidth + 16];
  std::size_t length = 0;
  if (std::signbit(value)) text[length++] = '-';
  text[length++] = '0';
  text[length++] = '.';

  int exponent = 0;
  if (value == 0.0) {
    std::fill(text + length, text + length + digits, '0');
    length += static_cast<std::size_t>(digits);
  } else {
    // d significant digits, correctly rounded (a carry is already folded
    // into the exponent): d1.d2...dd e x, which is 0.d1d2...dd times 10^(x+1).
    char scientific[kMaxFieldWidth + 32];
    const auto result = std::to_chars(scientific, scientific + sizeof scientific, std::fabs(value),
                                      std::chars_format::scientific, digits - 1);
    if (result.ec != std::errc()) return fill_asterisks(out);
    const char* p = scientific;
    for (; p < result.ptr && *p != 'e'; ++p)
      if (*p != '.') text[length++] = *p;
    if (p == result.ptr) return fill_asterisks(out);
    int parsed = 0;
    const char* q = p + 1;
    if (*q == '+') ++q;
    std::from_chars(q, result.ptr, parsed);
    exponent = parsed + 1;
  }

  // E+dd (D+dd) up to 99, then +ddd without the letter.
  const int magnitude = exponent < 0 ? -exponent : exponent;
  const char sign = exponent < 0 ? '-' : '+';
  if (magnitude <= 99) {
    text[length++] = letter;
    text[length++] = sign;
    text[length++] = static_cast<char>('0' + magnitude / 10);
    text[length++] = static_cast<char>('0' + magnitude % 10);
  } else if (magnitude <= 999) {
    text[length++] = sign;
    text[length++] = static_cast<char>('0' + magnitude / 100);
    text[length++] = static_cast<char>('0' + magnitude / 10 % 10);
    text[length++] = static_cast<char>('0' + magnitude % 10);
  } else {
    return fill_asterisks(out);
  }
  right_justify(out, std::string_view(text, length));
}

namespace {

// Reads an unsigned decimal number at `pos`; -1 when there is none.
int read_number(std::string_view format, std::size_t& pos) {
  if (pos >= format.size() || format[pos] < '0' || format[pos] > '9') return -1;
  long number = 0;
  while (pos < format.size() && format[pos] >= '0' && format[pos] <= '9') {
    if (number <= 100000) number = number * 10 + (format[pos] - '0');
    ++pos;
  }
  return static_cast<int>(number);
}

bool is_blank(char c) { return c == ' ' || c == ',' || c == '\t'; }

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

class StatementState {
 public:
  StatementState(RecordSink& sink, std::span<const FieldValue> values)
      : sink_(sink), values_(values) {}

  bool values_left() const { return next_ < values_.size(); }

  // One data field of the given kind; false when no value is left.
  bool field(char kind, int width, int digits) {
    if (!values_left()) return false;
    const FieldValue& v = values_[next_++];
    char buffer[kMaxFieldWidth];
    const bool too_wide = width > kMaxFieldWidth || width < 1;
    std::span<char> out(
        buffer, static_cast<std::size_t>(too_wide ? (width < 1 ? 0 : kMaxFieldWidth) : width));
    if (too_wide) {
      std::fill(out.begin(), out.end(), '*');
    } else if (kind == 'I') {
      if (v.is_integer())
        integer_field(out, v.integer());
      else
        std::fill(out.begin(), out.end(), '*');
    } else {
      const double real = v.is_integer() ? static_cast<double>(v.integer()) : v.real();
      if (kind == 'F')
        fixed_field(out, digits, real);
      else
        exponent_field(out, digits, kind, real);
    }
    sink_.append(std::string_view(out.data(), out.size()));
    return true;
  }

 private:
  RecordSink& sink_;
  std::span<const FieldValue> values_;
  std::size_t next_ = 0;
};

}  // namespace

bool write_statement(RecordSink& sink, std::string_view format,
                     std::span<const FieldValue> values) {
  // The outer parentheses are optional.
  std::size_t pos = 0, end = format.size();
  while (pos < end && is_blank(format[pos])) ++pos;
  if (pos < end && format[pos] == '(') ++pos;
  while (end > pos && (is_blank(format[end - 1]))) --end;
  if (end > pos && format[end - 1] == ')') --end;
  format = format.substr(0, end);

  StatementState state(sink, values);
  bool pending = false;
  while (pos < format.size()) {
    const char c = format[pos];
    if (is_blank(c)) {
      ++pos;
      continue;
    }
    pending = false;
    if (c == '\'') {
      // A literal; a doubled apostrophe stands for one apostrophe.
      ++pos;
      std::size_t start = pos;
      while (pos < format.size()) {
        if (format[pos] == '\'') {
          sink.append(format.substr(start, pos - start));
          if (pos + 1 < format.size() && format[pos + 1] == '\'') {
            sink.append("'");
            pos += 2;
            start = pos;
            continue;
          }
          ++pos;
          start = std::string_view::npos;
          break;
        }
        ++pos;
      }
      if (start != std::string_view::npos) sink.append(format.substr(start));
    } else if (c == '/') {
      sink.end_record();
      ++pos;
    } else if (c == '$') {
      pending = true;
      ++pos;
    } else {
      int repeat = read_number(format, pos);
      if (repeat < 1) repeat = 1;
      if (pos >= format.size()) break;
      const char kind = upper(format[pos++]);
      const int width = read_number(format, pos);
      int digits = 0;
      if (pos < format.size() && format[pos] == '.') {
        ++pos;
        digits = read_number(format, pos);
      }
      if (kind != 'I' && kind != 'F' && kind != 'E' && kind != 'D') continue;
      bool stopped = false;
      for (int r = 0; r < repeat && !stopped; ++r) stopped = !state.field(kind, width, digits);
      if (stopped) break;  // no value left for this descriptor: the statement ends
    }
  }
  if (!pending) sink.end_record();
  return pending;
}

}  // namespace kestro::report
