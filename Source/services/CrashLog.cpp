#include "CrashLog.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <execinfo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
    constexpr size_t maxPathLength = 4096;
    constexpr int maxFrames = 128;

    // Filled by prepare() on a normal thread, read by write() in the signal handler.
    char folderPath[maxPathLength] = {};
    char filePath[maxPathLength] = {};
    char systemName[128] = {};
    bool isPrepared = false;

    bool copyText (const juce::String& text, char* destination, size_t size)
    {
        const auto bytes = text.getNumBytesAsUTF8();
        if (bytes + 1 > size)
            return false;

        text.copyToUTF8 (destination, size);
        return true;
    }

    size_t textLength (const char* text) noexcept
    {
        size_t length = 0;
        while (text[length] != 0)
            ++length;
        return length;
    }

    /** The decimal digits of a value, zero-terminated, into `out` (at least 21 bytes); returns the
        length.
    */
    size_t formatNumber (long value, char* out) noexcept
    {
        char reversed[24];
        size_t count = 0;
        unsigned long magnitude = value < 0 ? 0ul - (unsigned long) value : (unsigned long) value;

        do
        {
            reversed[count++] = (char) ('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);

        size_t length = 0;
        if (value < 0)
            out[length++] = '-';
        while (count > 0)
            out[length++] = reversed[--count];
        out[length] = 0;
        return length;
    }

    /** Writes to a file descriptor through a small buffer, turning every "\n" into "\r\n". */
    class LineEndWriter
    {
    public:
        explicit LineEndWriter (int fileDescriptor) noexcept
            : fd (fileDescriptor)
        {
        }
        ~LineEndWriter() { flush(); }

        void text (const char* data, size_t length) noexcept
        {
            for (size_t i = 0; i < length; ++i)
            {
                if (data[i] == '\n')
                    byte ('\r');
                byte (data[i]);
            }
        }

        void text (const char* data) noexcept { text (data, textLength (data)); }

        void number (long value) noexcept
        {
            char digits[24];
            text (digits, formatNumber (value, digits));
        }

        void twoDigits (int value) noexcept
        {
            if (value < 10)
                byte ('0');
            number (value);
        }

    private:
        void byte (char c) noexcept
        {
            if (used == sizeof (buffer))
                flush();
            buffer[used++] = c;
        }

        void flush() noexcept
        {
            size_t done = 0;
            while (done < used)
            {
                const auto written = ::write (fd, buffer + done, used - done);
                if (written < 0 && errno == EINTR)
                    continue;
                if (written <= 0)
                    break;
                done += (size_t) written;
            }
            used = 0;
        }

        int fd;
        char buffer[512];
        size_t used = 0;
    };

    /** Creates every missing folder of an absolute path, like "mkdir -p". */
    void createFolders (const char* path) noexcept
    {
        char partial[maxPathLength];
        const size_t length = textLength (path);
        if (length == 0 || length >= maxPathLength)
            return;

        for (size_t i = 0; i <= length; ++i)
        {
            partial[i] = path[i];
            if (i > 0 && (path[i] == '/' || path[i] == 0))
            {
                partial[i] = 0;
                ::mkdir (partial, 0777);
                partial[i] = path[i];
            }
        }
    }

    /** The date and time as the framework renders them with date, seconds and a 24-hour clock,
        for example "5 Mar 2024 14:05:09".
    */
    void writeLocalTime (LineEndWriter& out) noexcept
    {
        static const char* const months[] = { "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
        const std::time_t now = std::time (nullptr);
        std::tm local{};
        if (localtime_r (&now, &local) == nullptr)
            return;

        out.number (local.tm_mday);
        out.text (" ");
        out.text (months[(local.tm_mon % 12 + 12) % 12]);
        out.text (" ");
        out.number (local.tm_year + 1900L);
        out.text (" ");
        out.number (local.tm_hour);
        out.text (":");
        out.twoDigits (local.tm_min);
        out.text (":");
        out.twoDigits (local.tm_sec);
    }

    /** The backtrace of the calling thread, one frame a line. backtrace_symbols_fd needs no heap;
        a pipe lets its lines pass through the line-end conversion.
    */
    void writeBacktrace (LineEndWriter& out) noexcept
    {
        void* frames[maxFrames];
        const int count = ::backtrace (frames, maxFrames);

        int ends[2];
        if (::pipe2 (ends, O_CLOEXEC | O_NONBLOCK) != 0)
            return;

        ::backtrace_symbols_fd (frames, count, ends[1]);
        ::close (ends[1]);

        char chunk[512];
        for (;;)
        {
            const auto bytesRead = ::read (ends[0], chunk, sizeof (chunk));
            if (bytesRead < 0 && errno == EINTR)
                continue;
            if (bytesRead <= 0)
                break;
            out.text (chunk, (size_t) bytesRead);
        }

        ::close (ends[0]);
    }

    const char* signalName (int signalNumber) noexcept
    {
        switch (signalNumber)
        {
            case SIGSEGV:
                return "SIGSEGV";
            case SIGABRT:
                return "SIGABRT";
            case SIGBUS:
                return "SIGBUS";
            case SIGFPE:
                return "SIGFPE";
            case SIGILL:
                return "SIGILL";
            case SIGSYS:
                return "SIGSYS";
            case SIGTRAP:
                return "SIGTRAP";
            case SIGTERM:
                return "SIGTERM";
            case SIGINT:
                return "SIGINT";
            case SIGQUIT:
                return "SIGQUIT";
            case SIGKILL:
                return "SIGKILL";
            case SIGPIPE:
                return "SIGPIPE";
            default:
                return nullptr;
        }
    }
} // namespace

bool CrashLog::prepare (const juce::File& dataFolder)
{
    isPrepared = false;

    if (! copyText (dataFolder.getFullPathName(), folderPath, sizeof (folderPath)) ||
        ! copyText (dataFolder.getChildFile (fileName).getFullPathName(), filePath, sizeof (filePath)) ||
        ! copyText (juce::SystemStats::getOperatingSystemName(), systemName, sizeof (systemName)))
        return false;

    // The first calls load the unwinder and the time zone; at crash time they then need no heap.
    void* frame[1];
    ::backtrace (frame, 1);
    const std::time_t now = std::time (nullptr);
    std::tm local{};
    localtime_r (&now, &local);

    isPrepared = true;
    return true;
}

void CrashLog::write (int signalNumber) noexcept
{
    if (! isPrepared)
        return;

    createFolders (folderPath);

    const int fd = ::open (filePath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return;

    {
        LineEndWriter out (fd);
        out.text ("Stack trace recorded on ");
        writeLocalTime (out);
        out.text ("\nOperating system: ");
        out.text (systemName);
        out.text ("\n\n");
        writeBacktrace (out);
        out.text ("\n");

        char signalText[64];
        out.text (signalText, describeSignal (signalNumber, signalText, sizeof (signalText)));
        out.text ("\n");
    }

    ::close (fd);
}

size_t CrashLog::describeSignal (int signalNumber, char* buffer, size_t bufferSize) noexcept
{
    if (buffer == nullptr || bufferSize == 0)
        return 0;

    // A tiny writer into the caller's buffer.
    size_t length = 0;
    const auto append = [&] (const char* text)
    {
        for (; *text != 0 && length + 1 < bufferSize; ++text)
            buffer[length++] = *text;
    };

    char number[24];
    formatNumber (signalNumber, number);

    append ("Signal ");
    append (number);

    if (const char* name = signalName (signalNumber))
    {
        append (" (");
        append (name);
        append (")");
    }

    buffer[length] = 0;
    return length;
}
