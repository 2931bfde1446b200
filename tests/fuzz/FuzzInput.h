// Reading a fuzzer's input as the values a target needs: integers, ranges,
// choices and picture bytes. An exhausted input reads as zeros, so that every
// input, however short, is a complete case.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <vector>

namespace fuzz {

class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    // The next sizeof(T) bytes, little-endian.
    template <typename T>
    T Take() {
        static_assert(std::is_integral_v<T>);
        using U = std::make_unsigned_t<T>;
        U v = 0;
        for (size_t i = 0; i < sizeof(T); ++i) v = static_cast<U>(v | static_cast<U>(Byte()) << (8 * i));
        return static_cast<T>(v);
    }

    // A value in lo..hi (inclusive).
    int Range(int lo, int hi) {
        const uint64_t span = static_cast<uint64_t>(int64_t{hi} - lo) + 1;
        return static_cast<int>(lo + static_cast<int64_t>(Take<uint32_t>() % span));
    }

    bool Bool() { return Byte() & 1; }

    template <typename T, size_t N>
    const T& Pick(const T (&choices)[N]) {
        return choices[Take<uint8_t>() % N];
    }

    // A signed 32-bit value that is often near the interesting edges: small,
    // near a limit given, or anything at all.
    int32_t Around(int32_t limit) {
        switch (Byte() % 4) {
            case 0:
                return Range(-4, 4);
            case 1:
                return static_cast<int32_t>(limit + Range(-4, 4));
            case 2:
                return Range(-2 * (limit < 0 ? -limit : limit) - 8, 2 * (limit < 0 ? -limit : limit) + 8);
            default:
                return Take<int32_t>();
        }
    }

    // Fills `n` bytes: from the input while it lasts, then from a generator
    // seeded by what was read, so that a short input still gives a busy picture.
    void Fill(uint8_t* dst, size_t n) {
        uint64_t state = 0x9E3779B97F4A7C15ull ^ m_pos;
        for (size_t i = 0; i < n; ++i) {
            if (m_pos < m_size) {
                dst[i] = m_data[m_pos++];
                state = state * 6364136223846793005ull + dst[i];
            } else {
                state = state * 6364136223846793005ull + 1442695040888963407ull;
                dst[i] = static_cast<uint8_t>(state >> 56);
            }
        }
    }

    size_t Left() const { return m_pos < m_size ? m_size - m_pos : 0; }

private:
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }

    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// A picture buffer of exactly stride * height bytes (the sanitizers see any
// access past it), with a stride of at least the row's bytes.
struct Picture {
    int width = 0, height = 0, bpp = 0, stride = 0;
    std::vector<uint8_t> bytes;

    Picture(int w, int h, int bytesPerPixel, int extraStride)
        : width(w), height(h), bpp(bytesPerPixel), stride(w * bytesPerPixel + extraStride) {
        bytes.resize(static_cast<size_t>(stride) * static_cast<size_t>(h));
    }
    uint8_t* bits() { return bytes.data(); }
    const uint8_t* bits() const { return bytes.data(); }
};

// Stops the fuzzer with a finding: the abort shows the stack under the
// sanitizers, and libFuzzer keeps the input as the reproducer.
[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "fuzz finding: %s\n", what);
    std::abort();
}

}  // namespace fuzz

#define FUZZ_CHECK(cond)                                                             \
    do {                                                                             \
        if (!(cond)) ::fuzz::Fail(__FILE__ ":" FUZZ_STRINGIFY(__LINE__) ": " #cond); \
    } while (0)
#define FUZZ_STRINGIFY2(x) #x
#define FUZZ_STRINGIFY(x) FUZZ_STRINGIFY2(x)
