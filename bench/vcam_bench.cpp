// The virtual camera daemon's file path at full speed: one full raw frame read
// from a camera file on a FUSE mount (link limit off, frames as fast as they
// are read: rendering, the model's copy and the kernel's), beside a plain read
// of the same number of bytes from a file in /dev/shm, in the same run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ModelFs.h"
#include "device/CameraFacts.h"

namespace {

using namespace vidlyn::vcam;

const uint32_t kFrame = vidlyn::camera::RawFrameBytes(0);

void ReadFrames(benchmark::State& state, int fd, off_t offset) {
    std::vector<uint8_t> buffer(kFrame);
    for (auto _ : state) {
        if (pread(fd, buffer.data(), kFrame, offset) != static_cast<ssize_t>(kFrame)) {
            state.SkipWithError("short read");
            break;
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kFrame);
}

void BM_PlainFileRead(benchmark::State& state) {
    const char path[] = "/dev/shm/vidlyn-vcam-bench.raw";
    const int fd = open(path, O_RDWR | O_CREAT | O_TRUNC, 0600);
    std::vector<uint8_t> bytes(kFrame, 0x5A);
    if (fd < 0 || write(fd, bytes.data(), kFrame) != static_cast<ssize_t>(kFrame)) {
        state.SkipWithError("cannot write /dev/shm");
        return;
    }
    ReadFrames(state, fd, 0);
    close(fd);
    unlink(path);
}

void BM_CameraFileRead(benchmark::State& state) {
    char dir[] = "/tmp/vidlyn-vcam-bench.XXXXXX";
    if (!mkdtemp(dir)) return state.SkipWithError("mkdtemp");
    CameraModel camera;
    std::vector<ServedCamera> cameras(1);
    cameras[0].drive = 1;
    cameras[0].model = &camera;
    cameras[0].link = std::make_unique<Link>(0);
    ModelFs fs(std::move(cameras));
    std::string error;
    if (!fs.Start(dir, error)) {
        rmdir(dir);
        return state.SkipWithError(("FUSE cannot be used here: " + error).c_str());
    }
    const int fd = open((std::string(dir) + "/physicaldrive1").c_str(), O_RDWR);
    ReadFrames(state, fd, static_cast<off_t>(CameraModel::kImageOffset));
    close(fd);
    fs.Stop();
    rmdir(dir);
}

BENCHMARK(BM_PlainFileRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CameraFileRead)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
