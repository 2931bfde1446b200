// The virtual camera daemon's request handling: any sequence of reads and
// writes of the camera file at any offset and length (as wine's raw-disk
// calls, or anything else on the machine, may send them), command sectors
// with any bytes, faults, removal and stalls, the state file's text and the
// file names. Every request answers within its buffer, a read never reaches
// past the disk, and a removed camera fails every transfer.
#include <cerrno>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "ModelFs.h"
#include "device/SectorLayout.h"

namespace sector = vidlyn::sector;
using namespace vidlyn::vcam;

namespace {

uint64_t AnyOffset(fuzz::Input& in) {
    const uint64_t end = CameraModel::DiskSize();
    const uint64_t bases[] = {0, sector::kStatusOffset, sector::kCommandOffset, sector::kImageOffset, end};
    const uint64_t base = in.Pick(bases);
    const int64_t delta = in.Bool() ? in.Range(-600, 600) : in.Range(-1, 1) * int64_t{in.Take<uint32_t>()};
    return delta < 0 && uint64_t(-delta) > base ? 0 : base + delta;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    CameraSettings settings;
    static const int kDivisors[] = {8, 8, 8, 4, 2, 3};
    settings.subsampleDivisor = in.Pick(kDivisors);
    settings.notReadyPolls = in.Range(0, 3);
    settings.notReadyValue = in.Take<uint8_t>();
    settings.registerWriteHistory = static_cast<size_t>(in.Range(0, 6));
    // The flat scene renders fastest; what the pictures show is not in question here.
    settings.scene = in.Take<uint8_t>() % 8 == 7 ? Scene::Bars : Scene::Flat;
    CameraModel model(settings);
    ServedCamera camera{in.Range(0, 15), &model, std::make_unique<Link>(0.0)};
    const uint64_t end = CameraModel::DiskSize();

    // Most cases read small frames: a full-size frame takes long to render.
    if (in.Take<uint8_t>() % 16 != 15) {
        uint8_t command[sector::kSectorSize] = {sector::kCmdWriteRegister, sector::kPhaseAddress, 0x30, 0x02};
        FUZZ_CHECK(ModelFs::WriteDisk(camera, reinterpret_cast<char*>(command), sizeof(command),
                                      sector::kCommandOffset) == int(sizeof(command)));
        command[1] = sector::kPhaseValue, command[2] = 0, command[3] = 1;
        ModelFs::WriteDisk(camera, reinterpret_cast<char*>(command), sizeof(command), sector::kCommandOffset);
    }
    std::vector<uint8_t> buffer;
    for (int step = 0; step < 48 && in.Left() > 0; ++step) {
        const uint64_t offset = AnyOffset(in);
        switch (in.Range(0, 7)) {
            case 0:
            case 1: {  // a read of up to 64 KiB, or of a whole frame now and then
                const size_t length =
                    in.Bool() ? size_t(in.Range(0, 65536)) : size_t(model.RawFrameSize() + in.Range(-1, 1));
                buffer.assign(length + 1, 0xA5);
                const int n = ModelFs::ReadDisk(camera, reinterpret_cast<char*>(buffer.data()), length, off_t(offset));
                FUZZ_CHECK(buffer[length] == 0xA5);
                if (model.Removed()) {
                    FUZZ_CHECK(n == -EIO || n == 0);
                } else if (n != -EIO) {
                    FUZZ_CHECK(n >= 0 && uint64_t(n) == (offset >= end ? 0 : std::min<uint64_t>(length, end - offset)));
                }
                break;
            }
            case 2:
            case 3: {  // a command sector with any bytes, or a write of any length anywhere
                const bool command = in.Bool();
                const size_t length = command ? sector::kSectorSize : size_t(in.Range(0, 1024));
                buffer.resize(length);
                in.Fill(buffer.data(), length);
                if (command && length >= 1) {
                    const uint8_t kinds[] = {sector::kCmdStart, sector::kCmdWriteRegister, sector::kCmdReadRegister,
                                             buffer[0]};
                    buffer[0] = kinds[buffer[0] % 4];
                }
                const int n = ModelFs::WriteDisk(camera, reinterpret_cast<const char*>(buffer.data()), length,
                                                 off_t(command ? sector::kCommandOffset : offset));
                FUZZ_CHECK(n == int(length) || n == -EIO);
                break;
            }
            case 4:
                model.AddFault(FaultRule{static_cast<DiskOp>(in.Range(0, 2)),
                                         in.Bool() ? std::optional<uint64_t>(offset) : std::nullopt, in.Range(0, 3),
                                         in.Range(-1, 3)});
                break;
            case 5:
                if (in.Bool())
                    model.RemoveAfterFrames(static_cast<uint32_t>(in.Range(0, 3)));
                else
                    model.StallAfterFrames(static_cast<uint32_t>(in.Range(0, 3)),
                                           std::chrono::milliseconds(in.Range(0, 2)));
                break;
            case 6: {
                const ModelFs fs({});
                const std::string text = fs.StateText(camera);
                FUZZ_CHECK(text.find("drive " + std::to_string(camera.drive) + "\n") == 0);
                FUZZ_CHECK(text.find(model.Removed() ? "removed 1\n" : "removed 0\n") != std::string::npos);
                break;
            }
            default: {
                std::vector<ServedCamera> served;
                served.push_back(ServedCamera{camera.drive, &model, std::make_unique<Link>(0.0)});
                const ModelFs fs(std::move(served));
                char path[24] = {};
                in.Fill(reinterpret_cast<uint8_t*>(path), static_cast<size_t>(in.Range(0, 23)));
                bool state = false;
                const ServedCamera* found = fs.Find(path, &state);
                const std::string name = "/" + ModelFs::FileName(camera.drive);
                FUZZ_CHECK((found != nullptr) == (name == path || name + ".state" == path));
                break;
            }
        }
    }
    return 0;
}
