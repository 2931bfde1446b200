// Still images of the session's current frame (the output buffer of the
// colour mode) in one of the still formats.
#include "VidlynSdk.h"
#include "output/StillImage.h"
#include "session/CVidlyn.h"

int CVidlyn::SaveImage(const char* fileName, int format) {
    DibBuffer* output = OutputBuffer();
    if (m_device == nullptr || output == nullptr) {
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    // A writer's failure is its result alone; nothing is posted.
    return WriteStillImage(fileName, output, format);
}
