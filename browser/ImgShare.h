// The thumbnail browser's entries (TShellItem, TPanelItem), their lists
// (TShellItems, TPanelItems) and its option objects (TView, TViewImage and
// their parts). Used by the browser control, the main window and the viewers.
//
// Threads: everything here belongs to the GUI thread. The loader's workers
// never touch the entries: the browser asks an entry's kind and path itself
// and hands the worker a job with them. The list is still changed only after
// the browser has stopped loading.
#pragma once

#include "browser/SysColors.h"
#include "engine/ImgUtils.h"
#include "engine/ImgUtils_susie.h"
#include "platform/ShellCompare.h"
#include "platform/ShellFolder.h"
#include "platform/ShellOpen.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// ---- framework types the options are written in ----


enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum TIconPosition { iipLeftTop, iipLeftBottom, iipRightTop, iipRightBottom, iipNone };
enum TDragType { idtCopy, idtMove, idtLink };
enum TSortTypeEx { istName, istSize, istType, istDate, istAttr };
enum TViewMode { ivmFolder, ivmFile };

constexpr int kImageTypeCount = iitAvi + 1;

class TOptionObject;
using TNotifyEvent = std::function<void(TOptionObject* Sender)>;

// ---- entries ----

class TShellItems;

// One listed file or folder. Its id list is its name inside its parent folder
// (empty: an entry without id list).
class TShellItem
{
public:
    TShellItem(TShellItems* owner, QByteArray itemId, bool isFolder, int overlayKind);
    virtual ~TShellItem() = default;
    TShellItem(const TShellItem&) = delete;
    TShellItem& operator=(const TShellItem&) = delete;

    TShellItems* Owner() const { return m_owner; }
    std::int32_t Id() const { return m_id; }
    const QByteArray& ItemId() const { return m_itemId; }
    bool HasItemId() const { return !m_itemId.isEmpty(); }
    bool IsFolder() const { return m_isFolder; }
    int OverlayKind() const { return m_overlayKind; }      // -1 none, 0 shared, 1 shortcut
    const QString& ParentId() const { return m_parentId; } // file mode only

    // The name as shown (bytes that are not UTF-8 as U+FFFD); never a path
    // to open: the file system's names are ItemId and ParseName.
    QString DisplayName();
    // The full path, a carrier of the file's bytes (platform/NativePath.h).
    QString ParseName();
    void SetParseName(const QString& name);
    // "(size div 1024) + 1" followed by "KB"; from the whole size.
    QString SizeText();
    std::uint32_t Size();       // low 32 bits of the size
    std::int64_t Size64();      // the whole size
    std::uint32_t Attributes(); // st_mode
    QString DateText();         // "yyyy/MM/dd hh:mm", local time; computed once
    int ShellIconIndex();       // -1 when unknown
    TImageType ImageKind();     // cached
    // The default action: open a folder in the browser, anything else with
    // the desktop's program. Returns false when nothing was done.
    bool Execute();
    void ResetCaches();

    // The entry's absolute path: its parent's path followed by its name.
    QString AbsoluteIdList() const;
    // The folder that answers for this entry's names and attributes.
    sq::platform::ShellFolder ParentFolder() const;

    QImage CellBitmap; // null until loaded
    int PictureWidth = 0;
    int PictureHeight = 0;
    bool SharedBitmap = false;

protected:
    virtual TImageType DetectImageKind() = 0;

private:
    friend class TShellItems;
    friend class TPanelItems;
    bool loadFindData();
    const sq::platform::ShellCompareInfo& compareInfo(sq::platform::ShellColumn column);

    TShellItems* m_owner;
    std::int32_t m_id;
    QString m_displayName;
    QString m_sizeText;
    std::int64_t m_size = 0;
    QString m_dateText;
    std::int64_t m_dateSecs = 0;
    bool m_dateKnown = false; // never forgotten: the date is taken once
    int m_shellIconIndex = -1;
    int m_overlayKind = -1;
    QByteArray m_itemId;
    QString m_parseName;
    std::uint32_t m_attributes = 0;
    bool m_isFolder = false;
    bool m_isLink = false;
    std::atomic<int> m_imageKind{-1};
    QString m_parentId;
    // Known flags: separate objects, so the loader thread's ImageKind never
    // shares memory with a flag the GUI thread writes.
    bool m_parseNameKnown = false;
    bool m_iconIndexKnown = false;
    bool m_findDataKnown = false;
    bool m_displayNameKnown = false;
    std::optional<sq::platform::FindData> m_findData;
    std::optional<sq::platform::ShellCompareInfo> m_compare;
    bool m_compareHasData = false;
    bool m_compareHasType = false;
};

class TPanelItem : public TShellItem
{
public:
    using TShellItem::TShellItem;
    bool Selected = false;
    QRect CaptionRect;
    bool LoadDone = false;
    // The file's data when its picture was asked for: a re-read of the
    // folder keeps the picture of an entry whose file still has that size
    // and date (see TCustomImgPanel's change refresh).
    std::optional<sq::platform::FindData> loadStamp;

protected:
    TImageType DetectImageKind() override;
};

// What the entry list asks of its browser.
class TShellItemsHost
{
public:
    virtual ~TShellItemsHost() = default;
    virtual sq::platform::ShellFolder CurrentFolder() const = 0;
    virtual bool IsFileMode() const = 0;
    virtual void OpenFolderId(const QString& absoluteIdList) = 0;
    virtual void OpenFolder(const QString& path) = 0;
    virtual sq::platform::ShellOpener& Opener() = 0;
    // The browser's image engine (ViewImage.ImgUtil), which tells an entry's
    // kind. nullptr: no kind is known.
    virtual TImgUtil* ImgUtil() = 0;
};

// Owns its entries. Ids come from a creation counter that starts at 0 and is
// never reset, not even by Clear.
class TShellItems
{
public:
    explicit TShellItems(TShellItemsHost* host);
    virtual ~TShellItems();
    TShellItems(const TShellItems&) = delete;
    TShellItems& operator=(const TShellItems&) = delete;

    int Count() const { return static_cast<int>(m_items.size()); }
    TPanelItem* Items(int i) const { return m_items[static_cast<size_t>(i)].get(); }
    TShellItemsHost* Host() const { return m_host; }

    // Index of the first entry with the id, -1 if none; constant time. Safe
    // on the loader thread while the list is not changed.
    int IndexOfId(std::int32_t id) const;
    void Clear();
    // Takes every entry out, as Clear does, and hands them over.
    std::vector<std::unique_ptr<TPanelItem>> takeAll();
    void Delete(int index);

    // Sorts by the column; file mode by name is byte-wise, case-sensitive.
    // Entries without id list come first, or last with descend.
    void Sort(TSortTypeEx sortType, bool descend);

    std::int32_t takeId() { return m_counter++; }

protected:
    TPanelItem* append(std::unique_ptr<TPanelItem> item);
    void rebuildIndex();

    std::vector<std::unique_ptr<TPanelItem>> m_items;

private:
    TShellItemsHost* m_host;
    std::int32_t m_counter = 0;
    std::int32_t m_indexBase = 0; // the counter at the last Clear
    std::vector<int> m_indexOfId; // (id - m_indexBase) -> first index, -1 none
    sq::platform::ShellCollator m_collator;
    friend class TShellItem;
};

class TDispTypes;

class TPanelItems : public TShellItems
{
public:
    using TShellItems::TShellItems;

    // Reads the folder with the listing and filter options, appending one
    // entry per item that passes, then sorts. onFile is called for every
    // non-folder entry in listing order (the look-ahead queue). False when
    // the folder cannot be read: the list stays as it was.
    bool ReadFolder(const sq::platform::ShellFolder& folder, const TDispTypes& types,
                    TSortTypeEx sortType, bool descend,
                    const std::function<void(TPanelItem*)>& onFile = {});

    // File mode: adds the file at the path; nullptr when the path does not
    // exist or is not in its clean absolute form. An empty path adds an entry
    // without id list.
    TPanelItem* AddFile(const QString& path);

    std::vector<QString> SelectionIds; // absolute paths of the selected entries
    bool SelectionIdsOwned = false;
};

// ---- option objects ----

class TOptionObject
{
public:
    virtual ~TOptionObject() = default;
    TNotifyEvent OnChange;

protected:
    void Changed()
    {
        if (OnChange) OnChange(this);
    }
    // Stores v and fires when it differs from the stored value.
    template <class T> void setFiring(T& field, const T& v)
    {
        if (field == v) return;
        field = v;
        Changed();
    }
};

class TBlankSpace : public TOptionObject
{
public:
    int Left() const { return m_left; }
    int Top() const { return m_top; }
    int Right() const { return m_right; }
    int Bottom() const { return m_bottom; }
    void SetLeft(int v) { setFiring(m_left, v); }
    void SetTop(int v) { setFiring(m_top, v); }
    void SetRight(int v) { setFiring(m_right, v); }
    void SetBottom(int v) { setFiring(m_bottom, v); }
    int Horizontal() const { return m_left + m_right; }
    int Vertical() const { return m_top + m_bottom; }

private:
    int m_left = 0, m_top = 0, m_right = 0, m_bottom = 0;
};

class TFrameStyle : public TOptionObject
{
public:
    TFrameStyle() = default;
    TFrameStyle(TColor color, int width) : m_color(color), m_width(width) {}
    bool Visible() const { return m_visible; }
    TColor Color() const { return m_color; }
    int Width() const { return m_width; }
    void SetVisible(bool v) { setFiring(m_visible, v); }
    void SetColor(TColor v) { setFiring(m_color, v); }
    void SetWidth(int v) { setFiring(m_width, v); }
    void Assign(const TFrameStyle& o);

private:
    bool m_visible = true;
    TColor m_color = clInactiveBorder;
    int m_width = 1;
};

class TIconSpacing : public TOptionObject
{
public:
    static constexpr int DefaultX = 15, DefaultY = 32;
    TIconSpacing() = default;
    TIconSpacing(int x, int y) : m_x(x), m_y(y) {}
    int X() const { return m_x; }
    int Y() const { return m_y; }
    void SetX(int v) { setFiring(m_x, v); }
    void SetY(int v) { setFiring(m_y, v); }
    void Assign(const TIconSpacing& o);

private:
    int m_x = DefaultX, m_y = DefaultY;
};

class TSmallIcon : public TOptionObject
{
public:
    TIconPosition IconPos() const { return m_iconPos; }
    int Space() const { return m_space; }
    void SetIconPos(TIconPosition v) { setFiring(m_iconPos, v); }
    void SetSpace(int v) { setFiring(m_space, v); }
    void Assign(const TSmallIcon& o);

private:
    TIconPosition m_iconPos = iipRightBottom;
    int m_space = 2;
};

class TDispTypes : public TOptionObject
{
public:
    TDispTypes();
    bool Folders() const { return m_folders; }
    bool NonFolders() const { return m_nonFolders; }
    bool Hidden() const { return m_hidden; }
    const QString& Ext() const { return m_ext; }
    void SetFolders(bool v) { setFiring(m_folders, v); }
    void SetNonFolders(bool v) { setFiring(m_nonFolders, v); }
    void SetHidden(bool v) { setFiring(m_hidden, v); }
    void SetExt(const QString& v);

    // The normalised filter text: lower case, ";" at both ends, ";*.*;" for
    // an empty Ext.
    const QString& ExtList() const { return m_extList; }
    bool FilterActive() const { return !m_extList.contains(QLatin1String(";*.*;")); }
    // Whether a file name (or path: its last element counts) passes.
    bool Matches(const QString& name) const;
    unsigned EnumFlags() const;

    static QString NormaliseExt(const QString& ext);

private:
    bool m_folders = true, m_nonFolders = true, m_hidden = true;
    QString m_ext;
    QString m_extList;
};

class TDefaultExec : public TOptionObject
{
public:
    bool DblClick = true;
    bool ColumnSort = true;
    bool ContextMenu = true;
    bool DropSource = true;
    unsigned DragType = (1u << idtCopy) | (1u << idtMove) | (1u << idtLink);
    bool DropTarget() const { return m_dropTarget; }
    void SetDropTarget(bool v) { setFiring(m_dropTarget, v); }

private:
    bool m_dropTarget = true;
};

// Which entries are listed and how the grid is spaced. OnChange1 reports a
// listing change (DispTypes), OnChange2 a spacing change (ShowCaptions,
// IconSpacing).
class TView : public TOptionObject
{
public:
    TView();
    TNotifyEvent OnChange1;
    TNotifyEvent OnChange2;
    bool ShowCaptions() const { return m_showCaptions; }
    void SetShowCaptions(bool v);
    TDispTypes& DispTypes() { return m_dispTypes; }
    const TDispTypes& DispTypes() const { return m_dispTypes; }
    TIconSpacing& IconSpacing() { return m_iconSpacing; }
    const TIconSpacing& IconSpacing() const { return m_iconSpacing; }

private:
    void fire(const TNotifyEvent& e)
    {
        if (e) e(this);
    }
    bool m_showCaptions = true;
    TDispTypes m_dispTypes;
    TIconSpacing m_iconSpacing{4, 4};
};

// How a cell is drawn, and its geometry.
class TViewImage : public TOptionObject
{
public:
    TViewImage();
    ~TViewImage() override;
    TViewImage(const TViewImage&) = delete;
    TViewImage& operator=(const TViewImage&) = delete;
    // The image engine of the thumbnails; its own change fires OnChange.
    TImgUtil& ImgUtil() { return *m_imgUtil; }
    // The thumbnail cache the engine reads and fills; owned here.
    TThumb& Thumbnail() { return *m_thumb; }
    // The Susie plug-in host of the engine (no plug-ins unless added); owned.
    TSPlugin& SPlugin() { return *m_splugin; }
    int ImageWidth() const { return m_imageWidth; }
    int ImageHeight() const { return m_imageHeight; }
    TBevelCut BevelInner() const { return m_bevelInner; }
    TBevelCut BevelOuter() const { return m_bevelOuter; }
    int BevelWidth() const { return m_bevelWidth; }
    int BorderWidth() const { return m_borderWidth; }
    TBorderStyle BorderStyle() const { return m_borderStyle; }
    bool LookAhead() const { return m_lookAhead; }
    bool BigIcon() const { return m_bigIcon; }
    int BigIconSize() const { return m_bigIconSize; }
    void SetImageWidth(int v) { setFiring(m_imageWidth, v); }
    void SetImageHeight(int v) { setFiring(m_imageHeight, v); }
    void SetBevelInner(TBevelCut v) { setFiring(m_bevelInner, v); }
    void SetBevelOuter(TBevelCut v) { setFiring(m_bevelOuter, v); }
    void SetBevelWidth(int v) { setFiring(m_bevelWidth, v); }
    void SetBorderWidth(int v) { setFiring(m_borderWidth, v); }
    void SetBorderStyle(TBorderStyle v) { setFiring(m_borderStyle, v); }
    void SetLookAhead(bool v) { m_lookAhead = v; }
    void SetBigIcon(bool v) { setFiring(m_bigIcon, v); }
    void SetBigIconSize(int v) { setFiring(m_bigIconSize, v); }

    // Image kinds whose thumbnails get the small icon.
    bool DispImage(TImageType kind) const { return (m_dispImage >> kind) & 1u; }
    std::uint32_t DispImageMask() const { return m_dispImage; }
    void SetDispImageMask(std::uint32_t mask) { m_dispImage = mask; }

    TFrameStyle& Frame() { return m_frame; }
    TFrameStyle& SelectFrame() { return m_selectFrame; }
    TSmallIcon& SmallIcon() { return m_smallIcon; }
    TBlankSpace& BlankSpace() { return m_blankSpace; }
    const TFrameStyle& Frame() const { return m_frame; }
    const TFrameStyle& SelectFrame() const { return m_selectFrame; }
    const TBlankSpace& BlankSpace() const { return m_blankSpace; }
    void SetFrame(const TFrameStyle& v) { m_frame.Assign(v); }
    void SetSelectFrame(const TFrameStyle& v) { m_selectFrame.Assign(v); }
    void SetSmallIcon(const TSmallIcon& v) { m_smallIcon.Assign(v); }

    int FrameThickness() const;
    int BorderOffset() const;
    int InnerBevelOffset() const;
    int ImageOffset() const;
    int BorderWidthSum() const;
    int CellWidth() const;
    int CellHeight() const;
    int ColumnPitch(const TIconSpacing& spacing) const { return CellWidth() + spacing.X(); }

private:
    std::unique_ptr<TThumb> m_thumb;
    std::unique_ptr<TSPlugin> m_splugin;
    std::unique_ptr<TImgUtil> m_imgUtil;
    int m_imageWidth = 94, m_imageHeight = 94;
    TBevelCut m_bevelInner = bvNone, m_bevelOuter = bvNone;
    int m_bevelWidth = 1;
    int m_borderWidth = 0;
    TBorderStyle m_borderStyle = bsNone;
    std::uint32_t m_dispImage = (1u << kImageTypeCount) - 1;
    TFrameStyle m_frame;
    TFrameStyle m_selectFrame{clHighlight, 3};
    TSmallIcon m_smallIcon;
    TBlankSpace m_blankSpace;
    bool m_lookAhead = false;
    bool m_bigIcon = false;
    int m_bigIconSize = 48;
};

// ---- drag and drop ----

class QMimeData;

// The file names of a dropped or pasted data object, read from its
// text/uri-list, the one accepted format, as the clipboard reads it
// (platform/FileClipboard.h). Names are carriers of the files' bytes, whole
// at any length; URIs that are no local file are left out. The list is read
// on the first request and kept. The data object must outlive this one.
class TFileDataObject
{
public:
    explicit TFileDataObject(const QMimeData* data) : m_data(data) {}
    // Whether data offers the accepted format at all.
    static bool Offers(const QMimeData* data);
    int FileCount();
    const QStringList& FileNames();

private:
    const QMimeData* m_data;
    QStringList m_names;
    bool m_read = false;
};
