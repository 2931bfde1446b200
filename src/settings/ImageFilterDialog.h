// The image and gray filter dialog: the adjustment parameters are edited in
// the session's block directly, so the running preview shows each change with
// the next frame. The caller restores the block on Cancel. The gray page is
// there in the monochrome modes only.
#pragma once
#include <windows.h>

#include <cstdint>

#include "settings/DialogControls.h"

struct ImageAdjustBlock;

// Which controls the colour mode allows.
struct ImageDialogFlags {
    // Brightness, contrast, hue, saturation, sharpness, R, G, B gain, gamma.
    bool rows[9];
    bool grayTab;
    // Automatic white balance and the Bayer phase.
    bool autoWhiteBalance;

    // Monochrome modes (colour type 0 and 1) show the gray page and only the
    // rows that act on gray pictures.
    static ImageDialogFlags ForColorType(int colorType);
};

class CImageFilterDlg {
public:
    CImageFilterDlg(ImageAdjustBlock* block, const ImageDialogFlags& flags);
    CImageFilterDlg(const CImageFilterDlg&) = delete;
    CImageFilterDlg& operator=(const CImageFilterDlg&) = delete;

    // Runs the modal sheet owned by `parent`: IDOK, IDCANCEL, or -1 when it
    // could not be shown.
    INT_PTR Run(HWND parent);
    // Any thread: the open dialog shows the block's current values (automatic
    // white balance and gray gain computed them). Never waits for the dialog.
    void RequestRefresh();

    INT_PTR OnMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);

    class Page {
    public:
        Page(CImageFilterDlg& owner, bool gray) : m_owner(owner), m_gray(gray) {}
        INT_PTR OnMessage(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
        // Field values into the controls.
        void ShowValues();
        // The edits (and the Bayer phase) into the fields.
        void ReadValues();
        HWND m_wnd = nullptr;

    private:
        void Fill();
        void OnCommand(int id, int code);
        void CheckBayerPhase();
        CImageFilterDlg& m_owner;
        const bool m_gray;
        bool m_ready = false;
    };

private:
    bool InitSheet(HWND wnd);
    void ShowPage(int index);
    void Defaults();

    HWND m_wnd = nullptr;
    ImageAdjustBlock* m_block;
    ImageDialogFlags m_flags;
    Page m_image{*this, false};
    Page m_grayPage{*this, true};
    DialogMailbox m_mailbox;
};
