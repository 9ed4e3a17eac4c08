#pragma once
// Counts what operator new hands out while a watch is alive, so a test can state what reading a
// file may cost. The test binary replaces the global operator new for this (allocation_watch.cpp).
#include <cstddef>

namespace ruko::test {

class TAllocationWatch
{
  public:
    TAllocationWatch();
    ~TAllocationWatch();
    TAllocationWatch(const TAllocationWatch&) = delete;
    TAllocationWatch& operator=(const TAllocationWatch&) = delete;

    size_t Total() const; // bytes requested since the watch began
    size_t Largest() const;
};

} // namespace ruko::test
