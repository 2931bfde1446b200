/*
 * VidlynSdk.h - public interface of VidlynSdk_USB3_QM7720E.dll, the software
 * development kit of the Vidlyn QM7720E USB 3.0 colour camera (4896 x 3264,
 * Bayer sensor). This header is the reference for every function.
 *
 * Usage in short:
 *   int h = Vidlyn_Initialize(hwndForErrors);    open a session
 *   Vidlyn_SetColorMode(h, 24);                  pick the output format
 *   Vidlyn_Preview(h);                           live video in a window
 *   Vidlyn_SaveImage(h, "frame.png", VIDLYN_FORMAT_PNG);
 *   Vidlyn_Release(h);                           close and free the session
 *
 * Sessions and handles. Vidlyn_Initialize opens a session and returns its
 * handle; every other function except Vidlyn_GetDllVersion takes that handle
 * first. Release every handle with Vidlyn_Release.
 *
 * Results. Every function returns a 32-bit integer: 1 for success and 0 for
 * failure, or the value asked for.
 *
 * Unknown handle. A handle that was never issued, or was released, makes
 * every function return its failure value at once: 0, or -1 for
 * Vidlyn_GetColorMode, Vidlyn_GetSubSample and Vidlyn_GetWaitTime. Nothing
 * is reported and nothing is written through pointer arguments: the ok,
 * valid and value out-parameters of the getters keep what the caller put
 * there.
 *
 * Out-parameters. Getters that also tell whether their value is valid take
 * an int* (ok, valid) that may be NULL; otherwise it receives 1 or 0. On 0
 * the returned value is 0 and means nothing.
 *
 * Error codes. A failure inside a session is made known in one of two ways,
 * named so below:
 *   "reports N"   N is recorded in the session's error history (the last
 *                 20 codes, read newest first with Vidlyn_GetLastError) and
 *                 posted as VIDLYN_MSG_ERROR to the window given to
 *                 Vidlyn_Initialize (when that window is not NULL).
 *   "notifies N"  N is only posted as VIDLYN_MSG_ERROR and never enters the
 *                 history; with a NULL window the message goes to the queue
 *                 of the calling thread.
 * The preview's frame path also sends codes 5, 8 and 13 to the callback
 * window as VIDLYN_MSG_FRAME (see Vidlyn_CallBackPreview).
 *
 * No device. Functions that need the camera report VIDLYN_ERR_NO_CAMERA (1)
 * when the session has no device object (Vidlyn_Initialize ran out of
 * memory and reported 5). A session opened without a connected camera does
 * have a device object: its settings functions work, and acquisition fails
 * with 2.
 *
 * Threads. Call the library from one thread at a time. Messages are posted,
 * never sent: the application's window procedure sees them later.
 *
 * Settings. The filter, gray and analog settings live in the session and
 * are written to HKEY_CURRENT_USER\Software\Norvex\VidlynQM77203Sdk when the
 * session is released; the next session starts with them. The stream format
 * (colour mode, wait time, capture area) is stored by the camera format
 * dialog.
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
#define VIDLYN_ERR_TRANSFER 8         /* a frame could not be transferred, or the camera stalled */
#define VIDLYN_ERR_INVALID_ARGUMENT 9 /* an argument is out of range or a pointer is null */
/* code 10 is never reported */
#define VIDLYN_ERR_NOT_SUPPORTED 11    /* the function is not supported by this camera */
#define VIDLYN_ERR_SETTINGS 12         /* stored settings missing (also on first start) or file name failure */
#define VIDLYN_ERR_TRANSFER_STOPPED 13 /* the camera's frame transfer failed; streaming has stopped */

/* Camera faults while streaming. The application always hears of them:
 *   Stall: the camera answers but has had no frame ready for 2 s (a working
 *     camera waits at most 0.58 s: the longest exposure, 289 ms, plus one
 *     frame at full size, 289 ms). Reported with 8 once per stall, within
 *     2.5 s of the last frame; streaming goes on, and frames are delivered again
 *     as soon as the camera sends them.
 *   Lost camera: it has not answered for 2 s (unplugged, or another device
 *     answers in its place). Reported with 13 within 2.5 s of its last answer;
 *     streaming has ended. The next Vidlyn_StartPreview (or Vidlyn_Preview
 *     after Vidlyn_Close) looks for the camera again and starts a new
 *     stream: it works once the camera is plugged back in, and fails with 2
 *     while it is not.
 * Both codes also go to the window of Vidlyn_CallBackPreview. Every stop
 * returns within one frame transfer and one conversion (well under a second
 * on a USB 3.0 link, whatever the camera does), and files written before the
 * fault stay whole: a recording it ends is completed with its index. */

/* ---- Still image formats (Vidlyn_SaveImage, Vidlyn_SaveImageW) ----------- */

#define VIDLYN_FORMAT_BMP 0       /* Windows bitmap with the buffer's own bit count */
#define VIDLYN_FORMAT_RAW 1       /* the pixel memory as it is, no header */
#define VIDLYN_FORMAT_JPEG_HIGH 2 /* JPEG, quality 100 */
#define VIDLYN_FORMAT_JPEG_MID 3  /* JPEG, quality 70 */
#define VIDLYN_FORMAT_JPEG_LOW 4  /* JPEG, quality 20 */
#define VIDLYN_FORMAT_PNG 5       /* PNG, 8 or 16 bits per sample */
#define VIDLYN_FORMAT_TIFF 6      /* TIFF, uncompressed */

/* ---- Image adjustment parameter ids (Vidlyn_SetFilterValue) -------------- */
/* Range accepted by Vidlyn_SetFilterValue, and the value of a first start.
 * The adjustments are applied to every converted frame, each skipped at its
 * neutral value. */

#define VIDLYN_FILTER_BRIGHTNESS 1       /* -255 .. 255, default 0 = off */
#define VIDLYN_FILTER_CONTRAST 2         /* -127 .. 127, default 0 = off */
#define VIDLYN_FILTER_HUE 3              /* -360 .. 360 degrees, default 0; colour modes only */
#define VIDLYN_FILTER_SATURATION 4       /* -255 .. 255, default 0; colour modes only */
#define VIDLYN_FILTER_SHARPNESS 5        /* 0 .. 30, default 0 = off */
#define VIDLYN_FILTER_BAYER_GAIN_RGB 6   /* ids 7..9 packed: red | green << 8 | blue << 16, 8 bits each */
#define VIDLYN_FILTER_BAYER_GAIN_RED 7   /* white balance red, 0 .. 800 percent, default 100 */
#define VIDLYN_FILTER_BAYER_GAIN_GREEN 8 /* white balance green, 0 .. 800 percent, default 100 */
#define VIDLYN_FILTER_BAYER_GAIN_BLUE 9  /* white balance blue, 0 .. 800 percent, default 100 */
#define VIDLYN_FILTER_BAYER_GAIN_AUTO 10 /* automatic white balance on every frame, 0 or 1, default 0 */
#define VIDLYN_FILTER_GAMMA 11           /* 0 .. 200, default 100 = neutral */
#define VIDLYN_FILTER_BAYER_MODE 12      /* colour filter phase of the first pixel, 0 .. 3, default 3 */
#define VIDLYN_FILTER_GLOBAL_GAIN 13     /* sensor analog gain, 0 .. 1023, default 100 */
#define VIDLYN_FILTER_COLOR_GAIN_RED 14  /* not available on this camera (error 9) */
#define VIDLYN_FILTER_COLOR_GAIN_G1 15   /* not available on this camera (error 9) */
#define VIDLYN_FILTER_COLOR_GAIN_G2 16   /* not available on this camera (error 9) */
#define VIDLYN_FILTER_COLOR_GAIN_BLUE 17 /* not available on this camera (error 9) */
#define VIDLYN_FILTER_EXPOSURE 18        /* exposure value 1 .. 3335, larger is shorter, default 100 */
#define VIDLYN_FILTER_GRAY_MODE 19       /* 8-bit mode: 0 raw mosaic, 1 per-site gains/offsets, 2 gray */
#define VIDLYN_FILTER_GRAY_GAIN_R 20     /* 0 .. 255, default 128 = unity; gray mode 1 */
#define VIDLYN_FILTER_GRAY_GAIN_G1 21    /* 0 .. 255, default 128 */
#define VIDLYN_FILTER_GRAY_GAIN_G2 22    /* 0 .. 255, default 128 */
#define VIDLYN_FILTER_GRAY_GAIN_B 23     /* 0 .. 255, default 128 */
#define VIDLYN_FILTER_GRAY_OFFSET_R 24   /* -255 .. 255, default 0; gray mode 1 */
#define VIDLYN_FILTER_GRAY_OFFSET_G1 25  /* -255 .. 255, default 0 */
#define VIDLYN_FILTER_GRAY_OFFSET_G2 26  /* -255 .. 255, default 0 */
#define VIDLYN_FILTER_GRAY_OFFSET_B 27   /* -255 .. 255, default 0 */

/* ---- Records ------------------------------------------------------------- */

/* Sent with VIDLYN_MSG_FRAME (its address in wParam); 32 bytes. The record
 * belongs to the session and is overwritten with every frame. It stays
 * readable after Vidlyn_Release: a message still queued then points at the
 * notice of the session's last frame. */
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

/* Returns VIDLYN_DLL_VERSION (0x013A0519). Needs no session. */
VIDLYN_API int Vidlyn_GetDllVersion(void);

/* Opens a session with the first camera found and returns its handle, or 0
 * when not even the session could be made.
 *   notifyWnd  window that receives VIDLYN_MSG_ERROR for this session's
 *              errors; may be NULL (the codes are then only recorded).
 * A handle is returned also when the camera could not be set up; release it
 * with Vidlyn_Release all the same. Reports (read them with
 * Vidlyn_GetLastError on the new handle):
 *   5   the device object or a frame buffer could not be allocated; the
 *       session then fails most calls with 1 or 5
 *   12  no stored settings (always on the first start on a machine, when
 *       the defaults have just been stored) or no stored capture area
 *   7   the stored capture area lies outside the sensor; the full sensor
 *       is used instead */
VIDLYN_API int Vidlyn_Initialize(HWND notifyWnd);

/* Saves the filter, gray and analog settings to the registry, closes the
 * preview window, stops acquisition and recording, closes the camera and
 * frees the session. Returns 1; 0 for an unknown handle (a second release
 * of the same handle). Reports nothing. */
VIDLYN_API int Vidlyn_Release(int handle);

/* Removes and returns the newest code of the session's error history (the
 * last 20 reported codes); 0 when the history is empty. Successive calls
 * return the codes newest first; a code stays until it is read or 20 newer
 * codes have come, also while a stream runs. Codes that were only notified
 * are not in the history, nor is code 0: the VIDLYN_MSG_ERROR with lParam 0
 * that every converted frame posts while auto iris is off (see
 * Vidlyn_SetAutoIris) leaves the history alone. */
VIDLYN_API int Vidlyn_GetLastError(int handle);

/* ---- Acquisition --------------------------------------------------------- */

/* Starts streaming without a window: frames are converted continuously and
 * are available to Vidlyn_GetImage. Returns 1 when streaming (also when it
 * already was: nothing is restarted, unless the camera was lost, code 13),
 * 0 on failure. Reports:
 *   1   no device; capture is armed (Vidlyn_Capture: stop first); or the
 *       preparation failed, after its own code:
 *       2 camera not found, 7 capture area invalid, 5 no memory for buffers
 *   2   the camera does not answer: unplugged, another device in its
 *       place, or listed but its disk could not be opened
 *   3   the acquisition thread could not be created
 *   6   the camera refused to start streaming */
VIDLYN_API int Vidlyn_StartPreview(int handle);

/* Stops streaming, recording and armed capture; waits until the worker
 * threads have ended (up to one frame: the wait time is cut short). From then
 * on the library no longer uses the buffer and window given to
 * Vidlyn_CallBackPreview. The preview window stays until Vidlyn_Close or
 * the next Vidlyn_Preview. Returns 1, also when nothing ran; 0 on
 * failure. Reports 1 (no device) or 6 (the camera refused to stop; the
 * session is stopped all the same). */
VIDLYN_API int Vidlyn_StopPreview(int handle);

/* Creates the preview window (see Vidlyn_SetPreviewWindow) and streams into
 * it. Returns 1, or 0 when the session already streams or has capture armed
 * (nothing reported) or on failure. Reports:
 *   4   the window or its drawing context could not be made
 *   8   streaming could not start (after the start's own code, as for
 *       Vidlyn_StartPreview); the window is closed again */
VIDLYN_API int Vidlyn_Preview(int handle);

/* Like Vidlyn_Preview, and hands every converted frame to the application:
 *   callbackWnd  receives VIDLYN_MSG_FRAME for every frame, wParam the
 *                address of the session's VIDLYN_FRAME_NOTICE (valid until
 *                the next frame), lParam 0. When the frame path fails it
 *                receives wParam 0 and lParam 5 (buffer too small), 8 (a
 *                frame could not be taken, or the camera stalled; streaming
 *                goes on) or 13 (the camera was lost; streaming has ended).
 *                May be NULL.
 *   buffer       the application's memory that each frame is copied into
 *                before the message; NULL (or bufferSize 0) copies nothing.
 *   bufferSize   its size in bytes; it must hold height x stride bytes of
 *                the output frame, where stride is width x bytes per pixel
 *                (1, 2, 3, 4, 6 or 8 by the colour mode) rounded up to a
 *                multiple of 4, and width and height are those of
 *                Vidlyn_Width and Vidlyn_Height divided by the subsampling
 *                (the frame notice's width and height).
 *                A smaller buffer receives nothing and no frame notice.
 *   rowOrder     0: the bottom row of the picture first (a bottom-up DIB);
 *                non-zero: the top row first. Every row is copied with its
 *                full stride.
 * Results and reports as for Vidlyn_Preview; the frame path reports 5, 8
 * and 13 as well.
 * Keeping up: the library copies each frame into buffer on its own thread
 * and posts the message; it never waits for the application. The next frame
 * rewrites buffer, also while the window procedure may still be reading it.
 * When the window procedure takes longer than the camera's frame time, the
 * messages queue up in the window's message queue and each one is handled
 * late, after buffer already holds a newer frame (Windows drops posted
 * messages beyond 10 000 per thread). To keep up, copy the frame out of
 * buffer at once and return, doing the slow work elsewhere; or pass a NULL
 * buffer and take frames with Vidlyn_GetImage, which hands out whole frames,
 * each once, whenever the application is ready for the next. */
VIDLYN_API int Vidlyn_CallBackPreview(int handle, HWND callbackWnd, void* buffer, int bufferSize, int rowOrder);

/* Records the live stream into an uncompressed 24-bit AVI file and keeps
 * streaming afterwards (stop it with Vidlyn_StopPreview or Vidlyn_Close).
 *   fileName    the AVI file, created or overwritten
 *   duration    milliseconds to record, counted from the first frame
 *   withWindow  non-zero: also show the preview window
 * Starts streaming when the session is idle and joins a running stream.
 * The recording ends when its time is up, when the file would pass 4 GiB,
 * or when streaming stops (Vidlyn_StopPreview, Vidlyn_Close, Vidlyn_Release);
 * the file is complete (index written, frame rate measured) in every case.
 * Returns 1 when recording started, 0 on failure. Reports:
 *   9   fileName is NULL or empty, or duration is negative
 *   1   a recording of this session is still running (it goes on)
 *   4   the window or its drawing context could not be made
 *   12  the file could not be created (or, later, written: the recording
 *       ends there with the frames written so far)
 *   3   the record thread could not be created
 *   and the codes of Vidlyn_StartPreview when streaming cannot start (1
 *   while capture is armed); failures after the window was made close it
 *   again. */
VIDLYN_API int Vidlyn_Record(int handle, const char* fileName, int duration, int withWindow);
/* Vidlyn_Record with a wide file name, used as it is: any name the file
 * system can hold works, also one outside the system's code page. A NULL
 * name, one longer than 1023 characters or one that is not valid UTF-16 (a
 * lone surrogate) reports 12. */
VIDLYN_API int Vidlyn_RecordW(int handle, const wchar_t* fileName, int duration, int withWindow);

/* Arms single-frame capture: the buffers are prepared once and each
 * Vidlyn_SnapShot takes one frame. Also raises the camera read time-out to
 * 5000 ms for the rest of the session. Returns 1 (also when already armed),
 * 0 on failure. Reports 1: no device, streaming, or the preparation failed
 * (after its own code 2, 7 or 5). */
VIDLYN_API int Vidlyn_Capture(int handle);

/* Closes the preview window and stops streaming, capture and recording.
 * Always returns 1 for a known handle; a failure to stop is reported as for
 * Vidlyn_StopPreview. */
VIDLYN_API int Vidlyn_Close(int handle);

/* Takes one frame on the caller's thread (waiting at most the read time-out),
 * converts it and copies it into buffer. Works idle (the buffers are
 * prepared for this frame) and with capture armed; not while streaming.
 *   buffer, bufferSize, rowOrder  as for Vidlyn_CallBackPreview; a NULL
 *                buffer or bufferSize 0 only converts the frame, which
 *                Vidlyn_GetImage can then fetch.
 * Returns 1, 0 on failure. Reports:
 *   1   no device; streaming; the preparation failed (after its own code)
 *   8   the camera did not deliver the frame
 *   5   buffer smaller than the frame (recorded twice) */
VIDLYN_API int Vidlyn_SnapShot(int handle, void* buffer, int bufferSize, int rowOrder);

/* Copies the newest converted frame into buffer, once per frame and always
 * whole (never part of one frame and part of the next).
 *   buffer, bufferSize, rowOrder  as for Vidlyn_CallBackPreview; buffer
 *                must not be NULL.
 * Returns 1 when a frame was copied; 0 without a report when no new frame
 * arrived since the last call; 0 on failure. Reports:
 *   1   no device, or no frame buffer for the colour mode
 *   5   no frame yet, buffer NULL, or buffer smaller than the frame */
VIDLYN_API int Vidlyn_GetImage(int handle, void* buffer, int bufferSize, int rowOrder);

/* Shows the modal camera format dialog (colour mode, wait time; the size
 * presets, subsampling and clock are shown but fixed on this camera), owned
 * by parent. Acquisition is stopped while it is open and resumed afterwards
 * in the same mode; after OK the session takes the new format. Returns 1
 * when the dialog has closed (OK or Cancel), 0 on failure. Reports 1 (no
 * device) and 12 (after OK, the stored format could not be read back). */
VIDLYN_API int Vidlyn_SetCameraDlg(int handle, HWND parent);

/* ---- Output -------------------------------------------------------------- */

/* Where the next preview window appears: a child of parent at x, y with the
 * given width and height (client pixels of parent). With parent NULL the
 * window is a top-level window centred on the screen. A window already open
 * is not moved. Returns 1; 0 and reports 1 when the session has no device. */
VIDLYN_API int Vidlyn_SetPreviewWindow(int handle, HWND parent, int x, int y, int width, int height);

/* Writes the current output frame (whatever it holds at the moment of the
 * call) to a file.
 *   fileName  created or overwritten
 *   format    VIDLYN_FORMAT_...: BMP (the frame's own bit count), raw
 *             pixel memory, JPEG (8-bit gray or 24-bit colour) at three
 *             qualities, PNG or TIFF (16-bit samples for the 16-, 48- and
 *             64-bit modes). The picture's top row is the top of the file's
 *             picture in every format.
 * Returns 1, 0 on failure. Reports 1 when the session has no device or the
 * colour mode has no frame buffer. An unknown format, no frame yet, a NULL
 * name, or a file that cannot be written returns 0 without a report. */
VIDLYN_API int Vidlyn_SaveImage(int handle, const char* fileName, int format);
/* Vidlyn_SaveImage with a wide file name, used as it is: any name the file
 * system can hold works, also one outside the system's code page. A NULL
 * name, one longer than 1023 characters or one that is not valid UTF-16 (a
 * lone surrogate) reports 1. */
VIDLYN_API int Vidlyn_SaveImageW(int handle, const wchar_t* fileName, int format);

/* ---- Session settings ---------------------------------------------------- */

/* Output format in bits per pixel: 8 (monochrome or raw mosaic, see
 * VIDLYN_FILTER_GRAY_MODE), 16 (monochrome, 10 bits in 16), 24 and 32 (BGR
 * colour), 48 and 64 (colour, 10 bits in each 16-bit sample). Takes effect
 * at the next start. Returns 1, 0 on failure. Reports 9 for another value
 * and 1 while streaming or capture is armed (stop first). Needs no camera. */
VIDLYN_API int Vidlyn_SetColorMode(int handle, int bits);
/* Bits per pixel of the output format; -1 for an unknown handle, and -1 when
 * the stored colour mode is none of the six. Reports nothing. */
VIDLYN_API int Vidlyn_GetColorMode(int handle);

/* Mirrors the picture upside down (flag non-zero) or not (0). Every call also
 * moves the colour filter phase (VIDLYN_FILTER_BAYER_MODE: 0<->1, 2<->3),
 * whatever the flag was before, so that the colours stay right. Returns 1;
 * 0 and notifies 1 (never recorded) without a device. */
VIDLYN_API int Vidlyn_SetMirrorV(int handle, int flag);
/* The vertical mirror flag, 0 or 1; 0 and notifies 1 (never recorded)
 * without a device. */
VIDLYN_API int Vidlyn_GetMirrorV(int handle);
/* Mirrors the picture left to right (flag non-zero) or not (0). Every call
 * also moves the colour filter phase (0<->2, 1<->3). Returns 1; 0 and
 * reports 1 (recorded, unlike the vertical pair) without a device. */
VIDLYN_API int Vidlyn_SetMirrorH(int handle, int flag);
/* The horizontal mirror flag, 0 or 1; 0 and reports 1 without a device. */
VIDLYN_API int Vidlyn_GetMirrorH(int handle);

/* Automatic exposure from the picture itself, measured on every third frame
 * in five small windows (the centre and near the four corners):
 *   0  off; every converted frame then notifies code 0 (a VIDLYN_MSG_ERROR
 *      with lParam 0 to the window of Vidlyn_Initialize; never recorded)
 *   1  regulates the exposure value (VIDLYN_FILTER_EXPOSURE)
 *   2  regulates the global gain (VIDLYN_FILTER_GLOBAL_GAIN)
 * Returns 1; for another mode 0 and notifies 9 (never recorded). Needs no
 * camera. While the mode is 1 or 2 and the frame path has no frame or no
 * device, each frame reports 9. */
VIDLYN_API int Vidlyn_SetAutoIris(int handle, int mode);
/* The automatic exposure mode 0, 1 or 2. Writes 1 to *valid when valid is
 * not NULL (always valid for a known handle). Needs no camera. */
VIDLYN_API int Vidlyn_GetAutoIris(int handle, int* valid);

/* Milliseconds the acquisition loop sleeps before asking the camera for a
 * new frame (default 10): the polling period, so also the shortest frame
 * interval the application sees. Takes effect at the next sleep. Returns 1;
 * a negative value returns 0 without any report. */
VIDLYN_API int Vidlyn_SetWaitTime(int handle, int ms);
/* The wait time in milliseconds; -1 for an unknown handle. */
VIDLYN_API int Vidlyn_GetWaitTime(int handle);

/* ---- Camera selection and information ------------------------------------ */

/* Lists the cameras found when the session was opened, as display names
 * "VidlynQM7720E_01", "VidlynQM7720E_02", ...
 *   names  10 entries of 256 chars, one after the other (2560 bytes); the
 *          entries after the last camera receive empty strings. With more
 *          than ten cameras only the first ten are named.
 * Returns the number of cameras (also beyond ten); 0 and reports 1 without
 * a device, 9 when names is NULL. */
VIDLYN_API int Vidlyn_EnumDevice(int handle, char* names);
/* The same with 10 entries of 256 wide characters (5120 bytes). */
VIDLYN_API int Vidlyn_EnumDeviceW(int handle, wchar_t* names);

/* Writes the display name of camera index (0-based) into name.
 *   nameLength  room in name, in characters; at least 17 (16 characters
 *               and the terminator) for indexes below 99
 * Returns 1, 0 on failure. Reports 1 (no device), 9 (name NULL, nameLength
 * below the name's length + 1, or index outside the cameras found) and 2 (the camera
 * does not answer, or the wide name cannot be formed). */
VIDLYN_API int Vidlyn_GetDeviceName(int handle, int index, char* name, int nameLength);
/* The same in wide characters; nameLength counts wide characters. */
VIDLYN_API int Vidlyn_GetDeviceNameW(int handle, int index, wchar_t* name, int nameLength);

/* Selects and opens camera index (0-based, as listed by Vidlyn_EnumDevice);
 * the next start works with it. Returns 1, 0 on failure. Reports 1 (no
 * device, or a stream runs or a capture is armed: stop first; nothing is
 * changed then) and 2 (no camera at that index, or it cannot be opened). */
VIDLYN_API int Vidlyn_SetDeviceNumber(int handle, int index);

/* Fills the camera information record.
 *   info  set info->size to sizeof(VIDLYN_CAMERA_INFO) (at least 36) first;
 *         the fields after size are written, size is not changed.
 * Returns 1, 0 on failure. Reports 1 (no device), 9 (info NULL) and 5
 * (info->size below 36; the record is left untouched). */
VIDLYN_API int Vidlyn_GetCameraInfo(int handle, VIDLYN_CAMERA_INFO* info);

/* Always 0, for a known handle as for an unknown one. */
VIDLYN_API int Vidlyn_GetStatus(int handle);
/* Width of the capture area in sensor pixels (before subsampling). Needs no
 * camera; reports nothing. */
VIDLYN_API int Vidlyn_Width(int handle);
/* Height of the capture area in sensor pixels (before subsampling). */
VIDLYN_API int Vidlyn_Height(int handle);

/* ---- Image adjustment and dialogs ---------------------------------------- */

/* Sets image adjustment parameter id (VIDLYN_FILTER_...) to value. The
 * ranges are given with the ids; VIDLYN_FILTER_BAYER_GAIN_RGB and
 * VIDLYN_FILTER_BAYER_GAIN_AUTO take any value. The global gain and the
 * exposure value are written to the camera at once; the others take effect
 * with the next converted frame. Returns 1 when the value is stored (also
 * when the camera is not connected and the register write failed), 0 on
 * failure, the parameter unchanged. Reports 1 (no device) and 9 (id outside
 * 1..27, ids 14..17 which this camera does not have, or value out of
 * range). */
VIDLYN_API int Vidlyn_SetFilterValue(int handle, int id, int value);
/* Returns the value of parameter id; *ok (when ok is not NULL) receives 1,
 * or 0 on failure, when 0 is returned. The global gain and the exposure
 * value are read back as the camera last accepted them; reading the
 * exposure first waits 120 ms for the camera to settle, and gives ok 0
 * (nothing reported) when the camera never accepted one. The packed white
 * balance holds the low 8 bits of each gain (a gain above 255 reads back
 * modulo 256). Reports 1 (no device) and 9 (id outside 1..27, or 14..17). */
VIDLYN_API int Vidlyn_GetFilterValue(int handle, int id, int* ok);
/* The exposure time in microseconds that the current exposure value gives,
 * ((3335 - value) x 2775 + 578) / 32, truncated: 280553 for the default
 * 100, 18 for 3335. Writes 1 to *ok when ok is not NULL. Needs no camera;
 * reports nothing. */
VIDLYN_API int Vidlyn_GetRealExposureTime(int handle, int* ok);

/* Shows the modal image filter dialog owned by parent: brightness, contrast,
 * hue, saturation, sharpness, white balance (with automatic white balance),
 * gamma and the colour filter phase, and in the monochrome modes a second
 * page for the gray processing. Changes show in the running preview at
 * once; Cancel restores the values the dialog found. Returns 1 when the
 * dialog has closed, 0 and reports 1 without a device. */
VIDLYN_API int Vidlyn_SetImageDlg(int handle, HWND parent);
/* Shows the modal analog dialog owned by parent: global gain and exposure
 * (sent to the camera at once), the mirror flags and the automatic exposure
 * mode. Cancel restores the values the dialog found, also in the camera.
 * Returns 1 when the dialog has closed, 0 and reports 1 without a device. */
VIDLYN_API int Vidlyn_SetAnalogDlg(int handle, HWND parent);

/* ---- Register access ----------------------------------------------------- */
/* These functions only notify their errors: the history never keeps them. */

/* Writes sensor register address with value; only the low 8 bits of each
 * are used. A running stream is paused at a frame boundary for the write
 * (at most 1000 ms). Returns 1, 0 on failure. Notifies 1 (no device) and 6
 * (the camera refused the write, or the stream did not pause in time). */
VIDLYN_API int Vidlyn_WriteRegister(int handle, int address, int value);
/* Not available on this camera: writes 0 to *ok (when ok is not NULL),
 * notifies 1 and returns 0. */
VIDLYN_API int Vidlyn_ReadRegister(int handle, int address, int* ok);
/* The camera's serial ROM; this camera has none. Write: returns 0 and
 * notifies 1. Read: writes 0 to *ok (when ok is not NULL), notifies 1 and
 * returns 0. */
VIDLYN_API int Vidlyn_WriteSromID(int handle, int address, int value);
VIDLYN_API int Vidlyn_ReadSromID(int handle, int address, int* ok);

/* ---- Fixed answers ------------------------------------------------------- */

/* Always 0 for a known handle (full size as far as this function tells);
 * -1 for an unknown handle. */
VIDLYN_API int Vidlyn_GetSubSample(int handle);
/* Write 0 to *value (when value is not NULL) and return 0; report nothing. */
VIDLYN_API int Vidlyn_GetHalfClock(int handle, int* value);
VIDLYN_API int Vidlyn_GetSamplingRate(int handle, int* value);
VIDLYN_API int Vidlyn_GetVideoFormat(int handle, int* value);

/* ---- Not supported by this camera ---------------------------------------- */
/* Each returns 0 and notifies VIDLYN_ERR_NOT_SUPPORTED (11), never recorded.
 * The arguments after the handle are not read: out-parameters are not
 * written. */

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
/* Vidlyn_SetXxx(handle, value) is exactly Vidlyn_SetFilterValue(handle, id,
 * value) and Vidlyn_GetXxx(handle, ok) exactly Vidlyn_GetFilterValue(handle,
 * id, ok), with the id given: same ranges, results and reports (1 without a
 * device, 9 out of range). The range and meaning are those of the id's
 * VIDLYN_FILTER_... constant. */

VIDLYN_API int Vidlyn_SetBrightness(int handle, int value); /* id 1: -255 .. 255 */
VIDLYN_API int Vidlyn_GetBrightness(int handle, int* ok);
VIDLYN_API int Vidlyn_SetContrast(int handle, int value); /* id 2: -127 .. 127 */
VIDLYN_API int Vidlyn_GetContrast(int handle, int* ok);
VIDLYN_API int Vidlyn_SetHue(int handle, int value); /* id 3: -360 .. 360 */
VIDLYN_API int Vidlyn_GetHue(int handle, int* ok);
VIDLYN_API int Vidlyn_SetSaturation(int handle, int value); /* id 4: -255 .. 255 */
VIDLYN_API int Vidlyn_GetSaturation(int handle, int* ok);
VIDLYN_API int Vidlyn_SetSharpness(int handle, int value); /* id 5: 0 .. 30 */
VIDLYN_API int Vidlyn_GetSharpness(int handle, int* ok);
VIDLYN_API int Vidlyn_SetBayerGainRGB(int handle, int value); /* id 6: red | green << 8 | blue << 16 */
VIDLYN_API int Vidlyn_GetBayerGainRGB(int handle, int* ok);
VIDLYN_API int Vidlyn_SetBayerGainRed(int handle, int value); /* id 7: 0 .. 800 */
VIDLYN_API int Vidlyn_GetBayerGainRed(int handle, int* ok);
VIDLYN_API int Vidlyn_SetBayerGainGreen(int handle, int value); /* id 8: 0 .. 800 */
VIDLYN_API int Vidlyn_GetBayerGainGreen(int handle, int* ok);
VIDLYN_API int Vidlyn_SetBayerGainBlue(int handle, int value); /* id 9: 0 .. 800 */
VIDLYN_API int Vidlyn_GetBayerGainBlue(int handle, int* ok);
VIDLYN_API int Vidlyn_SetBayerGainAuto(int handle, int value); /* id 10: non-zero = on */
VIDLYN_API int Vidlyn_GetBayerGainAuto(int handle, int* ok);
VIDLYN_API int Vidlyn_SetGamma(int handle, int value); /* id 11: 0 .. 200 */
VIDLYN_API int Vidlyn_GetGamma(int handle, int* ok);
VIDLYN_API int Vidlyn_SetBayerMode(int handle, int value); /* id 12: 0 .. 3 */
VIDLYN_API int Vidlyn_GetBayerMode(int handle, int* ok);
VIDLYN_API int Vidlyn_SetGlobalGain(int handle, int value); /* id 13: 0 .. 1023, to the camera */
VIDLYN_API int Vidlyn_GetGlobalGain(int handle, int* ok);   /* as the camera last accepted it */
VIDLYN_API int Vidlyn_SetColorGainRed(int handle, int value); /* id 14: always 0 and 9 */
VIDLYN_API int Vidlyn_GetColorGainRed(int handle, int* ok);
VIDLYN_API int Vidlyn_SetColorGainGreen1(int handle, int value); /* id 15: always 0 and 9 */
VIDLYN_API int Vidlyn_GetColorGainGreen1(int handle, int* ok);
VIDLYN_API int Vidlyn_SetColorGainGreen2(int handle, int value); /* id 16: always 0 and 9 */
VIDLYN_API int Vidlyn_GetColorGainGreen2(int handle, int* ok);
VIDLYN_API int Vidlyn_SetColorGainBlue(int handle, int value); /* id 17: always 0 and 9 */
VIDLYN_API int Vidlyn_GetColorGainBlue(int handle, int* ok);
VIDLYN_API int Vidlyn_SetExposureTime(int handle, int value); /* id 18: 1 .. 3335, to the camera */
VIDLYN_API int Vidlyn_GetExposureTime(int handle, int* ok);   /* waits 120 ms, then as accepted */
VIDLYN_API int Vidlyn_SetGrayMode(int handle, int value);     /* id 19: 0 .. 2 */
VIDLYN_API int Vidlyn_GetGrayMode(int handle, int* ok);
VIDLYN_API int Vidlyn_SetGrayGainR(int handle, int value); /* id 20: 0 .. 255 */
VIDLYN_API int Vidlyn_GetGrayGainR(int handle, int* ok);
VIDLYN_API int Vidlyn_SetGrayGainG1(int handle, int value); /* id 21: 0 .. 255 */
VIDLYN_API int Vidlyn_GetGrayGainG1(int handle, int* ok);
VIDLYN_API int Vidlyn_SetGrayGainG2(int handle, int value); /* id 22: 0 .. 255 */
VIDLYN_API int Vidlyn_GetGrayGainG2(int handle, int* ok);
VIDLYN_API int Vidlyn_SetGrayGainB(int handle, int value); /* id 23: 0 .. 255 */
VIDLYN_API int Vidlyn_GetGrayGainB(int handle, int* ok);
VIDLYN_API int Vidlyn_SetGrayOffsetR(int handle, int value); /* id 24: -255 .. 255 */
VIDLYN_API int Vidlyn_GetGrayOffsetR(int handle, int* ok);
VIDLYN_API int Vidlyn_SetGrayOffsetG1(int handle, int value); /* id 25: -255 .. 255 */
VIDLYN_API int Vidlyn_GetGrayOffsetG1(int handle, int* ok);
VIDLYN_API int Vidlyn_SetGrayOffsetG2(int handle, int value); /* id 26: -255 .. 255 */
VIDLYN_API int Vidlyn_GetGrayOffsetG2(int handle, int* ok);
VIDLYN_API int Vidlyn_SetGrayOffsetB(int handle, int value); /* id 27: -255 .. 255 */
VIDLYN_API int Vidlyn_GetGrayOffsetB(int handle, int* ok);

#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(VIDLYN_FRAME_NOTICE) == 32, "frame notice record is 32 bytes");
static_assert(offsetof(VIDLYN_FRAME_NOTICE, buffer) == 24, "frame notice buffer pointer at byte 24");
static_assert(sizeof(VIDLYN_CAMERA_INFO) == 36, "camera information record is 36 bytes");
static_assert(offsetof(VIDLYN_CAMERA_INFO, exposureMax) == 32, "exposureMax at byte 32");
#endif

#endif /* VIDLYN_SDK_H */
