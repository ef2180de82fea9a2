// The main window's batch conversion between BMP and JPEG: the selected
// pictures (BMP1, JPEG1) or the preview's file (BMP3, JPEG3), at the JPEG
// quality of the checked JPG item, with the progress box. The work itself is
// the engine's (engine/ImgConvert.h).
#include "app/Globals.h"
#include "app/Unit1.h"

#include "app/DialogParts.h"
#include "app/Unit10.h"
#include "engine/ImgConvert.h"
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
        break;
    }
    return {};
}

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
    Form10->begin(caption, doingText(toJpeg), int(files.size()));
    for (int i = 0; i < files.size(); ++i) {
        const QString& source = files.at(i);
        Form10->step(i + 1, source.mid(source.lastIndexOf(QLatin1Char('/')) + 1));
        const QString target =
            sq::withExtension(source, toJpeg ? QStringLiteral(".jpg") : QStringLiteral(".bmp"));
        const sq::ConvertResult r = toJpeg ? sq::convertBmpToJpeg(source, target, quality)
                                           : sq::convertJpegToBmp(source, target);
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
