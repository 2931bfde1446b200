// The analog gain and image filter dialogs of a session: the values in force
// when a dialog opens come back on Cancel, and while it is open the frame path
// shows what it computes (auto iris, automatic white balance and gray gain)
// in the dialog without ever waiting for the dialog's thread.
#include "VidlynSdk.h"
#include "device/CVidlynQM7720USB3Sdk.h"
#include "session/CVidlyn.h"
#include "settings/AnalogGainDialog.h"
#include "settings/CameraFormatDialog.h"
#include "settings/ImageFilterDialog.h"

namespace {

// Publishes `dialog` in `slot` under the session's dialog lock and returns
// what was there (a dialog of the same kind opened from within another).
template <class Dialog>
Dialog* Publish(SRWLOCK& lock, Dialog*& slot, Dialog* dialog) {
    AcquireSRWLockExclusive(&lock);
    Dialog* previous = slot;
    slot = dialog;
    ReleaseSRWLockExclusive(&lock);
    return previous;
}

}  // namespace

void CVidlyn::RefreshImageDialog() {
    AcquireSRWLockShared(&m_dialogLock);
    if (m_imageDlg) m_imageDlg->RequestRefresh();
    ReleaseSRWLockShared(&m_dialogLock);
}

void CVidlyn::ShowAnalogDialogValue(int controlId) {
    AcquireSRWLockShared(&m_dialogLock);
    if (m_analogDlg) m_analogDlg->ShowValue(controlId);
    ReleaseSRWLockShared(&m_dialogLock);
}

int CVidlyn::SetAnalogDlg(HWND parent) {
    if (!m_device) {
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    const AnalogBlock saved = m_analog;
    const int32_t savedBayerMode = m_adjust.m_bayerMode;

    CAnalogGainDlg dialog(m_device, &m_analog, &m_adjust.m_bayerMode);
    CAnalogGainDlg* outer = Publish(m_dialogLock, m_analogDlg, &dialog);
    const INT_PTR result = dialog.Run(parent);
    Publish(m_dialogLock, m_analogDlg, outer);

    if (result != IDOK) {
        // The camera goes back to the values in force when the dialog opened.
        m_device->SetGlobalGain(saved.m_globalGain & 0xFFFF);
        m_device->SetExposure(saved.m_exposureTime);
        m_device->SetMirrorV(saved.m_mirrorV);
        m_device->SetMirrorH(saved.m_mirrorH);
        m_analog = saved;
        m_adjust.m_bayerMode = savedBayerMode;
    }
    if (result == -1) {
        pushError(VIDLYN_ERR_PREVIEW_WINDOW);  // the dialog could not be made
        return 0;
    }
    return 1;
}

int CVidlyn::SetImageDlg(HWND parent) {
    if (!m_device) {
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    const ImageAdjustBlock saved = m_adjust;

    CImageFilterDlg dialog(&m_adjust, ImageDialogFlags::ForColorType(m_colorType.load()));
    CImageFilterDlg* outer = Publish(m_dialogLock, m_imageDlg, &dialog);
    const INT_PTR result = dialog.Run(parent);
    Publish(m_dialogLock, m_imageDlg, outer);

    if (result != IDOK) m_adjust = saved;
    if (result == -1) {
        pushError(VIDLYN_ERR_PREVIEW_WINDOW);  // the dialog could not be made
        return 0;
    }
    return 1;
}

int CVidlyn::SetCameraDlg(HWND parent) {
    if (!m_device) {
        pushError(VIDLYN_ERR_NO_CAMERA);
        return 0;
    }
    // No frame is converted while the format changes. The preview window and
    // the callback settings stay, so a restarted stream goes on in them.
    const int state = m_state.load();
    if (state == 1 || state == 2) StopAcquisition();

    CCameraFormatDlg dialog;
    const INT_PTR result = dialog.Run(parent);
    if (result == IDOK) {
        LoadCameraFormat();
        LoadStreamSettings();
    }

    // A failed restart leaves the session idle with its code in the history.
    if (state == 1) {
        StartPreview();
    } else if (state == 2) {
        Capture();
    }
    if (result == -1) {
        pushError(VIDLYN_ERR_PREVIEW_WINDOW);  // the dialog could not be made
        return 0;
    }
    return 1;
}
