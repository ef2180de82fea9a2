// The file operations' prompt with windows: a question box for name
// conflicts, an error box, a progress dialog that appears only for work that
// takes longer than half a second, and the rename box. Used by the main
// window and the browser's context menu. GUI thread only.
#pragma once

#include "platform/FileOps.h"

#include <QPointer>
#include <QProgressDialog>
#include <QWidget>

#include <memory>

namespace sq::platform {

class DialogFileOpPrompt final : public FileOpPrompt
{
public:
    // parent: the window the boxes belong to (may be null).
    explicit DialogFileOpPrompt(QWidget* parent = nullptr);
    ~DialogFileOpPrompt() override;

    ConflictAnswer askConflict(const QString& source, const QString& target,
                               bool& applyToAll) override;
    void reportError(const FileOpError& error) override;
    void beginProgress(qint64 totalBytes) override;
    void stepProgress(qint64 doneBytes) override;
    bool cancelRequested() override;
    void endProgress() override;
    std::optional<QString> askNewName(const QString& path) override;

private:
    QPointer<QWidget> m_parent;
    std::unique_ptr<QProgressDialog> m_progress;
    qint64 m_total = 0;
};

} // namespace sq::platform
