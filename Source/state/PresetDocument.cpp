#include "PresetDocument.h"

#include "text/NumberText.h"

#include <cstdlib>
#include <optional>

namespace
{
    std::optional<double> strictNumber (const juce::String& text)
    {
        const auto trimmed = text.trim().toStdString();
        if (trimmed.empty())
            return std::nullopt;

        char* end = nullptr;
        const double number = std::strtod (trimmed.c_str(), &end);
        if (end != trimmed.c_str() + trimmed.size() || ! std::isfinite (number))
            return std::nullopt;

        return number;
    }
} // namespace

std::unique_ptr<juce::XmlElement> PresetDocument::create (const Values& values)
{
    auto root = std::make_unique<juce::XmlElement> (rootTag);

    for (size_t i = 0; i < numTrellaParams; ++i)
    {
        const auto& row = TrellaParams[i];
        auto* param = root->createNewChildElement (paramTag);
        param->setAttribute ("ID", row.id);
        param->setAttribute ("ValueFloat", (double) values[i]);
        param->setAttribute ("ValueMidi", stepIndexFor (row.steps, values[i]));
        param->addTextElement (row.name);
    }

    return root;
}

void PresetDocument::apply (const juce::XmlElement& document, const std::function<void (int, float)>& applyValue)
{
    if (! document.hasTagName (rootTag))
        return;

    for (auto* child : document.getChildIterator())
    {
        if (! child->hasTagName (paramTag))
            continue;

        const int index = findTrellaParamIndex (child->getStringAttribute ("ID").toRawUTF8());
        if (index < 0)
            continue;

        const auto value = (float) NumberText::toDouble (child->getStringAttribute ("ValueFloat", "0"));
        if (std::isfinite (value))
            applyValue (index, juce::jlimit (0.0f, 1.0f, value));
    }
}

int PresetDocument::stepIndexFor (int steps, float value) noexcept
{
    // Multiplied in single precision, as the value is stored.
    const float product = (float) steps * value;
    if (! std::isfinite (product))
        return 0;

    constexpr float limit = 2.0e9f;
    return (int) juce::jlimit (-limit, limit, product);
}

juce::String PresetDocument::problemWith (const juce::XmlElement& document)
{
    if (! document.hasTagName (rootTag))
        return "is a <" + document.getTagName() + "> document, not a Kro Trella state (<" + rootTag + ">)";

    int known = 0;
    for (auto* param : document.getChildWithTagNameIterator (paramTag))
    {
        const auto id = param->getStringAttribute ("ID");
        if (findTrellaParamIndex (id.toRawUTF8()) < 0)
            continue;

        const auto value = strictNumber (param->getStringAttribute ("ValueFloat"));
        if (! value.has_value())
            return "parameter " + id + " has no numeric ValueFloat";
        if (*value < 0.0 || *value > 1.0)
            return "parameter " + id + " has ValueFloat " + juce::String (*value) + ", outside 0..1";

        ++known;
    }

    if (known == 0)
        return "names no Kro Trella parameter";

    return {};
}

PresetDocument::Values PresetDocument::read (const juce::XmlElement& document, Values base)
{
    apply (document, [&base] (int index, float value) { base[(size_t) index] = value; });
    return base;
}
