#pragma once

#include "app/TextureEntry.h"

#include <memory>
#include <vector>

// Textures by file path, each read and uploaded once until the next clear.
// Paths are compared ignoring the case of ASCII letters and nothing else.
// Every operation needs the rendering context of the textures current.
class GLTexMan {
public:
    // In the order first asked for; an unusable file keeps an invalid entry
    // so that it is not read again.
    std::vector<std::unique_ptr<TextureEntry>> entries;

    GLTexMan() = default;
    virtual ~GLTexMan();

    GLTexMan(const GLTexMan&) = delete;
    GLTexMan& operator=(const GLTexMan&) = delete;

    // The entry of that path, read on the first request; null when the file
    // is unusable.
    TextureEntry* getTexture(const char* path);
    // Deletes every texture and entry.
    void clear();
};
