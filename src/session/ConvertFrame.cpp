// Per-frame conversion of the raw source picture into the output picture of
// the colour mode: automatic exposure, vertical mirror, the gray modes of the
// 8-bit mode, demosaicing with automatic white balance, and the adjustment
// filters in the order hue and saturation, gamma, contrast, sharpness,
// brightness, each only when its setting is not neutral. Every pixel step is
// a kernel of the pixel core run over the whole picture.
#include <algorithm>
#include <cstring>

#include "output/DibBuffer.h"
#include "pixel/demosaic/DemosaicKernels.h"
#include "pixel/filter/FilterKernels.h"
#include "pixel/gray/GrayKernels.h"
#include "pixel/placement/PlacementKernels.h"
#include "session/CVidlyn.h"

namespace {

constexpr int kMaxWhiteBalanceGain = 400;

bool HasPicture(const DibBuffer* b) { return b != nullptr && b->bits != nullptr; }

bool SameSize(const DibBuffer* a, const DibBuffer* b) { return a->width == b->width && a->height == b->height; }

// Source and output pictures of colour type `type`. The type is read once per
// frame, so that a colour mode changed by another thread meanwhile cannot pair
// the buffers of two modes within one conversion.
DibBuffer* SourceOf(const CVidlyn& s, int type) {
    switch (type) {
        case 0:
        case 2:
        case 3:
            return s.m_dib8;
        case 1:
        case 4:
        case 5:
            return s.m_dib16;
        default:
            return nullptr;
    }
}

DibBuffer* OutputOf(const CVidlyn& s, int type) {
    DibBuffer* const outputs[6] = {s.m_dib8, s.m_dib16, s.m_dib24, s.m_dib32, s.m_dib48, s.m_dib64};
    return type >= 0 && type < 6 ? outputs[type] : nullptr;
}

// The whole picture of `buffer` through `kernel`, in place.
void RunInPlace(DibBuffer* buffer, ConvertKernel kernel, const void* params) {
    buffer->Convert(kernel, buffer, nullptr, 0, 0, reinterpret_cast<intptr_t>(params), 0);
}

// Gray correction of the raw 8-bit mosaic, with the automatic gray gains when
// they are asked for (a positive count: that many more frames; negative:
// every frame).
void GrayCorrection(CVidlyn& s) {
    ImageAdjustBlock& a = s.m_adjust;
    GrayParams p{a.m_bayerMode,   a.m_grayGainR,    a.m_grayGainG1,   a.m_grayGainG2, a.m_grayGainB,
                 a.m_grayOffsetR, a.m_grayOffsetG1, a.m_grayOffsetG2, a.m_grayOffsetB};
    const int frames = a.m_grayAutoGainFrames;
    if (frames != 0) {
        MeasureGrayGains(s.m_dib8->bits, s.m_dib8->width, s.m_dib8->height, s.m_dib8->stride, &p);
        a.m_grayGainR = p.gainR;
        a.m_grayGainG1 = p.gainG1;
        a.m_grayGainG2 = p.gainG2;
        a.m_grayGainB = p.gainB;
        s.RefreshImageDialog();
        if (frames > 0) {
            a.m_grayAutoGainFrames = frames - 1;
        }
    }
    RunInPlace(s.m_dib8, KernelGrayCorrection, &p);
}

// The lookup filters (gamma, contrast, brightness) waiting to run: tables
// that follow each other fold into one, so that the picture is read and
// written once for all of them. Sharpness, which is not a lookup, runs what
// is waiting first.
class PendingTables {
public:
    PendingTables(DibBuffer* out, int maxValue) : m_out(out), m_maxValue(maxValue) {}
    ~PendingTables() { Run(); }
    void Add(const uint16_t* table) {
        if (m_waiting) {
            ComposeTables(m_table, table, m_maxValue);
        } else {
            std::memcpy(m_table, table, sizeof(uint16_t) * (static_cast<size_t>(m_maxValue) + 1));
            m_waiting = true;
        }
    }
    void Run() {
        if (m_waiting) RunInPlace(m_out, KernelApplyTable, m_table);
        m_waiting = false;
    }

private:
    DibBuffer* m_out;
    int m_maxValue;
    bool m_waiting = false;
    uint16_t m_table[kFilterMax10 + 1];
};

// Whether no adjustment filter changes a frame of colour type `type` (RunFilters' tests).
bool FiltersNeutral(const ImageAdjustBlock& a, int type) {
    return (type < 2 || (a.m_hue == 0 && a.m_saturation == 0)) && a.m_gamma == 100 && a.m_contrast == 0 &&
           a.m_sharpness == 0 && a.m_brightness == 0;
}

// The adjustment filters on the output picture `out` of colour type `type`.
void RunFilters(CVidlyn& s, DibBuffer* out, int type) {
    const ImageAdjustBlock& a = s.m_adjust;
    const int maxValue = FilterMaxValue(out->bitCount / 8);
    uint16_t table[kFilterMax10 + 1];

    const int hue = a.m_hue;
    const int saturation = a.m_saturation;
    if (type >= 2 && (hue != 0 || saturation != 0)) {
        const HueSatParams p{hue, 0, saturation, 10};
        RunInPlace(out, KernelHueSaturation, &p);
    }
    PendingTables lookups(out, maxValue);
    const int gamma = a.m_gamma;
    if (gamma != 100) {
        BuildGammaTable(table, maxValue, gamma);
        lookups.Add(table);
    }
    const int contrast = a.m_contrast;
    if (contrast != 0) {
        // The 16-bit gray mode scales the setting to its 10-bit range; the
        // 48- and 64-bit colour modes use it as it stands.
        BuildContrastTable(table, maxValue, type == 1 ? int64_t{contrast} * 4 : contrast);
        lookups.Add(table);
    }
    const int sharpness = a.m_sharpness;
    if (sharpness != 0) {
        lookups.Run();
        // In place: the kernel keeps the few original rows it still needs,
        // so the picture is read and written once. (m_dibCopy, sized at the
        // acquisition's preparation, is no longer needed for it.)
        int16_t differences[2 * kFilterMax10 + 1];
        BuildSharpnessTable(differences, maxValue, sharpness);
        RunInPlace(out, KernelSharpness, differences);
    }
    const int brightness = a.m_brightness;
    if (brightness != 0) {
        BuildBrightnessTable(table, maxValue, brightness);
        lookups.Add(table);
    }
}

}  // namespace

int CVidlyn::Demosaic(DibBuffer* output, DibBuffer* source, const CopyTarget* copyOut) {
    if (!HasPicture(output) || !HasPicture(source) || !SameSize(output, source)) {
        return 0;
    }
    const bool wide = source->bitCount == 16;
    if (wide ? (output->bitCount != 48 && output->bitCount != 64)
             : (source->bitCount != 8 || (output->bitCount != 24 && output->bitCount != 32))) {
        return 0;
    }

    ImageAdjustBlock& a = m_adjust;
    if (a.m_bayerGainAuto) {
        const WhiteBalanceGains measured =
            MeasureWhiteBalance(source->bits, source->width, source->height, source->stride, wide ? 2 : 1,
                                a.m_bayerMode, WhiteBalanceGains{a.m_bayerGainRed, a.m_bayerGainBlue});
        a.m_bayerGainRed = std::min(measured.red, kMaxWhiteBalanceGain);
        a.m_bayerGainGreen = 100;
        a.m_bayerGainBlue = std::min(measured.blue, kMaxWhiteBalanceGain);
        RefreshImageDialog();
        if (a.m_bayerGainAuto && a.m_bayerGainAutoOnce && a.m_bayerGainAutoOnce2) {
            // A one-time balance: done.
            a.m_bayerGainAuto = 0;
            a.m_bayerGainAutoOnce = 0;
            a.m_bayerGainAutoOnce2 = 0;
        }
    }

    const BayerParams p{a.m_bayerMode, a.m_bayerGainRed, a.m_bayerGainGreen, a.m_bayerGainBlue};
    const int64_t pictureBytes = static_cast<int64_t>(output->height) * output->stride;
    if (copyOut != nullptr && copyOut->buffer != nullptr && output->bitCount == 24 &&
        static_cast<int64_t>(copyOut->size) >= pictureBytes) {
        // Each row goes to the picture and the application's buffer at once:
        // the copy does not read the picture back from memory.
        return DemosaicWithCopy8To24(output->bits, source->bits, output->width, output->height, output->stride,
                                     source->stride, p, static_cast<uint8_t*>(copyOut->buffer), copyOut->rowOrder == 0);
    }
    const intptr_t params = reinterpret_cast<intptr_t>(&p);
    output->Convert(wide ? KernelDemosaicInterior16 : KernelDemosaicInterior8, source, nullptr, 0, 0, params, 0);
    output->Convert(wide ? KernelDemosaicBorder16 : KernelDemosaicBorder8, source, nullptr, 0, 0, params, 0);
    return 0;
}

int CVidlyn::ConvertFrame(const CopyTarget* copyOut) {
    const int type = m_colorType.load();
    return ConvertSource(SourceOf(*this, type), type, copyOut);
}

int CVidlyn::ConvertSource(DibBuffer* source, int type, const CopyTarget* copyOut) {
    RegulateExposure(source);
    if (!HasPicture(source)) {
        return 0;
    }

    if (m_analog.m_mirrorV) {
        RunInPlace(source, KernelMirrorV, nullptr);
    }

    int copied = 0;
    switch (type) {
        case 0:
            if (m_adjust.m_grayMode == 1) {
                GrayCorrection(*this);
            } else if (m_adjust.m_grayMode == 2 && HasPicture(m_dib24) && SameSize(m_dib24, m_dib8)) {
                Demosaic(m_dib24, m_dib8);
                m_dib8->Convert(KernelGrayFromColor, m_dib24, nullptr, 0, 0, 0, 0);
            }
            break;
        case 2:
            // The settings are read once: a filter turned on meanwhile takes
            // effect with the next frame, and the copy always equals the picture.
            copied =
                Demosaic(m_dib24, source, copyOut != nullptr && FiltersNeutral(m_adjust, type) ? copyOut : nullptr);
            break;
        case 3:
            Demosaic(m_dib32, source);
            break;
        case 4:
            Demosaic(m_dib48, source);
            break;
        case 5:
            Demosaic(m_dib64, source);
            break;
        default:
            break;
    }

    DibBuffer* out = OutputOf(*this, type);
    if (HasPicture(out) && !copied) {
        RunFilters(*this, out, type);
    }
    return copied;
}
