#pragma once

#include <new>

// Memory held back while a mesh loads, and given back the moment an
// allocation fails. Throwing std::bad_alloc takes memory of its own: the
// exception object, and with the MinGW runtime the thread's exception
// globals and the emergency pool's lock, made on first use. A load that used
// the heap up to its last byte could not report its failure and would end
// the process instead.
//
// While an object of this class lives, operator new gives a block of the
// reserve back and throws std::bad_alloc when it finds no memory, at once;
// the rest comes back when the object ends. Nesting is allowed (only the
// outermost object holds and frees the reserve); one load at a time, whose
// threads may all run short.
class MemoryReserve {
public:
    MemoryReserve();
    ~MemoryReserve();
    MemoryReserve(const MemoryReserve&) = delete;
    MemoryReserve& operator=(const MemoryReserve&) = delete;

    // False when the reserve could not be taken: memory is already short.
    bool held() const;

private:
    std::new_handler previous = nullptr;
    bool outermost = false;
};

// Gives a block of the reserve back and throws std::bad_alloc. For the
// allocations that do not go through operator new (malloc, realloc) and for
// sizes refused before allocating.
[[noreturn]] void throwOutOfMemory();

// Makes the calling thread's state for throwing now, while there is memory
// for it: a thread's first throw takes memory for its exception globals
// and, with MinGW, for the emulated thread-locals that hold them, which end
// the process when they cannot be had. Likewise the C runtime's data of the
// thread, made on first use of errno. For threads that may run short.
void prepareToThrow();
