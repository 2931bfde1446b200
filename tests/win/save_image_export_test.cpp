// Vidlyn_SaveImage and Vidlyn_SaveImageW on a session with a simulated
// camera: the current frame of every colour mode reaches the file, the
// session checks report code 1, and wide names are taken up to 1023
// characters (a longer one fails with code 1).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FileReaders.h"
#include "ModelDisk.h"
#include "SdkTestUtil.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "output/DibBuffer.h"

using namespace sdktest;
using namespace filetest;

namespace {

class SaveImageExport : public testing::Test {
protected:
    void SetUp() override {
        DeleteSettings();
        ASSERT_TRUE(vidlyn::test::WriteDiskEnum({vidlyn::test::CameraEnumEntry()}));
        vidlyn::vcam::CameraSettings settings;
        settings.subsampleDivisor = 4;
        m_rig.Add(0, settings);
        m_session = std::make_unique<Session>();
        ASSERT_NE(m_session->handle(), 0);
        DrainHistory(*m_session);
        m_path = TempPath("export.bmp");
        Remove(m_path);
    }
    void TearDown() override {
        m_session.reset();
        Remove(m_path);
        vidlyn::test::DeleteDiskEnum();
        DeleteSettings();
    }

    // One camera frame converted into the output buffer of colour `bits`, as
    // the frame path leaves it (quarter size: 1224 x 816).
    const DibBuffer* TakeFrame(int bits) {
        CVidlyn& s = *m_session->object();
        EXPECT_EQ(Vidlyn_SetColorMode(*m_session, bits), 1);
        s.m_subSample = 2;
        EXPECT_EQ(s.PrepareAcquisition(), 1);
        const uint32_t bytes = s.m_device->GetFrameCopySize();
        uint8_t* landing = s.FrameLanding(bytes);
        EXPECT_NE(landing, nullptr);
        if (landing == nullptr) return nullptr;
        EXPECT_EQ(s.m_device->StartCapture(), 0);
        EXPECT_EQ(s.m_device->FinishCapture(landing), 0);
        EXPECT_EQ(s.PlaceFrame(landing, bytes), 1);
        s.ConvertFrame();
        DrainHistory(*m_session);  // the conversion's own reports
        return s.OutputBuffer();
    }

    // The BMP at m_path holds `b` with its rows reversed.
    void ExpectBmpOf(const DibBuffer* b) {
        const std::vector<uint8_t> f = ReadBytes(m_path);
        const size_t offset = b->bitCount == 8 ? 1078 : 54;
        ASSERT_EQ(f.size(), offset + size_t(b->height) * b->stride);
        EXPECT_EQ(U16(f, 28), b->bitCount);
        for (int k = 0; k < b->height; ++k)
            ASSERT_EQ(0, memcmp(&f[offset + size_t(k) * b->stride], b->bits + size_t(b->height - 1 - k) * b->stride,
                                b->stride))
                << "row " << k;
    }

    vidlyn::test::CameraRig m_rig;
    std::unique_ptr<Session> m_session;
    std::string m_path;
};

TEST_F(SaveImageExport, TheCurrentFrameOfEveryColourModeReachesTheFile) {
    for (int bits : {8, 16, 24, 32, 48, 64}) {
        SCOPED_TRACE(bits);
        const DibBuffer* frame = TakeFrame(bits);
        ASSERT_NE(frame, nullptr);
        ASSERT_EQ(frame->width, 1224);
        ASSERT_EQ(frame->bitCount, bits);
        ASSERT_EQ(Vidlyn_SaveImage(*m_session, m_path.c_str(), VIDLYN_FORMAT_BMP), 1);
        ExpectBmpOf(frame);
        const std::wstring wide(m_path.begin(), m_path.end());
        Remove(m_path);
        ASSERT_EQ(Vidlyn_SaveImageW(*m_session, wide.c_str(), VIDLYN_FORMAT_BMP), 1);
        ExpectBmpOf(frame);
        for (int format = VIDLYN_FORMAT_RAW; format <= VIDLYN_FORMAT_TIFF; ++format)
            EXPECT_EQ(Vidlyn_SaveImage(*m_session, m_path.c_str(), format), 1) << format;
        EXPECT_EQ(Vidlyn_SaveImage(*m_session, m_path.c_str(), 7), 0);
        EXPECT_TRUE(DrainHistory(*m_session).empty());  // success and a bad format report nothing
    }
}

TEST_F(SaveImageExport, NoFrameYetFailsWithoutAFileOrACode) {
    EXPECT_EQ(Vidlyn_SaveImage(*m_session, m_path.c_str(), VIDLYN_FORMAT_PNG), 0);
    EXPECT_FALSE(Exists(m_path));
    EXPECT_TRUE(DrainHistory(*m_session).empty());
    EXPECT_EQ(Vidlyn_SaveImage(0x7FFF1234, m_path.c_str(), VIDLYN_FORMAT_BMP), 0);  // unknown handle
}

TEST_F(SaveImageExport, SessionChecksAndUnconvertibleNamesReportCodeOne) {
    CVidlyn bare;  // no device
    EXPECT_EQ(bare.SaveImage(m_path.c_str(), VIDLYN_FORMAT_BMP), 0);
    EXPECT_EQ(bare.popError(), VIDLYN_ERR_NO_CAMERA);

    ASSERT_NE(TakeFrame(24), nullptr);
    m_session->object()->m_colorType = 9;  // no output buffer for it
    EXPECT_EQ(Vidlyn_SaveImage(*m_session, m_path.c_str(), VIDLYN_FORMAT_BMP), 0);
    EXPECT_EQ(DrainHistory(*m_session), std::vector<int>{VIDLYN_ERR_NO_CAMERA});
    m_session->object()->m_colorType = 2;

    // 1023 characters fit; one more does not.
    std::wstring name = std::wstring(m_path.begin(), m_path.end());
    std::wstring fits = name + std::wstring(1023 - name.size(), L'x');
    EXPECT_EQ(Vidlyn_SaveImageW(*m_session, fits.c_str(), 7), 0);  // converted, then refused as format 7
    EXPECT_TRUE(DrainHistory(*m_session).empty());
    EXPECT_EQ(Vidlyn_SaveImageW(*m_session, (fits + L"x").c_str(), VIDLYN_FORMAT_BMP), 0);
    EXPECT_EQ(Vidlyn_SaveImageW(*m_session, nullptr, VIDLYN_FORMAT_BMP), 0);
    EXPECT_EQ(DrainHistory(*m_session), (std::vector<int>{VIDLYN_ERR_NO_CAMERA, VIDLYN_ERR_NO_CAMERA}));
}

// Runs in the Japanese run of this program (LC_ALL=ja_JP.UTF-8: code page 932).
TEST_F(SaveImageExport, JapaneseWideNameInTheJapaneseCodePage) {
    if (GetACP() != 932) GTEST_SKIP() << "needs the Japanese code page";
    ASSERT_NE(TakeFrame(24), nullptr);
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    const std::wstring name = std::wstring(dir) + L"\u30ab\u30e1\u30e9\u753b\u50cf.bmp";  // "camera picture"
    DeleteFileW(name.c_str());
    ASSERT_EQ(Vidlyn_SaveImageW(*m_session, name.c_str(), VIDLYN_FORMAT_BMP), 1);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.nFileSizeLow, 54u + 816u * 1224u * 3u);
    EXPECT_TRUE(DeleteFileW(name.c_str()));
}

}  // namespace
