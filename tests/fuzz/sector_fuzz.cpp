// The status sector and the identity as the library reads them, against what
// the camera model answers: a camera with any identity text, product id and
// "not ready" byte is recognised exactly when its first 21 identity bytes and
// its product id are the QM7720E's; the ready flag and the register read
// answer come through whatever commands went before. The disk list entries
// that count as cameras, for any text the system's list may hold.
#include <string>

#include "FuzzInput.h"
#include "device/DiskListEntry.h"
#include "device/SectorLayout.h"
#include "model/CameraModel.h"

namespace sector = vidlyn::sector;
using vidlyn::vcam::CameraModel;

namespace {

void Status(fuzz::Input& in) {
    vidlyn::vcam::CameraSettings settings;
    settings.subsampleDivisor = 8;
    const int length = in.Range(0, 40);
    std::string identity(static_cast<size_t>(length), '\0');
    const bool genuine = in.Bool();
    for (int i = 0; i < length; ++i) {
        const char c = static_cast<char>(in.Take<uint8_t>());
        identity[static_cast<size_t>(i)] =
            genuine && i < 26 && !(in.Take<uint8_t>() < 4) ? sector::kIdentityFull[i] : c;
    }
    settings.identity = identity;
    settings.productId = in.Bool() ? sector::kQM7720ProductId : in.Take<uint16_t>();
    settings.notReadyValue = in.Take<uint8_t>();
    settings.notReadyPolls = in.Range(0, 2);
    CameraModel model(settings);

    // The identity bytes as the camera holds them: at most 26, zeros behind.
    std::string held = identity.substr(0, 26);
    held.resize(26, '\0');
    const bool expected = held.compare(0, sector::kIdentityLength, sector::kIdentity) == 0 &&
                          settings.productId == sector::kQM7720ProductId;

    uint8_t command[sector::kSectorSize] = {};
    uint8_t status[sector::kSectorSize];
    bool started = false;
    for (int step = in.Range(1, 8); step > 0; --step) {
        FUZZ_CHECK(model.ReadAt(sector::kStatusOffset, status, sizeof(status)));
        FUZZ_CHECK(sector::IsCameraStatus(status, sector::kQM7720ProductId) == expected);
        FUZZ_CHECK(sector::IsCameraStatus(status, settings.productId) ==
                   (held.compare(0, sector::kIdentityLength, sector::kIdentity) == 0));
        // Before the start command nothing is ready, whatever the byte says otherwise.
        if (!started) FUZZ_CHECK(sector::IsFrameReady(status) == (settings.notReadyValue == 1));
        in.Fill(command, 4);
        const uint8_t kinds[] = {sector::kCmdStart, sector::kCmdWriteRegister, sector::kCmdReadRegister, command[0]};
        command[0] = kinds[command[0] % 4];
        FUZZ_CHECK(model.WriteAt(sector::kCommandOffset, command, sizeof(command)));
        started = started || command[0] == sector::kCmdStart;
        if (command[0] == sector::kCmdReadRegister) {
            FUZZ_CHECK(model.ReadAt(sector::kStatusOffset, status, sizeof(status)));
            FUZZ_CHECK(status[sector::kReadAnswer] == model.ByteRegister(uint16_t(command[1] << 8 | command[2])));
        }
    }
}

void DiskEntry(fuzz::Input& in) {
    char text[257] = {};
    const int length = in.Range(0, 256);
    in.Fill(reinterpret_cast<uint8_t*>(text), static_cast<size_t>(length));
    const std::string t(text);  // the entry up to its first zero, as the registry text reads
    static const char* const kCodes[] = {nullptr, "", "QM7720E", "QM77"};
    const char* code = in.Pick(kCodes);
    const bool expected = t.find("NORVEX") != std::string::npos && t.find("USB3.0") != std::string::npos &&
                          t.find(code ? code : "") != std::string::npos && t.find("DS") == std::string::npos;
    FUZZ_CHECK(IsCameraDiskEntry(text, code) == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    if (in.Bool())
        Status(in);
    else
        DiskEntry(in);
    return 0;
}
