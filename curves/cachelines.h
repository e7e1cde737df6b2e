// Arrays that hold cache lines of their own. A small array that one core writes while reading a file
// (a line's cells, the headers of the arrays it appends to) may otherwise share a cache line with another
// core's: the heap hands out neighbouring blocks to threads that take turns freeing each other's, and each
// write then stalls both cores. Reading a file on two cores took half as long again as on one that way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

// Two cache lines: processors that fetch lines in pairs make neighbours of those too. A record that one core
// updates for every line it reads is aligned to this.
inline constexpr std::size_t OwnLinesBytes = 128;

// Allocates on a boundary of, and in whole multiples of, OwnLinesBytes.
template <class T>
struct TCacheLineAllocator {
    using value_type = T;
    static constexpr std::size_t Bytes = OwnLinesBytes;

    TCacheLineAllocator() = default;
    template <class U>
    TCacheLineAllocator(const TCacheLineAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > (static_cast<std::size_t>(PTRDIFF_MAX) - Bytes) / sizeof(T))
            throw std::bad_array_new_length();
        const std::size_t bytes = (n * sizeof(T) + Bytes - 1) / Bytes * Bytes;
        return static_cast<T*>(::operator new (bytes, std::align_val_t{Bytes}));
    }
    void deallocate(T* p, std::size_t) noexcept { ::operator delete (p, std::align_val_t{Bytes}); }

    template <class U>
    bool operator==(const TCacheLineAllocator<U>&) const noexcept {
        return true;
    }
};

// A vector whose elements share no cache line with any other allocation.
template <class T>
using TOwnLinesVector = std::vector<T, TCacheLineAllocator<T>>;
