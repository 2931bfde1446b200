// The table of vector rows: a cap on the level picks that level's entries,
// and every entry of every level the processor has gives the bytes of its
// straight rule for the part of a row it reports done, leaving the rest alone.
#include "pixel/core/Dispatch.h"

#include <gtest/gtest.h>
#include <immintrin.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "pixel/filter/FilterKernels.h"
#include "pixel/filter/FilterRows.h"
#include "pixel/gray/GrayRows.h"

namespace {

using pixel::RowTable;
using pixel::SimdLevel;

constexpr SimdLevel kLevels[] = {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2, SimdLevel::Avx512};

// Every entry's address, to compare tables entry by entry.
std::vector<const void*> Entries(const RowTable& t) {
    return {reinterpret_cast<const void*>(t.demosaic8),      reinterpret_cast<const void*>(t.demosaic16),
            reinterpret_cast<const void*>(t.byteTable),      reinterpret_cast<const void*>(t.wordTable),
            reinterpret_cast<const void*>(t.affineBytes),    reinterpret_cast<const void*>(t.affineWords),
            reinterpret_cast<const void*>(t.hueSaturation),  reinterpret_cast<const void*>(t.sharpen),
            reinterpret_cast<const void*>(t.grayCorrection), reinterpret_cast<const void*>(t.grayFromColor),
            reinterpret_cast<const void*>(t.reorder),        reinterpret_cast<const void*>(t.reorderStream),
            reinterpret_cast<const void*>(t.mirror),         reinterpret_cast<const void*>(t.widen),
            reinterpret_cast<const void*>(t.swapRows),       reinterpret_cast<const void*>(t.narrow48),
            reinterpret_cast<const void*>(t.narrow64)};
}

TEST(Dispatch, ACapPicksItsLevelsRowsAndEachLevelKeepsTheRowsBelowIt) {
    const SimdLevel detected = pixel::DetectedSimdLevel();
    std::vector<const void*> below;
    for (const SimdLevel cap : kLevels) {
        pixel::SetSimdCeiling(cap);
        const RowTable& t = pixel::Rows();
        EXPECT_EQ(t.level, std::min(cap, detected));
        EXPECT_EQ(&t, &pixel::RowsAt(cap));
        const std::vector<const void*> entries = Entries(t);
        if (cap == SimdLevel::Scalar) {
            for (const void* e : entries) EXPECT_EQ(e, nullptr) << "the straight loops have no rows";
        }
        for (size_t i = 0; i < below.size(); ++i) {
            if (below[i] != nullptr) {
                EXPECT_NE(entries[i], nullptr) << "entry " << i << " lost at level " << int(cap);
            }
        }
        // Each level the processor has brings rows of its own.
        if (cap > SimdLevel::Scalar && cap <= detected) {
            EXPECT_NE(entries, below) << "level " << int(cap);
        }
        below = entries;
    }
    pixel::SetSimdCeiling(SimdLevel::Avx512);
    EXPECT_EQ(pixel::Rows().level, detected);
    EXPECT_NE(pixel::RowsAt(SimdLevel::Scalar).demosaic8, pixel::Rows().demosaic8);
}

std::vector<uint8_t> Random(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

uint16_t Word(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

// Runs `check` for every level the processor has, with its table.
void ForEachLevel(const std::function<void(const RowTable&, const std::string&)>& check) {
    for (const SimdLevel l : kLevels)
        if (l <= pixel::DetectedSimdLevel()) check(pixel::RowsAt(l), "level " + std::to_string(int(l)));
}

// `done` units of `unit` bytes of out match want; the bytes after them are untouched.
void ExpectDone(const std::vector<uint8_t>& out, const std::vector<uint8_t>& want, const std::vector<uint8_t>& before,
                size_t doneBytes, const std::string& what) {
    ASSERT_LE(doneBytes, out.size()) << what;
    for (size_t i = 0; i < doneBytes; ++i) ASSERT_EQ(out[i], want[i]) << what << ", byte " << i;
    for (size_t i = doneBytes; i < out.size(); ++i) ASSERT_EQ(out[i], before[i]) << what << ", tail byte " << i;
}

// Contrast and brightness tables are computed rather than looked up: the map
// found for a table gives every entry of it on every level's rows, a table
// that is not such a map (gamma, one entry off) is refused, and the settings
// users make most (moderate ones) are all computed.
TEST(Dispatch, AffineRowsGiveEveryEntryOfTheirTables) {
    for (const int maxValue : {255, 1023}) {
        std::vector<uint16_t> table(static_cast<size_t>(maxValue) + 1);
        int fitted = 0, tried = 0;
        const auto check = [&](const std::string& what, bool moderate) {
            pixel::AffineMap map{};
            const bool fits = pixel::FitAffineMap(table.data(), maxValue, map);
            ++tried;
            fitted += fits;
            if (moderate) {
                EXPECT_TRUE(fits) << what;
            }
            if (!fits) return;
            // Every value 0..M in order, then values above M (read as M), several times over.
            const int n = 3 * (maxValue + 1) + 37;
            const bool wide = maxValue == 1023;
            const size_t bytes = static_cast<size_t>(n) * (wide ? 2 : 1);
            std::vector<uint8_t> src(bytes);
            for (int i = 0; i < n; ++i) {
                const int v = i < 2 * (maxValue + 1) ? i % (maxValue + 1) : (wide ? 1023 + (i * 37) % 64513 : i % 256);
                if (wide) {
                    const auto w = static_cast<uint16_t>(v);
                    std::memcpy(&src[2 * static_cast<size_t>(i)], &w, 2);
                } else {
                    src[static_cast<size_t>(i)] = static_cast<uint8_t>(v);
                }
            }
            ForEachLevel([&](const RowTable& t, const std::string& level) {
                const auto row = wide ? t.affineWords : t.affineBytes;
                if (row == nullptr) return;
                for (const bool keepFourth : {false, true}) {
                    const auto before = Random(bytes, 9);
                    auto out = before, want = before;
                    for (int i = 0; i < n; ++i) {
                        if (keepFourth && i % 4 == 3) continue;
                        if (wide) {
                            const uint16_t v = table[std::min<int>(Word(&src[2 * static_cast<size_t>(i)]), 1023)];
                            std::memcpy(&want[2 * static_cast<size_t>(i)], &v, 2);
                        } else {
                            want[static_cast<size_t>(i)] = static_cast<uint8_t>(table[src[static_cast<size_t>(i)]]);
                        }
                    }
                    const int done = row(out.data(), src.data(), n, keepFourth, map);
                    ExpectDone(out, want, before, static_cast<size_t>(done) * (wide ? 2 : 1),
                               what + ", " + level + (keepFourth ? ", fourth kept" : ""));
                    EXPECT_GT(done, n - 64) << what << ", " << level;  // at most one widest vector left
                }
            });
        };
        const int contrastMax = maxValue == 255 ? 127 : 508;  // the 16-bit gray buffer takes four times the setting
        for (int c = -contrastMax; c <= contrastMax; ++c) {
            BuildContrastTable(table.data(), maxValue, c);
            check("M " + std::to_string(maxValue) + ", contrast " + std::to_string(c), c == 0 || c == 30 || c == 64);
        }
        for (int b = -255; b <= 255; ++b) {
            BuildBrightnessTable(table.data(), maxValue, b);
            check("M " + std::to_string(maxValue) + ", brightness " + std::to_string(b), b >= -20 && b <= 20 && b != 0);
        }
        // Nearly all settings are computed; the rest fall back to the lookup.
        EXPECT_GT(fitted, tried * 95 / 100) << "M " << maxValue;

        pixel::AffineMap map{};
        BuildGammaTable(table.data(), maxValue, 140);
        EXPECT_FALSE(pixel::FitAffineMap(table.data(), maxValue, map)) << "gamma, M " << maxValue;
        BuildContrastTable(table.data(), maxValue, 30);
        ASSERT_TRUE(pixel::FitAffineMap(table.data(), maxValue, map));
        for (const int v : {0, 1, maxValue / 2, maxValue - 1, maxValue}) {
            std::vector<uint16_t> off = table;
            off[static_cast<size_t>(v)] =
                static_cast<uint16_t>(off[static_cast<size_t>(v)] == 0 ? 1 : off[static_cast<size_t>(v)] - 1);
            EXPECT_FALSE(pixel::FitAffineMap(off.data(), maxValue, map)) << "entry " << v << " off, M " << maxValue;
        }
        table.assign(table.size(), static_cast<uint16_t>(maxValue + 1));  // entries above M: not a map of 0..M
        EXPECT_FALSE(pixel::FitAffineMap(table.data(), maxValue, map));
    }
    // 16-bit rows with maps the fit does not choose for these filters (shifts
    // below 16, where the low half of the product counts).
    const int n = 1000 + 37;
    const auto src = Random(2 * static_cast<size_t>(n), 21);
    for (const pixel::AffineMap map : {pixel::AffineMap{0, 12, 5000}, pixel::AffineMap{-100, 15, 40000},
                                       pixel::AffineMap{37, 10, 1500}, pixel::AffineMap{-3, 16, 70001}}) {
        auto want = src;
        for (int i = 0; i < n; ++i) {
            const int64_t u = std::max(std::min<int>(Word(&src[2 * static_cast<size_t>(i)]), 1023) + map.offset, 0);
            const auto v = static_cast<uint16_t>(std::min<int64_t>((u * map.multiplier) >> map.shift, 1023));
            std::memcpy(&want[2 * static_cast<size_t>(i)], &v, 2);
        }
        ForEachLevel([&](const RowTable& t, const std::string& level) {
            if (t.affineWords == nullptr) return;
            auto out = src;
            const int done = t.affineWords(out.data(), src.data(), n, false, map);
            ExpectDone(out, want, src, 2 * static_cast<size_t>(done), "shift " + std::to_string(map.shift) + ", " + level);
            EXPECT_GT(done, n - 16) << level;
        });
    }
}

TEST(Dispatch, EveryLookupRowGivesItsTablesBytes) {
    const int n = 1000 + 37;  // several vectors of every width and a tail
    std::vector<uint16_t> table(1024);
    std::mt19937 rng(7);
    for (auto& e : table) e = static_cast<uint16_t>(rng() & 1023);
    std::vector<uint16_t> narrow(256);
    for (int i = 0; i < 256; ++i) narrow[i] = static_cast<uint16_t>(table[i] & 255);
    pixel::ByteTable bytes;
    pixel::MakeByteTable(bytes, narrow.data());
    pixel::WordTable words;
    pixel::MakeWordTable(words, table.data());
    ForEachLevel([&](const RowTable& t, const std::string& level) {
        for (const bool keepFourth : {false, true}) {
            const std::string what = level + (keepFourth ? ", fourth kept" : "");
            if (t.byteTable != nullptr) {
                const auto src = Random(n, 1), before = Random(n, 2);
                auto out = before, want = before;
                for (int i = 0; i < n; ++i)
                    if (!keepFourth || i % 4 != 3) want[i] = static_cast<uint8_t>(narrow[src[i]]);
                const int done = t.byteTable(out.data(), src.data(), n, keepFourth, bytes);
                ExpectDone(out, want, before, static_cast<size_t>(done), "byte table, " + what);
                EXPECT_GT(done, 0) << what;
            }
            if (t.wordTable != nullptr) {
                const auto src = Random(2 * n, 3), before = Random(2 * n, 4);
                auto out = before, want = before;
                for (int i = 0; i < n; ++i) {
                    if (keepFourth && i % 4 == 3) continue;
                    const uint16_t v = table[std::min<int>(Word(&src[2 * i]), 1023)];
                    std::memcpy(&want[2 * i], &v, 2);
                }
                const int done = t.wordTable(out.data(), src.data(), n, keepFourth, words);
                ExpectDone(out, want, before, 2 * static_cast<size_t>(done), "word table, " + what);
                EXPECT_GT(done, 0) << what;
            }
        }
        if (t.grayCorrection != nullptr) {
            // trunc(v * gain / 128) + offset, clipped; gains beyond what a row
            // computes leave the whole row to the caller.
            const int32_t settings[][4] = {{128, 128, 0, 0},           {300, 77, -20, 9}, {-40, 0, 255, 3},
                                           {1023, -1023, 5000, -5000}, {2000, 128, 0, 0}, {128, -70000, 1, 1}};
            for (const auto& g : settings) {
                const auto src = Random(n, 5), before = Random(n, 6);
                uint8_t tables[2][256];
                for (int k = 0; k < 2; ++k)
                    for (int v = 0; v < 256; ++v)
                        tables[k][v] =
                            static_cast<uint8_t>(std::clamp<int64_t>(int64_t{v} * g[k] / 128 + g[2 + k], 0, 255));
                const pixel::GraySites sites{{tables[0], tables[1]}, {g[0], g[1]}, {g[2], g[3]}};
                auto out = before, want = before;
                for (int i = 0; i < n; ++i) want[i] = tables[i & 1][src[i]];
                const int done = t.grayCorrection(out.data(), src.data(), n, sites);
                ExpectDone(
                    out, want, before, static_cast<size_t>(done),
                    "gray correction, gains " + std::to_string(g[0]) + " " + std::to_string(g[1]) + ", " + level);
            }
        }
    });
}

TEST(Dispatch, EveryPixelRowGivesItsFormulasBytes) {
    const int n = 700 + 29;
    ForEachLevel([&](const RowTable& t, const std::string& level) {
        for (const int pixelBytes : {3, 4}) {
            const std::string what = level + ", " + std::to_string(pixelBytes) + " bytes";
            const auto src = Random(static_cast<size_t>(n) * pixelBytes, 11);
            if (t.grayFromColor != nullptr) {
                // Streamed, the row starts its aligned stores anywhere within the
                // first vector: outputs at each offset from a 32-byte boundary.
                const auto before = Random(n, 12);
                auto want = before;
                for (int x = 0; x < n; ++x) {
                    const uint8_t* p = &src[static_cast<size_t>(x) * pixelBytes];
                    want[x] = static_cast<uint8_t>((59 * p[1] + 30 * p[2] + 11 * p[0]) / 100);
                }
                for (const bool stream : {false, true})
                    for (int offset = 0; offset < (stream ? 32 : 1); offset += 3) {
                        std::vector<uint8_t> memory(n + 64);
                        uint8_t* const start =
                            memory.data() + ((32 - (reinterpret_cast<uintptr_t>(memory.data()) & 31)) & 31) + offset;
                        std::memcpy(start, before.data(), static_cast<size_t>(n));
                        const int done = t.grayFromColor(start, src.data(), n, pixelBytes, stream);
                        _mm_sfence();
                        const std::vector<uint8_t> out(start, start + n);
                        ExpectDone(
                            out, want, before, static_cast<size_t>(done),
                            "gray from colour, " + what + (stream ? ", streamed at " + std::to_string(offset) : ""));
                        EXPECT_GE(done, n - 31) << what;
                    }
            }
            if (t.hueSaturation != nullptr) {
                // Rotation 0 is hue 0; the hues are the fast-path tests' business.
                auto out = src, want = src;
                for (int x = 0; x < n; ++x) {
                    uint8_t* p = &want[static_cast<size_t>(x) * pixelBytes];
                    HueSaturationPixel(p[0], p[1], p[2], 0, 90);
                }
                const int done = t.hueSaturation(out.data(), src.data(), n, pixelBytes, 90, 0);
                ExpectDone(out, want, src, static_cast<size_t>(done) * pixelBytes, "hue/saturation, " + what);
                EXPECT_GT(done, 0) << what;
            }
        }
        if (t.narrow48 != nullptr) {
            const auto src = Random(2 * static_cast<size_t>(n), 13), before = Random(n, 14);
            auto out = before, want = before;
            for (int i = 0; i < n; ++i) want[i] = static_cast<uint8_t>(Word(&src[2 * i]) >> 2);
            for (const bool stream : {false, true})
                for (const bool descending : {false, true}) {
                    auto o = before;
                    const int done = t.narrow48(o.data() + 1, src.data() + 2, n - 1, stream, descending);
                    o.erase(o.begin());
                    auto w = want, b = before;
                    w.erase(w.begin()), b.erase(b.begin());
                    ExpectDone(
                        o, w, b, static_cast<size_t>(done),
                        "48 to 24 bits, " + level + (stream ? ", streamed" : "") + (descending ? ", falling" : ""));
                }
        }
        if (t.narrow64 != nullptr) {
            const auto src = Random(8 * static_cast<size_t>(n), 15), before = Random(3 * static_cast<size_t>(n), 16);
            auto out = before, want = before;
            for (int x = 0; x < n; ++x)
                for (int c = 0; c < 3; ++c) want[3 * x + c] = static_cast<uint8_t>(Word(&src[8 * x + 2 * c]) >> 2);
            const int done = t.narrow64(out.data(), src.data(), n);
            ExpectDone(out, want, before, 3 * static_cast<size_t>(done), "64 to 24 bits, " + level);
        }
    });
}

// The byte moves do the whole row.
TEST(Dispatch, EveryByteMoveRowMovesTheWholeRow) {
    const int n = 900 + 13;
    ForEachLevel([&](const RowTable& t, const std::string& level) {
        const auto src = Random(2 * static_cast<size_t>(n), 21);
        for (const auto reorder : {t.reorder, t.reorderStream}) {
            if (reorder == nullptr) continue;
            // The streaming row wants 16-byte alignment and whole 16-pair steps.
            const int half = reorder == t.reorderStream ? 448 : n;
            alignas(64) static uint8_t out[2 * 1024];
            std::memset(out, 0, sizeof out);
            reorder(out, out + 2 * half - 1, src.data(), half);
            for (int k = 0; k < half; ++k) {
                ASSERT_EQ(out[k], src[2 * k]) << level << ", pair " << k;
                ASSERT_EQ(out[2 * half - 1 - k], src[2 * k + 1]) << level << ", pair " << k;
            }
        }
        if (t.mirror != nullptr) {
            for (const int sampleBytes : {1, 2}) {
                std::vector<uint8_t> out(static_cast<size_t>(n) * sampleBytes), inPlace(src.begin(), src.end());
                inPlace.resize(out.size());
                t.mirror(out.data(), src.data(), n, sampleBytes);
                t.mirror(inPlace.data(), inPlace.data(), n, sampleBytes);
                for (int i = 0; i < n; ++i)
                    for (int b = 0; b < sampleBytes; ++b) {
                        const uint8_t want = src[static_cast<size_t>(n - 1 - i) * sampleBytes + b];
                        ASSERT_EQ(out[static_cast<size_t>(i) * sampleBytes + b], want) << level << ", sample " << i;
                        ASSERT_EQ(inPlace[static_cast<size_t>(i) * sampleBytes + b], want) << level << ", in place";
                    }
            }
        }
        if (t.widen != nullptr) {
            std::vector<uint8_t> out(2 * static_cast<size_t>(n));
            t.widen(out.data(), src.data(), n);
            for (int i = 0; i < n; ++i) ASSERT_EQ(Word(&out[2 * i]), src[i] << 2) << level << ", sample " << i;
        }
        if (t.swapRows != nullptr) {
            auto a = Random(n, 22), b = Random(n, 23);
            const auto a0 = a, b0 = b;
            t.swapRows(a.data(), b.data(), a.size());
            EXPECT_EQ(a, b0) << level;
            EXPECT_EQ(b, a0) << level;
        }
    });
}

}  // namespace
