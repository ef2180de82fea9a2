#include "browser/ImgShare.h"

#include <algorithm>

void TFrameStyle::Assign(const TFrameStyle& o)
{
    m_visible = o.m_visible;
    m_color = o.m_color;
    m_width = o.m_width;
}

void TIconSpacing::Assign(const TIconSpacing& o)
{
    m_x = o.m_x;
    m_y = o.m_y;
}

void TSmallIcon::Assign(const TSmallIcon& o)
{
    m_iconPos = o.m_iconPos;
    m_space = o.m_space;
}

TDispTypes::TDispTypes() : m_ext(QStringLiteral("*.*")), m_extList(NormaliseExt(m_ext)) {}

QString TDispTypes::NormaliseExt(const QString& ext)
{
    if (ext.isEmpty()) return QStringLiteral(";*.*;");
    QString s = ext;
    for (QChar& c : s) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) c = QChar(c.unicode() + 32);
    }
    if (!s.startsWith(QLatin1Char(';'))) s.prepend(QLatin1Char(';'));
    if (!s.endsWith(QLatin1Char(';'))) s.append(QLatin1Char(';'));
    return s;
}

void TDispTypes::SetExt(const QString& v)
{
    if (v == m_ext) return;
    m_ext = v;
    m_extList = NormaliseExt(v);
    Changed();
}

bool TDispTypes::Matches(const QString& path) const
{
    if (!FilterActive()) return true;
    QString framed = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    for (QChar& c : framed) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) c = QChar(c.unicode() + 32);
    }
    if (m_extList.contains(QLatin1Char(';') + framed + QLatin1Char(';'))) return true;
    const qsizetype dot = framed.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? QString() : framed.mid(dot);
    return m_extList.contains(QLatin1String(";*") + ext + QLatin1Char(';'));
}

unsigned TDispTypes::EnumFlags() const
{
    unsigned f = 0;
    if (m_folders) f |= sq::platform::ContFolders;
    if (m_nonFolders) f |= sq::platform::ContNonFolders;
    if (m_hidden) f |= sq::platform::ContIncludeHidden;
    return f;
}

TView::TView()
{
    m_dispTypes.OnChange = [this](TOptionObject*) { fire(OnChange1); };
    m_iconSpacing.OnChange = [this](TOptionObject*) { fire(OnChange2); };
}

void TView::SetShowCaptions(bool v)
{
    if (v == m_showCaptions) return;
    m_showCaptions = v;
    fire(OnChange2);
}

TViewImage::TViewImage()
    : m_thumb(std::make_unique<TThumb>())
    , m_splugin(std::make_unique<TSPlugin>())
    , m_imgUtil(std::make_unique<TImgUtil>())
{
    // The engine never frees the cache it is handed; it dies after the engine.
    m_imgUtil->setThumbnail(m_thumb.get());
    m_imgUtil->setSPlugin(m_splugin.get());
    m_imgUtil->OnChange = [this](TImgUtil*) { Changed(); };
    const auto forward = [this](TOptionObject*) { Changed(); };
    m_frame.OnChange = forward;
    m_selectFrame.OnChange = forward;
    m_smallIcon.OnChange = forward;
    m_blankSpace.OnChange = forward;
}

TViewImage::~TViewImage()
{
    // The engine never frees what it is handed: it lets go of it first.
    m_imgUtil->OnChange = nullptr;
}

int TViewImage::FrameThickness() const
{
    const int f = m_frame.Visible() ? m_frame.Width() : 0;
    const int s = m_selectFrame.Visible() ? m_selectFrame.Width() : 0;
    return std::max(f, s);
}

int TViewImage::BorderOffset() const
{
    return FrameThickness() + (m_borderStyle == bsSingle ? 2 : 0);
}

int TViewImage::InnerBevelOffset() const
{
    return BorderOffset() + (m_bevelOuter != bvNone ? m_bevelWidth : 0);
}

int TViewImage::ImageOffset() const
{
    return InnerBevelOffset() + (m_bevelInner != bvNone ? m_bevelWidth : 0);
}

int TViewImage::BorderWidthSum() const
{
    return FrameThickness() + (m_borderStyle == bsSingle ? 2 : 0) +
           (m_bevelOuter != bvNone ? m_bevelWidth : 0) +
           (m_bevelInner != bvNone ? m_bevelWidth : 0);
}

int TViewImage::CellWidth() const
{
    return 2 * BorderWidthSum() + m_imageWidth + m_blankSpace.Horizontal();
}

int TViewImage::CellHeight() const
{
    return 2 * BorderWidthSum() + m_imageHeight + m_blankSpace.Vertical();
}
