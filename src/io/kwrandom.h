#pragma once
// The generator that scrambles archive directories and puts the rows of "Randomized" pictures in
// order. Its sequence is part of stored files: state := state × 5 + increment (mod 2^32).
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ruko {

class TKwRandom
{
  public:
    explicit TKwRandom(uint32_t seed) : increment_(seed) {}

    // The first value of a fresh generator is the seed itself, then 6 × seed, 31 × seed, ...
    uint32_t Next()
    {
        state_ = state_ * 5u + increment_;
        return state_;
    }

    // The permutation list becomes 0, 1, ..., n − 1.
    void InitPermutation(int n);
    // Advances the generator and removes and returns list[state mod list size]; −1 when empty.
    int NextIndex();
    int PermutationSize() const { return static_cast<int>(list_.size()); }

  private:
    uint32_t increment_;
    uint32_t state_ = 0;
    std::vector<int> list_;
};

// The seed of archive directories.
constexpr uint32_t ArchiveSeed = 1530827207u; // 0x5B3E91C7

} // namespace ruko
