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

int Vidlyn_SetBrightness(int handle, int value) { return Vidlyn_SetFilterValue(handle, 1, value); }
int Vidlyn_GetBrightness(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 1, ok); }
int Vidlyn_SetContrast(int handle, int value) { return Vidlyn_SetFilterValue(handle, 2, value); }
int Vidlyn_GetContrast(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 2, ok); }
int Vidlyn_SetHue(int handle, int value) { return Vidlyn_SetFilterValue(handle, 3, value); }
int Vidlyn_GetHue(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 3, ok); }
int Vidlyn_SetSaturation(int handle, int value) { return Vidlyn_SetFilterValue(handle, 4, value); }
int Vidlyn_GetSaturation(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 4, ok); }
int Vidlyn_SetSharpness(int handle, int value) { return Vidlyn_SetFilterValue(handle, 5, value); }
int Vidlyn_GetSharpness(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 5, ok); }
int Vidlyn_SetBayerGainRGB(int handle, int value) { return Vidlyn_SetFilterValue(handle, 6, value); }
int Vidlyn_GetBayerGainRGB(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 6, ok); }
int Vidlyn_SetBayerGainRed(int handle, int value) { return Vidlyn_SetFilterValue(handle, 7, value); }
int Vidlyn_GetBayerGainRed(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 7, ok); }
int Vidlyn_SetBayerGainGreen(int handle, int value) { return Vidlyn_SetFilterValue(handle, 8, value); }
int Vidlyn_GetBayerGainGreen(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 8, ok); }
int Vidlyn_SetBayerGainBlue(int handle, int value) { return Vidlyn_SetFilterValue(handle, 9, value); }
int Vidlyn_GetBayerGainBlue(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 9, ok); }
int Vidlyn_SetBayerGainAuto(int handle, int value) { return Vidlyn_SetFilterValue(handle, 10, value); }
int Vidlyn_GetBayerGainAuto(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 10, ok); }
int Vidlyn_SetGamma(int handle, int value) { return Vidlyn_SetFilterValue(handle, 11, value); }
int Vidlyn_GetGamma(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 11, ok); }
int Vidlyn_SetBayerMode(int handle, int value) { return Vidlyn_SetFilterValue(handle, 12, value); }
int Vidlyn_GetBayerMode(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 12, ok); }
int Vidlyn_SetGlobalGain(int handle, int value) { return Vidlyn_SetFilterValue(handle, 13, value); }
int Vidlyn_GetGlobalGain(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 13, ok); }
int Vidlyn_SetColorGainRed(int handle, int value) { return Vidlyn_SetFilterValue(handle, 14, value); }
int Vidlyn_GetColorGainRed(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 14, ok); }
int Vidlyn_SetColorGainGreen1(int handle, int value) { return Vidlyn_SetFilterValue(handle, 15, value); }
int Vidlyn_GetColorGainGreen1(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 15, ok); }
int Vidlyn_SetColorGainGreen2(int handle, int value) { return Vidlyn_SetFilterValue(handle, 16, value); }
int Vidlyn_GetColorGainGreen2(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 16, ok); }
int Vidlyn_SetColorGainBlue(int handle, int value) { return Vidlyn_SetFilterValue(handle, 17, value); }
int Vidlyn_GetColorGainBlue(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 17, ok); }
int Vidlyn_SetExposureTime(int handle, int value) { return Vidlyn_SetFilterValue(handle, 18, value); }
int Vidlyn_GetExposureTime(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 18, ok); }
int Vidlyn_SetGrayMode(int handle, int value) { return Vidlyn_SetFilterValue(handle, 19, value); }
int Vidlyn_GetGrayMode(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 19, ok); }
int Vidlyn_SetGrayGainR(int handle, int value) { return Vidlyn_SetFilterValue(handle, 20, value); }
int Vidlyn_GetGrayGainR(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 20, ok); }
int Vidlyn_SetGrayGainG1(int handle, int value) { return Vidlyn_SetFilterValue(handle, 21, value); }
int Vidlyn_GetGrayGainG1(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 21, ok); }
int Vidlyn_SetGrayGainG2(int handle, int value) { return Vidlyn_SetFilterValue(handle, 22, value); }
int Vidlyn_GetGrayGainG2(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 22, ok); }
int Vidlyn_SetGrayGainB(int handle, int value) { return Vidlyn_SetFilterValue(handle, 23, value); }
int Vidlyn_GetGrayGainB(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 23, ok); }
int Vidlyn_SetGrayOffsetR(int handle, int value) { return Vidlyn_SetFilterValue(handle, 24, value); }
int Vidlyn_GetGrayOffsetR(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 24, ok); }
int Vidlyn_SetGrayOffsetG1(int handle, int value) { return Vidlyn_SetFilterValue(handle, 25, value); }
int Vidlyn_GetGrayOffsetG1(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 25, ok); }
int Vidlyn_SetGrayOffsetG2(int handle, int value) { return Vidlyn_SetFilterValue(handle, 26, value); }
int Vidlyn_GetGrayOffsetG2(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 26, ok); }
int Vidlyn_SetGrayOffsetB(int handle, int value) { return Vidlyn_SetFilterValue(handle, 27, value); }
int Vidlyn_GetGrayOffsetB(int handle, int* ok) { return Vidlyn_GetFilterValue(handle, 27, ok); }
