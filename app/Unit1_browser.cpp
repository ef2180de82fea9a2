// The main window's thumbnail browser: its configuration, the commands that
// change it, and its events written to the status bar.
#include "app/Unit1.h"
#include "state/Globals.h"

#include "app/ProgramOpener.h"
#include "app/Unit17.h"
#include "engine/BmpFile.h"
#include "engine/PictureLoader.h"
#include "platform/FileOpsDialogs.h"
#include "platform/FileVerbs.h"
#include "platform/FolderFileList.h"
#include "platform/FolderTree.h"
#include "platform/NativePath.h"
#include "platform/PathOps.h"
#include "platform/ShellFolder.h"
#include "viewers/BitmapSaveDialog.h"
#include "viewers/Unit2.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QListView>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeView>

#include <unistd.h>

#include <vector>

namespace {

// One background style: browser colour, caption font colour, the image
// engine's background and font colours, frame visibility, the cell border,
// inner and outer bevels, frame and select-frame colours.
struct ViewStyle
{
    TColor color;
    TColor fontColor;
    TColor bkColor;
    TColor engineFontColor;
    bool frameVisible;
    TBorderStyle border;
    TBevelCut bevelInner;
    TBevelCut bevelOuter;
    TColor frameColor;
    TColor selectFrameColor;
};

const ViewStyle kViewStyles[] = {
    {clWhite, clBlack, clWhite, clBlack, true, bsNone, bvNone, bvNone, clInactiveBorder, clHighlight},
    {clBlack, clWhite, clBlack, clWhite, true, bsNone, bvNone, bvNone, clInactiveBorder, clHighlight},
    {clBtnFace, clBlack, clBtnFace, clBlack, false, bsSingle, bvNone, bvNone, clInactiveBorder, clHighlight},
    {clNavy, clWhite, clInfoBk, clBlack, true, bsNone, bvLowered, bvRaised, RGB(192, 220, 192), clHighlight},
    {clHighlight, clBlack, RGB(128, 64, 0), clBtnFace, false, bsNone, bvRaised, bvLowered, clBtnFace, clWhite},
    {RGB(192, 220, 192), clBlack, clGray, clBlack, true, bsNone, bvNone, bvNone, RGB(255, 255, 193), clWhite},
};

// Line 1's codes: name, size, date, type.
const TSortTypeEx kSortTypes[] = {istName, istSize, istDate, istType};

} // namespace

void TForm1::configureBrowser()
{
    TImgPanel& b = *ImgPanel1;
    b.SetMultiSelect(true);
    b.SetHideSelection(false);
    b.DefaultExec().DblClick = false;
    b.DefaultExec().DragType = (1u << idtCopy) | (1u << idtMove) | (1u << idtLink);
    // The change watch: everything but security changes.
    b.ShellChangeNotification().SetEnabled(true);
    b.ShellChangeNotification().SetNotifyTypes({intFileName, intDirName, intAttributes, intSize, intLastWrite,
                                                intLastAccess, intCreation});
    m_filePrompt = std::make_unique<sq::platform::DialogFileOpPrompt>(this);
    // Every open of an entry or a verb tells the user when no program can.
    m_programOpener = std::make_unique<TProgramOpener>(this);
    b.SetOpener(m_programOpener.get());
    m_fileVerbs = std::make_unique<sq::platform::FileVerbs>(*m_filePrompt, *m_programOpener);
    m_shellVerbs = std::make_unique<TFileVerbsAdapter>(*m_fileVerbs);
    b.SetShellVerbs(m_shellVerbs.get());
    b.View().DispTypes().SetFolders(false);
    b.View().DispTypes().SetExt(QStringLiteral("*.jpg;*.bmp;"));
    b.View().IconSpacing().SetX(1);
    b.View().IconSpacing().SetY(6);
    TViewImage& vi = b.ViewImage();
    vi.SetImageWidth(80);
    vi.SetImageHeight(60);
    vi.SetBorderWidth(1);
    vi.SetBorderStyle(bsSingle);
    std::uint32_t pictures = 0;
    for (int kind = iitNone; kind <= iitAvi; ++kind)
        if (sq::isPictureKind(TImageType(kind))) pictures |= 1u << kind;
    vi.SetDispImageMask(pictures);
    vi.SelectFrame().SetColor(clOlive);
    vi.SelectFrame().SetWidth(3);
    vi.SmallIcon().SetIconPos(iipNone);
    vi.SmallIcon().SetSpace(1);
    TImgUtil& engine = vi.ImgUtil();
    sq::installPictureLoader(engine);
    engine.setQuality(100);
    engine.setAutoThumb(true);
    vi.Thumbnail().setActive(false);
    engine.setSusiePriority(false);
    engine.setGetType(igtStretch);
    engine.setBKColor(Qt::white);
    engine.setAviFramePos(20);
    QFont font(QStringLiteral("MS UI Gothic"));
    font.setPixelSize(16);
    b.SetCaptionFont(font);
    b.SetColor(clWhite);

    b.OnImageLoad = [this](void*, TPanelItem* item) {
        setStatusText(1, item->DisplayName() + QStringLiteral(" を開いています"));
        sq::app::thumbnailsLoading = true;
    };
    b.OnImageLoaded = [this](void*, TPanelItem* item) {
        setStatusText(1, QString());
        sq::app::thumbnailsLoading = false;
        // The shown picture's size is known once its thumbnail is made.
        if (item && item == sq::app::previewEntry) writeShownSize(item);
    };
    b.OnChangeFolder = [this](TCustomImgPanel*) {
        setStatusText(1, QString());
        DispSelectItem();
        followShownEntry();
    };
    b.OnKeyUp = [this](TCustomImgPanel*, QKeyEvent*) { DispSelectItem(); };
    b.OnMouseDown = [this](TCustomImgPanel*, QMouseEvent*) { DispSelectItem(); };
    b.OnClick = [this](TCustomImgPanel*) { ImgPanel1Click(); };
}

void TForm1::DispSelectItem()
{
    setStatusText(0, QStringLiteral("  %1 個のオブジェクト").arg(ImgPanel1->Items().Count()));
}

void TForm1::ImgPanel1Click()
{
    TImgPanel& b = *ImgPanel1;
    setStatusText(1, QStringLiteral(" %1個のオブジェクトを選択").arg(b.SelCount()));
    if (b.SelCount() == 0)
        for (int i = 0; i < b.Items().Count(); ++i)
            b.SetSelected(i, false);
    TPanelItem* item = b.CurrentItem();
    if (!item)
        return;
    sq::app::previewEntry = item;
    m_shownFile = item->ParseName();
    m_shownName = item->ItemId();
    m_shownFolder = b.CurrentFolderPath();
    m_shownStamp = sq::platform::fileStampOf(m_shownFile);
    m_shownSize = QSize();
    writeShownPanels(item, b.CurrentIndex());
    if (isChecked(QStringLiteral("V1"))) showPreviewEntry();
    // Before its thumbnail is made, the size comes from the preview.
    writeShownSize(item);
}

void TForm1::writeShownPanels(TPanelItem* item, int index)
{
    setStatusText(2, QStringLiteral(" %1/%2").arg(index + 1).arg(ImgPanel1->Items().Count()));
    setStatusText(3, QLatin1Char(' ') + item->DisplayName());
    setStatusText(4, QLatin1Char(' ') + item->DateText());
    writeShownSize(item);
    setStatusText(6, QStringLiteral(" %1-%2バイト").arg(item->SizeText()).arg(item->Size64()));
}

void TForm1::writeShownSize(TPanelItem* item)
{
    const TImgUtil& preview = *ImgBox1->ImgUtil();
    if (!m_previewFile.isEmpty() && m_previewFile == m_shownFile && ImgBox1->Loaded())
        m_shownSize = QSize(preview.ImageWidth(), preview.ImageHeight());
    else if (item->LoadDone || item->PictureWidth > 0 || !m_shownSize.isValid())
        m_shownSize = QSize(item->PictureWidth, item->PictureHeight);
    setStatusText(5, QStringLiteral(" %1x%2").arg(m_shownSize.width()).arg(m_shownSize.height()));
}

void TForm1::followShownEntry()
{
    TImgPanel& b = *ImgPanel1;
    // The entries are new: the old preview entry is gone with them.
    sq::app::previewEntry = nullptr;
    const QString folder = b.CurrentFolderPath();
    // The shown folder itself has gone (deleted, or moved away).
    if (!folder.isEmpty() && !sq::platform::isFolderPath(folder))
        QTimer::singleShot(0, this, &TForm1::leaveGoneFolder);
    if (m_shownFile.isEmpty()) return;
    TPanelItems& items = b.Items();
    int index = -1;
    if (folder == m_shownFolder)
        for (int i = 0; i < items.Count() && index < 0; ++i)
            if (items.Items(i)->ItemId() == m_shownName) index = i;
    if (index < 0) {
        // Another folder, or the file left this one: nothing of it stays.
        clearShown();
        return;
    }
    TPanelItem* item = items.Items(index);
    sq::app::previewEntry = item;
    const sq::platform::FileStamp now = sq::platform::fileStampOf(m_shownFile);
    const bool changed = now != m_shownStamp;
    m_shownStamp = now;
    if (changed) {
        m_shownSize = QSize();
        // Written or replaced: the preview shows the file as it is now, or,
        // hidden, nothing of what it was.
        const QString inPreview = ImgBox1->ImageFile();
        if (m_previewFile == m_shownFile && (inPreview.isEmpty() || inPreview == m_previewFile)) {
            if (isChecked(QStringLiteral("V1")) && sq::isPictureKind(item->ImageKind())) {
                ImgBox1->LoadFile(m_shownFile);
            } else {
                m_previewFile.clear();
                ImgBox1->Clear();
            }
        }
    }
    writeShownPanels(item, index);
}

void TForm1::clearShown()
{
    m_shownFile.clear();
    m_shownName.clear();
    m_shownFolder.clear();
    m_shownStamp = {};
    m_shownSize = QSize();
    m_previewFile.clear();
    sq::app::previewEntry = nullptr;
    for (int panel = 2; panel <= 6; ++panel)
        setStatusText(panel, QString());
    ImgBox1->Clear();
}

void TForm1::shownRenamed(const QString& from, const QString& to)
{
    if (m_shownFile != from) return;
    m_shownFile = to;
    m_shownName = sq::platform::nativePath(sq::platform::fileNameOf(to));
    m_shownStamp = sq::platform::fileStampOf(to);
    if (m_previewFile == from) {
        m_previewFile = to;
        ImgBox1->LoadFile(to);
    }
}

void TForm1::leaveGoneFolder()
{
    QString folder = m_treeFolder.isEmpty() ? browserCurrentFolderPath() : m_treeFolder;
    if (folder.isEmpty()) return;
    if (sq::platform::isFolderPath(folder)) {
        // Still there (the tree only lost its row for a moment): the tree
        // stands on it again.
        const QModelIndex index = m_dirModel->index(folder);
        if (index.isValid() && DirectoryListBox1->currentIndex() != index) {
            const QSignalBlocker quiet(DirectoryListBox1->selectionModel());
            DirectoryListBox1->setCurrentIndex(index);
        }
        if (browserCurrentFolderPath() == folder) return;
    }
    while (!sq::platform::isFolderPath(folder) && folder != QLatin1String("/"))
        folder = sq::platform::parentOf(folder);
    if (folder != m_treeFolder) {
        pointTreeAt(folder);
    } else if (browserCurrentFolderPath() != folder) {
        DirectoryListBox1Change();
    }
}

void TForm1::browserSetSortType(int code)
{
    ImgPanel1->SetSortType(kSortTypes[code]);
}

void TForm1::browserSetImageSize(int width, int height)
{
    ImgPanel1->ViewImage().SetImageWidth(width);
    ImgPanel1->ViewImage().SetImageHeight(height);
}

void TForm1::browserSetStyle(int index)
{
    const ViewStyle& s = kViewStyles[index];
    TImgPanel& b = *ImgPanel1;
    TViewImage& vi = b.ViewImage();
    b.SetColor(s.color);
    b.SetFontColor(s.fontColor);
    vi.ImgUtil().setBKColor(ColorToRGB(s.bkColor));
    vi.ImgUtil().setFontColor(ColorToRGB(s.engineFontColor));
    vi.Frame().SetVisible(s.frameVisible);
    vi.Frame().SetWidth(1);
    vi.SetBorderStyle(s.border);
    vi.SetBevelInner(s.bevelInner);
    vi.SetBevelOuter(s.bevelOuter);
    vi.Frame().SetColor(s.frameColor);
    vi.SelectFrame().SetColor(s.selectFrameColor);
}

void TForm1::browserSetExt(const QString& ext)
{
    ImgPanel1->View().DispTypes().SetExt(ext);
}

// ---- preview ----

void TForm1::configurePreview()
{
    // A pane or window resize fits the picture again once the size rests.
    m_previewFit = new QTimer(this);
    m_previewFit->setSingleShot(true);
    m_previewFit->setInterval(PreviewFitDelayMs);
    connect(m_previewFit, &QTimer::timeout, this, &TForm1::refitPreview);
    ImgBox1->installEventFilter(this);
    TImgUtil& engine = *ImgBox1->ImgUtil();
    sq::installPictureLoader(engine);
    engine.setQuality(100);
    engine.setGetType(igtNormal);
    engine.setBKColor(Qt::white);
    engine.setAviFramePos(20);
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(16);
    engine.setFont(font);
    ImgBox1->setColor(Qt::white);
}

void TForm1::previewSetMode(int mode)
{
    static const struct
    {
        TGetType getType;
        TSizeType sizeType;
    } kModes[] = {{igtNormal, ispImage}, {igtNormal, ispStretch}, {igtPreview, ispImage}, {igtFit, ispStretch}};
    ImgBox1->ImgUtil()->setGetType(kModes[mode].getType);
    ImgBox1->setSizeType(kModes[mode].sizeType);
}

void TForm1::showPreviewEntry()
{
    TPanelItem* entry = sq::app::previewEntry;
    if (!entry)
        return;
    // The entry must still be listed; the browser replaces its entries when
    // it reads a folder.
    TPanelItems& items = ImgPanel1->Items();
    int index = -1;
    for (int i = 0; i < items.Count() && index < 0; ++i)
        if (items.Items(i) == entry)
            index = i;
    if (index < 0) {
        sq::app::previewEntry = nullptr;
        return;
    }
    const TImageType kind = entry->ImageKind();
    if (sq::isPictureKind(kind)) {
        m_previewFile = entry->ParseName();
        ImgBox1->LoadFile(m_previewFile);
    } else {
        entry->Execute();
    }
}

void TForm1::refitPreview()
{
    // Decoded to fit the old size: decoded again for the new one.
    const QString file = ImgBox1->ImageFile();
    if (ImgBox1->ImgUtil()->GetType() == igtNormal || file.isEmpty() || !ImgBox1->isVisible())
        return;
    if (sq::platform::fileStampOf(file).regular) ImgBox1->LoadFile(file);
}

void TForm1::N32Click()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    const TBitmap& picture = ImgBox1->ImgUtil()->Bitmap();
    if (!ImgBox1->ImageFile().isEmpty() && !picture.isEmpty())
        clipboard->setImage(picture.image());
}

void TForm1::Save1Click()
{
    const TBitmap& picture = ImgBox1->ImgUtil()->Bitmap();
    if (statusText(3).isEmpty() || ImgBox1->ImageFile().isEmpty() || picture.isEmpty())
        return;
    // The slide view's save-picture dialog.
    const QImage image = picture.image();
    const QString name = Form2 && Form2->SavePictureDialog1 ? Form2->SavePictureDialog1()
                                                            : sq::viewers::askBitmapFileName(this);
    if (name.isEmpty()) return;
    QString error;
    if (!sq::writeBmpFile(name, image, &error))
        QMessageBox::warning(
            this, windowTitle(),
            QStringLiteral("%1 を保存できません").arg(sq::platform::displayText(name)) +
                QLatin1Char('\n') + error);
}

// ---- commands on the browser ----

void TForm1::focusFile(const QString& path)
{
    // By the path's bytes, as the browser lists its entries.
    const QString absolute = sq::platform::absolutePathOf(path);
    if (sq::platform::parentOf(absolute) !=
        sq::platform::absolutePathOf(ImgPanel1->CurrentFolderPath()))
        return;
    TImgPanel& b = *ImgPanel1;
    const QString name = sq::platform::fileNameOf(absolute);
    for (int i = 0; i < b.Items().Count(); ++i) {
        const QString entry = b.Items().Items(i)->ParseName();
        if (sq::platform::fileNameOf(entry) != name) continue;
        b.setFocus();
        if (b.CurrentIndex() == i && ImgBox1->ImageFile() == entry) return; // shown already
        // Selected as a click on it selects, then the click's handling.
        b.MoveFocus(i, Qt::NoModifier, false);
        DispSelectItem();
        ImgPanel1Click();
        return;
    }
}

void TForm1::SelectAll1Click()
{
    ImgPanel1->SelectAll();
    setStatusText(1, QStringLiteral(" %1個のオブジェクトを選択").arg(ImgPanel1->SelCount()));
}

void TForm1::PagingCommand(int which)
{
    switch (which) {
    case 0: ImgPanel1->NextRow(); break;
    case 1: ImgPanel1->PriorRow(); break;
    case 2: ImgPanel1->NextPage(); break;
    case 3: ImgPanel1->PriorPage(); break;
    case 4: ImgPanel1->ScrollToTop(); break;
    default: ImgPanel1->ScrollToEnd(); break;
    }
}

void TForm1::Refresh1Click()
{
    try {
        ImgPanel1->Refresh();
    } catch (const EThumbError& e) {
        QMessageBox::warning(this, windowTitle(), QString::fromUtf8(e.what()));
    }
    if (m_fileModel && !m_treeFolder.isEmpty())
        FileListBox1->setRootIndex(m_fileModel->setRootPath(m_treeFolder));
    m_revealPending = true;
    revealTreeFolder();
}

void TForm1::N63Click()
{
    // Listed and removed by the bytes of the data folder's path.
    const QString thumb = m_dataFolder + QStringLiteral("thumb");
    std::vector<QByteArray> files;
    sq::platform::ShellFolder(thumb).enumObjects(sq::platform::ContNonFolders |
                                                     sq::platform::ContIncludeHidden,
                                                 [&files](sq::platform::EnumItem&& e) {
                                                     files.push_back(std::move(e.name));
                                                     return true;
                                                 });
    if (files.empty()) return;
    if (QMessageBox::question(this, windowTitle(), QStringLiteral("サムネイルのキャッシュファイルを削除していいですか?"),
                              QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    const QByteArray folder = sq::platform::nativePath(thumb) + '/';
    for (const QByteArray& f : files)
        ::unlink((folder + f).constData()); // one that is gone already is skipped
}

void TForm1::N52Click()
{
    if (!Form17)
        return;
    Form17->onFind = [this](const QString& text) { FindByName(text); };
    Form17->show();
    Form17->raise();
}

void TForm1::FindByName(const QString& text)
{
    if (text.isEmpty())
        return;
    TPanelItems& items = ImgPanel1->Items();
    const int n = items.Count();
    for (int i = 0; i < n; ++i) {
        // Matched as the name is shown: the typed text is plain text.
        const QString name = items.Items(i)->DisplayName();
        if (!name.contains(text, Qt::CaseSensitive))
            continue;
        ImgPanel1->MakeVisible(i);
        DispSelectItem();
        ImgPanel1Click();
    }
}

void TForm1::prepareStartFolder()
{
    // As many pictures as a first page of small cells holds.
    constexpr int kFirstPage = 24;
    QString folder;
    if (!m_startPath.isEmpty()) {
        if (m_startPath.size() <= 3) return;
        const QString absolute = sq::platform::absolutePathOf(m_startPath);
        if (!sq::platform::pathExists(absolute)) return;
        folder = sq::platform::isFolderPath(absolute) ? absolute : sq::platform::parentOf(absolute);
    } else {
        const QString start = m_settings.text(0);
        folder = sq::platform::isFolderPath(start) ? start : m_dataFolder;
    }
    ImgPanel1->PrepareFolder(folder, kFirstPage);
}
