// Still images of the session's current frame (the output buffer of the
// colour mode) in one of the still formats.
#include <cstring>

#include "VidlynSdk.h"
#include "output/DibBuffer.h"
#include "output/StillImage.h"
#include "session/CVidlyn.h"

int CVidlyn::SaveImage(const char* fileName, int format) {
    DibBuffer* output = OutputBuffer();
    if (m_device == nullptr || output == nullptr) {
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    // A writer's failure is its result alone; nothing is posted.
    if (m_state.load() != 1) {
        return WriteStillImage(fileName, output, format);
    }
    // While streaming, the file gets one whole frame: a copy taken between two
    // conversions, so that the stream does not wait for the encoder.
    DibBuffer frame;
    {
        FrameGuard::Reading reading(m_frameGuard);
        if (output->bits == nullptr || !frame.CreateLike(output)) return 0;
        std::memcpy(frame.bits, output->bits,
                    static_cast<size_t>(output->stride) * static_cast<size_t>(output->height));
    }
    return WriteStillImage(fileName, &frame, format);
}
