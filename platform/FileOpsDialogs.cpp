#include "platform/FileOpsDialogs.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace sq::platform {

namespace {
// The progress bar counts in thousandths, so totals past 2^31 bytes fit.
constexpr int kSteps = 1000;
constexpr int kShowAfterMs = 500;
} // namespace

DialogFileOpPrompt::DialogFileOpPrompt(QWidget* parent) : m_parent(parent) {}

DialogFileOpPrompt::~DialogFileOpPrompt() = default;

ConflictAnswer DialogFileOpPrompt::askConflict(const QString& source, const QString& target,
                                               bool& applyToAll)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("ファイルの置き換え"),
                    target + QStringLiteral("\nは既に存在しています。置き換えますか?"),
                    QMessageBox::NoButton, m_parent);
    box.setInformativeText(QStringLiteral("コピー元: ") + source);
    QPushButton* replace = box.addButton(QStringLiteral("置き換え"), QMessageBox::YesRole);
    QPushButton* skip = box.addButton(QStringLiteral("スキップ"), QMessageBox::NoRole);
    QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(skip);
    box.setEscapeButton(cancel);
    auto* all = new QCheckBox(QStringLiteral("以降すべてに適用"), &box);
    box.setCheckBox(all);
    if (m_progress) m_progress->hide();
    box.exec();
    applyToAll = all->isChecked();
    if (box.clickedButton() == replace) return ConflictAnswer::Replace;
    if (box.clickedButton() == skip) return ConflictAnswer::Skip;
    return ConflictAnswer::Cancel;
}

void DialogFileOpPrompt::reportError(const FileOpError& error)
{
    QMessageBox::warning(m_parent, QStringLiteral("エラー"), errorText(error));
}

void DialogFileOpPrompt::beginProgress(qint64 totalBytes)
{
    m_total = totalBytes;
    m_progress = std::make_unique<QProgressDialog>(
        QStringLiteral("処理しています..."), QStringLiteral("キャンセル"), 0, kSteps, m_parent);
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setMinimumDuration(kShowAfterMs);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    m_progress->setValue(0);
}

void DialogFileOpPrompt::stepProgress(qint64 doneBytes)
{
    if (!m_progress) return;
    const int value = m_total > 0 ? int(std::min<qint64>(kSteps, doneBytes * kSteps / m_total)) : 0;
    // setValue shows the dialog once the minimum duration has passed and
    // lets it take a click on キャンセル.
    m_progress->setValue(value);
}

bool DialogFileOpPrompt::cancelRequested()
{
    return m_progress && m_progress->wasCanceled();
}

void DialogFileOpPrompt::endProgress()
{
    m_progress.reset();
    m_total = 0;
}

std::optional<QString> DialogFileOpPrompt::askNewName(const QString& path)
{
    bool ok = false;
    const QString name =
        QInputDialog::getText(m_parent, QStringLiteral("名前の変更"), QStringLiteral("新しい名前"),
                              QLineEdit::Normal, QFileInfo(path).fileName(), &ok);
    if (!ok) return std::nullopt;
    return name;
}

} // namespace sq::platform
