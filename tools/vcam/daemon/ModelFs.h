// ModelFs: serves camera models as files through FUSE. Each camera is one
// file, "physicaldriveN", whose bytes are the camera's raw disk: reads and
// writes go straight to the model (no page cache), so the status sector, the
// ready flag and the frame data are live, as on a real device. Beside it,
// "physicaldriveN.state" shows the camera's state as text (registers, frames
// sent, faults) for people and tests.
#pragma once
#include <sys/types.h>

#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Link.h"
#include "model/CameraModel.h"

struct fuse;

namespace vidlyn::vcam {

struct ServedCamera {
    int drive = 0;
    CameraModel* model = nullptr;  // not owned
    std::unique_ptr<Link> link;
};

class ModelFs {
public:
    explicit ModelFs(std::vector<ServedCamera> cameras);
    ~ModelFs();
    ModelFs(const ModelFs&) = delete;
    ModelFs& operator=(const ModelFs&) = delete;

    static std::string FileName(int drive);

    // Mounts at `dir` (an existing empty folder) and serves from a thread of its own.
    bool Start(const std::string& dir, std::string& error);
    // Unmounts and waits for the serving thread; files still open elsewhere keep
    // it alive, in which case it is left to end with the process.
    void Stop();

    // --- the file system's operations, called by FUSE ---
    std::vector<std::string> Names() const;
    const ServedCamera* Find(const char* path, bool* state) const;
    std::string StateText(const ServedCamera& camera) const;
    // A read or write of the camera's raw disk: the bytes done, or -errno.
    static int ReadDisk(const ServedCamera& camera, char* buf, size_t size, off_t offset);
    static int WriteDisk(const ServedCamera& camera, const char* buf, size_t size, off_t offset);

private:
    std::vector<ServedCamera> m_cameras;
    fuse* m_fuse = nullptr;
    std::thread m_loop;
    std::future<void> m_loopEnded;
    std::string m_dir;
};

}  // namespace vidlyn::vcam
