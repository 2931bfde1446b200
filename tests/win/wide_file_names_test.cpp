// Wide file names outside the system's code page (Japanese names on an
// English system): Vidlyn_SaveImageW writes every still format and
// Vidlyn_RecordW an AVI file under the name as given, read back here under
// that name by the libraries' own readers; a name that is not valid text
// fails with the promised code, and a narrow name still means the file the
// ANSI file functions would open.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "FileReaders.h"
#include "StreamingCamera.h"

namespace {

using namespace filetest;
using streamtest::kHeight;
using streamtest::kPatienceMs;
using streamtest::kWidth;

constexpr size_t kStride = kWidth * 3;  // 24 bits, already a multiple of 4

class WideFileNames : public streamtest::StreamingCamera {
protected:
    void TearDown() override {
        for (const std::string& path : made) Remove(path);
        StreamingCamera::TearDown();
    }

    // A path in the temporary folder named `stem` + `extension`, as UTF-8; removed at the end.
    std::string Named(const std::wstring& stem, const char* extension) {
        const std::string path = TempPath(Utf8(stem) + extension);
        Remove(path);
        made.push_back(path);
        return path;
    }

    // One 24-bit frame of the stream, rows in memory order (top row first);
    // the stream is stopped again, so the output buffer keeps this frame.
    std::vector<uint8_t> Frame() {
        std::vector<uint8_t> image;
        EXPECT_EQ(Vidlyn_StartPreview(h), 1);
        EXPECT_TRUE(NextImage(image, 24));
        EXPECT_EQ(Vidlyn_StopPreview(h), 1);
        // A frame converted between the copy and the stop replaces it.
        std::vector<uint8_t> newer(image.size());
        if (Vidlyn_GetImage(h, newer.data(), static_cast<int>(newer.size()), 1) == 1) image = newer;
        return image;
    }

    std::vector<std::string> made;
};

// The decoded picture holds `image` (blue, green, red in memory) as red, green, blue.
void ExpectRgbOf(const Picture& p, const std::vector<uint8_t>& image) {
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.width, kWidth);
    ASSERT_EQ(p.height, kHeight);
    ASSERT_EQ(p.samples, 3);
    ASSERT_EQ(p.depth, 8);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(p.at(x, y, c), image[y * kStride + x * 3 + (2 - c)]) << x << "," << y << "," << c;
}

TEST_F(WideFileNames, EveryStillFormatUnderAJapaneseName) {
    const std::vector<uint8_t> image = Frame();
    ASSERT_EQ(image.size(), kStride * kHeight);
    const std::wstring stem = L"\u30ab\u30e1\u30e9\u753b\u50cf";  // "camera picture"
    const char* extensions[] = {".bmp", ".raw", ".jpg", "_70.jpg", "_20.jpg", ".png", ".tif"};
    std::string paths[7];
    for (int format = VIDLYN_FORMAT_BMP; format <= VIDLYN_FORMAT_TIFF; ++format) {
        SCOPED_TRACE(format);
        paths[format] = Named(stem, extensions[format]);
        ASSERT_EQ(Vidlyn_SaveImageW(h, Wide(paths[format]).c_str(), format), 1);
        ASSERT_TRUE(Exists(paths[format]));
    }
    EXPECT_EQ(Codes(), std::vector<int>{});

    const std::vector<uint8_t> bmp = ReadBytes(paths[VIDLYN_FORMAT_BMP]);
    ASSERT_EQ(bmp.size(), 54 + image.size());
    EXPECT_EQ(U32(bmp, 10), 54u);
    EXPECT_EQ(U16(bmp, 28), 24);
    for (size_t row = 0; row < kHeight; ++row)  // bottom row first
        ASSERT_EQ(0, std::memcmp(&bmp[54 + row * kStride], &image[(kHeight - 1 - row) * kStride], kStride)) << row;
    EXPECT_EQ(ReadBytes(paths[VIDLYN_FORMAT_RAW]), image);
    ExpectRgbOf(ReadPng(paths[VIDLYN_FORMAT_PNG]), image);
    ExpectRgbOf(ReadTiff(paths[VIDLYN_FORMAT_TIFF]), image);
    for (int format : {VIDLYN_FORMAT_JPEG_HIGH, VIDLYN_FORMAT_JPEG_MID, VIDLYN_FORMAT_JPEG_LOW}) {
        const Picture p = ReadJpeg(paths[format]);
        EXPECT_TRUE(p.ok && p.width == kWidth && p.height == kHeight && p.samples == 3) << format;
    }
}

TEST_F(WideFileNames, RecordingUnderAJapaneseName) {
    const std::string path = Named(L"\u9332\u753b", ".avi");  // "recording"
    ASSERT_EQ(Vidlyn_RecordW(h, Wide(path).c_str(), 300, 0), 1);
    const DWORD start = GetTickCount();
    while (s->m_recording.load() != 0 && GetTickCount() - start < kPatienceMs) Sleep(5);
    ASSERT_EQ(s->m_recording.load(), 0) << "the recording did not end";
    EXPECT_EQ(Vidlyn_StopPreview(h), 1);
    const AviFile avi = ReadAvi(path);
    ASSERT_TRUE(avi.ok) << avi.error;
    EXPECT_TRUE(avi.hasIndex);
    EXPECT_GE(avi.frames.size(), 2u);
    EXPECT_EQ(avi.index.size(), avi.frames.size());
    EXPECT_EQ(avi.Field(48), avi.frames.size());
    EXPECT_EQ(Codes(), std::vector<int>{});
}

TEST_F(WideFileNames, NamesThatAreNotTextFailWithTheirCodes) {
    Frame();
    Clear();
    const std::wstring lone = std::wstring(L"frame_") + wchar_t(0xD800) + L".bmp";  // half a surrogate pair
    const std::string dir = TempPath("");
    const std::wstring name = Wide(dir) + lone;
    EXPECT_EQ(Vidlyn_SaveImageW(h, name.c_str(), VIDLYN_FORMAT_BMP), 0);
    EXPECT_EQ(Vidlyn_SaveImageW(h, nullptr, VIDLYN_FORMAT_BMP), 0);
    EXPECT_EQ(sdktest::DrainHistory(h), (std::vector<int>{VIDLYN_ERR_NO_CAMERA, VIDLYN_ERR_NO_CAMERA}));
    EXPECT_EQ(Vidlyn_RecordW(h, name.c_str(), 100, 0), 0);
    EXPECT_EQ(Vidlyn_RecordW(h, nullptr, 100, 0), 0);
    EXPECT_EQ(sdktest::DrainHistory(h), (std::vector<int>{VIDLYN_ERR_SETTINGS, VIDLYN_ERR_SETTINGS}));
    EXPECT_EQ(s->m_state.load(), 0);  // the refused recording started nothing
}

TEST_F(WideFileNames, ANarrowNameMeansTheFileOfTheAnsiFileFunctions) {
    const std::vector<uint8_t> image = Frame();
    // A name with a letter of the ANSI code page beyond ASCII, when it has one.
    const std::wstring stem = L"cam\u00e9ra";
    char narrow[64];
    BOOL lossy = FALSE;
    const UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
    if (WideCharToMultiByte(codePage, 0, stem.c_str(), -1, narrow, sizeof(narrow), nullptr, &lossy) <= 0 || lossy)
        GTEST_SKIP() << "no such letter in code page " << codePage;
    const std::string path = Named(stem, ".raw");
    const std::string ansiPath = TempPath(std::string(narrow) + ".raw");
    ASSERT_EQ(Vidlyn_SaveImage(h, ansiPath.c_str(), VIDLYN_FORMAT_RAW), 1);
    EXPECT_EQ(ReadBytes(path), image);
}

}  // namespace
