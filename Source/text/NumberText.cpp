#include "NumberText.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace
{
    bool isDigit (char c) noexcept
    {
        return c >= '0' && c <= '9';
    }

    bool isAsciiSpace (char c) noexcept
    {
        return c == ' ' || (c >= '\t' && c <= '\r');
    }

    bool startsWithWord (const char* p, const char* word) noexcept
    {
        for (; *word != 0; ++p, ++word)
            if ((*p | 0x20) != *word)
                return false;
        return true;
    }

    const char* skipDigits (const char* p) noexcept
    {
        while (isDigit (*p))
            ++p;
        return p;
    }

    /** About the power of ten of digits[.digits] times ten to the exponent, saturated far beyond
        the range of double; only its sign matters to the caller (a value out of range is huge or tiny).
    */
    long long orderOfMagnitude (const char* mantissa, const char* mantissaEnd, const char* exponent,
                                const char* exponentEnd) noexcept
    {
        long long order = 0;
        const char* p = mantissa;
        while (p < mantissaEnd && *p == '0')
            ++p;
        for (; p < mantissaEnd && isDigit (*p); ++p)
            ++order; // significant digits before the point
        if (order == 0 && p < mantissaEnd && *p == '.')
            for (++p; p < mantissaEnd && *p == '0'; ++p)
                --order; // zeros after the point before the first significant digit

        long long exponentValue = 0;
        for (const char* e = exponent; e < exponentEnd; ++e)
            if (isDigit (*e) && exponentValue < 1000000000)
                exponentValue = exponentValue * 10 + (*e - '0');

        return order + (exponent < exponentEnd && *exponent == '-' ? -exponentValue : exponentValue);
    }
} // namespace

double NumberText::toDouble (const juce::String& text)
{
    const char* p = text.toRawUTF8();
    while (isAsciiSpace (*p))
        ++p;

    const bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        ++p;

    if (startsWithWord (p, "nan"))
        return std::numeric_limits<double>::quiet_NaN();
    if (startsWithWord (p, "inf"))
        return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();

    // The number's extent: digits, a point and digits, then an exponent only if it has digits.
    const char* const number = p;
    const char* end = skipDigits (p);
    const bool digitsBeforePoint = end != number;
    if (*end == '.')
        end = skipDigits (end + 1);
    if (! digitsBeforePoint && end - number <= 1)
        return 0.0;

    const char* const mantissaEnd = end;
    const char* exponent = end;
    if (*end == 'e' || *end == 'E')
    {
        exponent = end + 1;
        const char* exponentDigits = exponent + ((*exponent == '+' || *exponent == '-') ? 1 : 0);
        const char* exponentEnd = skipDigits (exponentDigits);
        if (exponentEnd != exponentDigits)
            end = exponentEnd;
        else
            exponent = end; // "1e" or "1e+" is the number 1 followed by other text
    }

    double value = 0.0;
    const auto [stop, error] = std::from_chars (number, end, value, std::chars_format::general);
    if (error == std::errc::result_out_of_range)
        value =
            orderOfMagnitude (number, mantissaEnd, exponent, end) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    else if (error != std::errc() || stop != end)
        value = 0.0;

    return negative ? -value : value;
}
