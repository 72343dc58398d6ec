// Numbers from outside the program are read as the framework reads them, without its overflow.

#include "text/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
    TEST (NumberText, ReadsAsTheFrameworkDoesAndSaturatesHugeExponents)
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
        };

        for (const auto& c : cases)
            EXPECT_EQ (NumberText::toDouble (c.text), c.expected) << c.text;

        for (const char* ordinary : { "3.14159", "0.005005005005005005", "-0", "7e3", "1E-7" })
            EXPECT_EQ (NumberText::toDouble (ordinary), juce::String (ordinary).getDoubleValue()) << ordinary;
    }
} // namespace
