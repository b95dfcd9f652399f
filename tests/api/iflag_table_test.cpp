// The table of IFLAG codes that kestro_iflag_text answers from and that the
// user guide's page is written from.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "abi/internal_routines.h"
#include "core/iflag_table.hpp"

namespace {

TEST(IflagTable, CodesAscendUniquelyAndEveryEntryIsComplete) {
  std::set<int> seen;
  int previous = -2147483647;
  for (const kestro::IflagEntry& entry : kestro::kIflagTable) {
    EXPECT_GT(entry.code, previous) << "codes must ascend without repeats";
    previous = entry.code;
    seen.insert(entry.code);
    EXPECT_GT(std::string(entry.meaning).size(), 0u) << entry.code;
    EXPECT_GT(std::string(entry.advice).size(), 0u) << entry.code;
    EXPECT_EQ(std::string(entry.meaning).find('|'), std::string::npos) << entry.code;
    EXPECT_EQ(std::string(entry.advice).find('\n'), std::string::npos) << entry.code;
  }
  // The codes the library gives: run states, ends, warnings and the errors.
  for (int code :
       {-999, -500, -300, 0,   1,   2,   3,   4,   5,   6,   7,   51,  52,  53,  71,  81,  82,
        91,   92,   100,  101, 102, 103, 104, 105, 106, 107, 201, 202, 203, 204, 205, 206, 301,
        302,  303,  304,  305, 306, 307, 308, 309, 310, 311, 312, 321, 322, 331, 344, 347, 348,
        350,  351,  352,  399, 401, 402, 501, 502, 601, 602, 701, 881, 882, 883})
    EXPECT_EQ(seen.count(code), 1u) << "IFLAG " << code << " is missing from the table";
}

TEST(IflagTable, TextFunctionAnswersFromTheTable) {
  for (const kestro::IflagEntry& entry : kestro::kIflagTable)
    EXPECT_STREQ(kestro_iflag_text(&entry.code), entry.meaning);
  const struct {
    int code;
    const char* text;
  } others[] = {{-1, "the run goes on"},
                {-40, "the run goes on"},
                {8, "unknown code"},
                {99, "unknown code"},
                {1000, "unknown code"}};
  for (const auto& other : others) EXPECT_STREQ(kestro_iflag_text(&other.code), other.text);
  EXPECT_STREQ(kestro_iflag_text(nullptr), "unknown code");
}

}  // namespace
