// The handle registry: the ring and its cursor, handles drawn for sessions,
// release, and the call frame's silent failure values for unknown handles.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <set>

#include "SdkTestUtil.h"
#include "sdk/CTRing.h"

namespace {

using namespace sdktest;

struct Item {
    uint64_t handle = 0;
    int payload = 0;
    Item* prev = nullptr;
    Item* next = nullptr;
};

// The ring is one cycle through next and prev that holds `count` nodes.
void ExpectConsistent(const CTRing<Item>& ring) {
    if (ring.count() == 0) {
        EXPECT_EQ(ring.head(), nullptr);
        return;
    }
    ASSERT_NE(ring.head(), nullptr);
    const Item* node = ring.head();
    for (int i = 0; i < ring.count(); ++i) {
        EXPECT_EQ(node->next->prev, node);
        EXPECT_EQ(node->prev->next, node);
        node = node->next;
    }
    EXPECT_EQ(node, ring.head());
}

TEST(SdkRing, AppendPlacesTheNewNodeAtTheCursorBetweenLastAndFormerHead) {
    CTRing<Item> ring;
    for (uint64_t h : {10u, 20u, 30u}) ring.append(Item{h, static_cast<int>(h)});
    ExpectConsistent(ring);
    EXPECT_EQ(ring.count(), 3);
    // 30 sits between the former last node (10) and the former head (20).
    EXPECT_EQ(ring.head()->handle, 30u);
    EXPECT_EQ(ring.head()->next->handle, 20u);
    EXPECT_EQ(ring.head()->prev->handle, 10u);
}

TEST(SdkRing, FindMovesTheCursorAndAFailedSearchVisitsEveryNode) {
    CTRing<Item> ring;
    for (uint64_t h : {1u, 2u, 3u}) ring.append(Item{h, 0});
    // First appended and last appended are both found, and end up at the head.
    ASSERT_NE(ring.lookup(1), nullptr);
    EXPECT_EQ(ring.head()->handle, 1u);
    ASSERT_NE(ring.lookup(3), nullptr);
    EXPECT_EQ(ring.head()->handle, 3u);
    // An unknown handle: false, and the cursor rests on the node before the start.
    const uint64_t before = ring.head()->prev->handle;
    EXPECT_FALSE(ring.find(99));
    EXPECT_EQ(ring.head()->handle, before);
    ExpectConsistent(ring);
    // The ring stays usable from there.
    for (uint32_t h : {1u, 2u, 3u}) EXPECT_NE(ring.lookup(h), nullptr) << h;
    EXPECT_FALSE(ring.contains(99));
    EXPECT_TRUE(ring.contains(2));
}

TEST(SdkRing, OnlyTheLow32BitsOfAHandleCount) {
    CTRing<Item> ring;
    ring.append(Item{0x1'0000'0005ull, 7});
    ASSERT_NE(ring.lookup(5), nullptr);
    EXPECT_EQ(ring.lookup(5)->payload, 7);
}

TEST(SdkRing, RemovingTheOnlyNodeEmptiesTheRingAndAppendStartsAnew) {
    CTRing<Item> ring;
    EXPECT_EQ(ring.removeHead(), 0);
    EXPECT_FALSE(ring.find(1));
    EXPECT_EQ(ring.lookup(1), nullptr);
    ring.append(Item{1, 0});
    EXPECT_EQ(ring.removeHandle(2), 0);
    EXPECT_EQ(ring.removeHandle(1), 1);
    EXPECT_EQ(ring.count(), 0);
    EXPECT_EQ(ring.head(), nullptr);
    ring.append(Item{4, 0});
    EXPECT_EQ(ring.count(), 1);
    EXPECT_EQ(ring.head()->next, ring.head());
    EXPECT_EQ(ring.head()->prev, ring.head());
}

TEST(SdkRing, RemoveHandleFromTheMiddleKeepsTheCycle) {
    CTRing<Item> ring;
    for (uint64_t h : {1u, 2u, 3u, 4u}) ring.append(Item{h, 0});
    EXPECT_EQ(ring.removeHandle(2), 1);
    ExpectConsistent(ring);
    EXPECT_EQ(ring.count(), 3);
    EXPECT_FALSE(ring.contains(2));
    ring.clear();
    EXPECT_EQ(ring.count(), 0);
    EXPECT_EQ(ring.head(), nullptr);
}

TEST(SdkRegistry, ThreeSessionsAreFoundAndReleasedOnce) {
    DeleteSettings();
    const int before = SdkRegistry::Count();
    Session a, b, c;
    ASSERT_NE(a.handle(), 0);
    ASSERT_NE(b.handle(), 0);
    ASSERT_NE(c.handle(), 0);
    EXPECT_EQ(std::set<int>({a, b, c}).size(), 3u);
    EXPECT_EQ(SdkRegistry::Count(), before + 3);

    // First and last appended are both reachable; a failed lookup leaves the registry usable.
    EXPECT_NE(a.object(), nullptr);
    EXPECT_NE(c.object(), nullptr);
    int unknown = a + b + c;
    while (unknown == a || unknown == b || unknown == c || unknown == 0) ++unknown;
    EXPECT_EQ(SdkRegistry::Session(unknown), nullptr);
    EXPECT_NE(a.object(), b.object());
    EXPECT_NE(b.object(), c.object());
    EXPECT_EQ(Vidlyn_GetWaitTime(b), 10);

    const int hb = b;
    EXPECT_EQ(b.Release(), 1);
    EXPECT_EQ(Vidlyn_Release(hb), 0);
    EXPECT_EQ(SdkRegistry::Session(hb), nullptr);
    EXPECT_NE(a.object(), nullptr);
    EXPECT_NE(c.object(), nullptr);
    EXPECT_EQ(SdkRegistry::Count(), before + 2);
}

TEST(SdkRegistry, ReleasingTheOnlySessionEmptiesTheRingAndInitializeStartsAnew) {
    DeleteSettings();
    ASSERT_EQ(SdkRegistry::Count(), 0);
    const int h = Vidlyn_Initialize(nullptr);
    ASSERT_NE(h, 0);
    EXPECT_EQ(SdkRegistry::Count(), 1);
    EXPECT_EQ(Vidlyn_Release(h), 1);
    EXPECT_EQ(SdkRegistry::Count(), 0);
    EXPECT_EQ(SdkRegistry::Chain().head(), nullptr);
    const int h2 = Vidlyn_Initialize(nullptr);
    ASSERT_NE(h2, 0);
    EXPECT_EQ(SdkRegistry::Count(), 1);
    EXPECT_NE(SdkRegistry::Session(h2), nullptr);
    EXPECT_EQ(Vidlyn_Release(h2), 1);
    Drain(nullptr);
}

TEST(SdkRegistry, HandlesNeverRepeatWhileOpen) {
    DeleteSettings();
    std::vector<int> handles;
    for (int i = 0; i < 12; ++i) handles.push_back(Vidlyn_Initialize(nullptr));
    std::set<int> distinct(handles.begin(), handles.end());
    EXPECT_EQ(distinct.size(), handles.size());
    EXPECT_EQ(distinct.count(0), 0u);
    for (int h : handles) EXPECT_EQ(Vidlyn_Release(h), 1);
    Drain(nullptr);
}

TEST(SdkRegistry, ADrawnHandleAlreadyInUseIsDrawnAgain) {
    // Find a seed whose first two draws lie far apart, so that the second
    // draw cannot land among the handles planted for the first.
    unsigned seed = 1;
    int first = 0, second = 0;
    for (;; ++seed) {
        std::srand(seed);
        first = std::rand();
        second = std::rand();
        if (std::abs(first - second) > 4000) break;
    }
    // Occupy every handle the first draw can give during the next two seconds:
    // tick + first draw + number of registered elements.
    constexpr uint32_t kSpan = 2000;
    CSdkChain chain;
    const uint32_t tick0 = GetTickCount();
    std::set<uint32_t> planted;
    for (uint32_t t = 0; t < kSpan; ++t) planted.insert(tick0 + t + static_cast<uint32_t>(first) + kSpan);
    for (uint32_t h : planted) chain.append(CSDKDATA{h, nullptr, nullptr, nullptr});
    ASSERT_EQ(chain.count(), static_cast<int>(kSpan));

    std::srand(seed);
    const uint32_t handle = chain.createSession();
    const uint32_t tick1 = GetTickCount();
    ASSERT_LT(tick1 - tick0, kSpan);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(planted.count(handle), 0u);
    // It is the second draw: tick + second + count, with a tick of this window.
    const uint32_t tick = handle - static_cast<uint32_t>(second) - kSpan;
    EXPECT_LE(tick - tick0, tick1 - tick0);
    CSDKDATA* element = chain.lookup(handle);
    ASSERT_NE(element, nullptr);
    ASSERT_NE(element->session, nullptr);
    delete element->session;
    chain.clear();
}

TEST(SdkRegistry, DllVersionNeedsNoSession) { EXPECT_EQ(Vidlyn_GetDllVersion(), 20579609); }

// Every export that takes a handle, with its failure value.
struct Call {
    const char* name;
    int failure;
    std::function<int(int)> call;
};

std::vector<Call> HandleExports() {
    std::vector<Call> calls = {
        {"Release", 0, [](int h) { return Vidlyn_Release(h); }},
        {"GetLastError", 0, [](int h) { return Vidlyn_GetLastError(h); }},
        {"SetColorMode", 0, [](int h) { return Vidlyn_SetColorMode(h, 7); }},
        {"GetColorMode", -1, [](int h) { return Vidlyn_GetColorMode(h); }},
        {"SetMirrorV", 0, [](int h) { return Vidlyn_SetMirrorV(h, 1); }},
        {"GetMirrorV", 0, [](int h) { return Vidlyn_GetMirrorV(h); }},
        {"SetMirrorH", 0, [](int h) { return Vidlyn_SetMirrorH(h, 1); }},
        {"GetMirrorH", 0, [](int h) { return Vidlyn_GetMirrorH(h); }},
        {"SetAutoIris", 0, [](int h) { return Vidlyn_SetAutoIris(h, 9); }},
        {"GetAutoIris", 0,
         [](int h) {
             int v = 5;
             int r = Vidlyn_GetAutoIris(h, &v);
             return v == 5 ? r : 77;
         }},
        {"SetWaitTime", 0, [](int h) { return Vidlyn_SetWaitTime(h, 5); }},
        {"GetWaitTime", -1, [](int h) { return Vidlyn_GetWaitTime(h); }},
        {"Width", 0, [](int h) { return Vidlyn_Width(h); }},
        {"Height", 0, [](int h) { return Vidlyn_Height(h); }},
        {"GetStatus", 0, [](int h) { return Vidlyn_GetStatus(h); }},
        {"SetFilterValue", 0, [](int h) { return Vidlyn_SetFilterValue(h, 99, 1); }},
        {"GetFilterValue", 0,
         [](int h) {
             int ok = 5;
             int r = Vidlyn_GetFilterValue(h, 1, &ok);
             return ok == 5 ? r : 77;
         }},
        {"GetRealExposureTime", 0,
         [](int h) {
             int ok = 5;
             int r = Vidlyn_GetRealExposureTime(h, &ok);
             return ok == 5 ? r : 77;
         }},
        {"GetSubSample", -1, [](int h) { return Vidlyn_GetSubSample(h); }},
        {"WriteRegister", 0, [](int h) { return Vidlyn_WriteRegister(h, 1, 1); }},
        {"ReadRegister", 0,
         [](int h) {
             int ok = 5;
             int r = Vidlyn_ReadRegister(h, 1, &ok);
             return ok == 5 ? r : 77;
         }},
        {"WriteSromID", 0, [](int h) { return Vidlyn_WriteSromID(h, 1, 1); }},
        {"ReadSromID", 0,
         [](int h) {
             int ok = 5;
             int r = Vidlyn_ReadSromID(h, 1, &ok);
             return ok == 5 ? r : 77;
         }},
        {"Fps", 0, [](int h) { return Vidlyn_Fps(h, nullptr); }},
        {"GetCameraType", 0, [](int h) { return Vidlyn_GetCameraType(h, nullptr); }},
        {"GetCaptureWindowEx", 0,
         [](int h) { return Vidlyn_GetCaptureWindowEx(h, nullptr, nullptr, nullptr, nullptr); }},
        {"GetIOPort", 0, [](int h) { return Vidlyn_GetIOPort(h, nullptr); }},
        {"SetCameraType", 0, [](int h) { return Vidlyn_SetCameraType(h, 1); }},
        {"SetCaptureWindow", 0, [](int h) { return Vidlyn_SetCaptureWindow(h, 0, 0, 8, 8); }},
        {"SetCaptureWindowEx", 0, [](int h) { return Vidlyn_SetCaptureWindowEx(h, 0, 0, 8, 8); }},
        {"SetCrossbar", 0, [](int h) { return Vidlyn_SetCrossbar(h, 1); }},
        {"SetHalfClock", 0, [](int h) { return Vidlyn_SetHalfClock(h, 1); }},
        {"SetIOPort", 0, [](int h) { return Vidlyn_SetIOPort(h, 1); }},
        {"SetSamplingRate", 0, [](int h) { return Vidlyn_SetSamplingRate(h, 1); }},
        {"SetSubSample", 0, [](int h) { return Vidlyn_SetSubSample(h, 1); }},
        {"Trigger", 0, [](int h) { return Vidlyn_Trigger(h); }},
        {"EnumDevice", 0,
         [](int h) {
             char names[10 * 256] = "x";
             const int r = Vidlyn_EnumDevice(h, names);
             return names[0] == 'x' ? r : 77;  // the table stays untouched
         }},
        {"EnumDeviceW", 0,
         [](int h) {
             wchar_t names[10 * 256] = L"x";
             const int r = Vidlyn_EnumDeviceW(h, names);
             return names[0] == L'x' ? r : 77;
         }},
        {"GetDeviceName", 0,
         [](int h) {
             char name[32] = "x";
             const int r = Vidlyn_GetDeviceName(h, 0, name, 32);
             return name[0] == 'x' ? r : 77;
         }},
        {"GetDeviceNameW", 0,
         [](int h) {
             wchar_t name[32] = L"x";
             const int r = Vidlyn_GetDeviceNameW(h, 0, name, 32);
             return name[0] == L'x' ? r : 77;
         }},
        {"SetDeviceNumber", 0, [](int h) { return Vidlyn_SetDeviceNumber(h, 0); }},
        {"StartPreview", 0, [](int h) { return Vidlyn_StartPreview(h); }},
        {"StopPreview", 0, [](int h) { return Vidlyn_StopPreview(h); }},
        {"Preview", 0, [](int h) { return Vidlyn_Preview(h); }},
        {"CallBackPreview", 0, [](int h) { return Vidlyn_CallBackPreview(h, nullptr, nullptr, 0, 0); }},
        {"Capture", 0, [](int h) { return Vidlyn_Capture(h); }},
        {"Close", 0, [](int h) { return Vidlyn_Close(h); }},
        {"SnapShot", 0,
         [](int h) {
             char frame[16] = "x";
             const int r = Vidlyn_SnapShot(h, frame, sizeof frame, 0);
             return frame[0] == 'x' ? r : 77;  // the buffer stays untouched
         }},
        {"GetImage", 0,
         [](int h) {
             char frame[16] = "x";
             const int r = Vidlyn_GetImage(h, frame, sizeof frame, 0);
             return frame[0] == 'x' ? r : 77;
         }},
        {"SetPreviewWindow", 0, [](int h) { return Vidlyn_SetPreviewWindow(h, nullptr, 0, 0, 64, 48); }},
        {"SaveImage", 0, [](int h) { return Vidlyn_SaveImage(h, "never_written.bmp", 0); }},
        {"SaveImageW", 0, [](int h) { return Vidlyn_SaveImageW(h, L"never_written.bmp", 0); }},
        {"SetImageDlg", 0, [](int h) { return Vidlyn_SetImageDlg(h, nullptr); }},
        {"SetAnalogDlg", 0, [](int h) { return Vidlyn_SetAnalogDlg(h, nullptr); }},
        {"GetCameraInfo", 0,
         [](int h) {
             VIDLYN_CAMERA_INFO info{};
             info.size = sizeof info;
             const int r = Vidlyn_GetCameraInfo(h, &info);
             return info.width == 0 ? r : 77;
         }},
    };
    using ValueGetter = int (*)(int, int*);
    for (ValueGetter g : {Vidlyn_GetHalfClock, Vidlyn_GetSamplingRate, Vidlyn_GetVideoFormat})
        calls.push_back({"zero getter", 0, [g](int h) {
                             int value = 5;
                             const int r = g(h, &value);
                             return value == 5 ? r : 77;  // value stays untouched
                         }});
    using Setter = int (*)(int, int);
    using Getter = int (*)(int, int*);
    const Setter setters[] = {Vidlyn_SetBrightness,      Vidlyn_SetContrast,       Vidlyn_SetHue,
                              Vidlyn_SetSaturation,      Vidlyn_SetSharpness,      Vidlyn_SetBayerGainRGB,
                              Vidlyn_SetBayerGainRed,    Vidlyn_SetBayerGainGreen, Vidlyn_SetBayerGainBlue,
                              Vidlyn_SetBayerGainAuto,   Vidlyn_SetGamma,          Vidlyn_SetBayerMode,
                              Vidlyn_SetGlobalGain,      Vidlyn_SetColorGainRed,   Vidlyn_SetColorGainGreen1,
                              Vidlyn_SetColorGainGreen2, Vidlyn_SetColorGainBlue,  Vidlyn_SetExposureTime,
                              Vidlyn_SetGrayMode,        Vidlyn_SetGrayGainR,      Vidlyn_SetGrayGainG1,
                              Vidlyn_SetGrayGainG2,      Vidlyn_SetGrayGainB,      Vidlyn_SetGrayOffsetR,
                              Vidlyn_SetGrayOffsetG1,    Vidlyn_SetGrayOffsetG2,   Vidlyn_SetGrayOffsetB};
    const Getter getters[] = {Vidlyn_GetBrightness,      Vidlyn_GetContrast,       Vidlyn_GetHue,
                              Vidlyn_GetSaturation,      Vidlyn_GetSharpness,      Vidlyn_GetBayerGainRGB,
                              Vidlyn_GetBayerGainRed,    Vidlyn_GetBayerGainGreen, Vidlyn_GetBayerGainBlue,
                              Vidlyn_GetBayerGainAuto,   Vidlyn_GetGamma,          Vidlyn_GetBayerMode,
                              Vidlyn_GetGlobalGain,      Vidlyn_GetColorGainRed,   Vidlyn_GetColorGainGreen1,
                              Vidlyn_GetColorGainGreen2, Vidlyn_GetColorGainBlue,  Vidlyn_GetExposureTime,
                              Vidlyn_GetGrayMode,        Vidlyn_GetGrayGainR,      Vidlyn_GetGrayGainG1,
                              Vidlyn_GetGrayGainG2,      Vidlyn_GetGrayGainB,      Vidlyn_GetGrayOffsetR,
                              Vidlyn_GetGrayOffsetG1,    Vidlyn_GetGrayOffsetG2,   Vidlyn_GetGrayOffsetB};
    for (Setter s : setters) calls.push_back({"filter setter", 0, [s](int h) { return s(h, 1); }});
    for (Getter g : getters)
        calls.push_back({"filter getter", 0, [g](int h) {
                             int ok = 5;
                             const int r = g(h, &ok);
                             return ok == 5 ? r : 77;  // ok stays untouched
                         }});
    return calls;
}

TEST(SdkRegistry, UnknownHandleOrZeroReturnsTheFailureValueSilently) {
    DeleteSettings();
    MessageWindow window;
    ASSERT_NE(window.get(), nullptr);
    Session live(window.get());
    ASSERT_NE(live.handle(), 0);
    DrainHistory(live);  // the first start's report
    Drain(window.get());
    Drain(nullptr);

    int unknown = live + 1;
    while (SdkRegistry::Session(unknown) || unknown == 0) ++unknown;
    const auto calls = HandleExports();
    EXPECT_EQ(calls.size(), 18u + 21u + 6u + 13u + 54u);
    for (int h : {0, unknown, -1}) {
        for (const Call& c : calls) EXPECT_EQ(c.call(h), c.failure) << c.name << " handle " << h;
    }
    EXPECT_TRUE(Drain(window.get()).empty());
    EXPECT_TRUE(Drain(nullptr).empty());
    EXPECT_EQ(Vidlyn_GetLastError(live), 0);
    EXPECT_NE(live.object(), nullptr);
}

}  // namespace
