// Numbers from outside the program are read as the framework reads them, without its overflow.

#include "text/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
    TEST (NumberText, ReadsAsTheFrameworkDoesWithoutItsOverflowWhateverSpaceComesFirst)
    {
        constexpr double infinity = std::numeric_limits<double>::infinity();
        const struct
        {
            const char* text;
            double expected;
        } cases[] = {
            { "0.5", 0.5 },
            { "  -2.5E+3 dB", -2500.0 },
            { "1e-05", 1.0e-5 },
            { ".25", 0.25 },
            { "1e0000000000002", 100.0 }, // leading zeros of the exponent do not count
            { "1e355555555555", infinity },
            { "-1e355555555555", -infinity },
            { "1e-355555555555", 0.0 },
            { "12.5e99999999999999999999", infinity },
            { "no number", 0.0 },
            { "", 0.0 },
            // Every ASCII space before a number, the vertical tab and the form feed included.
            { "\v1e99999999999", infinity },
            { "\f1e99999999999", infinity },
            { "\f\v\t\r\n -1e99999999999", -infinity },
            { "\v1e-99999999999", 0.0 },
            // Out of range by the whole number, not by its exponent alone.
            { "0.0000001e99999999999", infinity },
            { "100000e-99999999999", 0.0 },
            { "0.001e310", 1.0e307 },
            // Other text: an exponent without digits is not one; no space outside ASCII is skipped.
            { "1e", 1.0 },
            { "2.5e+x", 2.5 },
            { "+7", 7.0 },
            { "-inf", -infinity },
            { "\xe2\x80\x83"
              "1e99999999999",
              0.0 },
        };

        for (const auto& c : cases)
            EXPECT_EQ (NumberText::toDouble (juce::String::fromUTF8 (c.text)), c.expected) << c.text;

        EXPECT_TRUE (std::isnan (NumberText::toDouble ("nan")));

        for (const char* ordinary : { "3.14159", "0.005005005005005005", "-0", "7e3", "1E-7", "0.1", "0.7",
                                      "1.17549435e-38", "3.40282347e+38", "123456.789", "-0.30000001192092896" })
            EXPECT_EQ (NumberText::toDouble (ordinary), juce::String (ordinary).getDoubleValue()) << ordinary;
    }
} // namespace
