#pragma once

#include "mesh/MemoryReserve.h"
#include "platform/Runtime.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

// A growable array of plain values kept in fixed-size blocks, so that growing
// never copies what is stored and never needs twice the memory for a moment,
// as a doubling vector does. Only the first block grows by doubling, which
// keeps small arrays small. Indexing is a shift and a mask.
template <class T>
class BlockArray {
    static_assert(std::is_trivially_copyable<T>::value, "BlockArray holds plain values");

public:
    static constexpr std::size_t kBlockShift = 16;
    static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockShift;

    BlockArray() = default;
    BlockArray(const BlockArray&) = delete;
    BlockArray& operator=(const BlockArray&) = delete;
    ~BlockArray() { clear(); }

    std::size_t size() const { return count; }
    std::size_t capacity() const { return room; }
    bool empty() const { return count == 0; }

    T& operator[](std::size_t i) { return table[i >> kBlockShift][i & (kBlockSize - 1)]; }
    const T& operator[](std::size_t i) const { return table[i >> kBlockShift][i & (kBlockSize - 1)]; }

    // Throws std::bad_alloc when memory runs out; the array is unchanged then.
    void push_back(const T& value)
    {
        if (count == room)
            grow();
        (*this)[count] = value;
        ++count;
    }

    // Appends n values, with one copy per block that they land in. Throws
    // std::bad_alloc when memory runs out; the array is unchanged then.
    void append(const T* values, std::size_t n)
    {
        const std::size_t offset = count & (kBlockSize - 1);
        if (n > 0 && n <= room - count && n <= kBlockSize - offset) {
            // All in the current block: the common case.
            std::memcpy(&(*this)[count], values, n * sizeof(T));
            count += n;
            return;
        }
        while (room - count < n)
            grow();
        while (n > 0) {
            // Blocks after the first are full-sized, and the first holds
            // every value while it is smaller, so no run passes a block's end.
            const std::size_t run = std::min(n, kBlockSize - (count & (kBlockSize - 1)));
            std::memcpy(&(*this)[count], values, run * sizeof(T));
            count += run;
            values += run;
            n -= run;
        }
    }

    // Makes the array n values longer, the new ones unset, and returns the
    // index of the first. Throws std::bad_alloc when memory runs out; the
    // size is unchanged then.
    std::size_t extend(std::size_t n)
    {
        while (room - count < n)
            grow();
        count += n;
        return count - n;
    }

    // Gives the first block its full size, so that it never moves again.
    // Throws std::bad_alloc when memory runs out; the array is unchanged then.
    void fillFirstBlock()
    {
        if (room >= kBlockSize)
            return;
        T* block = static_cast<T*>(rt::reallocate(first, count * sizeof(T), kBlockSize * sizeof(T)));
        if (!block)
            throwOutOfMemory();
        first = block;
        room = kBlockSize;
    }

    // Size 0, the memory kept for the values that come next.
    void forgetValues() { count = 0; }

    void clear()
    {
        for (std::size_t b = 0; b < blockCount(); ++b)
            std::free(table[b]);
        if (table != &first)
            std::free(table);
        first = nullptr;
        table = &first;
        count = 0;
        room = 0;
    }

    // Bytes held, for memory figures.
    std::size_t memoryBytes() const { return room * sizeof(T) + (table != &first ? tableSize() * sizeof(T*) : 0); }

private:
    std::size_t blockCount() const { return (room + kBlockSize - 1) >> kBlockShift; }

    // Entries that table has room for: one inline, then the power of two
    // above the blocks in use (it doubles when they reach it).
    std::size_t tableSize() const
    {
        std::size_t size = 1;
        while (size < blockCount())
            size *= 2;
        return size;
    }

    void grow()
    {
        if (room < kBlockSize) {
            // Still within the first block: double it, from a few values, so
            // that the many small arrays of a mesh (a material's faces) stay small.
            const std::size_t wanted = room ? room * 2 : 4;
            T* block = static_cast<T*>(rt::reallocate(first, count * sizeof(T), wanted * sizeof(T)));
            if (!block)
                throwOutOfMemory();
            first = block;
            room = wanted;
            return;
        }
        const std::size_t blocks = blockCount();
        if (blocks == tableSize()) {
            // The table of blocks: inline while there is one block, then on
            // the heap, doubling.
            const std::size_t wanted = blocks * 2;
            T** grown = static_cast<T**>(std::realloc(table != &first ? table : nullptr, wanted * sizeof(T*)));
            if (!grown)
                throwOutOfMemory();
            if (table == &first)
                grown[0] = first;
            table = grown;
        }
        T* block = static_cast<T*>(std::malloc(kBlockSize * sizeof(T)));
        if (!block)
            throwOutOfMemory();
        table[blocks] = block;
        room += kBlockSize;
    }

    // The array holds itself (table may point at first), so it never moves:
    // copying and moving are deleted.
    T* first = nullptr;
    T** table = &first;
    std::size_t count = 0;
    std::size_t room = 0;
};
