#include "mesh/MemoryReserve.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>

namespace {

// Small blocks, so that they come from the heap's own free lists (a large
// block goes back to the system, and a heap whose address space is full may
// not get it again) and serve the small allocations that a throw makes.
constexpr int kBlocks = 16;
constexpr std::size_t kBlockBytes = 16 * 1024;

// The threads of one load may run short at once: each block is given back
// by one of them.
std::atomic<void*> reserve[kBlocks];
int depth = 0;

void giveBack()
{
    for (std::atomic<void*>& block : reserve)
        std::free(block.exchange(nullptr));
}

// One block for each failure: when several threads run short, the memory
// that one of them gets back cannot be used up by the others' work before
// they throw in turn. (A throw that finds no memory at all recurses in the
// runtime until the stack overflows.)
void giveBackOne()
{
    for (std::atomic<void*>& block : reserve)
        if (void* held = block.exchange(nullptr)) {
            std::free(held);
            return;
        }
}

void outOfMemory()
{
    throwOutOfMemory();
}

} // namespace

MemoryReserve::MemoryReserve()
{
    if (depth++ > 0)
        return;
    outermost = true;
    for (std::atomic<void*>& block : reserve)
        block = std::malloc(kBlockBytes);
    previous = std::set_new_handler(outOfMemory);
}

MemoryReserve::~MemoryReserve()
{
    --depth;
    if (!outermost)
        return;
    std::set_new_handler(previous);
    giveBack();
}

bool MemoryReserve::held() const
{
    for (const std::atomic<void*>& block : reserve)
        if (!block)
            return false;
    return true;
}

void throwOutOfMemory()
{
    giveBackOne();
    throw std::bad_alloc();
}

void prepareToThrow()
{
    try {
        throw std::bad_alloc();
    } catch (const std::bad_alloc&) {
    }
    errno = 0;
}
