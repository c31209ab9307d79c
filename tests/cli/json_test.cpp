// Values go into --json output as numbers only when JSON reads them as numbers; anything else
// (a blank, "1.", "NaN", a leading zero) becomes a string, so that every output parses.

#include "cli/json.h"

#include <gtest/gtest.h>

namespace pmv::cli {
namespace {

TEST(JsonNumber, NumbersStayNumbersAndEverythingElseBecomesAString)
{
    for (const char* number : {"0", "-0", "12", "-12.5", "0.25", "1e5", "2.5E-3", "7e+2"})
        EXPECT_EQ(JsonNumber(number), number) << number;
    EXPECT_EQ(JsonNumber("  42.0"), "42.0");
    for (const char* text : {"", " ", "-", "012", "1.", ".5", "1e", "1e+", "+1", "NaN", "1,5", "12 ", "0x10"})
        EXPECT_EQ(JsonNumber(text), JsonString(text)) << text;
}

}  // namespace
}  // namespace pmv::cli
