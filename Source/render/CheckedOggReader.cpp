#include "CheckedOggReader.h"

#include <ogg/ogg.h>
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>

namespace
{
    /** Reads every page of the stream (libogg checks each page's checksum) and tells what is wrong
        with them: garbage or a corrupt page between pages, a page missing from a logical stream, or
        a logical stream without its end-of-stream page (a cut file, even one cut between pages).
        Empty when all is well. Bytes after the end of every stream are ignored.
    */
    juce::String checkPages (juce::InputStream& stream)
    {
        ogg_sync_state sync;
        ogg_sync_init (&sync);
        std::map<int, long> nextPage; // per logical stream; -1 once it has ended
        juce::int64 offset = 0, damagedAt = -1;
        bool streamEnded = false;

        stream.setPosition (0);
        for (;;)
        {
            ogg_page page;
            const long result = ogg_sync_pageseek (&sync, &page);
            if (result == 0)
            {
                constexpr int chunk = 1 << 16;
                char* buffer = ogg_sync_buffer (&sync, chunk);
                const int got = buffer != nullptr ? stream.read (buffer, chunk) : 0;
                if (got <= 0)
                    break;
                ogg_sync_wrote (&sync, got);
                continue;
            }

            if (result < 0)
            {
                if (damagedAt < 0)
                    damagedAt = offset;
                offset += -result;
                continue;
            }

            const int serial = ogg_page_serialno (&page);
            const long number = ogg_page_pageno (&page);
            const auto known = nextPage.find (serial);
            if ((known != nextPage.end() && known->second != number) || damagedAt >= 0)
            {
                ogg_sync_clear (&sync);
                return "is damaged: a page is corrupt or missing near byte " +
                       juce::String (damagedAt >= 0 ? damagedAt : offset);
            }

            nextPage[serial] = ogg_page_eos (&page) != 0 ? -1 : number + 1;
            offset += result;
            streamEnded = std::all_of (nextPage.begin(), nextPage.end(), [] (const auto& s) { return s.second < 0; });
            if (streamEnded)
                break;
        }

        ogg_sync_clear (&sync);
        return streamEnded ? juce::String() : juce::String (CheckedOggReader::missingEnd);
    }
} // namespace

/** libvorbisfile's decoder, reading from the reader's stream. */
struct CheckedOggReader::Decoder
{
    static juce::InputStream& streamOf (void* data) { return *static_cast<juce::InputStream*> (data); }

    static size_t read (void* buffer, size_t size, size_t count, void* data)
    {
        const auto bytes = std::min (size * count, (size_t) INT_MAX);
        const int got = streamOf (data).read (buffer, (int) bytes);
        return size > 0 && got > 0 ? (size_t) got / size : 0;
    }

    static int seek (void* data, ogg_int64_t offset, int whence)
    {
        auto& stream = streamOf (data);
        const auto base = whence == SEEK_CUR ? stream.getPosition() : whence == SEEK_END ? stream.getTotalLength() : 0;
        return stream.setPosition (base + offset) ? 0 : -1;
    }

    static long tell (void* data) { return (long) streamOf (data).getPosition(); }

    OggVorbis_File file{};
    bool fileOpen = false;

    ~Decoder()
    {
        if (fileOpen)
            ov_clear (&file);
    }
};

//==============================================================================
bool CheckedOggReader::recognises (juce::InputStream& stream)
{
    char magic[4] = {};
    const bool read = stream.setPosition (0) && stream.read (magic, 4) == 4;
    stream.setPosition (0);
    return read && std::memcmp (magic, "OggS", 4) == 0;
}

CheckedOggReader::CheckedOggReader (juce::InputStream* stream)
    : CheckedAudioReader (stream, "Ogg-Vorbis file")
    , decoder (std::make_unique<Decoder>())
{
    const auto pageProblem = checkPages (*input);
    input->setPosition (0);

    const ov_callbacks callbacks{ Decoder::read, Decoder::seek, nullptr, Decoder::tell };
    if (ov_open_callbacks (input, &decoder->file, nullptr, 0, callbacks) != 0)
        return;
    decoder->fileOpen = true;

    const auto* info = ov_info (&decoder->file, -1);
    const auto total = ov_pcm_total (&decoder->file, -1);
    if (info == nullptr || info->channels <= 0 || info->rate <= 0 || total < 0)
        return;

    numChannels = (unsigned int) info->channels;
    sampleRate = (double) info->rate;
    bitsPerSample = 32;
    usesFloatingPointData = true;
    lengthInSamples = total;
    open = true;

    for (int link = 0; link < ov_streams (&decoder->file); ++link)
        if (const auto* linkInfo = ov_info (&decoder->file, link);
            linkInfo == nullptr || linkInfo->channels != info->channels)
            fail ("has streams with different channel counts one after the other");

    if (pageProblem.isNotEmpty())
        fail (pageProblem);
}

CheckedOggReader::~CheckedOggReader() = default;

void CheckedOggReader::fail (const juce::String& why)
{
    if (problem.isEmpty())
        problem = why;
}

bool CheckedOggReader::readSamples (int* const* destSamples, int numDestChannels, int startOffsetInDestBuffer,
                                    juce::int64 startSampleInFile, int numSamples)
{
    int done = 0;
    if (problem.isEmpty() && startSampleInFile != position && startSampleInFile < lengthInSamples)
    {
        if (ov_pcm_seek (&decoder->file, startSampleInFile) != 0)
            fail ("is damaged: sample " + juce::String (startSampleInFile) + " cannot be found");
        position = startSampleInFile;
    }

    while (done < numSamples && problem.isEmpty() && position < lengthInSamples)
    {
        float** channels = nullptr;
        int link = 0;
        const auto wanted = (int) std::min ((juce::int64) (numSamples - done), lengthInSamples - position);
        const long got = ov_read_float (&decoder->file, &channels, wanted, &link);

        if (got == 0)
            fail (cutShort);
        else if (got == OV_HOLE)
            fail ("is damaged: audio data is missing or corrupt near sample " + juce::String (position));
        else if (got < 0)
            fail ("is damaged: its data cannot be decoded near sample " + juce::String (position));
        if (got <= 0)
            break;

        for (int c = 0; c < numDestChannels; ++c)
            if (destSamples[c] != nullptr)
                std::memcpy (reinterpret_cast<float*> (destSamples[c]) + startOffsetInDestBuffer + done, channels[c],
                             sizeof (float) * (size_t) got);
        done += (int) got;
        position += got;
    }

    for (int c = 0; c < numDestChannels; ++c)
        if (destSamples[c] != nullptr)
            std::fill (reinterpret_cast<float*> (destSamples[c]) + startOffsetInDestBuffer + done,
                       reinterpret_cast<float*> (destSamples[c]) + startOffsetInDestBuffer + numSamples, 0.0f);

    return problem.isEmpty();
}
