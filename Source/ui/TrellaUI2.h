#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <juce_opengl/juce_opengl.h>

#include <array>
#include <functional>
#include <memory>

class TrellaDSP;
class EQCurveGrid;
class EQCurveEditor;
class EQKnobPanel;
class KroSettings;
class KroAnimatedAboutScreen;
class KroInlineHelp;
class vuMeter;
class Analyzer;
class PresetFooter;

/** The whole interface at its natural size of 800 x 580: the curve area (grid, the engine's
    spectrum analyser, the curve editor) above the control panel and a 20-pixel footer with the
    title and the preset, A/B and undo controls (PresetFooter), and three overlay pages that stay hidden until called
   (settings, help, about).

    It connects the pieces to each other and to the engine, and it is the one place where the
    user's global options take effect (SetGlobalOption). The editor window owns it and scales it
    as a whole; its own layout never changes.

    The engine is not owned. When the processor replaces it, the owner runs bindEngine with the new
    one on the message thread; the binding shows the new analyser beneath the controls and applies
    every option that lives in an engine to it again.
*/
class TrellaUI2 : public juce::Component
{
public:
    static constexpr int naturalWidth = 800;
    static constexpr int naturalHeight = 580;
    static constexpr int curveAreaHeight = 300;
    static constexpr int panelHeight = 260;
    static constexpr int footerHeight = 20;
    static constexpr int openGLAttachDelayMs = 500;
    static constexpr juce::uint32 footerColour = 0xffd0d0d0;

    TrellaUI2 (int width, int height, TrellaDSP* engine);
    ~TrellaUI2() override;

    /** Run by the "Check updates" button of the settings page; empty until the owner sets it. */
    std::function<void()> onCheckUpdates;

    /** Opens a web address; the system's browser unless replaced (tests replace it). */
    std::function<void (const juce::URL&)> openWebPage = [] (const juce::URL& url) { url.launchInDefaultBrowser(); };

    /** Says whether an OpenGL context can be had here; asked right before attaching one. */
    std::function<bool()> canUseOpenGL;

    /** Applies one global option (switches are on above 0, lists take the entry's index) or, with a
        negative value, runs a button. Unknown ids change nothing.
    */
    void SetGlobalOption (const juce::String& id, int value);

    /** Connects the screen to an engine (or none): the curve editor, the panel and the analyser. */
    void bindEngine (TrellaDSP* engine);

    void showSettings();
    void showHelp();
    void showAbout();

    /** The window size the "win_size" list gives for an index: the entry's scale s, as
        (trunc (800 s), trunc (580 s)) in single precision. A negative index takes the first entry,
        one above the option's Max the entry at Max. Without a usable scale (no list, no entry, a
        scale that is not a positive number) the natural size.
    */
    static juce::Point<int> windowSizeFor (const juce::ValueTree& settingsTree, int index);

    /** The window size saved in the settings tree (the "win_size" row's value). */
    static juce::Point<int> savedWindowSize (const juce::ValueTree& settingsTree);

    /** The list entry's "Value" for a list option; void when the list or the entry is missing. */
    static juce::var listValue (const juce::ValueTree& settingsTree, const juce::String& id, int index);

    /** Credits, version and build date, as the about screen shows them. */
    static juce::String makeAboutText (const juce::String& secondaryText);

    /** The day this file was compiled, from the compiler's date text ("Mar  4 2025"). */
    static juce::Time getBuildDate();
    static juce::Time dateFromCompilerText (const juce::String& text);

    TrellaDSP* getEngine() const noexcept { return engine; }
    Analyzer* getAnalyzer() const noexcept;
    EQCurveGrid& getGrid() noexcept { return *grid; }
    EQCurveEditor& getCurveEditor() noexcept { return *curveEditor; }
    EQKnobPanel& getPanel() noexcept { return *panel; }
    KroSettings& getSettingsPage() noexcept { return *settingsPage; }
    PresetFooter& getFooter() noexcept { return *footer; }
    KroInlineHelp& getHelpViewer() noexcept { return *helpViewer; }
    KroAnimatedAboutScreen& getAboutScreen() noexcept { return *aboutScreen; }
    juce::OpenGLContext& getOpenGLContext() noexcept { return openGLContext; }
    const juce::String& getTitle() const noexcept { return title; }
    juce::ValueTree getSettingsTree() const;

    /** The panel's five meters, in the order input L, input R, output L, output R, phase. */
    std::array<vuMeter*, 5> getMeters() const noexcept;

    void paint (juce::Graphics& g) override;
    void resized() override {}

private:
    void applySavedOptions();
    void applyEngineOptions();
    void restackCurveAreaAndPanel();
    void moveBand (int band, float frequency, float gain, bool active);

    void showAnalyser (bool shown);
    void setPeakHold (int listIndex);
    void setMeterDecay (int listIndex);
    void setWindowSize (int index);
    void setOpenGL (bool on);
    void attachOpenGLIfStillWanted();
    void runButton (const juce::String& id);

    TrellaDSP* engine = nullptr;
    std::unique_ptr<EQCurveGrid> grid;
    std::unique_ptr<EQCurveEditor> curveEditor;
    std::unique_ptr<EQKnobPanel> panel;
    std::unique_ptr<PresetFooter> footer;
    std::unique_ptr<KroSettings> settingsPage;
    juce::String title{ "Kro Trella" };
    std::unique_ptr<KroAnimatedAboutScreen> aboutScreen;
    std::unique_ptr<KroInlineHelp> helpViewer;
    juce::OpenGLContext openGLContext;
    bool openGLWanted = false; // the option as last set; a pending attach checks it

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TrellaUI2)
};
