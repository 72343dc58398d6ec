#include "RenderTestSupport.h"

#include "state/TrellaParams.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace render_test
{
    namespace
    {
        [[noreturn]] void execProgram (const juce::File& workingFolder, const std::vector<std::string>& arguments,
                                       const RunConditions& conditions)
        {
            if (chdir (workingFolder.getFullPathName().toRawUTF8()) != 0)
                _exit (126);

            // An ignored or blocked signal would stay so across exec: the program starts as from a shell.
            for (int s = 1; s < NSIG; ++s)
                signal (s, SIG_DFL);
            sigset_t none;
            sigemptyset (&none);
            sigprocmask (SIG_SETMASK, &none, nullptr);

            const rlimit noCore{ 0, 0 };
            setrlimit (RLIMIT_CORE, &noCore);

            if (conditions.fileSizeLimit >= 0)
            {
                const rlimit limit{ (rlim_t) conditions.fileSizeLimit, (rlim_t) conditions.fileSizeLimit };
                setrlimit (RLIMIT_FSIZE, &limit);
            }

            std::vector<char*> argv;
            static std::string program = KRO_RENDER_PROGRAM;
            argv.push_back (program.data());
            for (const auto& argument : arguments)
                argv.push_back (const_cast<char*> (argument.c_str()));
            argv.push_back (nullptr);

            execv (program.c_str(), argv.data());
            _exit (127);
        }

        void readAvailable (int& fd, std::string& into)
        {
            char chunk[4096];
            const auto n = read (fd, chunk, sizeof (chunk));
            if (n > 0)
            {
                into.append (chunk, (size_t) n);
                return;
            }
            if (n < 0 && errno == EINTR)
                return;

            close (fd); // end of file, or EIO once the terminal's other side is closed
            fd = -1;
        }
    } // namespace

    RenderProgram::RenderProgram (const juce::File& workingFolder, const std::vector<std::string>& arguments,
                                  const RunConditions& conditions)
    {
        int outPipe[2], errPipe[2] = { -1, -1 };
        if (pipe (outPipe) != 0)
            throw std::runtime_error ("pipe failed");

        if (conditions.stderrIsTerminal)
        {
            if (openpty (&errPipe[0], &errPipe[1], nullptr, nullptr, nullptr) != 0)
                throw std::runtime_error ("openpty failed");
        }
        else if (pipe (errPipe) != 0)
        {
            throw std::runtime_error ("pipe failed");
        }

        if (conditions.stderrReaderIsGone)
        {
            close (errPipe[0]); // before the fork, so that no process ever reads it
            errPipe[0] = -1;
        }

        pid = fork();
        if (pid == 0)
        {
            dup2 (outPipe[1], STDOUT_FILENO);
            dup2 (errPipe[1], STDERR_FILENO);
            const int nullInput = open ("/dev/null", O_RDONLY);
            dup2 (nullInput, STDIN_FILENO);
            for (const int fd : { outPipe[0], outPipe[1], errPipe[0], errPipe[1], nullInput })
                close (fd);
            execProgram (workingFolder, arguments, conditions);
        }

        close (outPipe[1]);
        close (errPipe[1]);
        outFd = outPipe[0];
        errFd = errPipe[0]; // -1 when its reader is gone
    }

    RenderProgram::~RenderProgram()
    {
        if (! finished && pid > 0)
        {
            kill (pid, SIGKILL);
            finish();
        }
    }

    ProgramResult RenderProgram::finish()
    {
        ProgramResult result;

        while (outFd >= 0 || errFd >= 0)
        {
            pollfd fds[2] = { { outFd, POLLIN, 0 }, { errFd, POLLIN, 0 } };
            if (poll (fds, 2, -1) < 0)
                continue;
            if (fds[0].revents != 0)
                readAvailable (outFd, result.out);
            if (fds[1].revents != 0)
                readAvailable (errFd, result.err);
        }

        int status = 0;
        while (waitpid (pid, &status, 0) < 0 && errno == EINTR)
        {
        }
        finished = true;

        if (WIFEXITED (status))
            result.exitCode = WEXITSTATUS (status);
        if (WIFSIGNALED (status))
            result.signal = WTERMSIG (status);
        return result;
    }

    ProgramResult runRender (const juce::File& workingFolder, const std::vector<std::string>& arguments,
                             const RunConditions& conditions)
    {
        return RenderProgram (workingFolder, arguments, conditions).finish();
    }

    //==============================================================================
    void writeAudio (const juce::File& file, const juce::AudioBuffer<float>& samples, double sampleRate, int bits)
    {
        juce::AudioFormatManager formats;
        formats.registerBasicFormats();
        auto* format = formats.findFormatForFileExtension (file.getFileExtension());
        ASSERT_NE (format, nullptr) << file.getFullPathName();

        file.deleteFile();
        auto stream = std::make_unique<juce::FileOutputStream> (file);
        ASSERT_TRUE (stream->openedOk());

        const int quality = format->getQualityOptions().isEmpty() ? 0 : format->getQualityOptions().size() - 1;
        std::unique_ptr<juce::AudioFormatWriter> writer (format->createWriterFor (
            stream.get(), sampleRate, (unsigned int) samples.getNumChannels(), bits, {}, quality));
        ASSERT_NE (writer, nullptr) << file.getFullPathName() << " at " << bits << " bits";
        stream.release();

        ASSERT_TRUE (writer->writeFromAudioSampleBuffer (samples, 0, samples.getNumSamples()));
    }

    AudioFile readAudio (const juce::File& file)
    {
        juce::AudioFormatManager formats;
        formats.registerBasicFormats();
        std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));

        AudioFile audio;
        if (reader == nullptr)
        {
            ADD_FAILURE() << "cannot read " << file.getFullPathName();
            return audio;
        }

        audio.samples.setSize ((int) reader->numChannels, (int) reader->lengthInSamples);
        reader->read (&audio.samples, 0, (int) reader->lengthInSamples, 0, true, true);
        audio.sampleRate = reader->sampleRate;
        audio.bitsPerSample = (int) reader->bitsPerSample;
        audio.isFloat = reader->usesFloatingPointData;
        audio.formatName = reader->getFormatName();
        return audio;
    }

    juce::AudioBuffer<float> noise (int channels, int frames, int seed)
    {
        juce::AudioBuffer<float> buffer (channels, frames);
        juce::Random random (seed);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < frames; ++i)
                buffer.setSample (c, i, 0.3f * (2.0f * random.nextFloat() - 1.0f));
        return buffer;
    }

    //==============================================================================
    std::map<std::string, std::string> folderPicture (const juce::File& folder)
    {
        std::map<std::string, std::string> picture;

        // Hidden files are included: a temporary output left behind would be one.
        for (const auto& entry : juce::RangedDirectoryIterator (folder, true, "*", juce::File::findFilesAndDirectories,
                                                                juce::File::FollowSymlinks::no))
        {
            const auto& file = entry.getFile();
            const auto name = file.getRelativePathFrom (folder).toStdString();

            if (file.isSymbolicLink())
                picture[name] = "link to " + file.getLinkedTarget().getFullPathName().toStdString();
            else if (file.isDirectory())
                picture[name] = "folder";
            else
            {
                juce::MemoryBlock content;
                file.loadFileAsData (content);
                const std::string_view bytes (static_cast<const char*> (content.getData()), content.getSize());
                picture[name] = std::to_string (bytes.size()) + " bytes, hash " +
                                std::to_string (std::hash<std::string_view>{}(bytes));
            }
        }

        return picture;
    }

    bool sameBytes (const juce::File& a, const juce::File& b)
    {
        juce::MemoryBlock first, second;
        return a.loadFileAsData (first) && b.loadFileAsData (second) && first == second;
    }

    std::vector<std::pair<int, float>> sixFilterValues()
    {
        const auto frequency = [] (float hz) { return (hz - 20.0f) / 19980.0f; };
        const auto gain = [] (float dB) { return (dB + 24.0f) / 48.0f; };

        return {
            { 0, 1.0f },                 // master_active
            { 21, frequency (40.0f) },   // hipass_freq
            { 16, 1.0f },                // band1_active (low shelf at 120 Hz)
            { 6, gain (3.0f) },          // band1_gain
            { 17, 1.0f },                // band2_active (peak at 1 kHz)
            { 7, gain (-4.0f) },         // band2_gain
            { 18, 1.0f },                // band3_active (peak at 4.2 kHz)
            { 8, gain (2.0f) },          // band3_gain
            { 19, 1.0f },                // band4_active (high shelf at 8.5 kHz)
            { 9, gain (3.0f) },          // band4_gain
            { 20, frequency (16000.0f) } // lopass_freq
        };
    }

    std::vector<std::string> sixFilterSettings()
    {
        return { "--set", "master_active=On", "--set", "hipass_freq=40Hz",  "--set", "band1_active=On",
                 "--set", "band1_gain=+3dB",  "--set", "band2_active=on",   "--set", "band2_gain=-4 dB",
                 "--set", "band3_active=On",  "--set", "band3_gain=+2.0dB", "--set", "band4_active=On",
                 "--set", "band4_gain=3dB",   "--set", "lopass_freq=16kHz" };
    }

    std::vector<std::string> join (std::vector<std::string> first, const std::vector<std::string>& second)
    {
        first.insert (first.end(), second.begin(), second.end());
        return first;
    }
} // namespace render_test
