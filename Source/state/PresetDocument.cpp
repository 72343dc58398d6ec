#include "PresetDocument.h"

#include "text/NumberText.h"

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
