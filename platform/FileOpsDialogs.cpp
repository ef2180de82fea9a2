#include "platform/FileOpsDialogs.h"

#include "platform/NativePath.h"
#include "platform/PathOps.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace sq::platform {

namespace {
// The bar counts in thousandths, so totals past 2^31 bytes fit.
constexpr int kSteps = 1000;
// While the window shows, its events (a click on キャンセル, painting) are
// served this often; more often would only slow the copy down.
constexpr int kServeEveryMs = 30;
// Errors written out in the box's details, at most.
constexpr int kDetailLines = 1000;
} // namespace

// The progress window: a label, the bar and キャンセル. It shows only when
// the prompt shows it (no timer of its own that could put it over a
// question); Escape, the close box and the button all ask for a cancel.
class FileOpProgressWindow final : public QDialog
{
public:
    explicit FileOpProgressWindow(QWidget* parent) : QDialog(parent)
    {
        setObjectName(QStringLiteral("FileOpProgress"));
        setWindowTitle(QStringLiteral("処理しています..."));
        setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel(QStringLiteral("処理しています..."), this));
        bar = new QProgressBar(this);
        bar->setRange(0, kSteps);
        bar->setValue(0);
        layout->addWidget(bar);
        cancel = new QPushButton(QStringLiteral("キャンセル"), this);
        cancel->setObjectName(QStringLiteral("cancel"));
        // Not the default: a Return meant for a question that has just
        // closed must not cancel the whole operation. Escape still does.
        cancel->setAutoDefault(false);
        cancel->setDefault(false);
        layout->addWidget(cancel, 0, Qt::AlignRight);
        connect(cancel, &QPushButton::clicked, this, [this] { cancelled = true; });
    }

    void reject() override { cancelled = true; }

    QProgressBar* bar = nullptr;
    QPushButton* cancel = nullptr;
    bool cancelled = false;
};

DialogFileOpPrompt::DialogFileOpPrompt(QWidget* parent) : m_parent(parent) {}

DialogFileOpPrompt::~DialogFileOpPrompt() = default;

ConflictAnswer DialogFileOpPrompt::askConflict(const QString& source, const QString& target,
                                               bool& applyToAll)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("ファイルの置き換え"),
                    displayText(target) + QStringLiteral("\nは既に存在しています。置き換えますか?"),
                    QMessageBox::NoButton, m_parent);
    box.setInformativeText(QStringLiteral("コピー元: ") + displayText(source));
    // The letters answer without Alt too (the box takes a button's mnemonic
    // as a plain key); Return skips, which changes nothing; Escape cancels.
    QPushButton* replace = box.addButton(QStringLiteral("置き換え(&R)"), QMessageBox::YesRole);
    QPushButton* skip = box.addButton(QStringLiteral("スキップ(&S)"), QMessageBox::NoRole);
    QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(skip);
    box.setEscapeButton(cancel);
    auto* all = new QCheckBox(QStringLiteral("以降すべてに適用(&A)"), &box);
    box.setCheckBox(all);
    box.setWindowModality(Qt::ApplicationModal);
    // Nothing may cover the question: the progress window goes away while
    // it is open and its delay starts again from the answer.
    m_asking = true;
    if (m_progress) m_progress->hide();
    box.exec();
    m_asking = false;
    m_delay.start();
    applyToAll = all->isChecked();
    if (box.clickedButton() == replace) return ConflictAnswer::Replace;
    if (box.clickedButton() == skip) return ConflictAnswer::Skip;
    return ConflictAnswer::Cancel;
}

void DialogFileOpPrompt::reportError(const FileOpError& error)
{
    if (m_running) {
        m_errors.push_back(error);
        return;
    }
    QMessageBox::warning(m_parent, QStringLiteral("エラー"), errorText(error));
}

QString DialogFileOpPrompt::errorsText(const std::vector<FileOpError>& errors)
{
    if (errors.size() == 1) return errorText(errors.front());
    QString text = QStringLiteral("%1 件のエラーがありました。").arg(errors.size());
    const int listed = std::min<int>(ErrorsListed, int(errors.size()));
    for (int i = 0; i < listed; ++i)
        text += QStringLiteral("\n\n") + errorText(errors[size_t(i)]);
    if (int(errors.size()) > listed)
        text += QStringLiteral("\n\nほか %1 件").arg(int(errors.size()) - listed);
    return text;
}

void DialogFileOpPrompt::showErrors()
{
    std::vector<FileOpError> errors;
    errors.swap(m_errors);
    if (errors.empty()) return;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("エラー"), errorsText(errors),
                    QMessageBox::Ok, m_parent);
    if (errors.size() > 1) {
        QStringList lines;
        for (size_t i = 0; i < errors.size() && i < size_t(kDetailLines); ++i)
            lines << errorText(errors[i]).replace(QLatin1Char('\n'), QLatin1Char(' '));
        if (errors.size() > size_t(kDetailLines)) lines << QStringLiteral("...");
        box.setDetailedText(lines.join(QLatin1Char('\n')));
    }
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void DialogFileOpPrompt::beginProgress(qint64 totalBytes)
{
    m_running = true;
    m_cancelled = false;
    m_total = totalBytes;
    m_done = 0;
    m_errors.clear();
    m_progress.reset();
    m_delay.start();
}

void DialogFileOpPrompt::showProgressWhenDue()
{
    if (!m_running || m_asking || m_delay.elapsed() < m_showAfterMs) return;
    if (!m_progress) m_progress = std::make_unique<FileOpProgressWindow>(m_parent);
    if (m_progress->isVisible()) return;
    m_progress->show();
    m_progress->raise();
    m_progress->activateWindow();
    m_lastServe.invalidate();
}

void DialogFileOpPrompt::serveEvents()
{
    if (!m_progress || !m_progress->isVisible()) return;
    if (m_lastServe.isValid() && m_lastServe.elapsed() < kServeEveryMs) return;
    m_lastServe.start();
    m_progress->bar->setValue(m_total > 0 ? int(std::min<qint64>(kSteps, m_done * kSteps / m_total))
                                          : 0);
    QCoreApplication::processEvents();
}

void DialogFileOpPrompt::stepProgress(qint64 doneBytes)
{
    m_done = doneBytes;
    showProgressWhenDue();
    serveEvents();
}

bool DialogFileOpPrompt::cancelRequested()
{
    showProgressWhenDue();
    serveEvents();
    if (m_progress && m_progress->cancelled) m_cancelled = true;
    return m_running && m_cancelled;
}

void DialogFileOpPrompt::endProgress()
{
    m_progress.reset();
    m_running = false;
    m_cancelled = false;
    m_total = m_done = 0;
    showErrors();
}

std::optional<QString> DialogFileOpPrompt::askNewName(const QString& path)
{
    // The old name as it can be shown; left as it is, the file keeps the
    // name it has (with its bytes), and a typed name is taken as UTF-8.
    const QString name = fileNameOf(path);
    const QString shown = displayText(name);
    bool ok = false;
    const QString typed =
        QInputDialog::getText(m_parent, QStringLiteral("名前の変更"), QStringLiteral("新しい名前"),
                              QLineEdit::Normal, shown, &ok);
    if (!ok) return std::nullopt;
    return typed == shown ? name : typed;
}

} // namespace sq::platform
