#pragma once

#include <cstddef>
#include <vector>

/** A zero-initialised array of floats that starts on a 64-byte boundary, for vector code. Its size is
    rounded up to a multiple of 16 floats.
*/
class AlignedFloats
{
public:
    AlignedFloats() = default;
    explicit AlignedFloats (size_t count) { resize (count); }

    void resize (size_t count) { blocks.assign ((count + 15) / 16, Block{}); }

    float* data() noexcept { return blocks.empty() ? nullptr : blocks.front().values; }
    const float* data() const noexcept { return blocks.empty() ? nullptr : blocks.front().values; }
    size_t size() const noexcept { return blocks.size() * 16; }

    float& operator[] (size_t i) noexcept { return data()[i]; }
    float operator[] (size_t i) const noexcept { return data()[i]; }

private:
    struct alignas (64) Block
    {
        float values[16];
    };

    std::vector<Block> blocks;
};
