#include "EqualiserText.h"

#include <charconv>
#include <cmath>
#include <optional>

namespace
{
    /** A number as these files write it: an optional sign, digits, and a point or a comma as the
        decimal mark. Anything else in the text makes it no number.
    */
    std::optional<double> readNumber (juce::String text)
    {
        text = text.replaceCharacter (',', '.');
        if (text.startsWithChar ('+'))
            text = text.substring (1);
        if (text.isEmpty() || text.length() > 40 || text.startsWithChar ('+'))
            return std::nullopt;

        const std::string ascii = text.toStdString();
        double value = 0.0;
        const auto [end, problem] =
            std::from_chars (ascii.data(), ascii.data() + ascii.size(), value, std::chars_format::fixed);
        if (problem != std::errc() || end != ascii.data() + ascii.size() || ! std::isfinite (value))
            return std::nullopt;
        return value;
    }

    bool isNumberCharacter (juce::juce_wchar c) noexcept
    {
        return (c >= '0' && c <= '9') || c == '.' || c == ',' || c == '+' || c == '-';
    }

    /** The line as it may be quoted in a message: short, and without control characters. */
    juce::String excerpt (const juce::String& line)
    {
        constexpr int longest = 40;
        juce::String shown;
        for (auto c : line.trim())
            shown << (c < 0x20 || c == 0x7f ? juce::juce_wchar ('?') : c);
        return "\"" + (shown.length() > longest ? shown.substring (0, longest) + "..." : shown) + "\"";
    }

    /** The units a quantity may carry, with the factor each stands for. */
    struct Unit
    {
        const char* name;
        double factor;
    };

    const Unit hertz[] = { { "HZ", 1.0 }, { "KHZ", 1000.0 } };
    const Unit decibels[] = { { "DB", 1.0 } };

    template <size_t n>
    std::optional<double> unitFactor (const juce::String& text, const Unit (&units)[n])
    {
        for (const auto& unit : units)
            if (text.equalsIgnoreCase (unit.name))
                return unit.factor;
        return std::nullopt;
    }

    /** Reads one filter or preamp line's words; each `take…` reports its problem in `problem`. */
    class Words
    {
    public:
        explicit Words (const juce::String& text)
        {
            words.addTokens (text, " \t", {});
            words.removeEmptyStrings();
        }

        bool atEnd() const noexcept { return position >= words.size(); }
        juce::String peek (int ahead = 0) const { return words[position + ahead]; }
        juce::String next() { return words[position++]; }

        /** A number, optionally followed (joined or as the next word) by one of the units. A
            number without a unit is taken in the first unit.
        */
        template <size_t n>
        std::optional<double> takeQuantity (const Unit (&units)[n])
        {
            const auto word = next();
            int split = 0;
            while (split < word.length() && isNumberCharacter (word[split]))
                ++split;

            const auto number = readNumber (word.substring (0, split));
            if (! number.has_value())
                return std::nullopt;

            auto factor = std::optional<double> (units[0].factor);
            if (split < word.length())
                factor = unitFactor (word.substring (split), units);
            else if (! atEnd() && unitFactor (peek(), units).has_value())
                factor = unitFactor (next(), units);

            if (! factor.has_value())
                return std::nullopt;
            return *number * *factor;
        }

        /** A shelf's slope written after its type: "12dB", "12 dB" or "12". */
        std::optional<double> takeSlope()
        {
            if (atEnd() || ! isNumberCharacter (peek()[0]))
                return std::nullopt;
            return takeQuantity (decibels);
        }

    private:
        juce::StringArray words;
        int position = 0;
    };

    struct FilterType
    {
        const char* name;
        EqualiserText::FilterKind kind;
        bool shelf;
    };

    const FilterType filterTypes[] = {
        { "PK", EqualiserText::FilterKind::peak, false },     { "PEQ", EqualiserText::FilterKind::peak, false },
        { "LS", EqualiserText::FilterKind::lowShelf, true },  { "LSC", EqualiserText::FilterKind::lowShelf, true },
        { "HS", EqualiserText::FilterKind::highShelf, true }, { "HSC", EqualiserText::FilterKind::highShelf, true },
        { "LP", EqualiserText::FilterKind::lowPass, false },  { "LPQ", EqualiserText::FilterKind::lowPass, false },
        { "HP", EqualiserText::FilterKind::highPass, false }, { "HPQ", EqualiserText::FilterKind::highPass, false },
    };

    const FilterType* findFilterType (const juce::String& name)
    {
        for (const auto& type : filterTypes)
            if (name.equalsIgnoreCase (type.name))
                return &type;
        return nullptr;
    }

    /** Commands of the configuration syntax that have no meaning for one stereo equaliser. */
    bool isOtherCommand (const juce::String& command)
    {
        static const char* const others[] = {
            "Device", "Include", "Copy",  "Stage",       "GraphicEQ",          "Delay",     "Eval",          "If",
            "ElseIf", "Else",    "EndIf", "Convolution", "LoudnessCorrection", "VSTPlugin", "AnalysisPlugin"
        };
        for (const auto* other : others)
            if (command.equalsIgnoreCase (other))
                return true;
        return false;
    }

    /** The reading of one file, line by line. */
    class Reader
    {
    public:
        EqualiserText::Result read (const juce::String& text)
        {
            if (text.trim().isEmpty())
            {
                result.error = "the file is empty";
                return std::move (result);
            }

            juce::StringArray lines;
            lines.addLines (text);
            for (int i = 0; i < lines.size(); ++i)
                readLine (i + 1, lines[i]);

            finish();
            return std::move (result);
        }

    private:
        void notUsed (int line, const juce::String& why)
        {
            ++result.linesNotUsed;
            if ((int) result.notes.size() < EqualiserText::maximumNotes)
                result.notes.push_back ({ line, why });
            else
                ++notesLeftOut;
        }

        void readLine (int number, juce::String line)
        {
            if (number == 1 && line.startsWithChar (0xfeff)) // a byte-order mark
                line = line.substring (1);

            if (line.length() > EqualiserText::maximumLineLength)
                return notUsed (number, "longer than " + juce::String (EqualiserText::maximumLineLength) +
                                            " characters; not read");

            const int comment = line.indexOfChar ('#');
            if (comment >= 0)
                line = line.substring (0, comment);
            line = line.trim();
            if (line.isEmpty())
                return;

            const int colon = line.indexOfChar (':');
            if (colon < 0)
                return notUsed (number, "not an equaliser line: " + excerpt (line));

            const auto command = line.substring (0, colon).trim();
            const auto rest = line.substring (colon + 1);

            if (isFilterCommand (command))
                return readFilter (number, rest);
            if (command.equalsIgnoreCase ("Preamp"))
                return readPreamp (number, rest);
            if (command.equalsIgnoreCase ("Channel"))
                return readChannels (number, rest);
            if (isOtherCommand (command))
                return notUsed (number, "'" + command + ":' is not read here (only Preamp, Filter and Channel are)");

            notUsed (number, "not an equaliser line: " + excerpt (line));
        }

        static bool isFilterCommand (const juce::String& command)
        {
            if (! command.startsWithIgnoreCase ("Filter"))
                return false;
            const auto number = command.substring (6).trim();
            return number.containsOnly ("0123456789");
        }

        void readChannels (int number, const juce::String& rest)
        {
            juce::StringArray names;
            names.addTokens (rest.toUpperCase(), " \t,", {});
            names.removeEmptyStrings();

            const bool left = names.contains ("L") || names.contains ("1");
            const bool right = names.contains ("R") || names.contains ("2");
            bothChannels = names.contains ("ALL") || (left && right);
            if (names.isEmpty())
            {
                bothChannels = true;
                notUsed (number, "a Channel line names no channel; the lines after it act on both channels");
            }
        }

        bool acceptsChannelContent (int number)
        {
            if (bothChannels)
                return true;
            notUsed (number, "acts on some channels only; Kro Trella applies one curve to both channels");
            return false;
        }

        void readPreamp (int number, const juce::String& rest)
        {
            Words words (rest);
            if (words.atEnd())
                return notUsed (number, "Preamp gives no gain");

            const auto gain = words.takeQuantity (decibels);
            if (! gain.has_value() || ! words.atEnd())
                return notUsed (number, "Preamp needs a gain in dB, not " + excerpt (rest));
            if (std::abs (*gain) > EqualiserText::largestGainDb)
                return notUsed (number, "Preamp " + juce::String (*gain) + " dB is beyond +-100 dB");
            if (! acceptsChannelContent (number))
                return;

            result.preampDb += *gain;
            result.hasPreamp = true;
        }

        void readFilter (int number, const juce::String& rest)
        {
            Words words (rest);
            const auto state = words.next();
            if (state.equalsIgnoreCase ("OFF"))
                return notUsed (number, "the filter is switched OFF");
            if (! state.equalsIgnoreCase ("ON"))
                return notUsed (number, "a filter must say ON or OFF, not " + excerpt (rest));

            const auto typeName = words.next();
            if (typeName.isEmpty())
                return notUsed (number, "the filter has no type");
            if (typeName.equalsIgnoreCase ("None")) // an empty slot, as REW writes it
                return;

            const auto* type = findFilterType (typeName);
            if (type == nullptr)
                return notUsed (number, "filter type '" + typeName +
                                            "' is not one Kro Trella has (PK, LS/LSC, HS/HSC, LP/LPQ, HP/HPQ)");

            const auto problem = readFilterFields (words, *type, number);
            if (problem.isNotEmpty())
                return notUsed (number, problem);
        }

        /** Reads the fields after the type into a filter and keeps it; returns the problem, if any. */
        juce::String readFilterFields (Words& words, const FilterType& type, int number)
        {
            std::optional<double> frequency, gain, q, bandwidth, slope;

            if (type.shelf)
                slope = words.takeSlope();

            while (! words.atEnd())
            {
                const auto field = words.next();
                const auto given = [&field] (const std::optional<double>& value)
                { return value.has_value() ? field + " is given twice" : juce::String(); };

                juce::String twice;
                if (field.equalsIgnoreCase ("Fc"))
                {
                    twice = given (frequency);
                    frequency = words.atEnd() ? std::nullopt : words.takeQuantity (hertz);
                    if (! frequency.has_value())
                        return "Fc needs a frequency in Hz";
                }
                else if (field.equalsIgnoreCase ("Gain"))
                {
                    twice = given (gain);
                    gain = words.atEnd() ? std::nullopt : words.takeQuantity (decibels);
                    if (! gain.has_value())
                        return "Gain needs a value in dB";
                }
                else if (field.equalsIgnoreCase ("Q"))
                {
                    twice = given (q);
                    q = words.atEnd() ? std::nullopt : readNumber (words.next());
                    if (! q.has_value())
                        return "Q needs a number";
                }
                else if (field.equalsIgnoreCase ("BW"))
                {
                    twice = given (bandwidth);
                    if (words.peek().equalsIgnoreCase ("Oct"))
                        words.next();
                    bandwidth = words.atEnd() ? std::nullopt : readNumber (words.next());
                    if (! bandwidth.has_value())
                        return "BW needs a number of octaves";
                    if (words.peek().equalsIgnoreCase ("Oct"))
                        words.next();
                }
                else
                    return "unexpected " + excerpt (field) + " in the filter";

                if (twice.isNotEmpty())
                    return twice;
            }

            EqualiserText::Filter filter;
            filter.kind = type.kind;
            filter.line = number;

            if (! frequency.has_value())
                return "the filter has no Fc";
            if (*frequency < EqualiserText::lowestFrequency || *frequency > EqualiserText::highestFrequency)
                return "Fc " + juce::String (*frequency) + " Hz is outside 1 Hz to 100 kHz";
            filter.frequency = *frequency;

            const bool passFilter =
                type.kind == EqualiserText::FilterKind::lowPass || type.kind == EqualiserText::FilterKind::highPass;
            if (! passFilter)
            {
                if (! gain.has_value())
                    return "the filter has no Gain";
                if (std::abs (*gain) > EqualiserText::largestGainDb)
                    return "Gain " + juce::String (*gain) + " dB is beyond +-100 dB";
                filter.gainDb = *gain;
            }

            const int ways = (q.has_value() ? 1 : 0) + (bandwidth.has_value() ? 1 : 0) + (slope.has_value() ? 1 : 0);
            if (ways > 1)
                return "give one of Q, BW Oct or a shelf slope, not several";
            if (type.kind == EqualiserText::FilterKind::peak && ways == 0)
                return "a peak needs a Q or a BW Oct";

            if (bandwidth.has_value())
            {
                if (type.kind != EqualiserText::FilterKind::peak)
                    return "BW Oct is given for a filter that is not a peak";
                if (! (*bandwidth > 0.0 && *bandwidth <= 10.0))
                    return "BW Oct " + juce::String (*bandwidth) + " is outside 0 to 10 octaves";
                filter.q = EqualiserText::qForBandwidth (*bandwidth);
            }
            else if (slope.has_value())
            {
                filter.q = EqualiserText::qForShelfSlope (*slope, filter.gainDb);
                if (! (filter.q > 0.0))
                    return "a slope of " + juce::String (*slope) + " dB per octave is not possible for this gain";
            }
            else if (q.has_value())
                filter.q = *q;
            else
                filter.q = EqualiserText::butterworthQ;

            if (! (filter.q >= EqualiserText::smallestQ && filter.q <= EqualiserText::largestQ))
                return "Q " + juce::String (filter.q) + " is outside 0.001 to 1000";

            if (! acceptsChannelContent (number))
                return {};

            if ((int) result.filters.size() >= EqualiserText::maximumFilters)
                return "more than " + juce::String (EqualiserText::maximumFilters) + " filters; the rest are not used";

            result.filters.push_back (filter);
            return {};
        }

        void finish()
        {
            if (notesLeftOut > 0)
                result.notes.push_back ({ 0, "and " + juce::String (notesLeftOut) + " more lines not used" });

            if (result.filters.empty() && ! result.hasPreamp)
                result.error = result.linesNotUsed > 0
                                   ? "no line of the file can be used (" + juce::String (result.linesNotUsed) +
                                         (result.linesNotUsed == 1 ? " line" : " lines") + " not used)"
                                   : "the file holds no Preamp or Filter line";
        }

        EqualiserText::Result result;
        bool bothChannels = true;
        int notesLeftOut = 0;
    };
} // namespace

//==============================================================================
juce::String EqualiserText::Note::describe() const
{
    return line > 0 ? "line " + juce::String (line) + ": " + text : text;
}

EqualiserText::Result EqualiserText::read (const juce::String& text)
{
    return Reader().read (text);
}

EqualiserText::Result EqualiserText::readFile (const juce::File& file)
{
    Result result;
    if (file.isDirectory())
        result.error = "is a folder, not a file";
    else if (! file.existsAsFile())
        result.error = "no such file";
    else if (file.getSize() > maximumFileSize)
        result.error = "is larger than " + juce::String (maximumFileSize >> 20) + " MB; not an equaliser file";
    if (result.error.isNotEmpty())
        return result;

    juce::MemoryBlock bytes;
    if (! file.loadFileAsData (bytes))
    {
        result.error = "cannot be read";
        return result;
    }

    const auto* data = static_cast<const unsigned char*> (bytes.getData());
    const auto size = bytes.getSize();
    const bool utf16 = size >= 2 && ((data[0] == 0xff && data[1] == 0xfe) || (data[0] == 0xfe && data[1] == 0xff));

    juce::String text;
    if (utf16)
        text = juce::String::createStringFromData (data, (int) size);
    else
    {
        // A zero byte would end the text early; it can only be part of a line that is not used.
        juce::MemoryBlock cleaned (bytes);
        auto* chars = static_cast<char*> (cleaned.getData());
        for (size_t i = 0; i < size; ++i)
            if (chars[i] == 0)
                chars[i] = '?';

        if (juce::CharPointer_UTF8::isValidString (chars, (int) size))
            text = juce::String::fromUTF8 (chars, (int) size);
        else
        {
            // Not UTF-8: one byte per character, as older Windows tools write.
            std::string utf8;
            utf8.reserve (size * 2);
            for (size_t i = 0; i < size; ++i)
            {
                const auto c = (unsigned char) chars[i];
                if (c < 0x80)
                    utf8 += (char) c;
                else
                {
                    utf8 += (char) (0xc0 | (c >> 6));
                    utf8 += (char) (0x80 | (c & 0x3f));
                }
            }
            text = juce::String::fromUTF8 (utf8.data(), (int) utf8.size());
        }
    }

    return read (text);
}

double EqualiserText::qForBandwidth (double octaves) noexcept
{
    const double ratio = std::pow (2.0, octaves);
    return std::sqrt (ratio) / (ratio - 1.0);
}

double EqualiserText::qForShelfSlope (double dBPerOctave, double gainDb) noexcept
{
    const double s = dBPerOctave / 12.0;
    const double a = std::pow (10.0, gainDb / 40.0);
    const double inverseSquared = (a + 1.0 / a) * (1.0 / s - 1.0) + 2.0;
    return s > 0.0 && inverseSquared > 0.0 ? 1.0 / std::sqrt (inverseSquared) : 0.0;
}

juce::String EqualiserText::describe (FilterKind kind)
{
    switch (kind)
    {
        case FilterKind::peak:
            return "peak";
        case FilterKind::lowShelf:
            return "low shelf";
        case FilterKind::highShelf:
            return "high shelf";
        case FilterKind::lowPass:
            return "low-pass";
        case FilterKind::highPass:
            return "high-pass";
    }
    return {};
}
