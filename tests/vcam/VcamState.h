// What the virtual camera daemon says about one of its cameras: the lines
// "name value" of VIDLYN_VCAM_MOUNT/physicaldriveN.state, read through wine's Z: drive.
#pragma once
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace vcamtest {

inline std::string MountFolder() {
    const char* mount = std::getenv("VIDLYN_VCAM_MOUNT");
    return mount ? std::string("Z:") + mount : std::string();
}

// Empty when the daemon does not run (the test was not started by scripts/vcam.sh).
inline std::map<std::string, std::string> CameraState(int drive) {
    std::map<std::string, std::string> state;
    if (MountFolder().empty()) return state;
    std::ifstream in(MountFolder() + "/physicaldrive" + std::to_string(drive) + ".state");
    for (std::string line; std::getline(in, line);) {
        const size_t space = line.find(' ');
        if (space == std::string::npos) continue;
        std::string name = line.substr(0, space);
        std::string value = line.substr(space + 1);
        // "reg 0x2004 1668" is keyed "reg 0x2004".
        if (name == "reg") {
            const size_t second = value.find(' ');
            name += " " + value.substr(0, second);
            value = second == std::string::npos ? std::string() : value.substr(second + 1);
        }
        state[name] = value;
    }
    return state;
}

inline long StateNumber(int drive, const std::string& name) {
    const auto state = CameraState(drive);
    auto it = state.find(name);
    return it == state.end() ? -1 : std::strtol(it->second.c_str(), nullptr, 0);
}

}  // namespace vcamtest
