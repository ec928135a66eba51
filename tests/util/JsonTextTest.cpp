#include "util/JsonText.h"

#include <cfloat>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

namespace corvane {
namespace {

// "%.3f" of the value, however long, as the reference for a number field.
std::string Fixed3(double value) {
    static char text[400];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

// A number is written in full with three decimals, however many digits it has: a value past
// the old 31 characters was cut short and followed by whatever lay beyond the buffer.
TEST(JsonText, NumbersAreWrittenInFullWithThreeDecimals) {
    TJsonText json;
    EXPECT_EQ(json.Begin().Field("x", 1.5).Field("y", -0.0004).Field("z", 12.3456).End(),
              R"({"x":1.500,"y":-0.000,"z":12.346})");
    for (double big : {1e31, -1e40, 1e300, DBL_MAX, -DBL_MAX}) {
        const std::string expected = "{\"v\":" + Fixed3(big) + "}";
        EXPECT_EQ(json.Begin().Field("v", big).End(), expected) << big;
    }
    EXPECT_EQ(json.Begin().Field("nan", 0.0 / 0.0).Field("inf", 1.0 / 0.0).End(),
              R"({"nan":null,"inf":null})");
}

} // namespace
} // namespace corvane
