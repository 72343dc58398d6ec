#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

/** Helpers of the renderer's tests: running the built program, making and reading audio files, and
    taking a picture of a folder's files to prove that nothing was changed or left behind.
*/
namespace render_test
{
    /** How the program ended and what it printed. */
    struct ProgramResult
    {
        int exitCode = -1; // when it exited
        int signal = 0;    // when a signal ended it
        std::string out, err;
    };

    /** Extra conditions for a run. */
    struct RunConditions
    {
        bool stderrIsTerminal = false;   // stderr on a pseudo-terminal instead of a pipe
        long long fileSizeLimit = -1;    // RLIMIT_FSIZE in bytes; -1: none
        bool stderrReaderIsGone = false; // stderr a pipe whose reading end is closed, as `2>&1 | head -1` leaves it
    };

    /** The built krotrella-render, started in a working folder with the given arguments, with every
        signal at its default action and no core files.
    */
    class RenderProgram
    {
    public:
        RenderProgram (const juce::File& workingFolder, const std::vector<std::string>& arguments,
                       const RunConditions& conditions = {});
        ~RenderProgram();

        pid_t getPid() const noexcept { return pid; }

        /** Reads all output and waits for the program to end. */
        ProgramResult finish();

    private:
        pid_t pid = -1;
        int outFd = -1, errFd = -1;
        bool finished = false;
    };

    ProgramResult runRender (const juce::File& workingFolder, const std::vector<std::string>& arguments,
                             const RunConditions& conditions = {});

    //==============================================================================
    /** An audio file's content and format, as JUCE's readers give them. */
    struct AudioFile
    {
        juce::AudioBuffer<float> samples;
        double sampleRate = 0.0;
        int bitsPerSample = 0;
        bool isFloat = false;
        juce::String formatName;
    };

    /** Writes samples with the format that the file's extension names (.wav, .aif, .flac, .ogg). */
    void writeAudio (const juce::File& file, const juce::AudioBuffer<float>& samples, double sampleRate, int bits);

    /** Reads a whole audio file; fails the test if it cannot. */
    AudioFile readAudio (const juce::File& file);

    /** Seeded noise at a moderate level. */
    juce::AudioBuffer<float> noise (int channels, int frames, int seed = 7);

    //==============================================================================
    /** Every file under a folder (relative path to its size and a hash of its content); links are
        recorded by their target, folders as such. Hidden files are included.
    */
    std::map<std::string, std::string> folderPicture (const juce::File& folder);

    bool sameBytes (const juce::File& a, const juce::File& b);

    /** The `--set` arguments of the six-filter setting used by several tests, in units as a user
        types them: high-pass 40 Hz, low shelf +3 dB at 120 Hz, peaks -4 dB at 1 kHz and +2 dB at
        4.2 kHz (Q 1), high shelf +3 dB at 8.5 kHz, low-pass 16 kHz, equaliser on.
    */
    std::vector<std::string> sixFilterSettings();

    /** The same setting as (parameter index, normalised value) pairs. */
    std::vector<std::pair<int, float>> sixFilterValues();

    /** Appends one list of arguments to another. */
    std::vector<std::string> join (std::vector<std::string> first, const std::vector<std::string>& second);
} // namespace render_test
