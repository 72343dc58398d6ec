// The drop-in that krotrella-render --pipewire-filter writes, in a real PipeWire: a daemon of the
// test's own with a dummy driver reads it as a user's ~/.config/pipewire/pipewire.conf.d/ would
// hold it, a test file is played into "Kro Trella EQ" with pw-cat, the filter's output is recorded
// with pw-record, and the recording is compared with krotrella-render's output for the same
// setting. Skips with a message when PipeWire's programs are not installed.

#include "PrivatePipeWire.h"
#include "render/RenderTestSupport.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>
#include <juce_dsp/juce_dsp.h>

#include <csignal>

using namespace render_test;

namespace
{
    constexpr double rate = 48000.0;

    /** Silence, noise (different in each channel), silence, a 1 kHz sine, silence: the noise finds
        the alignment, the sine gives a level, the silence at the start lets the filter settle.
    */
    juce::AudioBuffer<float> testSignal()
    {
        const int quarter = (int) rate / 4;
        const int noiseStart = quarter, noiseLength = 4 * quarter;
        const int sineStart = noiseStart + noiseLength + quarter, sineLength = 6 * quarter;
        juce::AudioBuffer<float> signal (2, sineStart + sineLength + quarter);
        signal.clear();

        const auto noisy = noise (2, noiseLength, 5);
        for (int c = 0; c < 2; ++c)
        {
            signal.copyFrom (c, noiseStart, noisy, c, 0, noiseLength);
            for (int i = 0; i < sineLength; ++i)
                signal.setSample (
                    c, sineStart + i,
                    (float) (0.05 * std::sin (2.0 * juce::MathConstants<double>::pi * 1000.0 * i / rate)));
        }
        return signal;
    }

    constexpr int sineStart = 6 * 12000, sineLength = 6 * 12000;

    /** Where `expected` lies in `recorded` (left channels): the lag of the largest cross-correlation. */
    int findLag (const juce::AudioBuffer<float>& recorded, const juce::AudioBuffer<float>& expected)
    {
        int order = 1;
        while ((1 << order) < recorded.getNumSamples() + expected.getNumSamples())
            ++order;
        const int size = 1 << order;

        juce::dsp::FFT fft (order);
        std::vector<juce::dsp::Complex<float>> a ((size_t) size), b ((size_t) size), spectrumA ((size_t) size),
            spectrumB ((size_t) size), product ((size_t) size), correlation ((size_t) size);
        for (int i = 0; i < recorded.getNumSamples(); ++i)
            a[(size_t) i] = recorded.getSample (0, i);
        for (int i = 0; i < expected.getNumSamples(); ++i)
            b[(size_t) i] = expected.getSample (0, i);

        fft.perform (a.data(), spectrumA.data(), false);
        fft.perform (b.data(), spectrumB.data(), false);
        for (size_t i = 0; i < product.size(); ++i)
            product[i] = spectrumA[i] * std::conj (spectrumB[i]);
        fft.perform (product.data(), correlation.data(), true);

        int best = 0;
        for (int lag = 0; lag <= recorded.getNumSamples() - expected.getNumSamples(); ++lag)
            if (correlation[(size_t) lag].real() > correlation[(size_t) best].real())
                best = lag;
        return best;
    }

    double rms (const juce::AudioBuffer<float>& buffer, int channel, int start, int length)
    {
        double sum = 0.0;
        for (int i = start; i < start + length; ++i)
            sum += (double) buffer.getSample (channel, i) * buffer.getSample (channel, i);
        return std::sqrt (sum / length);
    }

    struct DesktopCase
    {
        const char* label;
        std::vector<std::string> setting;
        double boostAtOneKilohertz; // dB, or NaN when the setting is not a plain boost
    };

    void PrintTo (const DesktopCase& c, std::ostream* out)
    {
        *out << c.label;
    }

    const DesktopCase desktopCases[] = {
        { "boost_at_one_kilohertz",
          { "--set", "master_active=On", "--set", "band2_active=On", "--set", "band2_freq=1kHz", "--set",
            "band2_gain=+12dB" },
          12.0 },
        { "imported_correction_with_preamp_colour",
          { "--import-eq", "ParametricEQ.txt", "--set", "preamp_type=A512", "--set", "hipass_freq=30Hz" },
          std::numeric_limits<double>::quiet_NaN() },
    };

    class DesktopFilter : public ::testing::TestWithParam<DesktopCase>
    {
    protected:
        juce::File file (const char* name) const { return scratch.get().getChildFile (name); }

        ScratchFolder scratch;
    };

    TEST_P (DesktopFilter, RecordedOutputEqualsTheRenderersOutput)
    {
        const auto missing = PrivatePipeWire::missingPrograms();
        if (! missing.isEmpty())
            GTEST_SKIP() << "SKIPPED: PipeWire is not installed: " << missing.joinIntoString (", ");

        const auto& c = GetParam();
        ASSERT_TRUE (file ("ParametricEQ.txt")
                         .replaceWithText ("Preamp: -4 dB\n"
                                           "Filter 1: ON LSC Fc 105 Hz Gain 5.5 dB Q 0.71\n"
                                           "Filter 2: ON PK Fc 2900 Hz Gain -3.5 dB Q 2.2\n"
                                           "Filter 3: ON PK Fc 6000 Hz Gain 4 dB Q 3\n"
                                           "Filter 4: ON HSC Fc 10000 Hz Gain -2.5 dB Q 0.7\n"));
        const auto input = testSignal();
        writeAudio (file ("in.wav"), input, rate, 32);

        // The drop-in, where a user puts it, and the renderer's output for the same setting.
        const auto dropIns = file ("config/pipewire/pipewire.conf.d");
        ASSERT_TRUE (dropIns.createDirectory());
        const auto written = runRender (scratch.get(), join ({ "--pipewire-filter", "kro-trella-eq.conf" }, c.setting));
        ASSERT_EQ (written.exitCode, 0) << written.err;
        ASSERT_TRUE (file ("kro-trella-eq.conf").copyFileTo (dropIns.getChildFile ("kro-trella-eq.conf")));
        const auto rendered = runRender (scratch.get(), join (c.setting, { "in.wav", "expected.wav" }));
        ASSERT_EQ (rendered.exitCode, 0) << rendered.err;
        const auto expected = readAudio (file ("expected.wav")).samples;

        PrivatePipeWire pipewire (file ("config"), juce::File (KRO_LV2_BUNDLE).getParentDirectory());
        const auto problem = pipewire.start ("effect_input.kro_trella_eq:playback_FL");
        ASSERT_TRUE (problem.isEmpty()) << problem << "\n" << pipewire.logs();

        const auto recording = file ("recorded.wav").getFullPathName().toStdString();
        auto recorder = pipewire.startInBackground ({ "pw-record", "--rate", "48000", "--channels", "2", "--format",
                                                      "f32", "--target", "effect_output.kro_trella_eq", recording },
                                                    file ("pw-record.log"));
        juce::Thread::sleep (1000); // until the recorder is linked to the filter's output
        std::string played;
        const int playing = pipewire.run ({ "pw-cat", "--playback", "--target", "effect_input.kro_trella_eq",
                                            file ("in.wav").getFullPathName().toStdString() },
                                          30.0, &played);
        juce::Thread::sleep (500);
        recorder->stop (SIGINT, 5.0);
        ASSERT_EQ (playing, 0) << played << "\n" << pipewire.logs();

        const auto recorded = readAudio (file ("recorded.wav")).samples;
        ASSERT_EQ (recorded.getNumChannels(), 2);
        ASSERT_GE (recorded.getNumSamples(), expected.getNumSamples())
            << "the recording is shorter than the file played\n"
            << pipewire.logs();

        const int lag = findLag (recorded, expected);
        float largest = 0.0f, peak = 0.0f;
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < expected.getNumSamples(); ++i)
            {
                largest = std::max (largest, std::abs (recorded.getSample (ch, lag + i) - expected.getSample (ch, i)));
                peak = std::max (peak, std::abs (expected.getSample (ch, i)));
            }
        std::cout << c.label << ": aligned at " << lag << " samples; largest difference " << largest
                  << " (peak of the output " << peak << ")\n";
        EXPECT_LE (largest, 4.0f * std::numeric_limits<float>::epsilon() * peak);

        if (! std::isnan (c.boostAtOneKilohertz))
        {
            // The last second of the sine, well after the band has settled.
            const int start = sineStart + sineLength - (int) rate;
            for (int ch = 0; ch < 2; ++ch)
            {
                const double level = 20.0 * std::log10 (rms (recorded, ch, lag + start, (int) rate) /
                                                        rms (input, ch, start, (int) rate));
                std::cout << c.label << ": channel " << ch << " measured " << juce::String (level, 6)
                          << " dB at 1 kHz\n";
                EXPECT_NEAR (level, c.boostAtOneKilohertz, 0.05) << "channel " << ch;
            }
        }
    }

    INSTANTIATE_TEST_SUITE_P (Settings, DesktopFilter, ::testing::ValuesIn (desktopCases),
                              [] (const auto& testInfo) { return std::string (testInfo.param.label); });
} // namespace
