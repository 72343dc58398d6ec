#include "AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace
{
    thread_local std::size_t threadAllocations = 0;
    thread_local int openScopes = 0;

    void* countedAllocate (std::size_t size)
    {
        if (openScopes > 0)
            ++threadAllocations;

        if (void* p = std::malloc (size == 0 ? 1 : size))
            return p;

        throw std::bad_alloc();
    }

    void* countedAllocateAligned (std::size_t size, std::align_val_t alignment)
    {
        if (openScopes > 0)
            ++threadAllocations;

        const auto align = static_cast<std::size_t> (alignment);
        const auto rounded = (size + align - 1) / align * align;
        if (void* p = std::aligned_alloc (align, rounded == 0 ? align : rounded))
            return p;

        throw std::bad_alloc();
    }
} // namespace

void* operator new (std::size_t size)
{
    return countedAllocate (size);
}
void* operator new[] (std::size_t size)
{
    return countedAllocate (size);
}
void* operator new (std::size_t size, std::align_val_t a)
{
    return countedAllocateAligned (size, a);
}
void* operator new[] (std::size_t size, std::align_val_t a)
{
    return countedAllocateAligned (size, a);
}
void* operator new (std::size_t size, const std::nothrow_t&) noexcept
{
    try
    {
        return countedAllocate (size);
    }
    catch (...)
    {
        return nullptr;
    }
}
void* operator new[] (std::size_t size, const std::nothrow_t& t) noexcept
{
    return operator new (size, t);
}
void operator delete (void* p) noexcept
{
    std::free (p);
}
void operator delete[] (void* p) noexcept
{
    std::free (p);
}
void operator delete (void* p, std::size_t) noexcept
{
    std::free (p);
}
void operator delete[] (void* p, std::size_t) noexcept
{
    std::free (p);
}
void operator delete (void* p, std::align_val_t) noexcept
{
    std::free (p);
}
void operator delete[] (void* p, std::align_val_t) noexcept
{
    std::free (p);
}
void operator delete (void* p, std::size_t, std::align_val_t) noexcept
{
    std::free (p);
}
void operator delete[] (void* p, std::size_t, std::align_val_t) noexcept
{
    std::free (p);
}

namespace allocations
{
    Scope::Scope() noexcept
        : start (threadAllocations)
    {
        ++openScopes;
    }

    Scope::~Scope()
    {
        --openScopes;
    }

    std::size_t Scope::count() const noexcept
    {
        return threadAllocations - start;
    }
} // namespace allocations
