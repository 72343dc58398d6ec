#include "CheckedFlacReader.h"

#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace
{
    const char* describe (FLAC__StreamDecoderErrorStatus status)
    {
        switch (status)
        {
            case FLAC__STREAM_DECODER_ERROR_STATUS_LOST_SYNC:
                return "the decoder lost its place in the audio data";
            case FLAC__STREAM_DECODER_ERROR_STATUS_BAD_HEADER:
                return "a frame header is invalid";
            case FLAC__STREAM_DECODER_ERROR_STATUS_FRAME_CRC_MISMATCH:
                return "a frame's checksum does not match its audio";
            case FLAC__STREAM_DECODER_ERROR_STATUS_UNPARSEABLE_STREAM:
                return "it holds data the decoder cannot parse";
            case FLAC__STREAM_DECODER_ERROR_STATUS_BAD_METADATA:
                return "its metadata is invalid";
            default:
                break;
        }
        return "the decoder reports an error";
    }
} // namespace

/** libFLAC's decoder, with the callbacks that feed it from the reader's stream and hand its frames
    and errors to the reader.
*/
struct CheckedFlacReader::Decoder
{
    explicit Decoder (CheckedFlacReader& owner)
        : reader (owner)
    {
    }

    ~Decoder()
    {
        if (handle != nullptr)
            FLAC__stream_decoder_delete (handle);
    }

    static CheckedFlacReader& readerOf (void* data) { return static_cast<Decoder*> (data)->reader; }

    static FLAC__StreamDecoderReadStatus read (const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes,
                                               void* data)
    {
        auto& input = *readerOf (data).input;
        const int wanted = (int) std::min (*bytes, (size_t) INT_MAX);
        const int got = wanted > 0 ? input.read (buffer, wanted) : 0;
        *bytes = (size_t) std::max (0, got);
        if (got < 0)
            return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
        return got == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
    }

    static FLAC__StreamDecoderSeekStatus seek (const FLAC__StreamDecoder*, FLAC__uint64 offset, void* data)
    {
        return readerOf (data).input->setPosition ((juce::int64) offset) ? FLAC__STREAM_DECODER_SEEK_STATUS_OK
                                                                         : FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
    }

    static FLAC__StreamDecoderTellStatus tell (const FLAC__StreamDecoder*, FLAC__uint64* offset, void* data)
    {
        *offset = (FLAC__uint64) readerOf (data).input->getPosition();
        return FLAC__STREAM_DECODER_TELL_STATUS_OK;
    }

    static FLAC__StreamDecoderLengthStatus length (const FLAC__StreamDecoder*, FLAC__uint64* bytes, void* data)
    {
        *bytes = (FLAC__uint64) readerOf (data).input->getTotalLength();
        return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
    }

    static FLAC__bool atEnd (const FLAC__StreamDecoder*, void* data) { return readerOf (data).input->isExhausted(); }

    static FLAC__StreamDecoderWriteStatus write (const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                 const FLAC__int32* const buffer[], void* data)
    {
        auto& decoder = *static_cast<Decoder*> (data);
        auto& r = decoder.reader;
        const auto& header = frame->header;
        const int length = (int) header.blocksize;

        if (decoder.countingOnly)
        {
            r.lengthInSamples += length;
            return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
        }

        if ((int) header.channels != (int) r.numChannels || header.bits_per_sample == 0 || header.bits_per_sample > 32)
        {
            r.fail ("is damaged: a frame does not match the stream's channels or sample size");
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        }

        const int shift = 32 - (int) header.bits_per_sample;
        for (size_t c = 0; c < r.frame.size(); ++c)
        {
            auto& samples = r.frame[c];
            samples.resize ((size_t) length);
            for (int i = 0; i < length; ++i)
                samples[(size_t) i] = (int) ((unsigned int) buffer[c][i] << shift);
        }

        r.frameStart = (juce::int64) header.number.sample_number;
        r.frameLength = length;
        decoder.frameArrived = true;
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }

    static void metadata (const FLAC__StreamDecoder*, const FLAC__StreamMetadata* block, void* data)
    {
        auto& decoder = *static_cast<Decoder*> (data);
        if (block->type != FLAC__METADATA_TYPE_STREAMINFO)
            return;

        const auto& info = block->data.stream_info;
        auto& r = decoder.reader;
        r.sampleRate = info.sample_rate;
        r.bitsPerSample = info.bits_per_sample;
        r.numChannels = info.channels;
        r.lengthInSamples = (juce::int64) info.total_samples;
        r.frame.assign (info.channels, {});
        decoder.hasStreamInfo = true;
    }

    static void error (const FLAC__StreamDecoder* handle, FLAC__StreamDecoderErrorStatus status, void* data)
    {
        // Told once decoding goes on after it: an error that only the end of the file follows is
        // the frame the file was cut in.
        auto& decoder = *static_cast<Decoder*> (data);
        if (decoder.pendingError.isNotEmpty())
            return;
        FLAC__uint64 byte = 0;
        FLAC__stream_decoder_get_decode_position (handle, &byte);
        decoder.pendingError = juce::String ("is damaged: ") + describe (status) + " (near byte " +
                               juce::String ((juce::int64) byte) + ")";
    }

    CheckedFlacReader& reader;
    FLAC__StreamDecoder* handle = FLAC__stream_decoder_new();
    bool hasStreamInfo = false;
    bool frameArrived = false;
    bool countingOnly = false;
    juce::String pendingError;
};

//==============================================================================
bool CheckedFlacReader::recognises (juce::InputStream& stream)
{
    char magic[4] = {};
    const bool read = stream.setPosition (0) && stream.read (magic, 4) == 4;
    stream.setPosition (0);
    // An ID3v2 tag may come first; libFLAC skips it.
    return read && (std::memcmp (magic, "fLaC", 4) == 0 || std::memcmp (magic, "ID3", 3) == 0);
}

CheckedFlacReader::CheckedFlacReader (juce::InputStream* stream)
    : CheckedAudioReader (stream, "FLAC file")
    , decoder (std::make_unique<Decoder> (*this))
{
    lengthInSamples = 0;
    auto* handle = decoder->handle;
    if (handle == nullptr)
        return;

    FLAC__stream_decoder_set_md5_checking (handle, true);
    if (FLAC__stream_decoder_init_stream (handle, Decoder::read, Decoder::seek, Decoder::tell, Decoder::length,
                                          Decoder::atEnd, Decoder::write, Decoder::metadata, Decoder::error,
                                          decoder.get()) != FLAC__STREAM_DECODER_INIT_STATUS_OK)
        return;

    if (! FLAC__stream_decoder_process_until_end_of_metadata (handle) || ! decoder->hasStreamInfo ||
        sampleRate <= 0.0 || numChannels == 0)
        return;

    if (lengthInSamples == 0)
        countSamplesOfWholeStream();

    open = true;
}

CheckedFlacReader::~CheckedFlacReader() = default;

void CheckedFlacReader::countSamplesOfWholeStream()
{
    // The header does not give the length (a stream written without seeking back): count the
    // samples by decoding it all once, as the framework does, then start again.
    lengthKnown = false;
    decoder->countingOnly = true;
    FLAC__stream_decoder_process_until_end_of_stream (decoder->handle);
    decoder->countingOnly = false;
    const auto counted = lengthInSamples;
    FLAC__stream_decoder_reset (decoder->handle);
    FLAC__stream_decoder_process_until_end_of_metadata (decoder->handle); // reads the header's 0 again
    lengthInSamples = counted;
    readInOrder = false; // the decoder's checksum covered the counting pass, not the reads
}

void CheckedFlacReader::fail (const juce::String& why)
{
    if (problem.isEmpty())
        problem = why;
}

bool CheckedFlacReader::decodeNextFrame()
{
    decoder->frameArrived = false;
    while (! decoder->frameArrived && problem.isEmpty())
    {
        const auto state = FLAC__stream_decoder_get_state (decoder->handle);
        if (state == FLAC__STREAM_DECODER_END_OF_STREAM || state == FLAC__STREAM_DECODER_ABORTED ||
            ! FLAC__stream_decoder_process_single (decoder->handle))
            return false;
    }
    return decoder->frameArrived;
}

bool CheckedFlacReader::readSamples (int* const* destSamples, int numDestChannels, int startOffsetInDestBuffer,
                                     juce::int64 startSampleInFile, int numSamples)
{
    const auto clearFrom = [&] (int done)
    {
        for (int c = 0; c < numDestChannels; ++c)
            if (destSamples[c] != nullptr)
                std::fill (destSamples[c] + startOffsetInDestBuffer + done,
                           destSamples[c] + startOffsetInDestBuffer + numSamples, 0);
    };

    int done = 0;
    while (done < numSamples && problem.isEmpty())
    {
        const juce::int64 wanted = startSampleInFile + done;
        if (wanted >= frameStart && wanted < frameStart + frameLength)
        {
            const int offset = (int) (wanted - frameStart);
            const int count = std::min (numSamples - done, frameLength - offset);
            for (int c = 0; c < numDestChannels; ++c)
                if (destSamples[c] != nullptr)
                    std::copy_n (frame[(size_t) c].data() + offset, count,
                                 destSamples[c] + startOffsetInDestBuffer + done);
            done += count;
            continue;
        }

        if (wanted >= lengthInSamples)
            break; // past the end: silence, as any reader gives

        if (wanted == frameStart + frameLength)
        {
            if (! decodeNextFrame())
            {
                fail (cutShort);
                break;
            }
            if (decoder->pendingError.isNotEmpty())
                fail (decoder->pendingError);
            else if (frameStart != wanted)
                fail ("is damaged: audio is missing near sample " + juce::String (wanted));
            else if (readInOrder)
                decodedEnd = frameStart + frameLength;
        }
        else
        {
            readInOrder = false;
            decoder->frameArrived = false;
            if (! FLAC__stream_decoder_seek_absolute (decoder->handle, (FLAC__uint64) wanted) ||
                ! decoder->frameArrived)
                fail ("is damaged: sample " + juce::String (wanted) + " cannot be found");
        }
    }

    clearFrom (done);
    return problem.isEmpty();
}

juce::String CheckedFlacReader::finishReading()
{
    if (problem.isNotEmpty() || ! open)
        return problem;

    if (decoder->pendingError.isNotEmpty())
        fail (decoder->pendingError);

    // The whole stream decoded in order: libFLAC compares the MD5 of what it decoded with the header's.
    if (readInOrder && lengthKnown && decodedEnd == lengthInSamples && ! FLAC__stream_decoder_finish (decoder->handle))
        fail ("is damaged: its audio does not match the checksum its header holds");

    return problem;
}
