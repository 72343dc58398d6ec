#include "TrellaUI2.h"

#include "engine/TrellaDSP.h"
#include "pages/KroAnimatedAboutScreen.h"
#include "pages/KroInlineHelp.h"
#include "pages/KroSettings.h"
#include "services/CheckUpdate.h"
#include "ui/EQCurveEditor.h"
#include "ui/EQCurveGrid.h"
#include "ui/EQKnobPanel.h"
#include "ui/OpenGLSupport.h"
#include "ui/PresetFooter.h"
#include "widgets/vuMeter.h"

#include <cmath>

namespace
{
    constexpr int fadeMs = 250;
    constexpr int aboutFramesPerSecond = 25;
    constexpr int peakHoldTicksPerSecond = 25;

    // The options whose effect lives in the engine or its analyser; a new engine gets them again.
    constexpr const char* engineOptionIds[] = { "show_fft",  "fill_fft",  "rounded",
                                                "show_peak", "peak_time", "meters_time" };

    juce::ValueTree optionRow (const juce::ValueTree& settingsTree, const juce::String& id)
    {
        return settingsTree.getChildWithName ("Parameters").getChildWithProperty ("ID", id);
    }

    /** A saved integer, read through its text so that a missing value reads 0. */
    int intOf (const juce::var& value)
    {
        return value.toString().getIntValue();
    }
} // namespace

//==============================================================================
TrellaUI2::TrellaUI2 (int width, int height, TrellaDSP* initialEngine)
    : canUseOpenGL (OpenGLSupport::canCreateContext)
{
    setSize (width, height);
    setOpaque (true);

    grid = std::make_unique<EQCurveGrid> (width, curveAreaHeight);
    addAndMakeVisible (*grid);

    panel = std::make_unique<EQKnobPanel> (width, panelHeight, initialEngine);
    panel->setBounds (0, curveAreaHeight, width, panelHeight);

    curveEditor = std::make_unique<EQCurveEditor> (width, curveAreaHeight, initialEngine);
    curveEditor->onBandChanged = [this] (int band, float frequency, float gain, bool active)
    { moveBand (band, frequency, gain, active); };
    curveEditor->onQChanged = [this] (int band, float q)
    {
        if (engine != nullptr)
            engine->setBandQ (band, q);
    };

    bindEngine (initialEngine);

    // Right-aligned in the footer, below its top line; the pages cover it when they are shown.
    footer = std::make_unique<PresetFooter>();
    footer->setBounds (width - 5 - PresetFooter::naturalWidth, height - footerHeight + 1, PresetFooter::naturalWidth,
                       footerHeight - 1);
    addAndMakeVisible (*footer);

    settingsPage = std::make_unique<KroSettings> (width, height);
    settingsPage->setTopLeftPosition (0, 0);
    settingsPage->onOptionChanged = [this] (juce::String id, int value) { SetGlobalOption (id, value); };
    addChildComponent (*settingsPage);
    panel->onSettingsClicked = [this] { showSettings(); };

    // Without a parent yet, "win_size" has no effect here; the editor sizes the window itself.
    applySavedOptions();

    helpViewer = std::make_unique<KroInlineHelp>();
    helpViewer->setBounds (0, 0, width, height);
    addChildComponent (*helpViewer);
    panel->onHelpClicked = [this] { showHelp(); };

    aboutScreen = std::make_unique<KroAnimatedAboutScreen>();
    aboutScreen->setBounds (0, 0, width, height);
    addChildComponent (*aboutScreen);
    panel->onAboutClicked = [this] { showAbout(); };
}

TrellaUI2::~TrellaUI2()
{
    openGLContext.detach();

    // The analyser belongs to the engine and outlives this screen.
    if (auto* analyzer = getAnalyzer())
        removeChildComponent (analyzer);
}

//==============================================================================
void TrellaUI2::bindEngine (TrellaDSP* newEngine)
{
    if (auto* previous = getAnalyzer();
        previous != nullptr && (newEngine == nullptr || previous != newEngine->getAnalyzer()))
        removeChildComponent (previous);

    engine = newEngine;
    if (engine != nullptr)
        engine->makeAnalyzer(); // a window component: made here, on the message thread
    curveEditor->setEngine (engine);
    panel->setEngine (engine); // hands the freeze and FFT PRE/POST choices to the engine

    if (auto* analyzer = getAnalyzer())
    {
        analyzer->markerColour = juce::Colours::steelblue.brighter (0.4f).withAlpha (0.5f);
        analyzer->lineColour = juce::Colours::lightgrey;
        analyzer->setBounds (0, 0, getWidth(), curveAreaHeight);
        addAndMakeVisible (*analyzer);
    }

    addAndMakeVisible (*panel);
    addAndMakeVisible (*curveEditor);
    restackCurveAreaAndPanel();

    // At construction the saved options follow once the settings page exists.
    if (settingsPage != nullptr)
        applyEngineOptions();

    if (engine != nullptr)
        panel->syncFromEngine (engine->getParams());
}

void TrellaUI2::restackCurveAreaAndPanel()
{
    // Bottom to top: grid, analyser, panel, curve editor; the overlay pages keep their own order above.
    curveEditor->toBack();
    panel->toBack();

    if (auto* analyzer = getAnalyzer())
        analyzer->toBack();

    grid->toBack();
}

Analyzer* TrellaUI2::getAnalyzer() const noexcept
{
    return engine != nullptr ? engine->getAnalyzer() : nullptr;
}

juce::ValueTree TrellaUI2::getSettingsTree() const
{
    return settingsPage != nullptr ? settingsPage->settingsTree : juce::ValueTree();
}

std::array<vuMeter*, 5> TrellaUI2::getMeters() const noexcept
{
    return { panel->meterInL.get(), panel->meterInR.get(), panel->meterOutL.get(), panel->meterOutR.get(),
             panel->meterPhase.get() };
}

void TrellaUI2::moveBand (int band, float frequency, float gain, bool active)
{
    if (engine == nullptr)
        return;

    // Dragging a band while the equaliser is off switches it on.
    if (engine->getParams().eqActive == 0)
        engine->setEqActive (true);

    engine->setBandFrequency (band, frequency);
    engine->setBandGain (band, gain);
    engine->setBandActive (band, active);
}

//==============================================================================
void TrellaUI2::applySavedOptions()
{
    for (const auto row : getSettingsTree().getChildWithName ("Parameters"))
        SetGlobalOption (row["ID"].toString(), intOf (row["Value"]));
}

void TrellaUI2::applyEngineOptions()
{
    const auto tree = getSettingsTree();

    for (const auto* id : engineOptionIds)
        SetGlobalOption (id, intOf (optionRow (tree, id)["Value"]));
}

void TrellaUI2::SetGlobalOption (const juce::String& id, int value)
{
    const bool on = value > 0;
    auto* analyzer = getAnalyzer();

    if (id == "show_fft")
        showAnalyser (on);
    else if (id == "fill_fft")
    {
        if (analyzer != nullptr)
            analyzer->fillSpectrum = on;
    }
    else if (id == "rounded")
    {
        if (analyzer != nullptr)
            analyzer->roundedSpectrum = on;
    }
    else if (id == "show_peak")
    {
        for (auto* meter : getMeters())
            meter->showPeak = on;

        if (analyzer != nullptr)
            analyzer->showPeak = on;
    }
    else if (id == "peak_time")
        setPeakHold (value);
    else if (id == "meters_time")
        setMeterDecay (value);
    else if (id == "show_guides")
        curveEditor->showGuides = on;
    else if (id == "band_info")
        curveEditor->showBandInfo = on;
    else if (id == "win_size")
        setWindowSize (value);
    else if (id == "use_opengl")
        setOpenGL (on);
    else if (value < 0)
        runButton (id);

    repaint();
}

void TrellaUI2::showAnalyser (bool shown)
{
    if (engine == nullptr)
        return;

    engine->showAnalyzer = shown;

    // A hidden analyser shows a flat line, not the last frame it took.
    if (auto* analyzer = engine->getAnalyzer(); ! shown && analyzer != nullptr)
        analyzer->clear();
}

void TrellaUI2::setPeakHold (int listIndex)
{
    const int seconds = juce::jlimit (1, 10, (int) listValue (getSettingsTree(), "peak_time", listIndex));
    const int ticks = seconds * peakHoldTicksPerSecond;

    for (auto* meter : getMeters())
        meter->peakHoldTicks = ticks;

    if (auto* analyzer = getAnalyzer())
        analyzer->peakHoldFrames = ticks;
}

void TrellaUI2::setMeterDecay (int listIndex)
{
    // A missing entry reads 0 ms: the meters fall at once.
    if (engine != nullptr)
        engine->setMeterReleaseTime ((float) (double) listValue (getSettingsTree(), "meters_time", listIndex));
}

void TrellaUI2::setWindowSize (int index)
{
    if (auto* window = getParentComponent())
    {
        const auto size = windowSizeFor (getSettingsTree(), index);
        window->setSize (size.x, size.y);
    }
}

void TrellaUI2::setOpenGL (bool on)
{
    openGLWanted = on;

    if (! on)
    {
        openGLContext.detach();
        return;
    }

    if (openGLContext.getTargetComponent() != nullptr)
        return;

    // The window needs a moment to appear on screen before a context can be attached to it.
    juce::Timer::callAfterDelay (openGLAttachDelayMs,
                                 [screen = juce::Component::SafePointer<TrellaUI2> (this)]
                                 {
                                     if (screen != nullptr)
                                         screen->attachOpenGLIfStillWanted();
                                 });
}

void TrellaUI2::attachOpenGLIfStillWanted()
{
    if (! openGLWanted || ! isShowing() || openGLContext.getTargetComponent() != nullptr)
        return;

    // Without a usable context the window keeps drawing in software.
    if (canUseOpenGL != nullptr && ! canUseOpenGL())
        return;

    openGLContext.attachTo (*getTopLevelComponent());
}

void TrellaUI2::runButton (const juce::String& id)
{
    if (id == "btn_chkupd")
    {
        if (onCheckUpdates != nullptr)
            onCheckUpdates();
    }
    else if (id == "btn_support")
    {
        if (openWebPage != nullptr)
            openWebPage (juce::URL (UpdateCheck::supportSiteAddress));
    }
}

//==============================================================================
juce::var TrellaUI2::listValue (const juce::ValueTree& settingsTree, const juce::String& id, int index)
{
    return settingsTree.getChildWithProperty ("For", id).getChild (index)["Value"];
}

juce::Point<int> TrellaUI2::windowSizeFor (const juce::ValueTree& settingsTree, int index)
{
    const int max = intOf (optionRow (settingsTree, "win_size")["Max"]);
    const int entry = index < 0 ? 0 : juce::jmin (index, max);
    const auto scale = (float) (double) listValue (settingsTree, "win_size", entry);

    if (! std::isfinite (scale) || scale <= 0.0f)
        return { naturalWidth, naturalHeight };

    return { (int) ((float) naturalWidth * scale), (int) ((float) naturalHeight * scale) };
}

juce::Point<int> TrellaUI2::savedWindowSize (const juce::ValueTree& settingsTree)
{
    return windowSizeFor (settingsTree, intOf (optionRow (settingsTree, "win_size")["Value"]));
}

//==============================================================================
void TrellaUI2::showSettings()
{
    settingsPage->Open();
}

void TrellaUI2::showHelp()
{
    helpViewer->Open();
}

void TrellaUI2::showAbout()
{
    aboutScreen->text = makeAboutText (aboutScreen->secondaryText);
    aboutScreen->toFront (true);
    aboutScreen->resetPhases();
    aboutScreen->startTimerHz (aboutFramesPerSecond);
    juce::Desktop::getInstance().getAnimator().fadeIn (aboutScreen.get(), fadeMs);
}

juce::String TrellaUI2::makeAboutText (const juce::String& secondaryText)
{
    const juce::String credits = "\nKro Trella\n"
                                 "Coded by: the Palvenmark audio team\n"
                                 "Special thanks to: everyone who tried the early builds\n\n";

    return credits + "Version: " + JucePlugin_VersionString +
           " - build date: " + getBuildDate().toString (true, false) + " " + secondaryText;
}

juce::Time TrellaUI2::getBuildDate()
{
    return dateFromCompilerText (__DATE__);
}

juce::Time TrellaUI2::dateFromCompilerText (const juce::String& text)
{
    static const juce::StringArray months{ "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    auto parts = juce::StringArray::fromTokens (text, " ", {});
    parts.removeEmptyStrings();

    if (parts.size() != 3 || ! months.contains (parts[0]))
        return {};

    // Noon, so that no time zone moves the day.
    return juce::Time (parts[2].getIntValue(), months.indexOf (parts[0]), parts[1].getIntValue(), 12, 0);
}

//==============================================================================
void TrellaUI2::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black);

    const auto w = getWidth();
    const auto h = getHeight();
    const juce::Colour colour (footerColour);

    // A crisp line on the footer's top row.
    g.setColour (colour);
    g.drawHorizontalLine (h - footerHeight, 0.0f, (float) w);
    g.setFont (16.0f);
    g.drawText (title, 5, h - footerHeight, w - 10, footerHeight, juce::Justification::centredLeft, true);
}
