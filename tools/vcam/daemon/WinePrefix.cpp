// Links, locks and registry entries of the virtual cameras in a wine prefix.
#include "WinePrefix.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

extern char** environ;

namespace vidlyn::vcam {

namespace {

const char kEnumKey[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";
const char kMountPrefix[] = "mnt.";

bool IsExecutable(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }

std::string FindWine() {
    if (IsExecutable("/usr/lib/wine/wine64")) return "/usr/lib/wine/wine64";
    for (const char* name : {"wine64", "wine"}) {
        const char* path = std::getenv("PATH");
        std::stringstream dirs(path ? path : "/usr/bin:/bin");
        for (std::string dir; std::getline(dirs, dir, ':');)
            if (IsExecutable(dir + "/" + name)) return dir + "/" + name;
    }
    return {};
}

bool ProcessAlive(pid_t pid) { return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM); }

// A text value for a .reg file.
std::string RegString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

// Holds an exclusive lock on a file for as long as the descriptor stays open.
// Another process's lock makes it fail at once (wait = false) or waits for it.
int LockFile(const std::string& path, bool wait) {
    for (;;) {
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return -1;
        if (flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
            close(fd);
            return -1;
        }
        // The holder before us may have removed the file while we waited for it.
        struct stat held, now;
        if (fstat(fd, &held) == 0 && stat(path.c_str(), &now) == 0 && held.st_ino == now.st_ino &&
            held.st_dev == now.st_dev)
            return fd;
        close(fd);
    }
}

}  // namespace

WinePrefix::WinePrefix(std::string prefix, std::string wine)
    : m_prefix(std::move(prefix)), m_wine(wine.empty() ? FindWine() : std::move(wine)) {
    while (m_prefix.size() > 1 && m_prefix.back() == '/') m_prefix.pop_back();
}

WinePrefix::~WinePrefix() {
    for (const auto& [drive, fd] : m_driveLocks) {
        unlink((VcamDir() + "/physicaldrive" + std::to_string(drive) + ".lock").c_str());
        close(fd);
    }
}

std::string WinePrefix::VcamDir() const { return m_prefix + "/vcam"; }

std::string WinePrefix::DrivePath(int drive) const {
    return m_prefix + "/dosdevices/physicaldrive" + std::to_string(drive);
}

std::string WinePrefix::EnumEntry(int drive) {
    return "USBSTOR\\Disk&Ven_NORVEX&Prod_USB3.0_QM7720E&Rev_1.00\\VCAM_PHYSICALDRIVE" + std::to_string(drive) + "&0";
}

bool WinePrefix::Check(std::string& error) const {
    struct stat st;
    if (stat((m_prefix + "/system.reg").c_str(), &st) != 0 || stat((m_prefix + "/dosdevices").c_str(), &st) != 0) {
        error = m_prefix +
                " is not a wine prefix (no system.reg or dosdevices); create it first, e.g. with "
                "scripts/wine-emulator.sh --prefix build/win";
        return false;
    }
    if (m_wine.empty()) {
        error = "wine not found (install wine64, or name it with --wine)";
        return false;
    }
    if (mkdir(VcamDir().c_str(), 0755) != 0 && errno != EEXIST) {
        error = "cannot create " + VcamDir() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool WinePrefix::ClaimDrive(int drive, std::string& error) {
    const std::string path = VcamDir() + "/physicaldrive" + std::to_string(drive) + ".lock";
    const int fd = LockFile(path, false);
    if (fd < 0) {
        std::ifstream in(path);
        long pid = 0;
        in >> pid;
        error = "drive " + std::to_string(drive) + " of wine prefix " + m_prefix +
                " is already served by another virtual camera" +
                (pid > 0 ? " (pid " + std::to_string(pid) + ")" : std::string()) +
                "; stop it first or choose another drive";
        return false;
    }
    const std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(fd, 0) != 0 || write(fd, pid.data(), pid.size()) != static_cast<ssize_t>(pid.size())) {
        // The pid is only for the message above; the lock is what counts.
    }
    m_driveLocks[drive] = fd;
    return true;
}

void WinePrefix::RemoveStaleMounts() const {
    DIR* dir = opendir(VcamDir().c_str());
    if (!dir) return;
    while (dirent* e = readdir(dir)) {
        if (std::strncmp(e->d_name, kMountPrefix, std::strlen(kMountPrefix)) != 0) continue;
        const pid_t pid = static_cast<pid_t>(std::atol(e->d_name + std::strlen(kMountPrefix)));
        if (pid == getpid() || ProcessAlive(pid)) continue;
        const std::string path = VcamDir() + "/" + e->d_name;
        umount2(path.c_str(), MNT_DETACH);  // a daemon that was killed leaves its mount behind
        rmdir(path.c_str());
    }
    closedir(dir);
}

bool WinePrefix::LinkDrive(int drive, const std::string& target, std::string& error) {
    const std::string path = DrivePath(drive);
    char old[4096];
    const ssize_t n = readlink(path.c_str(), old, sizeof(old) - 1);
    if (n >= 0) {
        old[n] = 0;
        // We hold the drive's lock, so a link into a mount folder is a dead daemon's.
        if (std::string(old).rfind(VcamDir() + "/" + kMountPrefix, 0) != 0) {
            error = path + " already exists (-> " + old +
                    ") and is not a virtual camera's; remove it or choose another drive";
            return false;
        }
    } else if (errno != ENOENT) {
        error = path + " already exists and is not a link; remove it or choose another drive";
        return false;
    }
    const std::string temp = path + ".vcam-" + std::to_string(getpid());
    unlink(temp.c_str());
    if (symlink(target.c_str(), temp.c_str()) != 0 || rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot link " + path + ": " + std::strerror(errno);
        unlink(temp.c_str());
        return false;
    }
    return true;
}

void WinePrefix::UnlinkDrive(int drive, const std::string& target) const {
    const std::string path = DrivePath(drive);
    char old[4096];
    const ssize_t n = readlink(path.c_str(), old, sizeof(old) - 1);
    if (n < 0) return;
    old[n] = 0;
    if (target == old) unlink(path.c_str());
}

// Runs wine in the prefix, its output into a file (never a pipe: the wine server
// and services that the first wine process starts would hold a pipe open).
int WinePrefix::RunWine(const std::vector<std::string>& args, std::string* output, std::string& error) const {
    char outPath[] = "/tmp/vidlyn-vcamd.XXXXXX";
    const int out = mkstemp(outPath);
    if (out < 0) {
        error = std::string("mkstemp: ") + std::strerror(errno);
        return -1;
    }
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string v = *e;
        if (v.rfind("WINEPREFIX=", 0) == 0 || v.rfind("WINEDEBUG=", 0) == 0 || v.rfind("WINEDLLOVERRIDES=", 0) == 0)
            continue;
        env.push_back(v);
    }
    env.push_back("WINEPREFIX=" + m_prefix);
    env.push_back("WINEDEBUG=-all");
    env.push_back("WINEDLLOVERRIDES=winemenubuilder.exe=d;mscoree=d;mshtml=d");
    std::vector<char*> envp, argv;
    for (std::string& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);
    std::vector<std::string> all = {m_wine};
    all.insert(all.end(), args.begin(), args.end());
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_adddup2(&actions, out, 2);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // The child must not inherit our blocked or ignored signals (wine relies on
    // them), and gets a session of its own so that a terminal's ^C reaches only us.
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    posix_spawnattr_setsigdefault(&attr, &pipe);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, m_wine.c_str(), &actions, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    // The exit status, or -1 with the reason when wine did not run or end by itself.
    int status = -1;
    std::string how;
    if (spawned != 0) {
        how = std::string("cannot run it: ") + std::strerror(spawned);
    } else {
        int raw = 0;
        pid_t waited;
        while ((waited = waitpid(pid, &raw, 0)) < 0 && errno == EINTR) {
        }
        if (waited < 0) {
            how = std::string("waitpid: ") + std::strerror(errno);
        } else if (WIFEXITED(raw)) {
            status = WEXITSTATUS(raw);
            how = "exit status " + std::to_string(status);
        } else if (WIFSIGNALED(raw)) {
            how = "killed by signal " + std::to_string(WTERMSIG(raw)) + ", " + strsignal(WTERMSIG(raw));
        }
    }
    close(out);
    std::ifstream in(outPath, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    unlink(outPath);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (output) *output = text;
    if (status != 0)
        error = m_wine + " " + args[0] + " " + args[1] + " failed (" + how + ")" +
                (text.empty() ? std::string(", no output") : ": " + text);
    return status;
}

// wine reg, tried again when it failed without a word of its own: killed, or
// ended with a failure status and no output (what a wine server that goes
// away under a starting process leaves). A refusal that reg explains (a key
// not found, a file it cannot parse) is an answer and is returned at once.
int WinePrefix::RunReg(const std::vector<std::string>& args, std::string* output, std::string& error) const {
    constexpr int kAttempts = 3;
    std::string text;
    int status = -1;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        status = RunWine(args, &text, error);
        if (status == 0 || (status > 0 && !text.empty())) break;
        if (attempt < kAttempts) {
            std::fprintf(stderr, "vidlyn_vcamd: %s; trying again\n", error.c_str());
            sleep(1);
        } else {
            error += " (" + std::to_string(kAttempts) + " attempts)";
        }
    }
    if (output) *output = text;
    return status;
}

bool WinePrefix::ReadEnum(std::vector<std::string>& entries, bool& exists, std::string& error) const {
    std::string text;
    entries.clear();
    exists = false;
    const int status = RunReg({"reg", "query", kEnumKey}, &text, error);
    if (status < 0 || (status != 0 && text.empty())) return false;
    if (status != 0) return true;  // no such key (reg says so): an empty list
    exists = true;
    // "    NAME    REG_TYPE    DATA" per value.
    std::map<long, std::string> byIndex;
    long count = 0;
    std::stringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("    ", 0) != 0) continue;
        const size_t type = line.find("    REG_", 4);
        if (type == std::string::npos) continue;
        const std::string name = line.substr(4, type - 4);
        const size_t data = line.find("    ", type + 4);
        const std::string value = data == std::string::npos ? std::string() : line.substr(data + 4);
        if (name == "Count") {
            count = std::strtol(value.c_str(), nullptr, 0);
        } else {
            char* end = nullptr;
            const long index = std::strtol(name.c_str(), &end, 10);
            if (end && *end == 0 && !name.empty()) byIndex[index] = value;
        }
    }
    for (long i = 0; i < count; ++i) {
        auto it = byIndex.find(i);
        entries.push_back(it == byIndex.end() ? std::string() : it->second);
    }
    return true;
}

bool WinePrefix::WriteEnum(const std::vector<std::string>& entries, size_t oldCount, bool deleteKey,
                           std::string& error) const {
    std::string reg = "REGEDIT4\r\n\r\n";
    if (deleteKey) {
        reg += "[-" + std::string(kEnumKey) + "]\r\n";
    } else {
        char count[64];
        std::snprintf(count, sizeof(count), "\"Count\"=dword:%08zx\r\n", entries.size());
        reg += "[" + std::string(kEnumKey) + "]\r\n" + count;
        for (size_t i = 0; i < entries.size(); ++i)
            reg += "\"" + std::to_string(i) + "\"=" + RegString(entries[i]) + "\r\n";
        for (size_t i = entries.size(); i < oldCount; ++i) reg += "\"" + std::to_string(i) + "\"=-\r\n";
    }
    const std::string path = VcamDir() + "/enum." + std::to_string(getpid()) + ".reg";
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << reg;
        if (!file) {
            error = "cannot write " + path;
            return false;
        }
    }
    const int status = RunReg({"reg", "import", "Z:" + path}, nullptr, error);
    unlink(path.c_str());
    return status == 0;
}

bool WinePrefix::Register(const std::vector<int>& drives, std::string& error) {
    const int lock = LockFile(VcamDir() + "/registry.lock", true);
    std::vector<std::string> entries;
    bool exists = false;
    bool ok = ReadEnum(entries, exists, error);
    if (ok) {
        const size_t oldCount = entries.size();
        std::vector<std::string> ours;
        for (int d : drives) ours.push_back(EnumEntry(d));
        // Entries of ours left by a daemon that was killed are replaced, not doubled.
        std::erase_if(entries,
                      [&](const std::string& e) { return std::find(ours.begin(), ours.end(), e) != ours.end(); });
        entries.insert(entries.end(), ours.begin(), ours.end());
        ok = WriteEnum(entries, oldCount, false, error);
        if (ok) {
            m_registered = ours;
            m_keyWasThere = exists;
        }
    }
    if (lock >= 0) close(lock);
    return ok;
}

bool WinePrefix::Unregister(std::string& error) {
    if (m_registered.empty()) return true;
    const int lock = LockFile(VcamDir() + "/registry.lock", true);
    std::vector<std::string> entries;
    bool exists = false;
    bool ok = ReadEnum(entries, exists, error);
    if (ok && exists) {
        const size_t oldCount = entries.size();
        std::erase_if(entries, [&](const std::string& e) {
            return std::find(m_registered.begin(), m_registered.end(), e) != m_registered.end();
        });
        // A list that we created and that is empty again goes away with its key.
        ok = WriteEnum(entries, oldCount, entries.empty() && !m_keyWasThere, error);
    }
    if (ok) m_registered.clear();
    if (lock >= 0) close(lock);
    return ok;
}

}  // namespace vidlyn::vcam
