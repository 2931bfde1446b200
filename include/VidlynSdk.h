/*
 * VidlynSdk.h - public interface of VidlynSdk_USB3_QM7720E.dll, the software
 * development kit of the Vidlyn QM7720E USB 3.0 colour camera (4896 x 3264,
 * Bayer sensor).
 *
 * Usage in short:
 *   int h = Vidlyn_Initialize(hwndForErrors);    open a session, 0 on failure
 *   Vidlyn_SetColorMode(h, 24);                  pick the output format
 *   Vidlyn_Preview(h);                           live video in a window
 *   Vidlyn_SaveImage(h, "frame.png", VIDLYN_FORMAT_PNG);
 *   Vidlyn_Release(h);                           close and free the session
 *
 * Every function returns a 32-bit integer: 1 for success and 0 for failure, or
 * the value asked for. Vidlyn_GetColorMode, Vidlyn_GetSubSample and
 * Vidlyn_GetWaitTime return -1 for an unknown handle. A failure inside a
 * session also records an error code (VIDLYN_ERR_...) that Vidlyn_GetLastError
 * returns, and posts VIDLYN_MSG_ERROR to the window given to Vidlyn_Initialize.
 * An unknown handle reports nothing.
 *
 * Call the library from one thread at a time.
 *
 * This header is plain C89 and may be included from C and C++.
 */
#ifndef VIDLYN_SDK_H
#define VIDLYN_SDK_H

#include <stddef.h> /* wchar_t */
#include <windows.h>

#ifdef VIDLYN_BUILDING_SDK
#define VIDLYN_API
#else
#define VIDLYN_API __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Value returned by Vidlyn_GetDllVersion. */
#define VIDLYN_DLL_VERSION 0x013A0519

/* ---- Window messages posted to the application --------------------------- */

/* Frame message to the window of Vidlyn_CallBackPreview: wParam is the address
 * of a VIDLYN_FRAME_NOTICE and lParam 0 for a new frame; wParam 0 and lParam an
 * error code (5, 8 or 13) when the frame path failed. WM_APP + 2. */
#define VIDLYN_MSG_FRAME 0x8002
/* Error message to the window of Vidlyn_Initialize: wParam 0, lParam the
 * error code. WM_APP + 3. */
#define VIDLYN_MSG_ERROR 0x8003

/* ---- Error codes (Vidlyn_GetLastError, lParam of VIDLYN_MSG_ERROR) ------- */

#define VIDLYN_ERR_NONE 0             /* no failure (automatic exposure step while auto iris is off) */
#define VIDLYN_ERR_NO_CAMERA 1        /* no camera, or the operation is not allowed in this state */
#define VIDLYN_ERR_CAMERA_NOT_FOUND 2 /* the selected camera index is not valid or cannot be opened */
#define VIDLYN_ERR_THREAD 3           /* a worker thread or its event could not be created */
#define VIDLYN_ERR_PREVIEW_WINDOW 4   /* the preview window or its drawing context could not be made */
#define VIDLYN_ERR_MEMORY 5           /* out of memory, frame buffer missing or caller's buffer too small */
#define VIDLYN_ERR_STREAM_COMMAND 6   /* the camera refused to start or stop streaming, or a register write */
#define VIDLYN_ERR_CAPTURE_AREA 7     /* capture area (width, height, start, subsampling) is invalid */
#define VIDLYN_ERR_TRANSFER 8         /* a frame could not be transferred from the camera */
#define VIDLYN_ERR_INVALID_ARGUMENT 9 /* an argument is out of range or a pointer is null */
/* code 10 is never reported */
#define VIDLYN_ERR_NOT_SUPPORTED 11    /* the function is not supported by this camera */
#define VIDLYN_ERR_SETTINGS 12         /* stored settings missing (also on first start) or file name failure */
#define VIDLYN_ERR_TRANSFER_STOPPED 13 /* the camera's frame transfer failed; streaming has stopped */

/* ---- Still image formats (Vidlyn_SaveImage, Vidlyn_SaveImageW) ----------- */

#define VIDLYN_FORMAT_BMP 0       /* Windows bitmap with the buffer's own bit count */
#define VIDLYN_FORMAT_RAW 1       /* the pixel memory as it is, no header */
#define VIDLYN_FORMAT_JPEG_HIGH 2 /* JPEG, quality 100 */
#define VIDLYN_FORMAT_JPEG_MID 3  /* JPEG, quality 70 */
#define VIDLYN_FORMAT_JPEG_LOW 4  /* JPEG, quality 20 */
#define VIDLYN_FORMAT_PNG 5       /* PNG, 8 or 16 bits per sample */
#define VIDLYN_FORMAT_TIFF 6      /* TIFF, uncompressed */

/* ---- Image adjustment parameter ids (Vidlyn_SetFilterValue) -------------- */

#define VIDLYN_FILTER_BRIGHTNESS 1       /* -255 .. 255, 0 = off */
#define VIDLYN_FILTER_CONTRAST 2         /* -127 .. 127, 0 = off */
#define VIDLYN_FILTER_HUE 3              /* -360 .. 360 degrees */
#define VIDLYN_FILTER_SATURATION 4       /* -255 .. 255 */
#define VIDLYN_FILTER_SHARPNESS 5        /* 0 .. 30, 0 = off */
#define VIDLYN_FILTER_BAYER_GAIN_RGB 6   /* red | green << 8 | blue << 16 */
#define VIDLYN_FILTER_BAYER_GAIN_RED 7   /* white balance red, 0 .. 800 percent */
#define VIDLYN_FILTER_BAYER_GAIN_GREEN 8 /* white balance green, 0 .. 800 percent */
#define VIDLYN_FILTER_BAYER_GAIN_BLUE 9  /* white balance blue, 0 .. 800 percent */
#define VIDLYN_FILTER_BAYER_GAIN_AUTO 10 /* automatic white balance, 0 or 1 */
#define VIDLYN_FILTER_GAMMA 11           /* 0 .. 200, 100 = neutral */
#define VIDLYN_FILTER_BAYER_MODE 12      /* colour filter phase of the first pixel, 0 .. 3 */
#define VIDLYN_FILTER_GLOBAL_GAIN 13     /* sensor analog gain, 0 .. 1023 */
#define VIDLYN_FILTER_COLOR_GAIN_RED 14  /* not available on this camera */
#define VIDLYN_FILTER_COLOR_GAIN_G1 15   /* not available on this camera */
#define VIDLYN_FILTER_COLOR_GAIN_G2 16   /* not available on this camera */
#define VIDLYN_FILTER_COLOR_GAIN_BLUE 17 /* not available on this camera */
#define VIDLYN_FILTER_EXPOSURE 18        /* exposure value 1 .. 3335, larger is shorter */
#define VIDLYN_FILTER_GRAY_MODE 19       /* 8-bit output: 0 Bayer, 1 Bayer convert, 2 grayscale */
#define VIDLYN_FILTER_GRAY_GAIN_R 20     /* 0 .. 255, gray mode 1 */
#define VIDLYN_FILTER_GRAY_GAIN_G1 21    /* 0 .. 255 */
#define VIDLYN_FILTER_GRAY_GAIN_G2 22    /* 0 .. 255 */
#define VIDLYN_FILTER_GRAY_GAIN_B 23     /* 0 .. 255 */
#define VIDLYN_FILTER_GRAY_OFFSET_R 24   /* -255 .. 255, gray mode 1 */
#define VIDLYN_FILTER_GRAY_OFFSET_G1 25  /* -255 .. 255 */
#define VIDLYN_FILTER_GRAY_OFFSET_G2 26  /* -255 .. 255 */
#define VIDLYN_FILTER_GRAY_OFFSET_B 27   /* -255 .. 255 */

/* ---- Records ------------------------------------------------------------- */

/* Sent with VIDLYN_MSG_FRAME (its address in wParam); 32 bytes. The record
 * belongs to the session and is overwritten with every frame. */
typedef struct VIDLYN_FRAME_NOTICE {
    int size;     /* 32 */
    int width;    /* frame width in pixels */
    int height;   /* frame height in pixels */
    int bitCount; /* 8, 16, 24, 32, 48 or 64 */
    int fps;      /* frame rate in tenths of a frame per second */
    int reserved; /* not written */
    void* buffer; /* the application's buffer given to Vidlyn_CallBackPreview, or NULL */
} VIDLYN_FRAME_NOTICE;

/* Filled by Vidlyn_GetCameraInfo; 36 bytes. Set size before the call. */
typedef struct VIDLYN_CAMERA_INFO {
    unsigned int size; /* set by the caller: sizeof(VIDLYN_CAMERA_INFO), at least 36 */
    int width;         /* sensor width in pixels, 4896 */
    int height;        /* sensor height in pixels, 3264 */
    int reserved1;     /* 0 */
    int gainMax;       /* highest global gain, 1023 */
    int gainMin;       /* lowest global gain, 0 */
    int reserved2;     /* 0 */
    int exposureMin;   /* lowest exposure value, 1 */
    int exposureMax;   /* highest exposure value: 3335 at full size, 1668 when subsampling */
} VIDLYN_CAMERA_INFO;

/* Compile-time size checks, valid in C89 as in C++ (the library is 64-bit). */
typedef char VIDLYN_FRAME_NOTICE_IS_32_BYTES[(sizeof(VIDLYN_FRAME_NOTICE) == 32) ? 1 : -1];
typedef char VIDLYN_CAMERA_INFO_IS_36_BYTES[(sizeof(VIDLYN_CAMERA_INFO) == 36) ? 1 : -1];

/* ---- Library and session lifetime ---------------------------------------- */

/* The library version, 0x013A0519; needs no session. */
VIDLYN_API int Vidlyn_GetDllVersion(void);
/* Opens a session with the first camera found; errors go to notifyWnd (may be
 * NULL). Returns the handle, 0 on failure. A session without a camera is
 * still returned; release every handle with Vidlyn_Release. */
VIDLYN_API int Vidlyn_Initialize(HWND notifyWnd);
/* Saves the adjustment settings, stops everything and frees the session. */
VIDLYN_API int Vidlyn_Release(int handle);
/* Removes and returns the newest of the last 20 error codes; 0 when none. */
VIDLYN_API int Vidlyn_GetLastError(int handle);

/* ---- Acquisition --------------------------------------------------------- */

/* Starts streaming without a window. */
VIDLYN_API int Vidlyn_StartPreview(int handle);
/* Stops streaming; the preview window stays until Vidlyn_Close. */
VIDLYN_API int Vidlyn_StopPreview(int handle);
/* Starts streaming into the library's preview window. */
VIDLYN_API int Vidlyn_Preview(int handle);
/* Like Vidlyn_Preview, and posts VIDLYN_MSG_FRAME to callbackWnd for every
 * frame, after copying it into buffer (bufferSize bytes) when buffer is not
 * NULL; rowOrder selects the row order of the copy. */
VIDLYN_API int Vidlyn_CallBackPreview(int handle, HWND callbackWnd, void* buffer, int bufferSize, int rowOrder);
/* Records the live stream into an uncompressed AVI file for duration
 * milliseconds; withWindow non-zero shows the preview window. */
VIDLYN_API int Vidlyn_Record(int handle, const char* fileName, int duration, int withWindow);
VIDLYN_API int Vidlyn_RecordW(int handle, const wchar_t* fileName, int duration, int withWindow);
/* Arms single-frame capture for Vidlyn_SnapShot. */
VIDLYN_API int Vidlyn_Capture(int handle);
/* Closes the preview window and stops streaming, capture and recording. */
VIDLYN_API int Vidlyn_Close(int handle);
/* Takes one frame into buffer (bufferSize bytes); capture must be armed. */
VIDLYN_API int Vidlyn_SnapShot(int handle, void* buffer, int bufferSize, int rowOrder);
/* Copies the newest converted frame into buffer (bufferSize bytes). */
VIDLYN_API int Vidlyn_GetImage(int handle, void* buffer, int bufferSize, int rowOrder);
/* Shows the camera format dialog (capture area, colour mode, presets). */
VIDLYN_API int Vidlyn_SetCameraDlg(int handle, HWND parent);

/* ---- Output -------------------------------------------------------------- */

/* Makes the preview window a child of parent at x, y with the given size. */
VIDLYN_API int Vidlyn_SetPreviewWindow(int handle, HWND parent, int x, int y, int width, int height);
/* Writes the current frame to a file in a VIDLYN_FORMAT_... format. */
VIDLYN_API int Vidlyn_SaveImage(int handle, const char* fileName, int format);
VIDLYN_API int Vidlyn_SaveImageW(int handle, const wchar_t* fileName, int format);

/* ---- Session settings ---------------------------------------------------- */

/* Output format in bits per pixel: 8, 16, 24, 32, 48 or 64. */
VIDLYN_API int Vidlyn_SetColorMode(int handle, int bits);
/* Bits per pixel of the output format; -1 for an unknown handle or mode. */
VIDLYN_API int Vidlyn_GetColorMode(int handle);
/* Vertical mirror on (non-zero) or off; moves the colour filter phase. */
VIDLYN_API int Vidlyn_SetMirrorV(int handle, int flag);
VIDLYN_API int Vidlyn_GetMirrorV(int handle);
/* Horizontal mirror on (non-zero) or off; moves the colour filter phase. */
VIDLYN_API int Vidlyn_SetMirrorH(int handle, int flag);
VIDLYN_API int Vidlyn_GetMirrorH(int handle);
/* Automatic exposure mode 0 (off), 1 or 2. */
VIDLYN_API int Vidlyn_SetAutoIris(int handle, int mode);
/* Returns the automatic exposure mode; writes 1 to *valid when valid is not NULL. */
VIDLYN_API int Vidlyn_GetAutoIris(int handle, int* valid);
/* Milliseconds the acquisition loop sleeps before asking for a new frame (>= 0). */
VIDLYN_API int Vidlyn_SetWaitTime(int handle, int ms);
/* The wait time in milliseconds; -1 for an unknown handle. */
VIDLYN_API int Vidlyn_GetWaitTime(int handle);

/* ---- Camera selection and information ------------------------------------ */

/* Fills names (10 entries of 256 chars) with the cameras found; returns their number. */
VIDLYN_API int Vidlyn_EnumDevice(int handle, char* names);
/* The same with 10 entries of 256 wide characters. */
VIDLYN_API int Vidlyn_EnumDeviceW(int handle, wchar_t* names);
/* Writes the display name of camera index into name (nameLength characters, at least 17). */
VIDLYN_API int Vidlyn_GetDeviceName(int handle, int index, char* name, int nameLength);
VIDLYN_API int Vidlyn_GetDeviceNameW(int handle, int index, wchar_t* name, int nameLength);
/* Selects and opens camera index (0-based). */
VIDLYN_API int Vidlyn_SetDeviceNumber(int handle, int index);
/* Fills *info; set info->size first. */
VIDLYN_API int Vidlyn_GetCameraInfo(int handle, VIDLYN_CAMERA_INFO* info);
/* Always 0. */
VIDLYN_API int Vidlyn_GetStatus(int handle);
/* Width of the capture area in pixels. */
VIDLYN_API int Vidlyn_Width(int handle);
/* Height of the capture area in pixels. */
VIDLYN_API int Vidlyn_Height(int handle);

/* ---- Image adjustment and dialogs ---------------------------------------- */

/* Sets parameter id (VIDLYN_FILTER_...) to value; 0 and error 9 when out of range. */
VIDLYN_API int Vidlyn_SetFilterValue(int handle, int id, int value);
/* Returns parameter id; *ok (when ok is not NULL) receives 1, or 0 on failure. */
VIDLYN_API int Vidlyn_GetFilterValue(int handle, int id, int* ok);
/* Exposure time in microseconds for the current exposure value; *ok = 1. */
VIDLYN_API int Vidlyn_GetRealExposureTime(int handle, int* ok);
/* Shows the image and gray filter dialog. */
VIDLYN_API int Vidlyn_SetImageDlg(int handle, HWND parent);
/* Shows the analog gain and exposure dialog. */
VIDLYN_API int Vidlyn_SetAnalogDlg(int handle, HWND parent);

/* ---- Register access ----------------------------------------------------- */

/* Writes sensor register address (low 8 bits) with value (low 8 bits). */
VIDLYN_API int Vidlyn_WriteRegister(int handle, int address, int value);
/* Not available on this camera: *ok = 0, returns 0. */
VIDLYN_API int Vidlyn_ReadRegister(int handle, int address, int* ok);
/* Serial ROM access; not available on this camera (returns 0, error 1). */
VIDLYN_API int Vidlyn_WriteSromID(int handle, int address, int value);
VIDLYN_API int Vidlyn_ReadSromID(int handle, int address, int* ok);

/* ---- Fixed answers ------------------------------------------------------- */

/* Always 0 for an open session; -1 for an unknown handle. */
VIDLYN_API int Vidlyn_GetSubSample(int handle);
/* Write 0 to *value (when not NULL) and return 0. */
VIDLYN_API int Vidlyn_GetHalfClock(int handle, int* value);
VIDLYN_API int Vidlyn_GetSamplingRate(int handle, int* value);
VIDLYN_API int Vidlyn_GetVideoFormat(int handle, int* value);

/* ---- Not supported by this camera: return 0 and report error 11 ---------- */

VIDLYN_API int Vidlyn_Fps(int handle, int* fps);
VIDLYN_API int Vidlyn_GetCameraType(int handle, int* type);
VIDLYN_API int Vidlyn_GetCaptureWindowEx(int handle, int* x, int* y, int* width, int* height);
VIDLYN_API int Vidlyn_GetIOPort(int handle, int* value);
VIDLYN_API int Vidlyn_SetCameraType(int handle, int type);
VIDLYN_API int Vidlyn_SetCaptureWindow(int handle, int x, int y, int width, int height);
VIDLYN_API int Vidlyn_SetCaptureWindowEx(int handle, int x, int y, int width, int height);
VIDLYN_API int Vidlyn_SetCrossbar(int handle, int input);
VIDLYN_API int Vidlyn_SetHalfClock(int handle, int flag);
VIDLYN_API int Vidlyn_SetIOPort(int handle, int value);
VIDLYN_API int Vidlyn_SetSamplingRate(int handle, int rate);
VIDLYN_API int Vidlyn_SetSubSample(int handle, int code);
VIDLYN_API int Vidlyn_Trigger(int handle);

/* ---- Named shortcuts of Vidlyn_SetFilterValue / Vidlyn_GetFilterValue ---- */

VIDLYN_API int Vidlyn_SetBrightness(int handle, int value); /* id 1 */
VIDLYN_API int Vidlyn_GetBrightness(int handle, int* ok);
VIDLYN_API int Vidlyn_SetContrast(int handle, int value); /* id 2 */
VIDLYN_API int Vidlyn_GetContrast(int handle, int* ok);
VIDLYN_API int Vidlyn_SetHue(int handle, int value); /* id 3 */
VIDLYN_API int Vidlyn_GetHue(int handle, int* ok);
VIDLYN_API int Vidlyn_SetSaturation(int handle, int value); /* id 4 */
VIDLYN_API int Vidlyn_GetSaturation(int handle, int* ok);
VIDLYN_API int Vidlyn_SetSharpness(int handle, int value); /* id 5 */
VIDLYN_API int Vidlyn_GetSharpness(int handle, int* ok);
VIDLYN_API int Vidlyn_SetBayerGainRGB(int handle, int value); /* id 6 */
VIDLYN_API int Vidlyn_GetBayerGainRGB(int handle, int* ok);
VIDLYN_API int Vidlyn_SetBayerGainRed(int handle, int value); /* id 7 */
VIDLYN_API int Vidlyn_GetBayerGainRed(int handle, int* ok);
VIDLYN_API int Vidlyn_SetBayerGainGreen(int handle, int value); /* id 8 */
VIDLYN_API int Vidlyn_GetBayerGainGreen(int handle, int* ok);
VIDLYN_API int Vidlyn_SetBayerGainBlue(int handle, int value); /* id 9 */
VIDLYN_API int Vidlyn_GetBayerGainBlue(int handle, int* ok);
VIDLYN_API int Vidlyn_SetBayerGainAuto(int handle, int value); /* id 10 */
VIDLYN_API int Vidlyn_GetBayerGainAuto(int handle, int* ok);
VIDLYN_API int Vidlyn_SetGamma(int handle, int value); /* id 11 */
VIDLYN_API int Vidlyn_GetGamma(int handle, int* ok);
VIDLYN_API int Vidlyn_SetBayerMode(int handle, int value); /* id 12 */
VIDLYN_API int Vidlyn_GetBayerMode(int handle, int* ok);
VIDLYN_API int Vidlyn_SetGlobalGain(int handle, int value); /* id 13 */
VIDLYN_API int Vidlyn_GetGlobalGain(int handle, int* ok);
VIDLYN_API int Vidlyn_SetColorGainRed(int handle, int value); /* id 14 */
VIDLYN_API int Vidlyn_GetColorGainRed(int handle, int* ok);
VIDLYN_API int Vidlyn_SetColorGainGreen1(int handle, int value); /* id 15 */
VIDLYN_API int Vidlyn_GetColorGainGreen1(int handle, int* ok);
VIDLYN_API int Vidlyn_SetColorGainGreen2(int handle, int value); /* id 16 */
VIDLYN_API int Vidlyn_GetColorGainGreen2(int handle, int* ok);
VIDLYN_API int Vidlyn_SetColorGainBlue(int handle, int value); /* id 17 */
VIDLYN_API int Vidlyn_GetColorGainBlue(int handle, int* ok);
VIDLYN_API int Vidlyn_SetExposureTime(int handle, int value); /* id 18 */
VIDLYN_API int Vidlyn_GetExposureTime(int handle, int* ok);   /* waits 120 ms */
VIDLYN_API int Vidlyn_SetGrayMode(int handle, int value);     /* id 19 */
VIDLYN_API int Vidlyn_GetGrayMode(int handle, int* ok);
VIDLYN_API int Vidlyn_SetGrayGainR(int handle, int value); /* id 20 */
VIDLYN_API int Vidlyn_GetGrayGainR(int handle, int* ok);
VIDLYN_API int Vidlyn_SetGrayGainG1(int handle, int value); /* id 21 */
VIDLYN_API int Vidlyn_GetGrayGainG1(int handle, int* ok);
VIDLYN_API int Vidlyn_SetGrayGainG2(int handle, int value); /* id 22 */
VIDLYN_API int Vidlyn_GetGrayGainG2(int handle, int* ok);
VIDLYN_API int Vidlyn_SetGrayGainB(int handle, int value); /* id 23 */
VIDLYN_API int Vidlyn_GetGrayGainB(int handle, int* ok);
VIDLYN_API int Vidlyn_SetGrayOffsetR(int handle, int value); /* id 24 */
VIDLYN_API int Vidlyn_GetGrayOffsetR(int handle, int* ok);
VIDLYN_API int Vidlyn_SetGrayOffsetG1(int handle, int value); /* id 25 */
VIDLYN_API int Vidlyn_GetGrayOffsetG1(int handle, int* ok);
VIDLYN_API int Vidlyn_SetGrayOffsetG2(int handle, int value); /* id 26 */
VIDLYN_API int Vidlyn_GetGrayOffsetG2(int handle, int* ok);
VIDLYN_API int Vidlyn_SetGrayOffsetB(int handle, int value); /* id 27 */
VIDLYN_API int Vidlyn_GetGrayOffsetB(int handle, int* ok);

#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(VIDLYN_FRAME_NOTICE) == 32, "frame notice record is 32 bytes");
static_assert(offsetof(VIDLYN_FRAME_NOTICE, buffer) == 24, "frame notice buffer pointer at byte 24");
static_assert(sizeof(VIDLYN_CAMERA_INFO) == 36, "camera information record is 36 bytes");
static_assert(offsetof(VIDLYN_CAMERA_INFO, exposureMax) == 32, "exposureMax at byte 32");
#endif

#endif /* VIDLYN_SDK_H */
