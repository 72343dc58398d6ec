#include "CrashLog.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <link.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
    constexpr size_t maxPathLength = 4096;
    constexpr int maxFrames = 128;

    // Filled by prepare() on a normal thread, read by write() in the signal handler.
    char folderPath[maxPathLength] = {};
    char filePath[maxPathLength] = {};
    char executablePath[maxPathLength] = {};
    char systemName[128] = {};
    long utcOffsetSeconds = 0;
    bool isPrepared = false;

    // The first crashing thread sets it; it is never cleared, as the process ends.
    std::atomic<bool> crashing{ false };
    static_assert (std::atomic<bool>::is_always_lock_free, "the flag is used inside a signal handler");

    constexpr int crashSignals[] = { SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGSYS };

    // Large enough for the handler, the unwinder and the report's buffers.
    alignas (64) char alternateStack[1 << 16];

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

    /** The hexadecimal digits of a value with "0x", zero-terminated, into `out` (at least 19 bytes). */
    size_t formatHex (unsigned long value, char* out) noexcept
    {
        char reversed[16];
        size_t count = 0;
        do
        {
            reversed[count++] = "0123456789abcdef"[value & 15];
            value >>= 4;
        } while (value != 0);

        size_t length = 0;
        out[length++] = '0';
        out[length++] = 'x';
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

        void hex (unsigned long value) noexcept
        {
            char digits[24];
            text (digits, formatHex (value, digits));
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
        for example "5 Mar 2024 14:05:09": the clock's UTC time plus the offset taken at
        installation, turned into a date by arithmetic (the days-from-civil algorithm, reversed).
    */
    void writeLocalTime (LineEndWriter& out) noexcept
    {
        static const char* const months[] = { "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
        timespec now{};
        if (::clock_gettime (CLOCK_REALTIME, &now) != 0)
            return;

        const long long local = (long long) now.tv_sec + utcOffsetSeconds;
        const long long days = local >= 0 ? local / 86400 : (local - 86399) / 86400;
        const long long secondOfDay = local - days * 86400;

        const long long shifted = days + 719468; // days since 1 March of the year 0
        const long long era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
        const long long dayOfEra = shifted - era * 146097;
        const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
        const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
        const long long monthFromMarch = (5 * dayOfYear + 2) / 153;
        const long long day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
        const long long month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
        const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);

        out.number ((long) day);
        out.text (" ");
        out.text (months[month - 1]);
        out.text (" ");
        out.number ((long) year);
        out.text (" ");
        out.number ((long) (secondOfDay / 3600));
        out.text (":");
        out.twoDigits ((int) (secondOfDay / 60 % 60));
        out.text (":");
        out.twoDigits ((int) (secondOfDay % 60));
    }

    /** The backtrace of the calling thread, one "<file>(+<offset>)[<address>]" a line, as
        backtrace_symbols_fd writes frames without a symbol. The file of each address comes from
        _dl_find_object, which takes no lock (dladdr, which backtrace_symbols_fd uses, takes the
        loader's lock, held by any thread that is loading a library).
    */
    void writeBacktrace (LineEndWriter& out) noexcept
    {
        void* frames[maxFrames];
        const int count = ::backtrace (frames, maxFrames);

        for (int i = 0; i < count; ++i)
        {
            const auto address = reinterpret_cast<unsigned long> (frames[i]);
            dl_find_object found{};
            const link_map* object = ::_dl_find_object (frames[i], &found) == 0 ? found.dlfo_link_map : nullptr;

            const char* file = object != nullptr && object->l_name != nullptr && object->l_name[0] != 0
                                   ? object->l_name
                                   : (object != nullptr ? executablePath : "??");
            out.text (file);
            out.text ("(+");
            out.hex (address - (object != nullptr ? (unsigned long) object->l_addr : 0ul));
            out.text (")[");
            out.hex (address);
            out.text ("]\n");
        }
    }

    /** The watchdog's end: whatever the crash handler is stuck in, the process goes. */
    void endNow (int) noexcept
    {
        ::kill (::getpid(), SIGKILL);
    }

    void startWatchdog() noexcept
    {
        struct sigaction action = {};
        action.sa_handler = endNow;
        action.sa_flags = SA_ONSTACK;
        sigemptyset (&action.sa_mask);
        ::sigaction (SIGALRM, &action, nullptr);

        sigset_t alarmOnly;
        sigemptyset (&alarmOnly);
        sigaddset (&alarmOnly, SIGALRM);
        ::pthread_sigmask (SIG_UNBLOCK, &alarmOnly, nullptr);
        ::alarm (CrashLog::watchdogSeconds);
    }

    void handleCrash (int signalNumber) noexcept
    {
        // One report: a thread that crashes while another writes waits for the end.
        if (crashing.exchange (true))
            for (;;)
                ::pause();

        startWatchdog();
        CrashLog::write (signalNumber);
        ::kill (::getpid(), SIGKILL);
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
        ! copyText (juce::SystemStats::getOperatingSystemName(), systemName, sizeof (systemName)) ||
        ! copyText (juce::File::getSpecialLocation (juce::File::currentExecutableFile).getFullPathName(),
                    executablePath, sizeof (executablePath)))
        return false;

    // The first call loads the unwinder; at crash time it then needs no heap and no loading.
    void* frame[1];
    ::backtrace (frame, 1);

    const std::time_t now = std::time (nullptr);
    std::tm local{};
    utcOffsetSeconds = localtime_r (&now, &local) != nullptr ? local.tm_gmtoff : 0;

    isPrepared = true;
    return true;
}

bool CrashLog::install (const juce::File& dataFolder)
{
    if (! prepare (dataFolder))
        return false;

    // Signal stacks belong to threads: the first thread that installs the handler gets this one.
    static std::atomic<bool> stackTaken{ false };
    if (! stackTaken.exchange (true))
    {
        stack_t stack = {};
        stack.ss_sp = alternateStack;
        stack.ss_size = sizeof (alternateStack);
        ::sigaltstack (&stack, nullptr);
    }

    struct sigaction action = {};
    action.sa_handler = handleCrash;
    action.sa_flags = SA_ONSTACK;
    sigemptyset (&action.sa_mask);
    for (const int s : crashSignals)
        sigaddset (&action.sa_mask, s); // a fault inside the handler ends the process at once

    for (const int s : crashSignals)
        ::sigaction (s, &action, nullptr);
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
