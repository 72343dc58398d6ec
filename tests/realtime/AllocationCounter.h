#pragma once

#include <cstddef>

/** Counts heap allocations made by the calling thread while a Scope is open on it. The binary that
    links this replaces the global allocation functions.
*/
namespace allocations
{
    class Scope
    {
    public:
        Scope() noexcept;
        ~Scope();

        /** Allocations made on this thread since the scope opened. */
        std::size_t count() const noexcept;

    private:
        std::size_t start;
    };
} // namespace allocations
