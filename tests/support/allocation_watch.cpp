#include "allocation_watch.h"

#include <cstdlib>
#include <new>

namespace {

// One watch at a time, on the main thread.
bool Watching = false;
size_t TotalBytes = 0;
size_t LargestBytes = 0;

void* Allocate(size_t size)
{
    if (Watching) {
        TotalBytes += size;
        if (size > LargestBytes) LargestBytes = size;
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

} // namespace

void* operator new(size_t size)
{
    return Allocate(size);
}
void* operator new[](size_t size)
{
    return Allocate(size);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept
{
    std::free(p);
}

namespace ruko::test {

TAllocationWatch::TAllocationWatch()
{
    Watching = true;
    TotalBytes = LargestBytes = 0;
}

TAllocationWatch::~TAllocationWatch()
{
    Watching = false;
}

size_t TAllocationWatch::Total() const
{
    return TotalBytes;
}

size_t TAllocationWatch::Largest() const
{
    return LargestBytes;
}

} // namespace ruko::test
