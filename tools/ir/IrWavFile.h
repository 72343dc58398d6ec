#pragma once

#include "ImpulseResponseRenderer.h"

#include <juce_core/juce_core.h>

/** Writes a stereo response in the fixed layout of the embedded preamp files: RIFF "WAVE" of 5860
    bytes with, in order, "fmt " (16), "LIST" (24, an INFO list naming this tool), "PAD " (4012 zero
    bytes) and "data" (441 frames of 16-bit stereo, left then right). The layout is written by hand
    because the framework's WAV writer lays chunks out its own way.
*/
class IrWavFile
{
public:
    static constexpr int fileSize = 5860;
    static constexpr int padSize = 4012;
    static constexpr const char* softwareName = "KroIrGen v1"; // 11 characters + NUL fill the LIST chunk exactly

    static juce::MemoryBlock encode (const StereoResponse16& response);
};
