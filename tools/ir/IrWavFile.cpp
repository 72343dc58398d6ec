#include "IrWavFile.h"

namespace
{
    constexpr int channels = 2;
    constexpr int sampleRate = 44100;
    constexpr int bitsPerSample = 16;
    constexpr int blockAlign = channels * bitsPerSample / 8;

    void writeChunkHeader (juce::MemoryOutputStream& out, const char* id, int size)
    {
        out.write (id, 4);
        out.writeInt (size);
    }
} // namespace

juce::MemoryBlock IrWavFile::encode (const StereoResponse16& response)
{
    const auto numFrames = (int) response.left.size();
    jassert (numFrames == ImpulseResponseRenderer::numFrames && response.right.size() == response.left.size());

    const juce::String software (softwareName);
    const int infoTextSize = software.length() + 1; // with its terminating NUL
    const int infoItemSize = 8 + infoTextSize;      // "ISFT", size, text
    const int listSize = 4 + infoItemSize;          // "INFO" + the one item
    const int dataSize = numFrames * blockAlign;
    const int riffSize = 4 + (8 + 16) + (8 + listSize) + (8 + padSize) + (8 + dataSize);

    juce::MemoryOutputStream out;

    writeChunkHeader (out, "RIFF", riffSize);
    out.write ("WAVE", 4);

    writeChunkHeader (out, "fmt ", 16);
    out.writeShort (1); // PCM
    out.writeShort ((short) channels);
    out.writeInt (sampleRate);
    out.writeInt (sampleRate * blockAlign);
    out.writeShort ((short) blockAlign);
    out.writeShort ((short) bitsPerSample);

    writeChunkHeader (out, "LIST", listSize);
    out.write ("INFO", 4);
    writeChunkHeader (out, "ISFT", infoTextSize);
    out.write (software.toRawUTF8(), (size_t) infoTextSize);

    writeChunkHeader (out, "PAD ", padSize);
    out.writeRepeatedByte (0, (size_t) padSize);

    writeChunkHeader (out, "data", dataSize);
    for (int frame = 0; frame < numFrames; ++frame)
    {
        out.writeShort (response.left[(size_t) frame]);
        out.writeShort (response.right[(size_t) frame]);
    }

    jassert (out.getDataSize() == (size_t) fileSize && riffSize == fileSize - 8);
    return out.getMemoryBlock();
}
