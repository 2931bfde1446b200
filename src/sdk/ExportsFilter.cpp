// Exports of the image adjustment parameters: the generic pair and one fixed
// setter and getter per parameter id, which add nothing to the generic pair.
#include "VidlynSdk.h"
#include "sdk/CallFrame.h"

int Vidlyn_SetFilterValue(int handle, int id, int value) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.SetFilterValue(id, value); });
}

int Vidlyn_GetFilterValue(int handle, int id, int* ok) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.GetFilterValue(id, ok); });
}

int Vidlyn_GetRealExposureTime(int handle, int* ok) {
    return WithSession(handle, 0, [=](CVidlyn& s) { return s.GetRealExposureTime(ok); });
}

int Vidlyn_SetBrightness(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_BRIGHTNESS, value);
}
int Vidlyn_GetBrightness(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_BRIGHTNESS, ok); }
int Vidlyn_SetContrast(int handle, int value) { return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_CONTRAST, value); }
int Vidlyn_GetContrast(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_CONTRAST, ok); }
int Vidlyn_SetHue(int handle, int value) { return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_HUE, value); }
int Vidlyn_GetHue(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_HUE, ok); }
int Vidlyn_SetSaturation(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_SATURATION, value);
}
int Vidlyn_GetSaturation(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_SATURATION, ok); }
int Vidlyn_SetSharpness(int handle, int value) { return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_SHARPNESS, value); }
int Vidlyn_GetSharpness(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_SHARPNESS, ok); }
int Vidlyn_SetBayerGainRGB(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_BAYER_GAIN_RGB, value);
}
int Vidlyn_GetBayerGainRGB(int handle, int* ok) {
    return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_BAYER_GAIN_RGB, ok);
}
int Vidlyn_SetBayerGainRed(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_BAYER_GAIN_RED, value);
}
int Vidlyn_GetBayerGainRed(int handle, int* ok) {
    return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_BAYER_GAIN_RED, ok);
}
int Vidlyn_SetBayerGainGreen(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_BAYER_GAIN_GREEN, value);
}
int Vidlyn_GetBayerGainGreen(int handle, int* ok) {
    return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_BAYER_GAIN_GREEN, ok);
}
int Vidlyn_SetBayerGainBlue(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_BAYER_GAIN_BLUE, value);
}
int Vidlyn_GetBayerGainBlue(int handle, int* ok) {
    return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_BAYER_GAIN_BLUE, ok);
}
int Vidlyn_SetBayerGainAuto(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_BAYER_GAIN_AUTO, value);
}
int Vidlyn_GetBayerGainAuto(int handle, int* ok) {
    return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_BAYER_GAIN_AUTO, ok);
}
int Vidlyn_SetGamma(int handle, int value) { return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_GAMMA, value); }
int Vidlyn_GetGamma(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_GAMMA, ok); }
int Vidlyn_SetBayerMode(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_BAYER_MODE, value);
}
int Vidlyn_GetBayerMode(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_BAYER_MODE, ok); }
int Vidlyn_SetGlobalGain(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_GLOBAL_GAIN, value);
}
int Vidlyn_GetGlobalGain(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_GLOBAL_GAIN, ok); }
int Vidlyn_SetColorGainRed(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_COLOR_GAIN_RED, value);
}
int Vidlyn_GetColorGainRed(int handle, int* ok) {
    return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_COLOR_GAIN_RED, ok);
}
int Vidlyn_SetColorGainGreen1(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_COLOR_GAIN_G1, value);
}
int Vidlyn_GetColorGainGreen1(int handle, int* ok) {
    return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_COLOR_GAIN_G1, ok);
}
int Vidlyn_SetColorGainGreen2(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_COLOR_GAIN_G2, value);
}
int Vidlyn_GetColorGainGreen2(int handle, int* ok) {
    return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_COLOR_GAIN_G2, ok);
}
int Vidlyn_SetColorGainBlue(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_COLOR_GAIN_BLUE, value);
}
int Vidlyn_GetColorGainBlue(int handle, int* ok) {
    return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_COLOR_GAIN_BLUE, ok);
}
int Vidlyn_SetExposureTime(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_EXPOSURE, value);
}
int Vidlyn_GetExposureTime(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_EXPOSURE, ok); }
int Vidlyn_SetGrayMode(int handle, int value) { return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_GRAY_MODE, value); }
int Vidlyn_GetGrayMode(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_GRAY_MODE, ok); }
int Vidlyn_SetGrayGainR(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_GRAY_GAIN_R, value);
}
int Vidlyn_GetGrayGainR(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_GRAY_GAIN_R, ok); }
int Vidlyn_SetGrayGainG1(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_GRAY_GAIN_G1, value);
}
int Vidlyn_GetGrayGainG1(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_GRAY_GAIN_G1, ok); }
int Vidlyn_SetGrayGainG2(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_GRAY_GAIN_G2, value);
}
int Vidlyn_GetGrayGainG2(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_GRAY_GAIN_G2, ok); }
int Vidlyn_SetGrayGainB(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_GRAY_GAIN_B, value);
}
int Vidlyn_GetGrayGainB(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_GRAY_GAIN_B, ok); }
int Vidlyn_SetGrayOffsetR(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_GRAY_OFFSET_R, value);
}
int Vidlyn_GetGrayOffsetR(int handle, int* ok) {
    return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_GRAY_OFFSET_R, ok);
}
int Vidlyn_SetGrayOffsetG1(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_GRAY_OFFSET_G1, value);
}
int Vidlyn_GetGrayOffsetG1(int handle, int* ok) {
    return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_GRAY_OFFSET_G1, ok);
}
int Vidlyn_SetGrayOffsetG2(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_GRAY_OFFSET_G2, value);
}
int Vidlyn_GetGrayOffsetG2(int handle, int* ok) {
    return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_GRAY_OFFSET_G2, ok);
}
int Vidlyn_SetGrayOffsetB(int handle, int value) {
    return Vidlyn_SetFilterValue(handle, VIDLYN_FILTER_GRAY_OFFSET_B, value);
}
int Vidlyn_GetGrayOffsetB(int handle, int* ok) {
    return Vidlyn_GetFilterValue(handle, VIDLYN_FILTER_GRAY_OFFSET_B, ok);
}
