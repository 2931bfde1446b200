// vidlyn_vcamd: the virtual camera daemon. Serves camera models through FUSE
// into a wine prefix until SIGINT or SIGTERM, then takes everything back.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ModelFs.h"
#include "Options.h"
#include "WinePrefix.h"

using namespace vidlyn::vcam;

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "vidlyn_vcamd: %s\n", message.c_str());
    return 1;
}

std::string DriveList(const std::vector<int>& drives) {
    std::string s;
    for (int d : drives) s += (s.empty() ? "" : ", ") + std::to_string(d);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        if (error.empty()) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        std::fprintf(stderr, "vidlyn_vcamd: %s\n\n%s", error.c_str(), kUsage);
        return 2;
    }

    // Output into a pipe whose reader has gone (| head -1, a tee ended by ^C)
    // must not end the daemon before it has taken everything back: a lost
    // line is all it costs.
    signal(SIGPIPE, SIG_IGN);

    // Signals are taken by the main thread alone (sigwait below); every thread
    // started from here on inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stopSignals, s);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    WinePrefix prefix(options.prefix, options.wine);
    if (!prefix.Check(error)) return Fail(error);
    for (int drive : options.drives)
        if (!prefix.ClaimDrive(drive, error)) return Fail(error);
    prefix.RemoveStaleMounts();

    std::vector<std::unique_ptr<CameraModel>> models;
    std::vector<ServedCamera> served;
    for (int drive : options.drives) {
        CameraSettings settings;
        if (options.fps > 0)
            settings.frameInterval = std::chrono::microseconds(static_cast<int64_t>(1e6 / options.fps));
        settings.scene = options.scene;
        settings.flatLevel = static_cast<uint8_t>(options.flatLevel);
        settings.registerWriteHistory = 10000;
        auto model = std::make_unique<CameraModel>(settings);
        if (options.removeAfter) model->RemoveAfterFrames(*options.removeAfter, options.removeBytes);
        if (options.replugAfter)
            model->ReplugAfterFrames(*options.replugAfter, std::chrono::milliseconds(500), options.replugProduct);
        if (options.stallAfter) model->StallAfterFrames(*options.stallAfter, options.stallFor);
        ServedCamera camera;
        camera.drive = drive;
        camera.model = model.get();
        camera.link = std::make_unique<Link>(options.linkMBps * 1e6);
        served.push_back(std::move(camera));
        models.push_back(std::move(model));
    }

    const std::string mount = prefix.VcamDir() + "/mnt." + std::to_string(getpid());
    if (mkdir(mount.c_str(), 0755) != 0 && errno != EEXIST)
        return Fail("cannot create " + mount + ": " + std::strerror(errno));
    ModelFs fs(std::move(served));
    if (!fs.Start(mount, error)) {
        rmdir(mount.c_str());
        return Fail(error);
    }

    // From here on every step is undone in reverse on the way out.
    std::vector<int> linked;
    bool ok = true;
    for (int drive : options.drives) {
        if (!prefix.LinkDrive(drive, mount + "/" + ModelFs::FileName(drive), error)) {
            ok = false;
            break;
        }
        linked.push_back(drive);
    }
    if (ok) ok = prefix.Register(options.drives, error);

    int status = 0;
    if (ok) {
        std::printf("vidlyn_vcamd: serving %zu camera%s on drive%s %s of %s (%s); ready\n", options.drives.size(),
                    options.drives.size() == 1 ? "" : "s", options.drives.size() == 1 ? "" : "s",
                    DriveList(options.drives).c_str(), options.prefix.c_str(), mount.c_str());
        std::fflush(stdout);
        int signal = 0;
        sigwait(&stopSignals, &signal);
        std::printf("vidlyn_vcamd: %s, stopping\n", strsignal(signal));
    } else {
        status = Fail(error);
    }

    // No new opens first; handles already open are served until the unmount.
    for (int drive : linked) prefix.UnlinkDrive(drive, mount + "/" + ModelFs::FileName(drive));
    std::string cleanupError;
    if (!prefix.Unregister(cleanupError)) status = Fail("could not remove the disk list entries: " + cleanupError);
    fs.Stop();
    if (rmdir(mount.c_str()) != 0) status = Fail("could not remove " + mount + ": " + std::strerror(errno));
    if (status == 0) std::printf("vidlyn_vcamd: stopped; links, disk list entries and mount removed\n");
    std::fflush(stdout);
    return status;
}
