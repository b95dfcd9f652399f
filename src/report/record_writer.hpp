// Fixed-format records: the edit descriptors of the reports and the
// assembly of one output statement into records.
//
// A format is written in the edit-descriptor notation, e.g.
//   (' [',I9,',',F8.2,']        F(X):',F19.8,'         VIO:',F13.6)
// and holds only these items: 'literal', Iw, rIw, Fw.d, Ew.d, Dw.d, / (end
// the record, start a new one) and a final $ (leave the record open).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

namespace kestro::report {

// One value of an output statement: a 32-bit integer or a double.
class FieldValue {
 public:
  FieldValue(int value) : is_integer_(true), integer_(value) {}
  FieldValue(double value) : is_integer_(false), real_(value) {}

  bool is_integer() const { return is_integer_; }
  std::int32_t integer() const { return integer_; }
  double real() const { return real_; }

 private:
  bool is_integer_;
  std::int32_t integer_ = 0;
  double real_ = 0.0;
};

// The widest field a format may ask for; wider descriptors are written as
// asterisks of this width.
inline constexpr int kMaxFieldWidth = 255;

// The fields, each written into exactly out.size() characters (the field
// width). A value whose text needs more positions gives a field of asterisks.
void integer_field(std::span<char> out, std::int32_t value);
void fixed_field(std::span<char> out, int digits, double value);
// `letter` is 'E' or 'D'.
void exponent_field(std::span<char> out, int digits, char letter, double value);

// Where the records of a statement go.
class RecordSink {
 public:
  virtual void append(std::string_view text) = 0;
  virtual void end_record() = 0;

 protected:
  ~RecordSink() = default;
};

// Interprets one output statement: literals and fields are appended to the
// current record, / ends it, and the end of the format ends it too unless the
// last item is $. Values are taken left to right by the data descriptors;
// processing stops at a data descriptor for which no value is left. Returns
// true when the record was left open by a final $.
bool write_statement(RecordSink& sink, std::string_view format, std::span<const FieldValue> values);

}  // namespace kestro::report
