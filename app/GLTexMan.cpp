#include "app/GLTexMan.h"

#include "platform/Runtime.h"

#include <cstdio>
#include <new>

GLTexMan::~GLTexMan()
{
    if (entries.empty())
        return;
    std::puts("warning : GLTexMan not cleaned.");
    std::fflush(stdout);
    // The textures can only be deleted with their own context current, which
    // cannot be assumed here: leave them to that context, free the rest.
    for (auto& entry : entries)
        entry->valid = false;
}

TextureEntry* GLTexMan::getTexture(const char* path)
{
    if (!path)
        return nullptr;
    for (const auto& entry : entries) {
        if (rt::compareNoCase(entry->path.c_str(), path) == 0)
            return entry->valid ? entry.get() : nullptr;
    }

    TextureEntry* entry = nullptr;
    try {
        entries.push_back(std::make_unique<TextureEntry>());
        entry = entries.back().get();
        entry->loadFromFile(path, true);
    } catch (const std::bad_alloc&) {
        // No texture this time rather than an exception out of the paint handler.
    }
    return entry && entry->valid ? entry : nullptr;
}

void GLTexMan::clear()
{
    for (auto& entry : entries)
        entry.reset();
    std::vector<std::unique_ptr<TextureEntry>>().swap(entries);
}
