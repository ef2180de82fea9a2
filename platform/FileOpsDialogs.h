// The file operations' prompt with windows: a question box for name
// conflicts, a progress window that appears only for work that takes longer
// than half a second, one error box per operation, and the rename box. Used
// by the main window and the browser's context menu. GUI thread only.
//
// A question always stays answerable: the progress window is hidden while a
// question is open and comes back only after the half-second delay has run
// again from the answer. Errors of an operation are gathered and shown in
// one box when it ends (the first of them and their count), so a list of
// thousands of missing files asks for one click, not thousands.
#pragma once

#include "platform/FileOps.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

namespace sq::platform {

class FileOpProgressWindow;

class DialogFileOpPrompt final : public FileOpPrompt
{
public:
    // parent: the window the boxes belong to (may be null).
    explicit DialogFileOpPrompt(QWidget* parent = nullptr);
    ~DialogFileOpPrompt() override;

    ConflictAnswer askConflict(const QString& source, const QString& target,
                               bool& applyToAll) override;
    // Inside an operation (between beginProgress and endProgress) the error
    // is kept for the box at the end; outside one it is shown at once.
    void reportError(const FileOpError& error) override;
    void beginProgress(qint64 totalBytes) override;
    void stepProgress(qint64 doneBytes) override;
    bool cancelRequested() override;
    void endProgress() override;
    std::optional<QString> askNewName(const QString& path) override;

    // How long work runs before the progress window shows, from the start
    // and again from every answer (500 ms).
    void setShowDelay(int ms) { m_showAfterMs = ms; }

    // The message of the one error box for a list of errors.
    static QString errorsText(const std::vector<FileOpError>& errors);
    // How many errors that box names one by one.
    static constexpr int ErrorsListed = 5;

private:
    void showProgressWhenDue();
    void serveEvents();
    void showErrors();

    QPointer<QWidget> m_parent;
    std::unique_ptr<FileOpProgressWindow> m_progress;
    QElapsedTimer m_delay;     // runs from the start and from every answer
    QElapsedTimer m_lastServe; // the last time the window's events were served
    int m_showAfterMs = 500;
    bool m_running = false;
    bool m_asking = false;
    bool m_cancelled = false;
    qint64 m_total = 0;
    qint64 m_done = 0;
    std::vector<FileOpError> m_errors;
};

} // namespace sq::platform
