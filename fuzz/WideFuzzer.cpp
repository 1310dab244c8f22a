// fuzz_wide: 16-bit text lines (readWideLine, readWideLineChunk,
// readWideLineInto, writeWideChars, atEndOfFile).
//
// Input: one byte that chooses the chunk capacity (-1 to 62 units), then the
// file's bytes, read as little-endian units from fmemopen streams over
// exactly those bytes; a last odd byte is no unit. Streams here have no text
// mode, so a line feed ends a line and carriage returns are ordinary units.
//
// readWideLine and readWideLineChunk read the file in lines that together
// are exactly its units without the byte-order marks (0xFEFF, 0xFFFE); each
// line holds a line feed only as its last unit, and only the last line may
// lack one. Chunks go into heap buffers of exactly the capacity, so that a
// store past it is an AddressSanitizer report. Written back with
// writeWideChars, the units come out as a byte-order mark and the units.

#include "fuzz/FuzzSupport.h"
#include "image/WideText.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace {

constexpr char16_t kLineFeed = 10;
constexpr char16_t kUntouched = 0xBEEF;

void checkLine(const char16_t* line, std::size_t length, const std::u16string& expected, std::size_t offset)
{
    require(length > 0, "a line has at least one unit");
    require(length <= expected.size() - offset &&
                std::memcmp(line, expected.data() + offset, length * sizeof(char16_t)) == 0,
            "the lines are the file's units without byte-order marks");
    const bool last = offset + length == expected.size();
    for (std::size_t i = 0; i + 1 < length; ++i)
        require(line[i] != kLineFeed, "a line feed ends its line");
    require(line[length - 1] == kLineFeed || last, "only the last line may lack a line feed");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int capacity = (data[0] & 63) - 1;
    const std::string_view file(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::u16string units;
    std::u16string expected;
    for (std::size_t i = 0; i + 1 < file.size(); i += 2) {
        const char16_t unit =
            static_cast<char16_t>(static_cast<std::uint8_t>(file[i]) | (static_cast<std::uint8_t>(file[i + 1]) << 8));
        units += unit;
        if (unit != 0xFEFF && unit != 0xFFFE)
            expected += unit;
    }

    // Whole lines.
    std::FILE* stream = memoryStream(file);
    std::size_t offset = 0;
    for (;;) {
        std::size_t length = 12345;
        char16_t* line = readWideLine(stream, &length);
        if (!line) {
            require(length == 0, "readWideLine gives length 0 at the end");
            break;
        }
        require(line[length] == 0, "readWideLine ends the line with a zero unit");
        checkLine(line, length, expected, offset);
        std::free(line);
        offset += length;
    }
    require(offset == expected.size(), "readWideLine reads every unit");
    require(atEndOfFile(stream), "the stream is at its end after the last line");
    std::fclose(stream);

    // Chunks of the chosen capacity, into buffers of exactly that size:
    // readWideLineChunk on one stream, readWideLineInto on another.
    stream = memoryStream(file);
    std::FILE* twin = memoryStream(file);
    const std::size_t room = capacity > 0 ? static_cast<std::size_t>(capacity) : 1;
    std::unique_ptr<char16_t[]> buffer(new char16_t[room]);
    std::unique_ptr<char16_t[]> other(new char16_t[room]);
    std::u16string chunks;
    for (;;) {
        for (std::size_t i = 0; i < room; ++i)
            buffer[i] = other[i] = kUntouched;
        const int n = readWideLineChunk(buffer.get(), capacity, stream);
        char16_t* into = readWideLineInto(other.get(), capacity, twin);
        require((into != nullptr) == (n > 0) && (!into || into == other.get()),
                "readWideLineInto returns the buffer exactly when a unit was stored");
        if (capacity <= 0) {
            require(n == 0 && buffer[0] == kUntouched && other[0] == kUntouched,
                    "no capacity: nothing read, buffer untouched");
            break;
        }
        require(n >= 0 && n < capacity && buffer[static_cast<std::size_t>(n)] == 0,
                "a chunk holds at most capacity - 1 units and a zero");
        for (std::size_t i = static_cast<std::size_t>(n) + 1; i < room; ++i)
            require(buffer[i] == kUntouched, "nothing is stored after the zero");
        require(std::memcmp(buffer.get(), other.get(), room * sizeof(char16_t)) == 0,
                "readWideLineInto stores what readWideLineChunk stores");
        if (n == 0)
            break;
        for (int i = 0; i + 1 < n; ++i)
            require(buffer[static_cast<std::size_t>(i)] != kLineFeed, "a chunk ends at its line feed");
        chunks.append(buffer.get(), static_cast<std::size_t>(n));
    }
    require(capacity <= 1 || chunks == expected, "the chunks are the file's units without byte-order marks");
    std::fclose(stream);
    std::fclose(twin);

    // Written back: a byte-order mark at the start, then every unit.
    char* written = nullptr;
    std::size_t writtenSize = 0;
    std::FILE* out = open_memstream(&written, &writtenSize);
    require(out != nullptr, "open_memstream opens");
    const int count = writeWideChars(units.data(), static_cast<int>(units.size()), out);
    std::fclose(out);
    require(count == static_cast<int>(units.size()), "writeWideChars counts the units");
    if (units.empty()) {
        require(writtenSize == 0, "nothing to write writes nothing");
    } else {
        require(writtenSize == 2 + file.size() / 2 * 2 && static_cast<std::uint8_t>(written[0]) == 0xFF &&
                    static_cast<std::uint8_t>(written[1]) == 0xFE &&
                    std::memcmp(written + 2, file.data(), writtenSize - 2) == 0,
                "writeWideChars writes a byte-order mark and the units");
    }
    std::free(written);
    return 0;
}
