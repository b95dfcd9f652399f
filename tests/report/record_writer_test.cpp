// The record writer: the field rules of every descriptor the reports use,
// and the assembly of statements into records.
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "report/record_writer.hpp"
#include "report/report_fixture.hpp"

namespace {

using kestro::report::FieldValue;
using kestro::report::write_statement;
using kestro::testing::repeat;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Records as text, each ended by a line feed.
class StringSink final : public kestro::report::RecordSink {
 public:
  void append(std::string_view text) override { text_.append(text); }
  void end_record() override { text_.push_back('\n'); }
  std::string text_;
};

std::string statement(std::string_view format, std::vector<FieldValue> values,
                      bool* pending = nullptr) {
  StringSink sink;
  const bool left_open = write_statement(sink, format, values);
  if (pending != nullptr) *pending = left_open;
  return sink.text_;
}

// One field written by a one-descriptor statement, without the line feed.
std::string field(const std::string& descriptor, FieldValue value) {
  std::string text = statement("(" + descriptor + ")", {value});
  EXPECT_FALSE(text.empty());
  text.pop_back();
  return text;
}

struct FieldCase {
  const char* descriptor;
  double value;
  std::string expected;
};

// The field rules as written, including the cases where the Fortran runtime
// writes something else (see the cross-check test).
TEST(RecordWriter, RealFieldsFollowTheWrittenRules) {
  const FieldCase cases[] = {
      {"F8.2", 3.14159, "    3.14"},
      {"F13.6", 0.0, "     0.000000"},
      {"F19.8", -5.0e9, repeat('*', 19)},       // the sign makes 20 positions
      {"F19.8", 5.0e9, "5000000000.00000000"},  // ten integer digits fit
      {"F8.2", 123456.0, repeat('*', 8)},
      {"F9.2", 123456.0, "123456.00"},
      {"F16.8", -5000000.0, repeat('*', 16)},
      {"F4.2", 0.125, "0.12"},  // exact tie to the even digit
      {"F8.2", 0.375, "    0.38"},
      {"F8.2", -0.001, "   -0.00"},  // negative, rounds to zero
      {"F8.2", -0.0, "   -0.00"},
      {"F8.2", 0.5, "    0.50"},              // one zero before the point
      {"F13.6", 0.0078125, "     0.007812"},  // tie at the seventh decimal
      {"F8.2", 99.995, "  100.00"},           // 99.995 lies above the tie
      {"F19.7", 999999999.5, "  999999999.5000000"},
      {"E14.7", 1.0, " 0.1000000E+01"},
      {"E14.7", -1.0, "-0.1000000E+01"},  // fills all 14 positions
      {"D13.6", 123456.7, " 0.123457D+06"},
      {"E16.5", -1.0e-150, "    -0.10000-149"},
      {"E38.6", 1.0e150, repeat(' ', 26) + "0.100000+151"},
      {"D13.6", 1.0e-5, " 0.100000D-04"},
      {"E14.7", 0.0, " 0.0000000E+00"},
      {"E14.7", -0.0, "-0.0000000E+00"},
      {"E16.3", 1235.0, "       0.124E+04"},  // tie to even in the mantissa
      {"E16.3", 1245.0, "       0.124E+04"},
      {"E33.1", 35.0, repeat(' ', 26) + "0.4E+02"},
      {"E14.7", 9.99999999, " 0.1000000E+02"},  // the carry raises the exponent
      {"E16.5", 9.999996e99, "     0.10000+101"},
      {"E16.5", 9.99994e98, "     0.99999E+99"},  // the last two-digit exponent
      {"E16.5", 9.99994e99, "     0.99999+100"},  // the first three-digit one
      {"E16.5", 1e9, "     0.10000E+10"},
      {"E16.5", 4.9406564584124654e-324, "     0.49407-323"},  // smallest denormal
      {"F8.2", kNaN, "     NaN"},
      {"E14.7", kNaN, "           NaN"},
      {"F8.2", kInf, "Infinity"},
      {"F8.2", -kInf, "    -Inf"},  // too narrow for -Infinity
      {"F13.6", -kInf, "    -Infinity"},
      {"D13.6", kInf, "     Infinity"},
      {"F2.1", kNaN, "**"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(field(c.descriptor, c.value), c.expected) << c.descriptor << " of " << c.value;
}

TEST(RecordWriter, IntegerFields) {
  const struct {
    const char* descriptor;
    int value;
    std::string expected;
  } cases[] = {
      {"I6", -42, "   -42"},
      {"I9", 1234567890, repeat('*', 9)},
      {"I4", -999, "-999"},
      {"I4", -1000, "****"},
      {"I3", 0, "  0"},
      {"I11", -2147483647 - 1, "-2147483648"},
      {"I10", -2147483647 - 1, repeat('*', 10)},
      {"I21", 2147483647, repeat(' ', 11) + "2147483647"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(field(c.descriptor, c.value), c.expected) << c.descriptor << " of " << c.value;
}

TEST(RecordWriter, StatementsMakeRecords) {
  const struct {
    const char* name;
    const char* format;
    std::vector<FieldValue> values;
    std::string expected;
  } cases[] = {
      {"LiteralKeepsItsBlanks", "('  a b  ')", {}, "  a b  \n"},
      {"BlanksBetweenItemsDoNotCount", "( ' x' , I3 ,  ' y' )", {7}, " x  7 y\n"},
      {"TwoLeadingBreaks", "(/,/,'X')", {}, "\n\nX\n"},
      {"TrailingBreakEndsAnEmptyRecord", "('A',/)", {}, "A\n\n"},
      {"RepeatedDescriptor",
       "(4I10)",
       {1, -2, 3, 40},
       std::string("         1        -2") + "         3        40\n"},
      {"LiteralsAfterTheLastValue", "(I3,' end',/,'next')", {5}, "  5 end\nnext\n"},
      {"StopsAtADescriptorWithoutValue", "(I3,' a',I3,' b')", {5}, "  5 a\n"},
      {"DoubledApostrophe", "('it''s')", {}, "it's\n"},
      {"ExponentLetterD", "(D13.6)", {2.5}, " 0.250000D+01\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(statement(c.format, c.values), c.expected) << c.name;
}

TEST(RecordWriter, DollarLeavesTheRecordOpen) {
  bool pending = false;
  EXPECT_EQ(statement("(F19.7,$)", {1.5}, &pending), "          1.5000000");
  EXPECT_TRUE(pending);
  EXPECT_EQ(statement("(' ')", {}, &pending), " \n");
  EXPECT_FALSE(pending);
}

}  // namespace
