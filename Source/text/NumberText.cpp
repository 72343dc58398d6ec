#include "NumberText.h"

namespace
{
    bool isDigit (char c) noexcept
    {
        return c >= '0' && c <= '9';
    }

    const char* skipDigits (const char* p) noexcept
    {
        while (isDigit (*p))
            ++p;
        return p;
    }
} // namespace

double NumberText::toDouble (const juce::String& text)
{
    const char* const start = text.toRawUTF8();
    const char* p = start;
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
        ++p;
    if (*p == '+' || *p == '-')
        ++p;
    p = skipDigits (p);
    if (*p == '.')
        p = skipDigits (p + 1);

    if (*p != 'e' && *p != 'E')
        return text.getDoubleValue();

    const char* exponent = p + 1;
    if (*exponent == '+' || *exponent == '-')
        ++exponent;
    const char* significant = exponent;
    while (*significant == '0')
        ++significant;
    const char* end = skipDigits (significant);

    constexpr int longestExponent = 4;
    if (end - significant <= longestExponent)
        return text.getDoubleValue();

    const auto bounded = juce::String::fromUTF8 (start, (int) (exponent - start)) + "9999";
    return bounded.getDoubleValue();
}
