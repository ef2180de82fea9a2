// The main window's batch conversion between BMP and JPEG: the selected
// pictures (BMP1, JPEG1) or the preview's file (BMP3, JPEG3), at the JPEG
// quality of the checked JPG item, with the progress box. An existing target
// gets the file operations' conflict question. The work itself is the
// engine's (engine/ImgConvert.h).
#include "app/Unit1.h"
#include "state/Globals.h"

#include "app/DialogParts.h"
#include "app/Unit10.h"
#include "engine/ImgConvert.h"
#include "platform/FileOps.h"
#include "platform/FileOpsDialogs.h"
#include "platform/NativePath.h"

#include <QAction>

#include <sys/stat.h>

namespace {

// The quality items in the order they are consulted; 100 when none is checked.
const struct
{
    const char* item;
    int quality;
} kQualityOrder[] = {{"JPG50", 50}, {"JPG55", 55}, {"JPG60", 60}, {"JPG65", 65}, {"JPG70", 70},
                     {"JPG75", 75}, {"JPG80", 80}, {"JPG85", 85}, {"JPG90", 90}, {"JPG95", 95}};

bool isFile(const QString& path)
{
    struct stat st;
    return !path.isEmpty() && ::stat(sq::platform::nativePath(path).constData(), &st) == 0 &&
           S_ISREG(st.st_mode);
}

// Anything by that name, a dangling link too.
bool exists(const QString& path)
{
    struct stat st;
    return ::lstat(sq::platform::nativePath(path).constData(), &st) == 0;
}

// Whether the file name ends in one of the extensions, in any case.
bool hasExtension(const QString& path, bool toJpeg)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) return false;
    const QString ext = name.mid(dot).toLower();
    return toJpeg ? ext == QLatin1String(".bmp")
                  : ext == QLatin1String(".jpg") || ext == QLatin1String(".jpeg");
}

QString doingText(bool toJpeg)
{
    return toJpeg ? QStringLiteral("JPEGに変換中です") : QStringLiteral("BMPに変換中です");
}

QString failureText(const QString& source, const QString& target, const sq::ConvertResult& r)
{
    const QString from = sq::platform::displayText(source);
    const QString detail =
        r.detail.isEmpty() ? QString() : QStringLiteral(" (") + r.detail + QLatin1Char(')');
    switch (r.status) {
    case sq::ConvertResult::ReadFailed:
        return from + QStringLiteral("\nを読み込めません") + detail;
    case sq::ConvertResult::NotPicture:
        return from + QStringLiteral("\nは壊れているか、画像ではありません");
    case sq::ConvertResult::TooLarge:
        return from + QStringLiteral("\nは大きすぎて変換できません");
    case sq::ConvertResult::WriteFailed:
        return from + QStringLiteral("\nの変換先 ") + sq::platform::displayText(target) +
               QStringLiteral(" に書き込めません") + detail;
    case sq::ConvertResult::Ok:
    case sq::ConvertResult::Exists:
        break;
    }
    return {};
}

using sq::platform::ConflictAnswer;

// The main window's prompt, with the progress box out of the way while a
// question is open (it stays on top and would cover the question).
class ProgressHidingPrompt final : public sq::platform::FileOpPrompt
{
public:
    ProgressHidingPrompt(sq::platform::FileOpPrompt& inner, QWidget& box)
        : m_inner(inner), m_box(box)
    {
    }
    ConflictAnswer askConflict(const QString& source, const QString& target,
                               bool& applyToAll) override
    {
        const bool shown = m_box.isVisible();
        m_box.hide();
        const ConflictAnswer answer = m_inner.askConflict(source, target, applyToAll);
        if (shown) {
            m_box.show();
            m_box.raise();
        }
        return answer;
    }
    void reportError(const sq::platform::FileOpError& error) override
    {
        m_inner.reportError(error);
    }
    void beginProgress(qint64 totalBytes) override { m_inner.beginProgress(totalBytes); }
    void stepProgress(qint64 doneBytes) override { m_inner.stepProgress(doneBytes); }
    bool cancelRequested() override { return m_inner.cancelRequested(); }
    void endProgress() override { m_inner.endProgress(); }

private:
    sq::platform::FileOpPrompt& m_inner;
    QWidget& m_box;
};

} // namespace

int TForm1::conversionQuality() const
{
    for (const auto& row : kQualityOrder)
        if (isChecked(QString::fromLatin1(row.item))) return row.quality;
    return 100;
}

void TForm1::convertFiles(const QStringList& files, bool toJpeg, const QString& caption)
{
    if (files.isEmpty() || !Form10) return;
    const int quality = conversionQuality();
    // One command: an answer "for all" holds for the whole run, and the
    // shown folder is read once at its end.
    const sq::platform::FileOpBatch batch;
    ProgressHidingPrompt asking(*m_filePrompt, *Form10);
    Form10->begin(caption, doingText(toJpeg), int(files.size()));
    for (int i = 0; i < files.size(); ++i) {
        const QString& source = files.at(i);
        const QString name = source.mid(source.lastIndexOf(QLatin1Char('/')) + 1);
        Form10->step(i + 1, name);
        const QString target =
            sq::withExtension(source, toJpeg ? QStringLiteral(".jpg") : QStringLiteral(".bmp"));
        // An existing target is someone's file (often the original of the
        // other kind): it is replaced only when the user says so. One that
        // appears during the conversion is asked about as well.
        bool replace = false;
        sq::ConvertResult r{sq::ConvertResult::Exists, {}};
        for (;;) {
            if (!replace && exists(target)) {
                const ConflictAnswer answer =
                    sq::platform::askConflictInBatch(asking, source, target);
                if (answer == ConflictAnswer::Cancel) {
                    Form10->hide();
                    return;
                }
                if (answer == ConflictAnswer::Skip) break;
                replace = true;
            }
            r = toJpeg ? sq::convertBmpToJpeg(source, target, quality, replace)
                       : sq::convertJpegToBmp(source, target, replace);
            if (r.status != sq::ConvertResult::Exists) break;
        }
        if (r.status == sq::ConvertResult::Exists) continue; // skipped
        if (!r.ok()) {
            // The run ends at the file that failed; those before it stay converted.
            Form10->hide();
            sq::app::message(this, failureText(source, target, r));
            return;
        }
    }
    Form10->hide();
}

void TForm1::batchConvert(bool toJpeg, const QString& caption)
{
    if (ImgPanel1->SelCount() == 0) {
        sq::app::message(this, QStringLiteral("選択画像がありません"));
        return;
    }
    // The names are taken before the run: the entries may be listed anew
    // while the box is painted.
    QStringList files;
    TPanelItems& items = ImgPanel1->Items();
    for (int i = 0; i < items.Count(); ++i) {
        TPanelItem* item = items.Items(i);
        const QString path = item->ParseName();
        if (item->Selected && hasExtension(path, toJpeg) && isFile(path)) files << path;
    }
    convertFiles(files, toJpeg, caption);
}

void TForm1::BMP1Click()
{
    batchConvert(false, QStringLiteral("BMPに一括変換"));
}

void TForm1::JPEG1Click()
{
    batchConvert(true, QStringLiteral("JPEGに一括変換"));
}

void TForm1::BMP3Click()
{
    const QString file = ImgBox1->ImageFile();
    if (hasExtension(file, false) && isFile(file))
        convertFiles({file}, false, QStringLiteral("BMPに変換"));
}

void TForm1::JPEG3Click()
{
    const QString file = ImgBox1->ImageFile();
    if (hasExtension(file, true) && isFile(file))
        convertFiles({file}, true, QStringLiteral("JPEGに変換"));
}
