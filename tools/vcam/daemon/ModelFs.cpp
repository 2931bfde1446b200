// The camera files: FUSE operations on top of the camera models.
#define FUSE_USE_VERSION 35
#include "ModelFs.h"

#include <fuse.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "device/SectorLayout.h"

namespace vidlyn::vcam {

namespace {

const time_t g_started = std::time(nullptr);

ModelFs& Self() { return *static_cast<ModelFs*>(fuse_get_context()->private_data); }

void* Init(fuse_conn_info*, fuse_config* cfg) {
    // Every read and write reaches the camera: nothing is cached or read ahead.
    cfg->direct_io = 1;
    cfg->kernel_cache = 0;
    cfg->attr_timeout = 1;
    cfg->entry_timeout = 1;
    return fuse_get_context()->private_data;
}

int GetAttr(const char* path, struct stat* st, fuse_file_info*) {
    std::memset(st, 0, sizeof(*st));
    st->st_uid = getuid();
    st->st_gid = getgid();
    st->st_atime = st->st_mtime = st->st_ctime = g_started;
    if (std::strcmp(path, "/") == 0) {
        st->st_mode = S_IFDIR | 0755;
        st->st_nlink = 2;
        return 0;
    }
    bool state = false;
    if (!Self().Find(path, &state)) return -ENOENT;
    st->st_mode = state ? (S_IFREG | 0444) : (S_IFREG | 0600);
    st->st_nlink = 1;
    st->st_size = state ? 4096 : static_cast<off_t>(CameraModel::DiskSize());
    return 0;
}

int ReadDir(const char* path, void* buf, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags) {
    if (std::strcmp(path, "/") != 0) return -ENOENT;
    fill(buf, ".", nullptr, 0, fuse_fill_dir_flags(0));
    fill(buf, "..", nullptr, 0, fuse_fill_dir_flags(0));
    for (const std::string& name : Self().Names()) fill(buf, name.c_str(), nullptr, 0, fuse_fill_dir_flags(0));
    return 0;
}

int Open(const char* path, fuse_file_info* fi) {
    bool state = false;
    if (!Self().Find(path, &state)) return -ENOENT;
    if (state && (fi->flags & O_ACCMODE) != O_RDONLY) return -EACCES;
    fi->direct_io = 1;
    fi->keep_cache = 0;
    return 0;
}

int Read(const char* path, char* buf, size_t size, off_t offset, fuse_file_info*) {
    bool state = false;
    const ServedCamera* camera = Self().Find(path, &state);
    if (!camera) return -ENOENT;
    if (offset < 0) return -EINVAL;
    if (state) {
        const std::string text = Self().StateText(*camera);
        if (static_cast<size_t>(offset) >= text.size()) return 0;
        const size_t n = std::min(size, text.size() - static_cast<size_t>(offset));
        std::memcpy(buf, text.data() + offset, n);
        return static_cast<int>(n);
    }
    return ModelFs::ReadDisk(*camera, buf, size, offset);
}

int Write(const char* path, const char* buf, size_t size, off_t offset, fuse_file_info*) {
    bool state = false;
    const ServedCamera* camera = Self().Find(path, &state);
    if (!camera) return -ENOENT;
    if (state) return -EACCES;
    return ModelFs::WriteDisk(*camera, buf, size, offset);
}

// A raw disk cannot be shortened; opening with truncation changes nothing.
int Truncate(const char* path, off_t, fuse_file_info*) {
    bool state = false;
    return Self().Find(path, &state) && !state ? 0 : -EACCES;
}

fuse_operations Operations() {
    fuse_operations ops{};
    ops.init = Init;
    ops.getattr = GetAttr;
    ops.readdir = ReadDir;
    ops.open = Open;
    ops.read = Read;
    ops.write = Write;
    ops.truncate = Truncate;
    return ops;
}

}  // namespace

ModelFs::ModelFs(std::vector<ServedCamera> cameras) : m_cameras(std::move(cameras)) {}

ModelFs::~ModelFs() { Stop(); }

std::string ModelFs::FileName(int drive) { return "physicaldrive" + std::to_string(drive); }

int ModelFs::ReadDisk(const ServedCamera& camera, char* buf, size_t size, off_t offset) {
    if (offset < 0) return -EINVAL;
    const uint64_t end = CameraModel::DiskSize();
    if (static_cast<uint64_t>(offset) >= end) return 0;
    // One request answers at most INT_MAX bytes, the most its result can count.
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>({size, end - offset, INT_MAX}));
    const Link::Clock::time_point done = camera.link->Schedule(offset, n);
    if (!camera.model->ReadAt(offset, buf, n)) return -EIO;
    std::this_thread::sleep_until(done);
    return static_cast<int>(n);
}

int ModelFs::WriteDisk(const ServedCamera& camera, const char* buf, size_t size, off_t offset) {
    if (offset < 0) return -EINVAL;
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(size, INT_MAX));
    const Link::Clock::time_point done = camera.link->Schedule(offset, n);
    if (!camera.model->WriteAt(offset, buf, n)) return -EIO;
    std::this_thread::sleep_until(done);
    return static_cast<int>(n);
}

std::vector<std::string> ModelFs::Names() const {
    std::vector<std::string> names;
    for (const ServedCamera& c : m_cameras) {
        names.push_back(FileName(c.drive));
        names.push_back(FileName(c.drive) + ".state");
    }
    return names;
}

const ServedCamera* ModelFs::Find(const char* path, bool* state) const {
    if (!path || path[0] != '/') return nullptr;
    const std::string name(path + 1);
    for (const ServedCamera& c : m_cameras) {
        const std::string file = FileName(c.drive);
        if (name == file || name == file + ".state") {
            *state = name != file;
            return &c;
        }
    }
    return nullptr;
}

std::string ModelFs::StateText(const ServedCamera& camera) const {
    const CameraModel& m = *camera.model;
    const CameraSettings s = m.Settings();
    std::string text;
    char line[160];
    auto add = [&](const char* format, auto... values) {
        std::snprintf(line, sizeof(line), format, values...);
        text += line;
    };
    add("drive %d\n", camera.drive);
    add("identity %s\n", s.identity.c_str());
    add("product 0x%04x\n", s.productId);
    add("started %d\n", m.Started() ? 1 : 0);
    add("removed %d\n", m.Removed() ? 1 : 0);
    add("stalled %d\n", m.Stalled() ? 1 : 0);
    add("frames %u\n", m.FramesDelivered());
    add("width %d\nheight %d\n", m.PictureWidth(), m.PictureHeight());
    add("dual_output %d\n", m.DualOutput() ? 1 : 0);
    add("link_bytes_per_second %.0f\n", camera.link->BytesPerSecond());
    for (uint16_t r : {sector::kRegReadoutUpdate, sector::kRegSingleOutput, sector::kRegSubsample,
                       sector::kRegGainEnable, sector::kRegGlobalGain, sector::kRegExposure})
        add("reg 0x%04x %u\n", r, m.Register(r));
    const auto writes = m.RegisterWrites();
    add("register_writes %zu\n", writes.size());
    if (!writes.empty()) add("last_write 0x%04x 0x%04x\n", writes.back().first, writes.back().second);
    return text;
}

bool ModelFs::Start(const std::string& dir, std::string& error) {
    const fuse_operations ops = Operations();
    fuse_args args = FUSE_ARGS_INIT(0, nullptr);
    fuse_opt_add_arg(&args, "vidlyn_vcamd");
    fuse_opt_add_arg(&args, "-o");
    fuse_opt_add_arg(&args, "fsname=vidlyn_vcamd,subtype=vidlyn");
    m_fuse = fuse_new(&args, &ops, sizeof(ops), this);
    fuse_opt_free_args(&args);
    if (!m_fuse) {
        error = "FUSE refused its options";
        return false;
    }
    if (fuse_mount(m_fuse, dir.c_str()) != 0) {
        fuse_destroy(m_fuse);
        m_fuse = nullptr;
        error = "cannot mount a FUSE file system at " + dir +
                ": /dev/fuse must exist and be usable (root, or fusermount3 from the fuse3 package; a container "
                "needs --device /dev/fuse --cap-add SYS_ADMIN)";
        return false;
    }
    m_dir = dir;
    std::promise<void> ended;
    m_loopEnded = ended.get_future();
    m_loop = std::thread([this, ended = std::move(ended)]() mutable {
        fuse_loop_config config{};
        config.clone_fd = 0;
        config.max_idle_threads = 8;
        fuse_loop_mt(m_fuse, &config);
        ended.set_value();
    });
    return true;
}

void ModelFs::Stop() {
    if (!m_fuse) return;
    fuse_exit(m_fuse);
    fuse_unmount(m_fuse);
    if (m_loopEnded.wait_for(std::chrono::seconds(3)) == std::future_status::ready) {
        m_loop.join();
        fuse_destroy(m_fuse);
    } else {
        m_loop.detach();  // a file is still open somewhere: the process's end closes the connection
    }
    m_fuse = nullptr;
}

}  // namespace vidlyn::vcam
