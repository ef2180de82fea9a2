// The main window: folder pane, thumbnail browser, preview, menus and status
// bar. Owns the settings lines; applies them at creation and first show
// through the very handlers the menu commands use, saves them at close.
#pragma once

#include "app/SettingsLines.h"

#include <QMainWindow>

class TForm1 : public QMainWindow
{
    Q_OBJECT

public:
    explicit TForm1(const QString& dataFolder, QWidget* parent = nullptr);

    TSettingsLines& settings() { return m_settings; }
    const QString& dataFolder() const { return m_dataFolder; }

private:
    QString m_dataFolder;
    TSettingsLines m_settings;
};
