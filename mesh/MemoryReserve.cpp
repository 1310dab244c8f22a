#include "mesh/MemoryReserve.h"

#include <cstddef>
#include <cstdlib>

namespace {

// Small blocks, so that they come from the heap's own free lists (a large
// block goes back to the system, and a heap whose address space is full may
// not get it again) and serve the small allocations that a throw makes.
constexpr int kBlocks = 16;
constexpr std::size_t kBlockBytes = 16 * 1024;

void* reserve[kBlocks];
int depth = 0;

void giveBack()
{
    for (void*& block : reserve) {
        std::free(block);
        block = nullptr;
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
    for (void*& block : reserve)
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
    for (void* block : reserve)
        if (!block)
            return false;
    return true;
}

void throwOutOfMemory()
{
    giveBack();
    throw std::bad_alloc();
}
