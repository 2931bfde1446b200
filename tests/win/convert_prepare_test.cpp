// Acquisition preparation and frame placement with a simulated camera: the
// failure codes and what they leave untouched, the buffers of every colour
// type, the camera writes in their order, the display picture, and a captured
// frame placed into the source picture (cut out, widened, mirrored).
#include <gtest/gtest.h>

#include <climits>
#include <utility>
#include <vector>

#include "SessionFixture.h"

namespace {

using vidlyn::test::AddFrameBuffers;
using vidlyn::test::CameraRig;
using vidlyn::test::DeleteDiskEnum;
using vidlyn::test::TakeHistory;
using vidlyn::test::Writes;

// The gain and exposure the camera writes are checked against.
void SetGainAndExposure(CVidlyn& s) {
    s.m_analog.m_globalGain = 0x10000 + 300;  // only the low 16 bits reach the camera
    s.m_analog.m_exposureTime = 1668;
}

// A session with a device object and empty frame buffers, as initialization
// leaves it, without the stored settings.
class Prepare : public vidlyn::test::SessionWithCamera {
protected:
    void SetUp() override {
        SessionWithCamera::SetUp();
        if (HasFatalFailure()) return;
        AddFrameBuffers(s);
        SetGainAndExposure(s);
        m_camera->ClearLog();
    }
};

TEST(PrepareWithoutCamera, NoDeviceAndNoCameraFound) {
    CVidlyn bare;
    AddFrameBuffers(bare);
    SetGainAndExposure(bare);
    EXPECT_EQ(bare.PrepareAcquisition(), 0);
    EXPECT_EQ(TakeHistory(bare), std::vector<int>{1});

    CameraRig rig;
    rig.Add(0);
    DeleteDiskEnum();  // the camera is not in the system's disk list
    CVidlyn s;
    s.m_device = new CVidlynQM7720USB3Sdk;
    AddFrameBuffers(s);
    SetGainAndExposure(s);
    EXPECT_EQ(s.PrepareAcquisition(), 0);
    EXPECT_EQ(TakeHistory(s), std::vector<int>{2});
    EXPECT_EQ(s.m_dib24->bits, nullptr);
}

TEST_F(Prepare, InvalidCaptureAreaIsRefusedBeforeAnythingChanges) {
    struct Area {
        int x, y, w, h, sub;
    };
    const Area bad[] = {{0, 0, 4897, 3264, 0}, {1, 0, 4896, 3264, 0}, {0, 1, 4896, 3264, 0}, {0, 0, 4896, 3265, 0},
                        {-2, 0, 100, 100, 0},  {0, 0, -1, 100, 0},    {0, 0, 4896, 3264, 3}, {0, 0, 4896, 3264, -1}};
    s.m_colorType = 2;
    for (const Area& a : bad) {
        s.m_startX = a.x;
        s.m_startY = a.y;
        s.m_width = a.w;
        s.m_height = a.h;
        s.m_subSample = a.sub;
        EXPECT_EQ(s.PrepareAcquisition(), 0);
        EXPECT_EQ(TakeHistory(s), std::vector<int>{7}) << a.x << " " << a.y << " " << a.w << " " << a.h << " " << a.sub;
    }
    EXPECT_EQ(s.m_dib24->bits, nullptr);
    EXPECT_TRUE(NewWrites().empty());
}

TEST_F(Prepare, BuffersThatCannotBeMadeGiveCode5) {
    // An empty capture area is a valid geometry but no picture.
    s.m_colorType = 2;
    s.m_width = 0;
    EXPECT_EQ(s.PrepareAcquisition(), 0);
    EXPECT_EQ(TakeHistory(s), std::vector<int>{5});
    // A colour type loaded unchecked from the settings.
    s.m_width = 4896;
    s.m_subSample = 2;
    s.m_colorType = 7;
    EXPECT_EQ(s.PrepareAcquisition(), 0);
    EXPECT_EQ(TakeHistory(s), std::vector<int>{5});
    // A session whose initialization stopped before the last buffer.
    s.m_colorType = 2;
    delete s.m_dibDisplay;
    s.m_dibDisplay = nullptr;
    EXPECT_EQ(s.PrepareAcquisition(), 0);
    EXPECT_EQ(TakeHistory(s), std::vector<int>{5});
    EXPECT_TRUE(NewWrites().empty());
}

TEST_F(Prepare, BuffersOfEveryColourTypeAndTheCameraWrites) {
    s.m_subSample = 2;  // 1224 x 816
    struct Expect {
        uint16_t bits8, bits16, out;
    };
    // Which of m_dib8 / m_dib16 exist and the output depth, per type.
    const Expect expect[6] = {{8, 0, 8}, {8, 16, 16}, {8, 0, 24}, {8, 0, 32}, {0, 16, 48}, {0, 16, 64}};
    for (int type = 0; type < 6; ++type) {
        SCOPED_TRACE(testing::Message() << "colour type " << type);
        for (DibBuffer* b : {s.m_dib8, s.m_dib16, s.m_dib24, s.m_dib32, s.m_dib48, s.m_dib64, s.m_dibCopy}) {
            b->Release();
        }
        s.m_colorType = type;
        ASSERT_EQ(s.PrepareAcquisition(), 1);
        EXPECT_TRUE(TakeHistory(s).empty());
        EXPECT_EQ(s.m_dib8->bitCount, expect[type].bits8);
        EXPECT_EQ(s.m_dib16->bitCount, expect[type].bits16);
        EXPECT_EQ(s.m_dib24->bitCount, type == 1 ? 0 : 24);
        const DibBuffer* out = s.OutputBuffer();
        EXPECT_EQ(out->bitCount, expect[type].out);
        EXPECT_EQ(out->width, 1224);
        EXPECT_EQ(out->height, 816);
        EXPECT_EQ(s.m_dibCopy->bitCount, out->bitCount);
        EXPECT_EQ(s.m_dibCopy->stride, out->stride);
        EXPECT_NE(s.m_dibCopy->bits, out->bits);
        EXPECT_EQ(s.m_dibDisplay->bits, nullptr);  // no preview window
    }

    // First preparation: readout registers (subsampled), then gain and exposure;
    // later ones repeat gain and exposure only (the readout is unchanged).
    const Writes first = {{0x3000, 0}, {0x3001, 0},   {0x3002, 1},   {0x3000, 1},
                          {0x3003, 1}, {0x0005, 300}, {0x2004, 1668}};
    const Writes again = {{0x3003, 1}, {0x0005, 300}, {0x2004, 1668}};
    Writes expected = first;
    for (int i = 1; i < 6; ++i) {
        expected.insert(expected.end(), again.begin(), again.end());
    }
    EXPECT_EQ(NewWrites(), expected);
    EXPECT_EQ(s.m_device->m_subSample, 2);
    EXPECT_EQ(s.m_realExposureTime, 144578);
}

TEST_F(Prepare, DamagedExposureGivesTheSameRealTimeAsTheGetter) {
    // A stored value far outside 1 .. 3335 saturates here as in the exported getter.
    for (int e : {-800000000, INT_MIN, INT_MAX, 3335}) {
        SCOPED_TRACE(testing::Message() << "exposure value " << e);
        s.m_analog.m_exposureTime = e;
        ASSERT_EQ(s.PrepareAcquisition(), 1);
        const int prepared = s.m_realExposureTime;
        EXPECT_EQ(prepared, s.GetRealExposureTime(nullptr));
        EXPECT_EQ(prepared, e == 3335 ? 18 : e == INT_MAX ? INT_MIN : INT_MAX);
    }
}

TEST_F(Prepare, FramesLandInTheSourcePictureUnlessTheAreaIsSmaller) {
    s.m_subSample = 2;  // frames of 1224 x 816 = 998 784 bytes
    const size_t frameBytes = 1224 * 816;
    s.m_colorType = 2;
    ASSERT_EQ(s.PrepareAcquisition(), 1);
    EXPECT_EQ(s.FrameLanding(frameBytes), s.m_dib8->bits);
    EXPECT_EQ(s.FrameLanding(frameBytes + 1), nullptr);

    s.m_width = 4000;  // 1000 pixels of the 1224 delivered
    ASSERT_EQ(s.PrepareAcquisition(), 1);
    uint8_t* landing = s.FrameLanding(frameBytes);
    ASSERT_NE(landing, nullptr);
    EXPECT_NE(landing, s.m_dib8->bits);

    s.m_colorType = 4;  // a 16-bit source has room for the whole frame
    ASSERT_EQ(s.PrepareAcquisition(), 1);
    EXPECT_EQ(s.FrameLanding(frameBytes), s.m_dib16->bits);
    EXPECT_TRUE(s.m_frameStaging.empty());
}

TEST_F(Prepare, DisplayPictureFollowsAVisiblePreviewWindow) {
    HWND wnd = CreateWindowExA(0, "STATIC", "preview", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(wnd, nullptr);
    HDC dc = GetDC(wnd);
    s.m_previewWnd = wnd;
    s.m_previewDC = dc;
    s.m_subSample = 2;
    s.m_colorType = 2;
    ASSERT_EQ(s.PrepareAcquisition(), 1);
    EXPECT_EQ(s.m_dibDisplay->bits, nullptr);  // not shown yet

    ShowWindow(wnd, SW_SHOWNA);
    ASSERT_EQ(s.PrepareAcquisition(), 1);
    EXPECT_EQ(s.m_dibDisplay->width, 200);
    EXPECT_EQ(s.m_dibDisplay->height, 100);
    EXPECT_EQ(s.m_dibDisplay->bitCount, 24);
    s.m_colorType = 1;
    ASSERT_EQ(s.PrepareAcquisition(), 1);
    EXPECT_EQ(s.m_dibDisplay->bitCount, 8);

    s.m_dibDisplay->Release();
    s.m_previewDC = nullptr;
    ASSERT_EQ(s.PrepareAcquisition(), 1);
    EXPECT_EQ(s.m_dibDisplay->bits, nullptr);
    ReleaseDC(wnd, dc);
    DestroyWindow(wnd);
}

// A frame taken from the camera as the single-frame path takes it, placed.
// Returns the frame as the camera rendered it (1224 x 816 at code 2).
std::vector<uint8_t> CaptureAndPlace(CVidlyn& s, vidlyn::vcam::CameraModel& camera) {
    std::vector<uint8_t> picture;
    const uint32_t bytes = s.m_device->GetFrameCopySize();
    uint8_t* landing = s.FrameLanding(bytes);
    EXPECT_NE(landing, nullptr);
    if (landing == nullptr) {
        return picture;
    }
    EXPECT_EQ(s.m_device->StartCapture(), 0);
    EXPECT_EQ(s.m_device->FinishCapture(landing), 0);
    const uint32_t frame = vidlyn::vcam::CameraModel::DecodeFrameNumber(landing);
    EXPECT_NE(frame, 0u);
    picture.resize(static_cast<size_t>(camera.PictureWidth()) * camera.PictureHeight());
    camera.RenderPicture(frame, picture.data());
    EXPECT_EQ(s.PlaceFrame(landing, bytes), 1);
    return picture;
}

TEST_F(Prepare, CapturedFrameIsCutOutWidenedAndMirrored) {
    vidlyn::vcam::CameraSettings settings = m_camera->Settings();
    settings.subsampleDivisor = 4;
    m_camera->SetSettings(settings);
    s.m_subSample = 2;
    // An odd width: rows padded in every depth. Start (8, 4) is (2, 1) at code 2.
    s.m_startX = 8;
    s.m_startY = 4;
    s.m_width = 4 * 601;
    s.m_height = 4 * 500;
    for (int type : {0, 1}) {
        for (int mirror : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "colour type " << type << ", mirror " << mirror);
            s.m_colorType = type;
            s.m_analog.m_mirrorH = mirror;
            ASSERT_EQ(s.PrepareAcquisition(), 1);
            const DibBuffer* src = s.SourceBuffer();
            ASSERT_EQ(src->width, 601);
            ASSERT_EQ(src->height, 500);
            const std::vector<uint8_t> picture = CaptureAndPlace(s, *m_camera);
            ASSERT_EQ(picture.size(), 1224u * 816u);
            for (int y = 0; y < 500; ++y) {
                const uint8_t* row = src->bits + static_cast<size_t>(y) * src->stride;
                for (int x = 0; x < 601; ++x) {
                    const int sx = 2 + (mirror ? 600 - x : x);
                    const int expected = picture[static_cast<size_t>(y + 1) * 1224 + sx];
                    const int got = type == 1 ? reinterpret_cast<const uint16_t*>(row)[x] : row[x];
                    ASSERT_EQ(got, type == 1 ? expected << 2 : expected) << x << "," << y;
                }
            }
        }
    }
}

TEST_F(Prepare, FramesThatFitArePlacedInPlace) {
    vidlyn::vcam::CameraSettings settings = m_camera->Settings();
    settings.subsampleDivisor = 4;
    m_camera->SetSettings(settings);
    s.m_subSample = 2;
    // The whole frame at 8 and 16 bits, and one column less at 8 bits: 1223
    // pixels in rows of 1224 bytes hold the frame, which is then cut and spread.
    const int cases[][2] = {{2, 1224}, {5, 1224}, {0, 1223}};
    for (const auto& [type, width] : cases) {
        SCOPED_TRACE(testing::Message() << "colour type " << type << ", width " << width);
        s.m_colorType = type;
        s.m_width = 4 * width;
        ASSERT_EQ(s.PrepareAcquisition(), 1);
        const DibBuffer* src = s.SourceBuffer();
        ASSERT_EQ(s.FrameLanding(s.m_device->GetFrameCopySize()), src->bits);
        const std::vector<uint8_t> picture = CaptureAndPlace(s, *m_camera);
        ASSERT_EQ(picture.size(), 1224u * 816u);
        for (int y = 0; y < 816; y += 5) {
            const uint8_t* row = src->bits + static_cast<size_t>(y) * src->stride;
            for (int x = 0; x < width; ++x) {
                const int expected = picture[static_cast<size_t>(y) * 1224 + x];
                const int got = type == 5 ? reinterpret_cast<const uint16_t*>(row)[x] : row[x];
                ASSERT_EQ(got, type == 5 ? expected << 2 : expected) << x << "," << y;
            }
        }
    }
}

}  // namespace
