#include "viewers/Unit11.h"

#include "browser/ImgPanel.h"
#include "engine/ImgBox.h"
#include "engine/PictureLoader.h"
#include "platform/NativePath.h"
#include "state/Globals.h"
#include "viewers/AheadLoader.h"
#include "viewers/ListChoice.h"
#include "viewers/Unit2.h"
#include "viewers/ViewerHost.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <sys/stat.h>

namespace {

bool isFile(const QString& path)
{
    struct stat st;
    return !path.isEmpty() && ::stat(sq::platform::nativePath(path).constData(), &st) == 0 &&
           !S_ISDIR(st.st_mode);
}

} // namespace

TForm11::TForm11(TViewerHost& host, QWidget* parent)
    : QDialog(parent)
    , m_host(host)
    , m_ahead(std::make_unique<TAheadLoader>(2))
{
    setObjectName(QStringLiteral("Form11"));
    setWindowTitle(QStringLiteral("ファイルリスト"));
    setFixedSize(430, 394);

    auto* outer = new QHBoxLayout(this);
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    outer->addWidget(ListBox1, 1);

    auto* side = new QVBoxLayout;
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedSize(129, 89);
    ImgBox1 = new TImgBox(Panel1);
    ImgBox1->setObjectName(QStringLiteral("ImgBox1"));
    ImgBox1->setBorderStyle(bsNone);
    ImgBox1->setGeometry(0, 0, 129, 89);
    ImgBox1->setColor(Qt::white);
    sq::installPictureLoader(*ImgBox1->ImgUtil());
    ImgBox1->ImgUtil()->setGetType(igtStretch);
    ImgBox1->ImgUtil()->setBKColor(Qt::white);
    side->addWidget(Panel1, 0, Qt::AlignHCenter);

    auto* grid = new QGridLayout;
    for (int i = 0; i < ScreenCount; ++i) {
        Label[i] = new QLabel(QStringLiteral("画面%1").arg(i + 1), this);
        Label[i]->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        Arrow[i] = new QPushButton(QStringLiteral("→"), this);
        Arrow[i]->setObjectName(QStringLiteral("Button%1").arg(i + 1));
        Edit[i] = new QLineEdit(this);
        Edit[i]->setObjectName(QStringLiteral("Edit%1").arg(i + 1));
        Edit[i]->setReadOnly(true);
        Edit[i]->setFocusPolicy(Qt::NoFocus);
        Delete[i] = new QPushButton(QStringLiteral("削除"), this);
        Delete[i]->setObjectName(QStringLiteral("Button%1").arg(i + 7));
        grid->addWidget(Label[i], 2 * i, 0, 1, 3);
        grid->addWidget(Arrow[i], 2 * i + 1, 0);
        grid->addWidget(Edit[i], 2 * i + 1, 1);
        grid->addWidget(Delete[i], 2 * i + 1, 2);
        const int k = i + 1;
        connect(Arrow[i], &QPushButton::clicked, this, [this, k] { ArrowClick(k); });
        connect(Delete[i], &QPushButton::clicked, this, [this, k] { DeleteClick(k); });
    }
    side->addLayout(grid);
    side->addStretch(1);
    auto* buttons = new QHBoxLayout;
    Button5 = new QPushButton(QStringLiteral("OK"), this);
    Button5->setObjectName(QStringLiteral("Button5"));
    Button6 = new QPushButton(QStringLiteral("キャンセル"), this);
    Button6->setObjectName(QStringLiteral("Button6"));
    buttons->addWidget(Button5);
    buttons->addWidget(Button6);
    side->addLayout(buttons);
    outer->addLayout(side);

    // A line chosen by the keys previews as a click does.
    new TListChoice(ListBox1, [this] { ListBox1Click(); });
    connect(Button5, &QPushButton::clicked, this, &TForm11::Button5Click);
    connect(Button6, &QPushButton::clicked, this, &TForm11::Button6Click);

    m_ahead->setPreparer(this, [this] { prepareAhead(); });
    m_ahead->WatchSizes({ImgBox1}, [this] { m_ahead->Schedule(); });
}

TForm11::~TForm11() = default;

void TForm11::Fill(const QStringList& lines)
{
    ListingChanged();
    ListBox1->clear();
    ListBox1->addItems(lines);
}

void TForm11::ListingChanged()
{
    m_ahead->Release();
    m_previewLine = -1;
}

int TForm11::ChosenIndex(int k) const
{
    return k >= 1 && k <= ScreenCount ? m_chosen[k - 1] : -1;
}

int TForm11::entryIndexOf(int p) const
{
    if (p < 0) return -1;
    if (Form2 && Form2->State().SelectedPicturesMode == 1) return Form2->State().SelectionIndex(p);
    return p;
}

QString TForm11::FileOf(int p) const
{
    if (p < 0 || !Form2) return {};
    TImgPanel& browser = m_host.Browser();
    QString file;
    if (Form2->State().SelectedPicturesMode == 1) {
        const QString name = Form2->State().SelectionNames.value(p);
        // The name is the file's within the browser's folder.
        if (!name.isEmpty()) file = browser.CurrentFolderPath() + QLatin1Char('/') + name;
    } else if (p < browser.Items().Count()) {
        file = browser.Items().Items(p)->ParseName();
    }
    return isFile(file) ? file : QString();
}

void TForm11::ListBox1Click()
{
    const int p = ListBox1->currentRow();
    if (p < 0 || !Form2) return;
    if (Form2->State().SelectedPicturesMode == 1 && p < Form2->ListBox1->count())
        Form2->ListBox1->setCurrentRow(p);
    if (m_previewLine >= 0 && p != m_previewLine) m_forward = p > m_previewLine;
    m_previewLine = p;
    // A file that has gone leaves the preview as it was.
    const QString file = FileOf(p);
    if (!file.isEmpty()) m_ahead->Load(ImgBox1, file);
    m_ahead->Schedule();
}

void TForm11::prepareAhead()
{
    if (!isVisible()) return;
    m_ahead->WantLines(ImgBox1, ListBox1->currentRow(), ListBox1->count(), m_forward, false,
                       [this](int line) { return FileOf(line); });
}

void TForm11::ArrowClick(int k)
{
    const int p = ListBox1->currentRow();
    if (p < 0 || k < 1 || k > ScreenCount || !Form2) return;
    const int screens = Form2->LayoutScreens();
    if ((k == 2 && screens == 1) || (k >= 3 && screens != 4)) return;
    Edit[k - 1]->setText(ListBox1->item(p)->text());
    m_chosen[k - 1] = entryIndexOf(p);
}

void TForm11::DeleteClick(int k)
{
    if (k >= 1 && k <= ScreenCount) Edit[k - 1]->clear();
}

void TForm11::Button5Click()
{
    if (!sq::app::slideViewActive || !Form2) return;
    TSlideState& state = Form2->State();
    const int count = m_host.Browser().Items().Count();
    const int screens = Form2->LayoutScreens();
    // A remembered index that lies beyond the current list (the folder has
    // changed since) fetches nothing: that screen stays as it is.
    auto assign = [&](int k) {
        const int index = m_chosen[k - 1];
        if (!Edit[k - 1]->text().isEmpty() && index >= 0 && index < count)
            state.SetScreen(k, index);
    };
    if (!Edit[0]->text().isEmpty()) {
        assign(1);
        Form2->ShowScreens(1);
    }
    if (!Edit[1]->text().isEmpty() && screens != 1) {
        assign(2);
        Form2->ShowScreens(2);
    }
    if (screens == 4) {
        assign(3);
        assign(4);
        Form2->ShowScreens(4);
    }
    hide();
}

void TForm11::Button6Click()
{
    hide();
}

void TForm11::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    m_ahead->Release();
}
