// Readers for the files the SDK writes, independent of its writers: whole
// files as bytes, little-endian fields at file offsets, and JPEG, PNG and
// TIFF pictures decoded by the libraries' own readers into top-down rows.
// Paths are UTF-8 and opened with the wide file functions, so that names
// outside the system's code page can be read back as well.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace filetest {

// A fresh path in the temporary folder, unique to this process.
std::string TempPath(const std::string& name);
// UTF-8 and UTF-16 forms of a path.
std::string Utf8(const std::wstring& path);
std::wstring Wide(const std::string& path);
std::vector<uint8_t> ReadBytes(const std::string& path);
bool Exists(const std::string& path);
// Removes the file, also when it is read-only.
void Remove(const std::string& path);

inline uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
inline uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }
inline std::string Tag(const std::vector<uint8_t>& b, size_t at) {
    return std::string(reinterpret_cast<const char*>(b.data() + at), 4);
}

// A decoded picture: rows top first, `samples` values per pixel, each value
// 8- or 16-bit as stored (16-bit values in host order).
struct Picture {
    bool ok = false;
    int width = 0, height = 0, samples = 0, depth = 0;
    bool progressive = false;      // JPEG
    int pngColorType = -1;         // PNG
    int photometric = -1;          // TIFF
    bool bigTiff = false;          // TIFF
    std::vector<uint32_t> values;  // width * height * samples
    uint32_t at(int x, int y, int s) const { return values[(size_t(y) * width + x) * samples + s]; }
};

Picture ReadJpeg(const std::string& path);
Picture ReadPng(const std::string& path);
Picture ReadTiff(const std::string& path);

// An AVI file walked chunk by chunk from its RIFF structure.
struct AviFile {
    bool ok = false;    // the structure parsed and the RIFF size is the file length - 8
    std::string error;  // what did not parse
    std::vector<uint8_t> bytes;
    uint32_t riffSize = 0, moviSize = 0;
    uint32_t moviTag = 0;  // file offset of the "movi" tag
    struct Chunk {
        uint32_t offset;  // of the chunk's tag in the file
        uint32_t size;
    };
    std::vector<Chunk> frames;  // the "00db" chunks of the movi list, in file order
    struct Entry {
        std::string tag;
        uint32_t flags, offset, size;
    };
    std::vector<Entry> index;  // the idx1 entries
    bool hasIndex = false;
    // A 32-bit field of the header area at its file offset.
    uint32_t Field(size_t at) const { return U32(bytes, at); }
};
AviFile ReadAvi(const std::string& path);

}  // namespace filetest
