// Command-line parsing, strict: every value is checked, nothing is guessed.
#include "Options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace vidlyn::vcam {

const char kUsage[] =
    "usage: vidlyn_vcamd --prefix WINEPREFIX [options]\n"
    "Serves virtual QM7720E cameras to the wine prefix: each camera is a file linked as\n"
    "dosdevices/physicaldriveN and listed in the system's disk enumeration list, so that\n"
    "the SDK finds it as it finds a real camera. Stops on SIGINT or SIGTERM and removes\n"
    "every link, list entry and mount it made.\n"
    "\n"
    "  --prefix DIR          the wine prefix (must exist)\n"
    "  --cameras N           number of cameras, 1..15 (default 1, or as many as --drives)\n"
    "  --drives N[,N...]     their drive numbers, 0..15 (default 1, 2, ...)\n"
    "  --fps F               frames per second the sensor delivers (default 30; 0: as fast as read)\n"
    "  --link MBPS           link speed in 10^6 bytes per second (default 400, a USB 3.0 link;\n"
    "                        0: no limit)\n"
    "  --scene NAME          bars (moving colour bars with a frame counter, default),\n"
    "                        gradient (with the counter), flat (one level)\n"
    "  --level N             level of the flat scene at the reference exposure, 0..255 (default 128)\n"
    "  --remove-after N[:B]  every camera is unplugged after sending N frames (and B bytes of the next)\n"
    "  --stall-after N[:MS]  the link stalls after N frames, for MS milliseconds (default: for good);\n"
    "                        0: the camera never gets a frame ready\n"
    "  --replug-after N[:ID] every camera is unplugged after N frames and is back 500 ms later,\n"
    "                        not started, reporting product id ID (default its own, 0x06e0)\n"
    "  --wine PATH           the wine loader for registry edits (default: found on the system)\n";

namespace {

bool ToLong(const std::string& text, long lo, long hi, long& out, int base = 10) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, base);
    if (errno || *end || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool ToDouble(const std::string& text, double lo, double hi, double& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (errno || *end || !(v >= lo && v <= hi)) return false;
    out = v;
    return true;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& o, std::string& error) {
    long cameras = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            error.clear();
            return false;
        }
        if (i + 1 >= argc) {
            error = name.rfind("--", 0) == 0 ? name + " needs a value" : "unknown argument " + name;
            return false;
        }
        const std::string value = argv[++i];
        long n = 0;
        bool ok = true;
        if (name == "--prefix") {
            o.prefix = value;
        } else if (name == "--wine") {
            o.wine = value;
        } else if (name == "--cameras") {
            ok = ToLong(value, 1, 15, cameras);
        } else if (name == "--drives") {
            std::stringstream list(value);
            o.drives.clear();
            for (std::string item; ok && std::getline(list, item, ',');) {
                ok = ToLong(item, 0, 15, n);
                for (int d : o.drives) ok = ok && d != n;
                o.drives.push_back(static_cast<int>(n));
            }
            ok = ok && !o.drives.empty();
        } else if (name == "--fps") {
            ok = ToDouble(value, 0, 1000, o.fps);
        } else if (name == "--link") {
            ok = ToDouble(value, 0, 100000, o.linkMBps);
        } else if (name == "--scene") {
            if (value == "bars")
                o.scene = Scene::Bars;
            else if (value == "gradient")
                o.scene = Scene::Gradient;
            else if (value == "flat")
                o.scene = Scene::Flat;
            else
                ok = false;
        } else if (name == "--level") {
            ok = ToLong(value, 0, 255, n);
            o.flatLevel = static_cast<int>(n);
        } else if (name == "--remove-after") {
            const size_t colon = value.find(':');
            ok = ToLong(value.substr(0, colon), 0, 2000000000, n);
            o.removeAfter = static_cast<uint32_t>(n);
            if (ok && colon != std::string::npos) {
                ok = ToLong(value.substr(colon + 1), 1, 15980544, n);
                o.removeBytes = static_cast<uint32_t>(n);
            }
        } else if (name == "--replug-after") {
            const size_t colon = value.find(':');
            ok = ToLong(value.substr(0, colon), 0, 2000000000, n);
            o.replugAfter = static_cast<uint32_t>(n);
            if (ok && colon != std::string::npos) {
                ok = ToLong(value.substr(colon + 1), 0, 0xFFFF, n, 0);
                o.replugProduct = static_cast<uint16_t>(n);
            }
        } else if (name == "--stall-after") {
            const size_t colon = value.find(':');
            ok = ToLong(value.substr(0, colon), 0, 2000000000, n);
            o.stallAfter = static_cast<uint32_t>(n);
            if (ok && colon != std::string::npos) {
                ok = ToLong(value.substr(colon + 1), 1, 86400000, n);
                o.stallFor = std::chrono::milliseconds(n);
            }
        } else {
            error = "unknown option " + name;
            return false;
        }
        if (!ok) {
            error = "invalid value for " + name + ": " + value;
            return false;
        }
    }
    if (o.prefix.empty()) {
        error = "--prefix is required";
        return false;
    }
    if (o.drives.empty()) {
        for (long d = 1; d <= (cameras ? cameras : 1); ++d) o.drives.push_back(static_cast<int>(d));
    } else if (cameras && cameras != static_cast<long>(o.drives.size())) {
        error = "--cameras " + std::to_string(cameras) + " but " + std::to_string(o.drives.size()) + " drives given";
        return false;
    }
    return true;
}

}  // namespace vidlyn::vcam
