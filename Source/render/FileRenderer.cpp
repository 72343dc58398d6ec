#include "FileRenderer.h"

#include "AtomicOutputFile.h"
#include "CheckedFlacReader.h"
#include "CheckedInputStream.h"
#include "CheckedOggReader.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace
{
    constexpr int flacCompressionLevel = 5; // the codec's own default

    int bitsOf (SampleFormat format)
    {
        switch (format)
        {
            case SampleFormat::int16:
                return 16;
            case SampleFormat::int24:
                return 24;
            case SampleFormat::float32:
                break;
        }
        return 32;
    }

    /** Rounds floats to integers of `bits` bits (full scale = 2^(bits-1)) placed in the high bits of
        an int, as the writers take them; values beyond full scale are clipped and counted.
    */
    juce::int64 quantise (const float* source, int* destination, int numSamples, int bits)
    {
        const float scale = (float) (1 << (bits - 1));
        const float highest = scale - 1.0f, lowest = -scale;
        const int shift = 32 - bits;
        juce::int64 clipped = 0;
        int i = 0;

#if defined(__SSE2__)
        // Four at a time; the conversion rounds to the nearest integer, as lrintf does.
        const auto scales = _mm_set1_ps (scale), highs = _mm_set1_ps (highest), lows = _mm_set1_ps (lowest);
        for (; i + 4 <= numSamples; i += 4)
        {
            const auto scaled = _mm_mul_ps (_mm_loadu_ps (source + i), scales);
            const auto outside = _mm_or_ps (_mm_cmpgt_ps (scaled, highs), _mm_cmplt_ps (scaled, lows));
            clipped += __builtin_popcount ((unsigned int) _mm_movemask_ps (outside));
            const auto limited = _mm_max_ps (_mm_min_ps (scaled, highs), lows);
            _mm_storeu_si128 (reinterpret_cast<__m128i*> (destination + i),
                              _mm_slli_epi32 (_mm_cvtps_epi32 (limited), shift));
        }
#endif

        for (; i < numSamples; ++i)
        {
            float scaled = source[i] * scale;
            if (scaled > highest || scaled < lowest)
            {
                scaled = juce::jlimit (lowest, highest, scaled);
                ++clipped;
            }
            destination[i] = (int) ((unsigned int) (int) std::lrintf (scaled) << shift);
        }

        return clipped;
    }

    const char* const cutShort = CheckedAudioReader::cutShort;

    juce::String describeRate (double rate)
    {
        return juce::String (rate, rate == std::floor (rate) ? 0 : 2) + " Hz";
    }
} // namespace

FileRenderer::FileRenderer (const ProcessorSettings& processorSettings, std::optional<SampleFormat> format,
                            bool replace, ProgressDisplay& progressDisplay)
    : settings (processorSettings)
    , requestedFormat (format)
    , replaceExisting (replace)
    , progress (progressDisplay)
{
    formats.registerBasicFormats();
}

SampleFormat FileRenderer::defaultFormatFor (const juce::AudioFormatReader& reader, bool flacOutput)
{
    if (reader.usesFloatingPointData || reader.bitsPerSample > 24)
        return flacOutput ? SampleFormat::int24 : SampleFormat::float32;

    return reader.bitsPerSample <= 16 ? SampleFormat::int16 : SampleFormat::int24;
}

FileRenderer::OpenedInput FileRenderer::openInput (const juce::File& input)
{
    OpenedInput opened;

    if (input.isDirectory())
    {
        opened.error = "is a folder, not an audio file";
        return opened;
    }

    auto stream = std::make_unique<CheckedInputStream> (input);
    if (const auto problem = stream->getError(); problem.isNotEmpty())
    {
        opened.error = "cannot be read: " + problem;
        return opened;
    }

    // The format the name suggests first, then every other one.
    juce::Array<juce::AudioFormat*> candidates;
    for (auto* format : formats)
        if (format->canHandleFile (input))
            candidates.add (format);
    for (auto* format : formats)
        candidates.addIfNotAlreadyThere (format);

    // Uncompressed files are read through a memory map: no copy through read() calls. A file that
    // is shorter than its header says maps short, and is refused before anything is written.
    for (auto* format : candidates)
    {
        std::unique_ptr<juce::MemoryMappedAudioFormatReader> mapped (format->createMemoryMappedReader (input));
        if (mapped != nullptr && mapped->lengthInSamples > 0 && mapped->mapEntireFile())
        {
            if (mapped->getMappedSection().getLength() < mapped->lengthInSamples)
                opened.error = cutShort;
            else
                opened.reader = std::move (mapped);
            return opened;
        }
    }

    if (openCompressed (stream, opened))
        return opened;

    for (auto* format : candidates)
    {
        stream->setPosition (0);
        if (auto* reader = format->createReaderFor (stream.get(), false))
        {
            opened.stream = stream.release();
            opened.reader.reset (reader);
            opened.uncompressed = dynamic_cast<juce::WavAudioFormat*> (format) != nullptr ||
                                  dynamic_cast<juce::AiffAudioFormat*> (format) != nullptr;
            opened.stream->resetShortReads();
            return opened;
        }
    }

    opened.error = "is not a WAV, AIFF, FLAC or Ogg Vorbis file it can read";
    return opened;
}

bool FileRenderer::openCompressed (std::unique_ptr<CheckedInputStream>& stream, OpenedInput& opened)
{
    // FLAC and Ogg Vorbis through readers that report what they cannot decode, by their content
    // whatever the name says.
    const auto take = [&] (auto reader, const char* formatName)
    {
        auto* owned = stream.release(); // the reader's now
        if (! reader->isOpen())
        {
            opened.error = juce::String ("is a ") + formatName + " file whose headers cannot be read";
            return true;
        }
        opened.stream = owned;
        opened.checked = reader.get();
        opened.reader = std::move (reader);
        return true;
    };

    if (CheckedFlacReader::recognises (*stream))
        return take (std::make_unique<CheckedFlacReader> (stream.get()), "FLAC");
    if (CheckedOggReader::recognises (*stream))
        return take (std::make_unique<CheckedOggReader> (stream.get()), "Ogg");
    return false;
}

juce::String FileRenderer::checkInput (const juce::AudioFormatReader& reader)
{
    if (reader.numChannels < 1 || reader.numChannels > 2)
        return "has " + juce::String (reader.numChannels) + " channels; only mono and stereo files can be rendered";

    if (! (reader.sampleRate >= minimumSampleRate && reader.sampleRate <= maximumSampleRate))
        return "has a sample rate of " + describeRate (reader.sampleRate) + ", outside " +
               describeRate (minimumSampleRate) + " to " + describeRate (maximumSampleRate);

    if (reader.lengthInSamples < 0)
        return "does not tell its length";

    return {};
}

std::unique_ptr<KroTrellaAudioProcessor> FileRenderer::makeProcessor (int numChannels, double sampleRate) const
{
    auto processor = std::make_unique<KroTrellaAudioProcessor>();

    // The layout is set explicitly, whatever the plug-in's default buses are.
    const auto channels = numChannels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    auto layout = processor->getBusesLayout();
    if (layout.inputBuses.isEmpty() || layout.outputBuses.isEmpty())
        return nullptr;
    for (auto& bus : layout.inputBuses)
        bus = juce::AudioChannelSet::disabled();
    for (auto& bus : layout.outputBuses)
        bus = juce::AudioChannelSet::disabled();
    layout.inputBuses.getReference (0) = channels;
    layout.outputBuses.getReference (0) = channels;

    if (! processor->setBusesLayout (layout))
        return nullptr;

    processor->setNonRealtime (true);
    processor->setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor->prepareToPlay (sampleRate, blockSize);
    settings.applyTo (*processor);

    // Nobody looks at the analyser here; its feed would only cost time. (The engine is not taken
    // as the interface takes it, so it never gets an analyser.)
    if (auto* engine = processor->dsp.get())
        engine->showAnalyzer = false;

    return processor;
}

FileRenderer::Outcome FileRenderer::render (const juce::File& input, const juce::File& output)
{
    auto opened = openInput (input);
    if (opened.reader == nullptr)
        return Outcome::inputFailed (opened.error);

    auto& reader = *opened.reader;
    if (const auto problem = checkInput (reader); problem.isNotEmpty())
        return Outcome::inputFailed (problem);

    const bool flacOutput = output.hasFileExtension ("flac");
    const auto format = requestedFormat.value_or (defaultFormatFor (reader, flacOutput));
    if (flacOutput && format == SampleFormat::float32)
        return Outcome::outputFailed ("FLAC holds 16 or 24 bits, not 32-bit float (--bits 32f needs a .wav output)");

    const int numChannels = (int) reader.numChannels;
    auto processor = makeProcessor (numChannels, reader.sampleRate);
    if (processor == nullptr)
        return Outcome::inputFailed ("the processor does not accept " + juce::String (numChannels) + " channels");

    AtomicOutputFile file (output);
    if (! file.isOk())
        return Outcome::outputFailed (file.getError());

    std::unique_ptr<juce::AudioFormatWriter> writer;
    {
        juce::WavAudioFormat wav;
        juce::FlacAudioFormat flac;
        auto* stream = file.createStream().release();
        auto& writerFormat = flacOutput ? static_cast<juce::AudioFormat&> (flac) : wav;
        writer.reset (writerFormat.createWriterFor (stream, reader.sampleRate, (unsigned int) numChannels,
                                                    bitsOf (format), {}, flacCompressionLevel));
        // The WAV format leaves a stream it refuses with us; the FLAC writer deletes it itself.
        if (writer == nullptr && ! flacOutput)
            delete stream;
        if (writer == nullptr)
            return Outcome::outputFailed ("cannot be written as " + juce::String (flacOutput ? "FLAC" : "WAV") +
                                          " at " + describeRate (reader.sampleRate) + ", " +
                                          juce::String (bitsOf (format)) + " bits");
    }

    const juce::int64 totalFrames = reader.lengthInSamples;
    juce::AudioBuffer<float> buffer (numChannels, blockSize);
    juce::HeapBlock<int> integers ((size_t) (numChannels * blockSize));
    juce::MidiBuffer noMidi;
    juce::int64 clipped = 0;

    progress.start (input.getFileName(), totalFrames, reader.sampleRate);
    const juce::ScopeGuard wipeProgressLine{ [this] { progress.finish(); } };

    for (juce::int64 position = 0; position < totalFrames; position += blockSize)
    {
        const int length = (int) juce::jmin ((juce::int64) blockSize, totalFrames - position);
        juce::AudioBuffer<float> block (buffer.getArrayOfWritePointers(), numChannels, length);

        if (! reader.read (&block, 0, length, position, true, true))
            return Outcome::inputFailed (opened.checked != nullptr && opened.checked->getProblem().isNotEmpty()
                                             ? opened.checked->getProblem()
                                             : juce::String ("could not be read to the end"));

        processor->processBlock (block, noMidi);

        bool written;
        if (format == SampleFormat::float32)
        {
            written = writer->writeFromAudioSampleBuffer (block, 0, length);
        }
        else
        {
            const int* channels[3] = { integers.get(), integers.get() + blockSize, nullptr };
            for (int c = 0; c < numChannels; ++c)
                clipped += quantise (block.getReadPointer (c), integers.get() + c * blockSize, length, bitsOf (format));
            channels[numChannels] = nullptr;
            written = writer->write (channels, length);
        }

        if (! written)
            return Outcome::outputFailed (file.getError().isNotEmpty() ? file.getError()
                                                                       : juce::String ("write failed"));

        progress.update (position + length);
    }

    if (opened.checked != nullptr)
        if (const auto problem = opened.checked->finishReading(); problem.isNotEmpty())
            return Outcome::inputFailed (problem);

    if (opened.stream != nullptr)
    {
        if (const auto problem = opened.stream->getError(); problem.isNotEmpty())
            return Outcome::inputFailed ("could not be read: " + problem);
        if (opened.uncompressed && opened.stream->hasReadShort())
            return Outcome::inputFailed (cutShort);
    }

    writer.reset(); // finishes the file: headers, the codec's last frames
    if (! file.commit (replaceExisting))
        return Outcome::outputFailed (file.getError());

    Outcome outcome;
    outcome.frames = totalFrames;
    outcome.sampleRate = reader.sampleRate;
    if (clipped > 0)
        outcome.note = juce::String (clipped) + " samples clipped at full scale (--bits 32f keeps them)";
    return outcome;
}
