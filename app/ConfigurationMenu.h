#pragma once

#include "ConfigurationTransfer.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class ConnectionPanel;
class DeviceSession;
class ModbusClient;
class QAction;
class QMenu;
class QWidget;

// The window's "Device" menu: a device's settings saved to a file, compared with one,
// restored from one, and one file cloned to many devices. Each command asks for its
// file; the *File() functions do the rest for a file already chosen.
class ConfigurationMenu : public QObject
{
    Q_OBJECT

public:
    using Log = std::function<void(const QString &)>;
    // Frees the port for a command that opens it itself; false when the user says no.
    using ReleasePort = std::function<bool(const QString &title, const QString &question)>;

    ConfigurationMenu(QMenu *menu, DeviceSession *session, ModbusClient *client,
                      ConnectionPanel *panel, Log log, ReleasePort releasePort, QWidget *window);

    bool saveToFile(const QString &path, const QString &note);
    bool compareWithFile(const QString &path);
    // Shows the comparison and restores when the user agrees; then the editor reads again.
    bool restoreFromFile(const QString &path);
    void cloneFile(const QString &path);

private:
    void updateActions();
    QString askForFile(const QString &title, bool forSaving);
    // The file at `path`, checked against the device type in the session.
    bool loadForDevice(const QString &path, ConfigurationFile *file);
    // The file loaded for the device and compared with it; a failure is shown under `title`.
    bool compareForDevice(const QString &path, const QString &title, ConfigurationFile *file,
                          QList<ConfigurationTransfer::Row> *rows);
    // A failure in the log and in a box.
    void fail(const QString &title, const QString &message);

    DeviceSession *m_session;
    ModbusClient *m_client;
    ConnectionPanel *m_panel;
    Log m_log;
    ReleasePort m_releasePort;
    QWidget *m_window;
    QAction *m_saveAction = nullptr;
    QAction *m_compareAction = nullptr;
    QAction *m_restoreAction = nullptr;
    QAction *m_cloneAction = nullptr;
    bool m_busy = false; // a command runs: its requests let the event loop run
};
