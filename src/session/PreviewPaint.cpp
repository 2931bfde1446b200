// The paint step of the preview loop: the output picture of the colour mode,
// brought to 8 or 24 bits, drawn into the preview window.
#include "output/DibBuffer.h"
#include "pixel/output/OutputKernels.h"
#include "session/CVidlyn.h"

int CVidlyn::PaintPreview() {
    // The window cannot die while it is painted (PreviewWindow.h).
    PreviewPainting painting(m_previewSurface);
    const HWND wnd = painting.window();
    if (wnd == nullptr) {
        return 0;
    }
    RECT client{};
    GetClientRect(wnd, &client);
    if (!IsWindowVisible(wnd)) {
        return 0;
    }
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0 || painting.dc() == nullptr || m_dibDisplay == nullptr) {
        return 1;  // nothing to draw into
    }

    // Only the 8- and 24-bit pictures are drawn; the others are reduced first.
    const int type = m_colorType.load();
    DibBuffer* source = nullptr;
    switch (type) {
        case 0:
            source = m_dib8;
            break;
        case 1:
            m_dib8->Convert(KernelGray16To8, m_dib16, nullptr, 0, 0, 0, 0);
            source = m_dib8;
            break;
        case 2:
            source = m_dib24;
            break;
        case 3:
            m_dib24->Convert(KernelBgrx32ToBgr24, m_dib32, nullptr, 0, 0, 0, 0);
            source = m_dib24;
            break;
        case 4:
            m_dib24->Convert(KernelColor48To24, m_dib48, nullptr, 0, 0, 0, 0);
            source = m_dib24;
            break;
        case 5:
            m_dib24->Convert(KernelColor48To24, m_dib64, nullptr, 0, 0, 0, 0);
            source = m_dib24;
            break;
        default:
            return 0;
    }
    if (source == nullptr || source->bits == nullptr) {
        return 0;
    }
    // The 16-bit gray picture always takes the scaled path.
    return DrawPicture(painting.dc(), width, height, *source, *m_dibDisplay, type != 1);
}
