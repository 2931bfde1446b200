/* The public header as a C application sees it: it compiles as C89 and as C99
 * (pedantic, warnings are errors), the records have their byte layout, and a C
 * program linked against the import library calls into the DLL. */
#include <stddef.h>
#include <stdio.h>

#include "VidlynSdk.h"

static int failures = 0;

static void check(int ok, const char* what) {
    if (!ok) {
        printf("FAILED: %s\n", what);
        ++failures;
    }
}

int main(void) {
    int version;
    VIDLYN_FRAME_NOTICE notice;
    VIDLYN_CAMERA_INFO info;
    /* Declarations usable from C: take the address of a few exports. */
    int (*getVersion)(void) = Vidlyn_GetDllVersion;
    int (*initialize)(HWND) = Vidlyn_Initialize;
    int (*release)(int) = Vidlyn_Release;
    int (*lastError)(int) = Vidlyn_GetLastError;

    check(sizeof(VIDLYN_FRAME_NOTICE) == 32, "frame notice is 32 bytes");
    check(offsetof(VIDLYN_FRAME_NOTICE, buffer) == 24, "frame notice buffer at byte 24");
    check(sizeof(VIDLYN_CAMERA_INFO) == 36, "camera information is 36 bytes");
    check(offsetof(VIDLYN_CAMERA_INFO, exposureMax) == 32, "exposureMax at byte 32");
    check(VIDLYN_MSG_FRAME == 0x8002 && VIDLYN_MSG_ERROR == 0x8003, "message ids");
    check(VIDLYN_DLL_VERSION == 0x013A0519, "version constant");
    check(initialize != NULL && release != NULL && lastError != NULL, "export addresses");

    notice.size = (int)sizeof notice;
    info.size = (unsigned int)sizeof info;
    check(notice.size == 32 && info.size == 36, "record sizes at run time");

    version = getVersion();
    printf("Vidlyn_GetDllVersion() = 0x%08X\n", (unsigned int)version);
    check(version == VIDLYN_DLL_VERSION, "Vidlyn_GetDllVersion");

    return failures ? 1 : 0;
}
