// The image engine: TImgUtil turns a file or folder name into a 24-bit
// picture at a requested size and remembers the picture's own size. Every
// picture-showing control owns one. No locks: one thread at a time uses a
// TImgUtil. Several engines on several threads may share one thumbnail cache
// when they are given the same cache lock, under which every cache operation
// runs (the browser's loader workers do).
#pragma once

#include "engine/DecodeBudget.h"
#include "engine/ImgUtils_thumb.h"
#include "engine/Resample.h"

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

enum TImageType {
    iitNone,
    iitSusie,
    iitBmp,
    iitJpeg,
    iitIco,
    iitCur,
    iitAni,
    iitEmf,
    iitWmf,
    iitExe,
    iitDll,
    iitHtml,
    iitTxt,
    iitEml,
    iitDir,
    iitCustom,
    iitAvi,
};

enum TJPEGPerformance { jpBestQuality, jpBestSpeed };

// A control's border: none or a single sunken edge (the view and the browser).
enum TBorderStyle { bsNone, bsSingle };

class TThumb;
class TSPlugin;

namespace sq {
class ColourSetting;
struct DisplayColour;

// Sees a JPEG's rows as the decoder hands them over, for work that goes
// along with the decode (a view's resampling while the cache is warm).
// Called on the loading thread, between the decoder's calls; it must not
// throw (what it throws is dropped and it sees no further rows).
class TDecodeWatch
{
public:
    virtual ~TDecodeWatch() = default;
    // The 24-bit picture about to be decoded into, at the size it will have
    // (no rows in it yet); whether to watch its rows.
    virtual bool Begin(const QImage& picture) = 0;
    // Its rows [y0, y1) are decoded, rows[y] holding row y; y0 is where the
    // last run ended. Earlier rows stay as they were.
    virtual void Rows(const unsigned char* const* rows, int y0, int y1) = 0;
    // The decode is over, every row come or not: called once after a Begin
    // that said yes, before the picture's rows may go away.
    virtual void End() {}
};
} // namespace sq

// The engine's picture: a QImage that keeps the format it was loaded in
// until it is converted, can be emptied and taken over by the caller.
class TBitmap
{
public:
    const QImage& image() const { return m_image; }
    QImage& image() { return m_image; }
    void setImage(QImage image) { m_image = std::move(image); }
    void empty()
    {
        m_image = QImage();
        m_iccProfile.clear();
    }
    QImage take() { return std::exchange(m_image, QImage()); }
    // The ICC profile embedded in the file the picture came from; empty when
    // it had none. Loaders set it beside the picture.
    const QByteArray& IccProfile() const { return m_iccProfile; }
    void setIccProfile(QByteArray profile) { m_iccProfile = std::move(profile); }
    bool isEmpty() const { return m_image.isNull(); }
    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }
    void convertTo24() { if (!m_image.isNull() && m_image.format() != QImage::Format_RGB888) m_image = m_image.convertToFormat(QImage::Format_RGB888); }

private:
    QImage m_image;
    QByteArray m_iccProfile;
};

// What a custom loader tells beside the picture it loaded.
struct TLoadInfo
{
    // The picture's own size where the bitmap is a smaller source of it
    // (a thumbnail the file carries); invalid: the bitmap's size.
    QSize pictureSize;
};

// A loader of further formats an embedding program may install. The engine
// turns what it loads into 24 bits, laying an alpha channel on BKColor.
class TCustomLoader
{
public:
    virtual ~TCustomLoader() = default;
    virtual bool CanLoad(const QString& fileName) = 0;
    virtual bool LoadToBitmap(const QString& fileName, TBitmap& bitmap) = 0;
    // For a thumbnail, box is the box it is fitted into, and the loader may
    // give any picture at least as large as the fitted one; an empty box asks
    // for the whole picture.
    virtual bool LoadToBitmapFor(const QString& fileName, TBitmap& bitmap, QSize box, TLoadInfo& info)
    {
        (void)box;
        (void)info;
        return LoadToBitmap(fileName, bitmap);
    }
    // Whether several engines on several threads may call it at once; one
    // that does not say so is called by one thread at a time.
    virtual bool ThreadSafe() const { return false; }
};

// What a load left in an engine: its picture, kind, size and icons, to be
// handed to another engine (a load made on a helper thread for a view).
struct TImgResult
{
    QImage Bitmap;
    TImageType ImageType = iitNone;
    int ImageWidth = 0, ImageHeight = 0;
    int IconCount = 0, IconIndex = -1;
    bool FromCache = false;
};

class TImgUtil
{
public:
    // Largest picture decoded, in pixels: beyond it a JPEG is decoded at a
    // smaller DCT scale and anything else shows its icon.
    static constexpr qint64 MaxPixels = qint64(1) << 28;

    TImgUtil();
    ~TImgUtil();
    TImgUtil(const TImgUtil&) = delete;
    TImgUtil& operator=(const TImgUtil&) = delete;

    // 0 = Bitmap holds the picture (or the file's icon); 1 = no such file or
    // folder (or a text file that cannot be typeset); -1 = decoding failed
    // and Bitmap holds the file's icon.
    int LoadImage(const QString& fileName, int width, int height, int iconIndex = 0);
    // 0 when a kind was found, 3 for iitNone; ImageType is set either way.
    int GetImageType(const QString& fileName);
    // The frame at pos percent of the first video stream's length (0 = the
    // first frame) in 24 bits, at its own size: 0, or -1 when the file is
    // missing or FFmpeg cannot open or decode it (bitmap untouched then).
    int GrabAviFrame(const QString& fileName, TBitmap& bitmap, int pos);
    // Renders a page or a mail into bitmap at bitmap's size, white behind
    // it; false when the file cannot be read or parsed.
    bool ExtractShellImage(const QString& fileName, TBitmap& bitmap);
    int DrawFileIcon(const QString& fileName, int iconIndex);
    bool IsTextExt(const QString& fileName) const;

    void ResizeBitmap(TBitmap& bitmap, int width, int height)
    {
        sq::ResizeBitmap(bitmap.image(), width, height, m_resamplePool);
    }
    void FitBitmap(TBitmap& bitmap, int width, int height)
    {
        sq::FitBitmap(bitmap.image(), m_getType, width, height, m_resamplePool);
    }
    // The pool whose idle helpers take rows of this engine's resampling; none
    // (the default) resamples on the loading thread alone, as workers that
    // already fill every processor should.
    sq::TWorkPool* ResamplePool() const { return m_resamplePool; }
    void setResamplePool(sq::TWorkPool* pool) { m_resamplePool = pool; }

    TBitmap& Bitmap() { return m_bitmap; }
    const TBitmap& Bitmap() const { return m_bitmap; }
    TImageType ImageType() const { return m_imageType; }
    int ImageWidth() const { return m_imageWidth; }
    int ImageHeight() const { return m_imageHeight; }
    int IconCount() const { return m_iconCount; }
    int IconIndex() const { return m_iconIndex; }
    // The last load's result, taken out: the engine is left empty.
    TImgResult TakeResult();
    // A copy of it (the picture's pixels shared): the engine keeps it.
    TImgResult PeekResult() const
    {
        return {m_bitmap.image(), m_imageType, m_imageWidth, m_imageHeight, m_iconCount, m_iconIndex, m_lastFromCache};
    }
    // Stands as if it had made the result itself; the settings stay.
    void SetResult(TImgResult result);
    // Whether the last LoadImage was served by the thumbnail cache.
    bool LastFromCache() const { return m_lastFromCache; }

    TThumb* Thumbnail() const { return m_thumbnail; }
    void setThumbnail(TThumb* thumb) { m_thumbnail = thumb; }
    // The device pixel ratio the thumbnails this engine looks up and adds are
    // made for (the sizes given to LoadImage are device pixels then); the
    // cache keeps each ratio's entries apart. Default 1.
    qreal CacheScale() const { return m_cacheScale; }
    void setCacheScale(qreal scale) { m_cacheScale = scale; }
    TSPlugin* SPlugin() const { return m_splugin; }
    void setSPlugin(TSPlugin* plugin) { m_splugin = plugin; }
    // Taken around every use of Thumbnail; nullptr when only this engine uses it.
    std::mutex* CacheLock() const { return m_cacheLock; }
    void setCacheLock(std::mutex* lock) { m_cacheLock = lock; }
    TCustomLoader* CustomLoader() const { return m_customLoader; }
    void setCustomLoader(TCustomLoader* loader) { m_customLoader = loader; }
    // What a decode reserves its picture's memory from before it starts
    // (the process's budget unless set; nullptr: nothing is reserved).
    sq::DecodeBudget* Budget() const { return m_budget; }
    void setBudget(sq::DecodeBudget* budget) { m_budget = budget; }
    // Where decoded pictures with an ICC profile take their colours from:
    // the program's setting unless set; nullptr turns no picture.
    sq::ColourSetting* Colour() const { return m_colour; }
    void setColour(sq::ColourSetting* setting) { m_colour = setting; }
    // Whether the last picture decoded was turned into the display's colours.
    bool LastConverted() const { return m_lastConverted; }
    // What sees the rows of the JPEGs this engine decodes at full size and
    // upright, until set otherwise (nullptr: nothing). The watch outlives
    // the loads it is set for.
    void setDecodeWatch(sq::TDecodeWatch* watch) { m_watch = watch; }
    // Whether the last load's picture is the one the watch was shown, every
    // row of it, and left as it was decoded.
    bool LastWatched() const { return m_lastWatched; }
    // Once the flag turns true, a decode still waiting for the budget gives
    // up: the load fails. nullptr: never.
    void setCancelFlag(const std::atomic<bool>* flag) { m_cancel = flag; }

    int Quality() const { return m_quality; }
    void setQuality(int quality);
    TJPEGPerformance Performance() const { return m_performance; }
    void setPerformance(TJPEGPerformance p) { m_performance = p; }
    bool SusiePriority() const { return m_susiePriority; }
    void setSusiePriority(bool on) { m_susiePriority = on; }
    bool AutoThumb() const { return m_autoThumb; }
    void setAutoThumb(bool on) { m_autoThumb = on; }
    const QFont& Font() const { return m_font; }
    void setFont(const QFont& font) { m_font = font; }
    QColor FontColor() const { return m_fontColor; }
    void setFontColor(const QColor& color) { m_fontColor = color; }
    const QString& TextExt() const { return m_textExt; }
    const QString& TextExtList() const { return m_textExtList; }
    void setTextExt(const QString& ext);
    TGetType GetType() const { return m_getType; }
    void setGetType(TGetType type) { m_getType = type; }
    QColor BKColor() const { return m_bkColor; }
    void setBKColor(const QColor& color);
    int AviFramePos() const { return m_aviFramePos; }
    void setAviFramePos(int pos);

    // Fired when BKColor changes.
    std::function<void(TImgUtil*)> OnChange;

    // Cache hooks: false / nothing while no Thumbnail is set. Entries made
    // here carry UprightFlag: their thumbnail was turned upright by the
    // picture's EXIF Orientation. A JPEG's entry without it was made sideways
    // and is turned upright as it is read.
    static constexpr qint32 UprightFlag = 1;
    // Entries made while a colour setting was given carry ColourNotedFlag;
    // ProfiledFlag when the picture has a profile it is converted from, and
    // then ConvertedFlag and the display's key in the top 16 bits when it
    // was made with colours managed. Such an entry is a miss once the switch or the display
    // profile differ; the entry of a picture without a profile never is.
    static constexpr qint32 ColourNotedFlag = 2;
    static constexpr qint32 ProfiledFlag = 4;
    static constexpr qint32 ConvertedFlag = 8;
    bool LoadFromCache(const QString& fileName, int width, int height);
    void SaveToCache(const QString& fileName);

private:
    void Clear();
    int DecodeImage(const QString& fileName, int width, int height);
    int decodeByKind(const QString& fileName, int width, int height);
    // The bytes decoding the file for a width x height box takes at most,
    // from its header; 0 when it is not known or small.
    qint64 decodeCost(const QString& fileName, int width, int height) const;
    int loadBmp(const QString& fileName);
    // The icon a .exe, .dll, .ani, .ico or .cur file carries itself, counting
    // the groups of a PE file into IconCount; null when it has none.
    QImage fileOwnIcon(const QString& fileName, int iconIndex);
    int loadJpeg(const QString& fileName, int width, int height);
    // Decodes JPEG bytes into Bitmap at the coarsest DCT scale covering the
    // box, then fits it; ImageWidth/Height take pictureSize when given.
    int JpegToBitmap(const QByteArray& bytes, int width, int height, QSize pictureSize = QSize());
    // Takes a decoded JPEG (null: failed) into Bitmap and fits it.
    int installJpeg(QImage image, QSize full, int width, int height, QSize pictureSize);
    int loadText(const QString& fileName, int width, int height);
    int loadAvi(const QString& fileName);
    int loadDocument(const QString& fileName, int width, int height);
    int loadMetafile(const QString& fileName);
    void finishLoad(int width, int height);
    // Turns Bitmap into the display's colours by profile (empty: none).
    void applyColour(const QByteArray& profile);
    // Whether a cache entry's flags fit the colour state of this load.
    bool colourEntryValid(qint32 flags) const;
    qint32 colourFlags() const;

    TThumb* m_thumbnail = nullptr;
    std::mutex* m_cacheLock = nullptr;
    qreal m_cacheScale = 1;
    TSPlugin* m_splugin = nullptr;
    int m_quality = 90;
    TJPEGPerformance m_performance = jpBestSpeed;
    TBitmap m_bitmap;
    TImageType m_imageType = iitNone;
    bool m_susiePriority = false;
    int m_iconCount = 0;
    int m_iconIndex = -1;
    bool m_autoThumb = false;
    QFont m_font;
    QColor m_fontColor = QColor(0, 0, 0);
    QString m_textExt;
    QString m_textExtList;
    TGetType m_getType = igtPreview;
    sq::TWorkPool* m_resamplePool = nullptr;
    int m_imageWidth = 0;
    int m_imageHeight = 0;
    QColor m_bkColor = QColor(255, 255, 255);
    TCustomLoader* m_customLoader = nullptr;
    sq::DecodeBudget* m_budget = &sq::DecodeBudget::process();
    const std::atomic<bool>* m_cancel = nullptr;
    int m_aviFramePos = 20;
    bool m_lastFromCache = false;
    sq::ColourSetting* m_colour;
    // Taken when a load starts: every step of one load sees one state.
    std::shared_ptr<const sq::DisplayColour> m_colourNow;
    bool m_lastProfiled = false;
    bool m_lastConverted = false;
    sq::TDecodeWatch* m_watch = nullptr;
    bool m_lastWatched = false;
};

namespace sq {

// The kinds whose picture is their icon: never decoded as pictures.
inline bool isIconKind(TImageType kind)
{
    switch (kind) {
    case iitIco:
    case iitCur:
    case iitAni:
    case iitExe:
    case iitDll:
    case iitDir:
        return true;
    default:
        return false;
    }
}

// The kinds shown as pictures, not as an icon, a page or a frame: BMP, JPEG
// and what the custom loader reads. The browser draws them in their cells,
// the preview and the slide view's screens show them, the rest is opened.
inline bool isPictureKind(TImageType kind)
{
    return kind == iitBmp || kind == iitJpeg || kind == iitCustom;
}

// The picture in 24 bits; where it has an alpha channel, laid on background
// (each channel c * a + background * (1 - a), rounded).
QImage flattenOnto(const QImage& image, const QColor& background);

// Reads at most maxLines lines of at most maxColumn + 1 bytes each from a
// text file, bytes undecoded, lines joined by CR LF; "" for maxLines <= 0.
QByteArray ReadTextLines(const QString& fileName, int maxLines, int maxColumn);

// Decodes a JPEG held in memory at scale 1/denom (1, 2, 4, 8) into a 24-bit
// picture turned upright by its EXIF Orientation; fast integer IDCT when
// fast. Returns a null image on any error. full receives the picture's own
// upright size when the header could be read.
QImage decodeJpeg(const QByteArray& bytes, int denom, bool fast, QSize* full = nullptr);

// The ICC profile of a JPEG held in memory, joined from its APP2 chunks;
// empty when it has none or they are damaged.
QByteArray jpegIccProfile(const QByteArray& bytes);

// Compresses a picture as JPEG at quality 1..100; empty on failure.
QByteArray encodeJpeg(const QImage& image, int quality, bool fast);

// The frame at pos percent of the first video stream's length (0 = the first
// frame) of a video in any container FFmpeg opens, in 24 bits at its own
// size; null when the file cannot be opened or decoded, or its frame size is
// past 64 MP (checked before the decoder opens, and by every decoder before
// it allocates a frame).
QImage grabVideoFrame(const QString& fileName, int pos);

// The picture's upright size from a JPEG header, or an invalid size.
QSize jpegSize(const QByteArray& bytes);

// The EXIF Orientation (1 .. 8) of a JPEG file, read from its header only;
// 1 when it has none or cannot be read.
int jpegFileOrientation(const QString& fileName);

// The DCT scale JpegToBitmap picks for a w x h picture and a box.
int jpegScaleFor(int w, int h, int boxW, int boxH);

} // namespace sq
