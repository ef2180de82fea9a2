// The opener of the main window's open commands and of its browser's
// entries: asks the desktop (or the opener tests put in) and tells the user
// when no program can open the file. GUI thread only.
#pragma once

#include "platform/ShellOpen.h"

#include <QPointer>
#include <QWidget>

class TProgramOpener final : public sq::platform::ShellOpener
{
public:
    explicit TProgramOpener(QWidget* parent) : m_parent(parent) {}

    // The opener asked; nullptr for the desktop's. Not owned.
    void setInner(sq::platform::ShellOpener* inner) { m_inner = inner; }

    bool open(const QString& path) override;
    sq::platform::OpenStatus openFile(const QString& path) override;

    // The message for a failed open, "" for Started.
    static QString failureText(const QString& path, sq::platform::OpenStatus status);

private:
    QPointer<QWidget> m_parent;
    sq::platform::ShellOpener* m_inner = nullptr;
};
