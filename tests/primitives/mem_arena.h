// A scratch buffer filled with random bytes, and the image it must hold after a kernel ran:
// every byte outside the region the kernel may write is a canary.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

class Arena {
public:
    explicit Arena(size_t size, uint32_t seed = 1)
        : raw_(size + 64), expected_(size), pristine_(size), size_(size)
    {
        uintptr_t p = reinterpret_cast<uintptr_t>(raw_.data());
        base_ = raw_.data() + ((64 - (p & 63)) & 63);
        uint64_t x = 0x9e3779b97f4a7c15ull ^ seed;
        for (size_t i = 0; i < size_; i += 8) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            std::memcpy(pristine_.data() + i, &x, size_ - i < 8 ? size_ - i : 8);
        }
    }

    uint8_t* at(size_t offset) { return base_ + offset; }
    size_t size() const { return size_; }

    // Limits reset() and matches() to the first n bytes (at most the size), so one arena serves
    // many small checks cheaply.
    void window(size_t n) { active_ = n < size_ ? n : size_; }

    // The random bytes everywhere, and the same image as what is expected.
    void reset()
    {
        std::memcpy(base_, pristine_.data(), active_);
        std::memcpy(expected_.data(), pristine_.data(), active_);
    }

    // The expected image at the address p of the buffer.
    uint8_t* expect(const uint8_t* p) { return expected_.data() + (p - base_); }

    // Compares the whole buffer with the expected image; names the first differing byte
    // relative to origin (the destination).
    ::testing::AssertionResult matches(const uint8_t* origin) const
    {
        if (std::memcmp(base_, expected_.data(), active_) == 0)
            return ::testing::AssertionSuccess();
        size_t i = 0;
        while (base_[i] == expected_[i])
            ++i;
        return ::testing::AssertionFailure()
               << "byte at dst" << (base_ + i >= origin ? "+" : "-")
               << (base_ + i >= origin ? base_ + i - origin : origin - base_ - i) << " is "
               << int(base_[i]) << ", expected " << int(expected_[i]);
    }

private:
    std::vector<uint8_t> raw_;
    std::vector<uint8_t> expected_;
    std::vector<uint8_t> pristine_;
    uint8_t* base_;
    size_t size_;
    size_t active_ = size_;
};

// The sizes every memory kernel is checked at beyond 1..300: each bound of the kernels and one
// either side of it.
inline std::vector<size_t> boundSizes(size_t upTo)
{
    std::vector<size_t> sizes;
    for (size_t b : {16u, 32u, 64u, 128u, 225u, 256u, 4096u, 32768u, 131072u, 262144u, 524288u,
                     1048576u, 2097152u}) {
        if (b + 1 > upTo)
            break;
        for (size_t s : {b - 1, b, b + 1})
            if (s > 300)
                sizes.push_back(s);
    }
    return sizes;
}

// Destination and source offsets (mod 64) for a size: the same alignment, and a second pair
// that walks through all relative alignments as the size changes.
inline std::vector<std::pair<size_t, size_t>> offsetPairs(size_t n, size_t dstOffset)
{
    return {{dstOffset, dstOffset}, {dstOffset, (dstOffset * 37 + n * 11 + 1) % 64}};
}

// A handful of offset pairs for the big sizes.
inline const std::vector<std::pair<size_t, size_t>>& sparseOffsets()
{
    static const std::vector<std::pair<size_t, size_t>> pairs = {
        {0, 0}, {1, 3}, {5, 0}, {0, 7}, {16, 48}, {63, 1}, {4, 12}, {32, 8}};
    return pairs;
}
