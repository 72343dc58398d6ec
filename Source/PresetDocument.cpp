#include "PresetDocument.h"

std::unique_ptr<juce::XmlElement> PresetDocument::create (const juce::Array<Entry>& entries)
{
    auto root = std::make_unique<juce::XmlElement> (rootTag);

    for (const auto& entry : entries)
    {
        auto* param = root->createNewChildElement (paramTag);
        param->setAttribute ("ID", entry.id);
        param->setAttribute ("ValueFloat", (double) entry.value);
        param->setAttribute ("ValueMidi", stepIndexFor (entry.steps, entry.value));
        param->addTextElement (entry.name);
    }

    return root;
}

void PresetDocument::apply (const juce::XmlElement& document, const std::function<int (const juce::String&)>& findIndex,
                            const std::function<void (int, float)>& applyValue)
{
    if (! document.hasTagName (rootTag))
        return;

    for (auto* child : document.getChildIterator())
    {
        if (! child->hasTagName (paramTag))
            continue;

        const int index = findIndex (child->getStringAttribute ("ID"));
        if (index < 0)
            continue;

        const auto value = (float) child->getDoubleAttribute ("ValueFloat", 0.0);
        if (std::isfinite (value))
            applyValue (index, value);
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
