#include "AtomicOutputFile.h"

#include "InterruptCleanup.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
    /** The longest file name, in bytes, that the folder's file system takes. */
    size_t longestNameIn (const juce::File& folder)
    {
        const long limit = ::pathconf (folder.getFullPathName().toRawUTF8(), _PC_NAME_MAX);
        return limit > 0 ? (size_t) limit : (size_t) NAME_MAX;
    }

    /** The first bytes of a UTF-8 text, at most `maximumBytes`, never splitting a character. */
    std::string utf8Prefix (const juce::String& text, size_t maximumBytes)
    {
        std::string bytes (text.toRawUTF8());
        if (bytes.size() <= maximumBytes)
            return bytes;

        size_t end = maximumBytes;
        while (end > 0 && (static_cast<unsigned char> (bytes[end]) & 0xc0) == 0x80)
            --end;
        return bytes.substr (0, end);
    }

    /** ".NAME.krotrella-XXXXXXXXXXXXXXXX.part", within the file system's limit in bytes: the copy of
        the name is shortened where the whole would not fit (the output keeps its name).
    */
    juce::String temporaryNameFor (const juce::File& target, size_t longestName, juce::Random& random)
    {
        const auto suffix =
            ".krotrella-" + juce::String::toHexString (random.nextInt64()).paddedLeft ('0', 16) + ".part";
        const auto suffixBytes = suffix.getNumBytesAsUTF8() + 1; // and the leading dot
        const auto room = longestName > suffixBytes ? longestName - suffixBytes : 0;
        return "." + juce::String::fromUTF8 (utf8Prefix (target.getFileName(), room).c_str()) + suffix;
    }

    mode_t permissionsForNewFiles()
    {
        // The mode a file created with open(..., 0666) would get under the current umask.
        const mode_t mask = umask (0);
        umask (mask);
        return 0666 & ~mask;
    }
} // namespace

//==============================================================================
class AtomicOutputFile::Stream : public juce::OutputStream
{
public:
    explicit Stream (AtomicOutputFile& fileToWrite)
        : file (fileToWrite)
    {
    }

    void flush() override { file.flushBuffer(); }
    bool setPosition (juce::int64 position) override { return file.setPosition (position); }
    juce::int64 getPosition() override { return file.getPosition(); }
    bool write (const void* data, size_t numBytes) override { return file.write (data, numBytes); }

private:
    AtomicOutputFile& file;
};

//==============================================================================
AtomicOutputFile::AtomicOutputFile (const juce::File& targetFile)
    : target (targetFile)
    , buffer (bufferSize)
{
    const auto folder = target.getParentDirectory();
    const auto longestName = longestNameIn (folder);
    if (const auto nameBytes = target.getFileName().getNumBytesAsUTF8(); nameBytes > longestName)
    {
        fail ("the file name is " + juce::String ((int) nameBytes) + " bytes long (in UTF-8), more than the " +
                  juce::String ((int) longestName) + " this file system allows",
              0);
        return;
    }

    juce::Random random;
    random.setSeedRandomly();

    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt)
    {
        temporary = folder.getChildFile (temporaryNameFor (target, longestName, random));

        // Watched before it exists, so that an interrupt at any moment finds it.
        if (! InterruptCleanup::watch (temporary.getFullPathName().toRawUTF8()))
        {
            fail ("the output path is too long", ENAMETOOLONG);
            return;
        }

        fd = ::open (temporary.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }

    if (fd < 0)
    {
        InterruptCleanup::forget();
        fail ("cannot create a file in " + folder.getFullPathName(), errno);
    }
}

AtomicOutputFile::~AtomicOutputFile()
{
    if (fd >= 0)
        ::close (fd);

    if (! committed && temporary != juce::File())
    {
        ::unlink (temporary.getFullPathName().toRawUTF8());
        InterruptCleanup::forget();
    }
}

std::unique_ptr<juce::OutputStream> AtomicOutputFile::createStream()
{
    return std::make_unique<Stream> (*this);
}

bool AtomicOutputFile::fail (const juce::String& what, int errorNumber)
{
    if (error.isEmpty())
        error = what + (errorNumber != 0 ? ": " + juce::String (std::strerror (errorNumber)) : juce::String());
    return false;
}

bool AtomicOutputFile::write (const void* data, size_t numBytes)
{
    if (! isOk())
        return false;

    const auto* bytes = static_cast<const char*> (data);
    while (numBytes > 0)
    {
        if (buffered == bufferSize && ! flushBuffer())
            return false;

        const size_t chunk = juce::jmin (numBytes, bufferSize - buffered);
        std::memcpy (buffer + buffered, bytes, chunk);
        buffered += chunk;
        bytes += chunk;
        numBytes -= chunk;
    }

    return true;
}

bool AtomicOutputFile::flushBuffer()
{
    if (! isOk())
        return false;

    size_t done = 0;
    while (done < buffered)
    {
        const auto written = ::pwrite (fd, buffer + done, buffered - done, (off_t) bufferStart + (off_t) done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return fail ("write failed", written < 0 ? errno : ENOSPC);
        done += (size_t) written;
    }

    bufferStart += (juce::int64) buffered;
    buffered = 0;
    return true;
}

bool AtomicOutputFile::setPosition (juce::int64 position)
{
    if (position < 0 || ! flushBuffer())
        return false;

    bufferStart = position;
    return true;
}

bool AtomicOutputFile::moveIntoPlace (bool replaceExisting)
{
    const auto* from = temporary.getFullPathName().toRawUTF8();
    const auto* to = target.getFullPathName().toRawUTF8();

    if (replaceExisting)
        return ::rename (from, to) == 0 || fail ("cannot rename into place", errno);

    if (::renameat2 (AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return true;

    // A file system without no-replace renames: a hard link fails just as safely on an existing name.
    if ((errno == EINVAL || errno == ENOSYS) && ::link (from, to) == 0)
    {
        ::unlink (from);
        return true;
    }

    if (errno == EEXIST)
        return fail ("exists already (--force replaces it)", 0);
    return fail ("cannot rename into place", errno);
}

bool AtomicOutputFile::commit (bool replaceExisting)
{
    if (! flushBuffer())
        return false;

    static const mode_t permissions = permissionsForNewFiles();
    if (::fchmod (fd, permissions) != 0)
        return fail ("cannot set the file's permissions", errno);

    if (::fsync (fd) != 0)
        return fail ("write failed", errno);

    const int closing = fd;
    fd = -1;
    if (::close (closing) != 0)
        return fail ("write failed", errno);

    if (! moveIntoPlace (replaceExisting))
        return false;

    committed = true;
    InterruptCleanup::forget();

    // Make the new name itself durable.
    if (const int folder = ::open (target.getParentDirectory().getFullPathName().toRawUTF8(), O_RDONLY | O_DIRECTORY);
        folder >= 0)
    {
        ::fsync (folder);
        ::close (folder);
    }

    return true;
}
