// The slide view's "ファイル" menu: a screen's file copied to a folder, its
// picture on the clipboard or in a BMP file, all pictures saved under one
// name, captures of one screen or of the whole screen area, the join dialog
// and the loupe commands.
#include "viewers/Unit2.h"

#include "browser/ImgPanel.h"
#include "engine/BmpFile.h"
#include "engine/ImgBox.h"
#include "platform/FileOps.h"
#include "platform/FileOpsDialogs.h"
#include "platform/NativePath.h"
#include "platform/PathOps.h"
#include "state/Globals.h"
#include "viewers/Unit18.h"
#include "viewers/Unit27.h"
#include "viewers/Unit28.h"
#include "viewers/ViewerHost.h"
#include "viewers/WindowPlacement.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>

#include <sys/stat.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int kWhole = 5; // "すべて", "全体"

// Whether two paths name the same file (a link, another spelling).
bool sameFile(const QString& a, const QString& b)
{
    struct stat sa, sb;
    return ::stat(sq::platform::nativePath(a).constData(), &sa) == 0 &&
           ::stat(sq::platform::nativePath(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

} // namespace

bool TForm2::screenOffered(int k) const
{
    return screenInLayout(k, LayoutScreens());
}

QString TForm2::ScreenFile(int k) const
{
    const int index = m_state.ScreenIn(k, m_entries);
    return index < 0 ? QString() : m_host.Browser().Items().Items(index)->ParseName();
}

void TForm2::pictureFailed(const QString& file, const QString& error)
{
    QString text = QStringLiteral("%1 を保存できません").arg(sq::platform::displayText(file));
    if (!error.isEmpty()) text += QLatin1Char('\n') + error;
    QMessageBox::warning(this, QStringLiteral("Sorrelquint"), text);
}

// ---- copies, clipboard, saving ----

void TForm2::CopyToCommand(int k)
{
    if (k == kWhole) {
        m_host.ChooseDestination(10 + kWhole, *this);
        return;
    }
    if (!screenOffered(k)) return;
    const QString file = Screen(k)->ImageFile();
    if (!sq::platform::pathExists(file) || sq::platform::isFolderPath(file)) return;
    m_host.ChooseDestination(10 + k, *this);
}

void TForm2::ClipboardCommand(int k)
{
    if (!screenOffered(k)) return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    if (screenHoldsPicture(k)) clipboard->setImage(Screen(k)->ImgUtil()->Bitmap().image());
}

void TForm2::SavePictureCommand(int k)
{
    if (!screenOffered(k) || !screenHoldsPicture(k)) return;
    // Taken now: a timer may step the screen while the dialog is open.
    const QImage picture = Screen(k)->ImgUtil()->Bitmap().image();
    const QString name = SavePictureDialog1();
    if (name.isEmpty()) return;
    QString error;
    if (!sq::writeBmpFile(name, picture, &error)) pictureFailed(name, error);
}

void TForm2::SaveAllClick()
{
    if (!Form28) return;
    // The dialog opens first on the folder of screen 1's picture; later it
    // keeps the folder it was left at.
    const QString start = sq::platform::parentOf(Screen(1)->ImageFile());
    Form28->openFor(
        Screen(1)->ImageFile().isEmpty() ? QString() : start,
        [this](const QString& folder, const QString& suffix) { SaveAllTo(folder, suffix); });
}

void TForm2::SaveAllTo(const QString& folder, const QString& suffix)
{
    // The screens' own files are never written over: with an empty suffix
    // cat.bmp's name is cat.bmp, and cat.jpg's too.
    std::vector<int> screens;
    QStringList sources;
    for (int k = 1; k <= 4; ++k) {
        if (!screenOffered(k) || !screenHoldsPicture(k)) continue;
        const QString file = Screen(k)->ImageFile();
        if (file.isEmpty()) continue;
        screens.push_back(k);
        sources << file;
    }
    const auto isSource = [&](const QString& target) {
        for (const QString& file : std::as_const(sources))
            if (target == file || sameFile(target, file)) return true;
        return false;
    };
    // One command: "以降すべてに適用" holds for every screen.
    const sq::platform::FileOpBatch batch;
    sq::platform::DialogFileOpPrompt prompt(this);
    QStringList failed;
    for (size_t i = 0; i < screens.size(); ++i) {
        const QString& file = sources.at(qsizetype(i));
        const QString target = sq::platform::joinPath(folder, saveAllFileName(file, suffix));
        if (isSource(target)) {
            failed << QStringLiteral("%1 は画面に表示しているファイルです。上書きしません")
                          .arg(sq::platform::displayText(target));
            continue;
        }
        if (sq::platform::pathExists(target)) {
            const sq::platform::ConflictAnswer answer =
                sq::platform::askConflictInBatch(prompt, file, target);
            if (answer == sq::platform::ConflictAnswer::Cancel) break;
            if (answer == sq::platform::ConflictAnswer::Skip) continue;
        }
        QString error;
        if (!sq::writeBmpFile(target, Screen(screens[i])->ImgUtil()->Bitmap().image(), &error))
            failed << QStringLiteral("%1 を保存できません").arg(sq::platform::displayText(target));
    }
    // One box for all screens: a folder that refuses one picture refuses all.
    if (!failed.isEmpty())
        QMessageBox::warning(this, QStringLiteral("Sorrelquint"), failed.join(QLatin1Char('\n')));
}

void TForm2::Join1Click()
{
    if (Form27) Form27->openFor(*this);
}

// ---- captures ----

TCaptureLayout TForm2::CaptureLayout() const
{
    // Client-area coordinates are the central widget's: the menu bar lies
    // outside it, as outside a window's client area.
    TCaptureLayout layout;
    layout.Panel3Top = Panel3->y();
    layout.Panel5Left = Panel5->x();
    layout.Panel7Left = Panel7->x();
    layout.Panel2Top = Panel2->y();
    layout.Inset = ImgBox1->pos(); // the views fill their panels: no bevel
    for (int k = 1; k <= 4; ++k)
        layout.Screens[size_t(k - 1)] = Screen(k)->size();
    return layout;
}

QImage TForm2::renderScreen(int k, const TCaptureLayout& layout)
{
    const QRect rect = captureRect(k, layout);
    QImage bitmap = newBitmap(rect.size());
    if (bitmap.isNull()) return bitmap;
    // Rendered rather than read from the display: nothing that floats over
    // the window can show in the capture, and the result does not depend on
    // the window system.
    centralWidget()->render(&bitmap, QPoint(), QRegion(rect),
                            QWidget::DrawWindowBackground | QWidget::DrawChildren);
    return bitmap;
}

QImage TForm2::Capture(int k)
{
    if (k != kWhole && !screenOffered(k)) return QImage();
    // Neither the "ファイル" menu nor the loupe bar may cover the screens.
    QAction* fileMenu = menu(QStringLiteral("File2"))->menuAction();
    const bool barShown = Form18 && Form18->isVisible();
    fileMenu->setVisible(false);
    if (barShown) Form18->hide();

    const TCaptureLayout layout = CaptureLayout();
    QImage out;
    if (k != kWhole) {
        out = renderScreen(k, layout);
    } else {
        const int n = LayoutScreens();
        QImage screens[4];
        for (int s = 1; s <= n; ++s)
            screens[s - 1] = renderScreen(s, layout);
        if (n == 1) {
            out = screens[0];
        } else {
            out = newBitmap(compositeSize(n, layout));
            if (!out.isNull()) {
                QPainter painter(&out);
                for (int s = 1; s <= n; ++s)
                    if (const auto at = compositePlace(s, n, layout);
                        at && !screens[s - 1].isNull())
                        painter.drawImage(*at, screens[s - 1]);
            }
        }
    }

    fileMenu->setVisible(true);
    if (barShown) Form18->show();
    return out;
}

void TForm2::CaptureCommand(int k)
{
    if (k != kWhole && !screenOffered(k)) return;
    const QImage capture = Capture(k);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    if (!capture.isNull()) clipboard->setImage(capture);
}

void TForm2::CaptureSaveCommand(int k)
{
    if (k != kWhole && !screenOffered(k)) return;
    const QImage capture = Capture(k);
    if (capture.isNull()) return;
    const QString name = SavePictureDialog1();
    if (name.isEmpty()) return;
    QString error;
    if (!sq::writeBmpFile(name, capture, &error)) pictureFailed(name, error);
}

// ---- the loupe ----

void TForm2::LoupeSave1Click()
{
    if (Form18) Form18->ShowSaveDialog();
}

void TForm2::Loupe1Click()
{
    if (Form18) Form18->ShowLoupe();
}

void TForm2::LoupeHide1Click()
{
    if (Form18) Form18->HideLoupe();
}

void TForm2::LoupeBar1Click()
{
    if (!Form18) return;
    Form18->ShowBar();
    // The bar floats over every window; over this one it would hide the
    // name, position and size of the picture on a narrow screen.
    moveClearOf(Form18, infoLineText());
}

QRect TForm2::infoLineText() const
{
    if (!isVisible() || !Panel11->isVisible()) return QRect();
    int right = Panel11->minimumWidth();
    for (const QLabel* l : {Label4, Label5, Label6})
        if (!l->text().isEmpty())
            right = std::max(right, l->x() + l->fontMetrics().horizontalAdvance(l->text()));
    right = std::min(right, Panel11->width());
    return QRect(Panel11->mapToGlobal(QPoint(0, 0)), QSize(right, Panel11->height()));
}
