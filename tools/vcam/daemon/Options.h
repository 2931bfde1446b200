// The daemon's command line.
#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/Scene.h"

namespace vidlyn::vcam {

struct Options {
    std::string prefix;
    std::string wine;
    std::vector<int> drives;
    double fps = 30;
    double linkMBps = 400;  // 10^6 bytes per second; 0: no limit
    Scene scene = Scene::Bars;
    int flatLevel = 128;
    std::optional<uint32_t> removeAfter;
    uint32_t removeBytes = 0;
    std::optional<uint32_t> replugAfter;
    uint16_t replugProduct = 0x06E0;
    std::optional<uint32_t> stallAfter;
    std::chrono::milliseconds stallFor{0};
};

extern const char kUsage[];

// False with a message for a command line that does not make sense.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);

}  // namespace vidlyn::vcam
