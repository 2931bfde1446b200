// The version resource of the shipped modules, read back with the same calls that
// Explorer and installers use (GetFileVersionInfo / VerQueryValue): its fields must
// agree with the version file and with what Vidlyn_GetDllVersion returns.
//
// By default the built DLL and sample are read; with VIDLYN_PACKAGE_DIR set (a
// "Z:/..." folder of an installed package) its bin/ and its VERSION file are.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "VidlynSdk.h"

#ifndef VIDLYN_SDK_DLL_PATH
#error "VIDLYN_SDK_DLL_PATH must name the built DLL"
#endif

namespace {

struct Shipped {
    std::string dll, sample, versionFile;
};

Shipped Files() {
    const char* dir = std::getenv("VIDLYN_PACKAGE_DIR");
    if (dir && *dir) {
        std::string d = dir;
        return {d + "/bin/" VIDLYN_SDK_DLL_FILE, d + "/bin/vidlyn_sample.exe", d + "/VERSION"};
    }
    return {VIDLYN_SDK_DLL_PATH, VIDLYN_SAMPLE_PATH, VIDLYN_VERSION_FILE};
}

// The version file's one line, without the line end.
std::string VersionText(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "";
    char line[64] = {};
    if (!std::fgets(line, sizeof line, f)) line[0] = 0;
    std::fclose(f);
    std::string s = line;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

// The four fields as Windows keeps them: major and minor in the high DWORD,
// build and revision in the low one.
struct Fields {
    DWORD ms, ls;
};
Fields FromText(const std::string& text) {
    unsigned a, b, c, d;
    char tail;
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4) return {0, 0};
    return {(a << 16) | b, (c << 16) | d};
}

class VersionInfo {
public:
    explicit VersionInfo(const std::string& path) {
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
        if (size == 0) return;
        data_.resize(size);
        if (!GetFileVersionInfoA(path.c_str(), 0, size, data_.data())) data_.clear();
    }
    bool ok() const { return !data_.empty(); }

    const VS_FIXEDFILEINFO* Fixed() {
        void* p = nullptr;
        UINT len = 0;
        if (!VerQueryValueA(data_.data(), "\\", &p, &len) || len < sizeof(VS_FIXEDFILEINFO)) return nullptr;
        return static_cast<const VS_FIXEDFILEINFO*>(p);
    }
    // A value of the US English, Unicode string table, read through the wide call.
    std::string String(const char* name) {
        std::wstring key = L"\\StringFileInfo\\040904b0\\";
        for (const char* c = name; *c; ++c) key += static_cast<wchar_t>(*c);
        void* p = nullptr;
        UINT len = 0;
        if (!VerQueryValueW(data_.data(), key.c_str(), &p, &len) || !p) return "<missing>";
        std::string out;
        for (const wchar_t* w = static_cast<const wchar_t*>(p); *w; ++w) out += static_cast<char>(*w);
        return out;
    }

private:
    std::vector<unsigned char> data_;
};

void ExpectVersion(const std::string& path, const char* fileName, DWORD fileType, const std::string& version) {
    SCOPED_TRACE(path);
    VersionInfo info(path);
    ASSERT_TRUE(info.ok()) << "no version resource";
    const VS_FIXEDFILEINFO* fixed = info.Fixed();
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    Fields f = FromText(version);
    EXPECT_EQ(fixed->dwFileVersionMS, f.ms);
    EXPECT_EQ(fixed->dwFileVersionLS, f.ls);
    EXPECT_EQ(fixed->dwProductVersionMS, f.ms);
    EXPECT_EQ(fixed->dwProductVersionLS, f.ls);
    EXPECT_EQ(fixed->dwFileType, fileType);
    EXPECT_EQ(fixed->dwFileFlags & VS_FF_DEBUG, 0u);
    EXPECT_EQ(info.String("FileVersion"), version);
    EXPECT_EQ(info.String("ProductVersion"), version);
    EXPECT_EQ(info.String("CompanyName"), "Norvex");
    EXPECT_EQ(info.String("ProductName"), "Vidlyn QM7720E SDK");
    EXPECT_EQ(info.String("OriginalFilename"), fileName);
    EXPECT_NE(info.String("FileDescription").find("Vidlyn QM7720E"), std::string::npos);
}

TEST(VersionResource, VersionFileAgreesWithTheDllsAnswer) {
    Shipped files = Files();
    std::string version = VersionText(files.versionFile);
    ASSERT_FALSE(version.empty()) << files.versionFile;
    // One byte a field, most significant first.
    char expected[32];
    std::snprintf(expected, sizeof expected, "%u.%u.%u.%u", (VIDLYN_DLL_VERSION >> 24) & 0xFFu,
                  (VIDLYN_DLL_VERSION >> 16) & 0xFFu, (VIDLYN_DLL_VERSION >> 8) & 0xFFu, VIDLYN_DLL_VERSION & 0xFFu);
    EXPECT_EQ(version, expected);

    HMODULE dll = LoadLibraryA(files.dll.c_str());
    ASSERT_NE(dll, nullptr) << files.dll;
    auto getVersion =
        reinterpret_cast<int (*)(void)>(reinterpret_cast<void*>(GetProcAddress(dll, "Vidlyn_GetDllVersion")));
    ASSERT_NE(getVersion, nullptr);
    EXPECT_EQ(getVersion(), 0x013A0519);
    FreeLibrary(dll);
}

TEST(VersionResource, DllAndSampleCarryTheVersion) {
    Shipped files = Files();
    std::string version = VersionText(files.versionFile);
    ExpectVersion(files.dll, VIDLYN_SDK_DLL_FILE, VFT_DLL, version);
    ExpectVersion(files.sample, "vidlyn_sample.exe", VFT_APP, version);
}

}  // namespace
