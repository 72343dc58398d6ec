#pragma once

#include <juce_core/juce_core.h>

/** Writes a file so that it appears complete or not at all.

    Everything goes into a hidden temporary file beside the target (same folder, so the final rename
    stays on one file system). `commit` flushes, syncs and renames it into place; an object that is
    destroyed without a successful commit removes its temporary file, and an interrupt removes it
    through InterruptCleanup. The first write error (a full disk, a device error) is kept and makes
    the commit fail.

    The temporary name holds as much of the target's name as fits the file system's limit in bytes;
    a target name beyond that limit fails at once, with a message that says so.
*/
class AtomicOutputFile
{
public:
    explicit AtomicOutputFile (const juce::File& target);
    ~AtomicOutputFile();

    /** Whether the temporary file exists and no write has failed so far. */
    bool isOk() const noexcept { return fd >= 0 && error.isEmpty(); }

    /** What went wrong, as a short phrase ("No space left on device"); empty while all is well. */
    const juce::String& getError() const noexcept { return error; }

    const juce::File& getTemporaryFile() const noexcept { return temporary; }

    /** A stream into the temporary file, for a writer that takes ownership of its stream. This
        object must outlive the stream; destroy the stream (the writer) before committing.
    */
    std::unique_ptr<juce::OutputStream> createStream();

    /** Makes the written file the target. An existing target is replaced only when
        `replaceExisting` is set; otherwise the commit fails and the target stays as it was.
    */
    bool commit (bool replaceExisting);

    static constexpr size_t bufferSize = 1 << 18;

private:
    class Stream;

    bool write (const void* data, size_t numBytes);
    bool setPosition (juce::int64 position);
    juce::int64 getPosition() const noexcept { return bufferStart + (juce::int64) buffered; }
    bool flushBuffer();
    bool fail (const juce::String& what, int errorNumber);
    bool moveIntoPlace (bool replaceExisting);

    const juce::File target;
    juce::File temporary;
    int fd = -1;
    juce::HeapBlock<char> buffer;
    size_t buffered = 0;
    juce::int64 bufferStart = 0; // file position of the buffer's first byte
    juce::String error;
    bool committed = false;

    JUCE_DECLARE_NON_COPYABLE (AtomicOutputFile)
};
