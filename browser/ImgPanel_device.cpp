// The browser at a device pixel ratio: which ratio its pictures are made
// for, and what changes when the window moves to a screen of another one.
#include "browser/ImgPanel.h"

#include "engine/DeviceRects.h"

QRect TCustomImgPanel::PictureDeviceBox(int index) const
{
    const QRect logical = PictureBox(index);
    if (logical.isEmpty()) return {};
    return sq::CellMapping(SlotOrigin(SlotOf(index)), m_dpr).box(logical);
}

bool TCustomImgPanel::updateDeviceRatio()
{
    const qreal ratio = viewport()->devicePixelRatioF();
    if (!(ratio > 0) || ratio == m_dpr) return false;
    m_loader.StopLoading();
    m_dpr = ratio;
    // The workers' engines take the ratio with the next job's settings, so
    // the cache is asked for thumbnails of this ratio only.
    m_viewImage.ImgUtil().setCacheScale(ratio);
    m_iconCache.clear();
    for (int i = 0; i < m_items.Count(); ++i) {
        TPanelItem* item = m_items.Items(i);
        item->LoadDone = false;
        item->SharedBitmap = false;
        item->CellBitmap = QImage();
    }
    m_paintedColumns = m_paintedRows = -1;
    return true;
}

QImage TCustomImgPanel::toDeviceRatio(QImage image) const
{
    if (image.isNull() || m_dpr == 1) return image;
    const QSize device = sq::toDevice(image.size(), m_dpr);
    // Icons with an alpha channel keep it; the engine's resampler makes 24 bits.
    if (image.hasAlphaChannel())
        image = image.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    else
        sq::ResizeBitmap(image, device.width(), device.height());
    image.setDevicePixelRatio(m_dpr);
    return image;
}
