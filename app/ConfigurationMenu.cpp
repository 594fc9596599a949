#include "ConfigurationMenu.h"

#include "CloneDialog.h"
#include "ConfigurationCompareDialog.h"
#include "ConfigurationFile.h"
#include "ConfigurationTransfer.h"
#include "ConnectionPanel.h"
#include "DevicePlugin.h"
#include "DeviceSession.h"
#include "ModbusClient.h"
#include "PluginManager.h"

#include <QAction>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QScopedValueRollback>
#include <QSettings>

namespace {

const QString lastDirectoryKey = QStringLiteral("configuration/lastDirectory");

DeviceConfiguration *configurationOf(const DeviceSession *session)
{
    return session->plugin()
        ? PluginManager::instance()->configurationForSignature(session->plugin()->signature())
        : nullptr;
}

} // namespace

ConfigurationMenu::ConfigurationMenu(QMenu *menu, DeviceSession *session, ModbusClient *client,
                                     ConnectionPanel *panel, Log log, ReleasePort releasePort,
                                     QWidget *window)
    : QObject(menu)
    , m_session(session)
    , m_client(client)
    , m_panel(panel)
    , m_log(std::move(log))
    , m_releasePort(std::move(releasePort))
    , m_window(window)
{
    m_saveAction = menu->addAction(tr("Save Configuration As..."));
    m_saveAction->setObjectName(QStringLiteral("saveConfigurationAction"));
    connect(m_saveAction, &QAction::triggered, this, [this] {
        const QString path = askForFile(tr("Save Configuration As"), true);
        if (path.isEmpty())
            return;
        bool ok = false;
        const QString note = QInputDialog::getText(m_window, tr("Save Configuration As"),
                                                   tr("Note to keep with the file (optional):"),
                                                   QLineEdit::Normal, QString(), &ok);
        if (ok)
            saveToFile(path, note);
    });
    m_compareAction = menu->addAction(tr("Compare with File..."));
    m_compareAction->setObjectName(QStringLiteral("compareConfigurationAction"));
    connect(m_compareAction, &QAction::triggered, this, [this] {
        const QString path = askForFile(tr("Compare with File"), false);
        if (!path.isEmpty())
            compareWithFile(path);
    });
    m_restoreAction = menu->addAction(tr("Restore from File..."));
    m_restoreAction->setObjectName(QStringLiteral("restoreConfigurationAction"));
    connect(m_restoreAction, &QAction::triggered, this, [this] {
        const QString path = askForFile(tr("Restore from File"), false);
        if (!path.isEmpty())
            restoreFromFile(path);
    });
    menu->addSeparator();
    m_cloneAction = menu->addAction(tr("Clone to Devices..."));
    m_cloneAction->setObjectName(QStringLiteral("cloneConfigurationAction"));
    connect(m_cloneAction, &QAction::triggered, this, [this] {
        const QString path = askForFile(tr("Clone Configuration"), false);
        if (!path.isEmpty())
            cloneFile(path);
    });
    connect(menu, &QMenu::aboutToShow, this, &ConfigurationMenu::updateActions);
    updateActions();
}

void ConfigurationMenu::updateActions()
{
    const bool ready = !m_busy && m_session->isConnected() && configurationOf(m_session);
    for (QAction *action : {m_saveAction, m_compareAction, m_restoreAction})
        action->setEnabled(ready);
    m_cloneAction->setEnabled(!m_busy);
}

bool ConfigurationMenu::saveToFile(const QString &path, const QString &note)
{
    DeviceConfiguration *configuration = configurationOf(m_session);
    if (m_busy || !m_session->isConnected() || !configuration)
        return false;
    const QScopedValueRollback<bool> busy(m_busy, true);
    ConfigurationFile file;
    ConfigurationTransfer transfer(m_client, m_session->plugin(), configuration);
    const ConfigurationTransfer::Result read = transfer.read(&file);
    if (!read.ok()) {
        fail(tr("Save Configuration"),
             tr("The configuration could not be read: %1").arg(read.message));
        return false;
    }
    file.node = m_panel->node();
    file.baudRate = m_panel->baudRate();
    file.parity = m_panel->parity();
    file.note = note;
    QString error;
    if (!file.save(path, &error)) {
        fail(tr("Save Configuration"), error);
        return false;
    }
    m_log(tr("Configuration of %1 saved to %2.")
              .arg(file.deviceName, QDir::toNativeSeparators(path)));
    return true;
}

bool ConfigurationMenu::compareWithFile(const QString &path)
{
    if (m_busy)
        return false;
    const QScopedValueRollback<bool> busy(m_busy, true);
    ConfigurationFile file;
    QList<ConfigurationTransfer::Row> rows;
    if (!compareForDevice(path, tr("Compare with File"), &file, &rows))
        return false;
    m_log(tr("Compared with %1: fields that differ: %2.")
              .arg(QDir::toNativeSeparators(path))
              .arg(ConfigurationCompareDialog::differences(rows)));
    ConfigurationCompareDialog dialog(ConfigurationCompareDialog::Mode::Compare, file, rows,
                                      m_window);
    dialog.exec();
    return true;
}

bool ConfigurationMenu::restoreFromFile(const QString &path)
{
    if (m_busy)
        return false;
    const QScopedValueRollback<bool> busy(m_busy, true);
    const quint64 connectionId = m_session->connectionId();
    ConfigurationFile file;
    QList<ConfigurationTransfer::Row> rows;
    if (!compareForDevice(path, tr("Restore from File"), &file, &rows))
        return false;
    ConfigurationTransfer transfer(m_client, m_session->plugin(), configurationOf(m_session));
    ConfigurationCompareDialog dialog(ConfigurationCompareDialog::Mode::Restore, file, rows,
                                      m_window);
    if (dialog.exec() != QDialog::Accepted || !m_session->isCurrent(connectionId))
        return false;

    const ConfigurationTransfer::Result restored =
        transfer.restore(file, {dialog.applySerial(), true});
    if (!restored.ok()) {
        fail(tr("Restore from File"),
             tr("The restore stopped: %1\nNothing was saved to flash; the device keeps "
                "what was written only until it restarts.")
                 .arg(restored.message));
        return false;
    }
    m_log(tr("Configuration restored from %1 and saved to flash; blocks written: %2.")
              .arg(QDir::toNativeSeparators(path))
              .arg(restored.blocksWritten));
    if (m_session->isCurrent(connectionId))
        m_session->readAll();
    QMessageBox::information(m_window, tr("Restore from File"),
                             tr("The device holds the file's settings and has saved them."));
    return true;
}

void ConfigurationMenu::cloneFile(const QString &path)
{
    if (m_busy)
        return;
    const QScopedValueRollback<bool> busy(m_busy, true);
    ConfigurationFile file;
    QString error;
    if (!file.load(path, &error)) {
        fail(tr("Clone Configuration"), error);
        return;
    }
    DevicePlugin *plugin = PluginManager::instance()->pluginForSignature(file.signature);
    DeviceConfiguration *configuration =
        PluginManager::instance()->configurationForSignature(file.signature);
    if (!plugin || !configuration
        || !file.fits(file.signature, plugin->deviceName(), configuration->configurationBlocks(),
                      &error)) {
        fail(tr("Clone Configuration"),
             error.isEmpty() ? tr("No plug-in serves devices of type %1.").arg(file.signature)
                             : error);
        return;
    }
    if (!m_releasePort(tr("Clone Configuration"),
                       tr("The clone needs the port: the connection to the device ends, and "
                          "changes not written to it are lost. Disconnect and go on?"))) {
        return;
    }
    CloneDialog dialog(file, path, m_panel->chosenPort().location,
                       {m_panel->baudRate(), m_panel->parity()}, m_window);
    connect(&dialog, &CloneDialog::logLine, this, [this](const QString &line) { m_log(line); });
    dialog.exec();
}

QString ConfigurationMenu::askForFile(const QString &title, bool forSaving)
{
    QSettings settings;
    QString directory = settings.value(lastDirectoryKey, QDir::homePath()).toString();
    const QString filter = tr("Tavrolix configuration (*.%1)").arg(ConfigurationFile::suffix());
    QString path;
    if (forSaving) {
        const QString name =
            QStringLiteral("%1-node%2-%3.%4")
                .arg(m_session->plugin() ? m_session->plugin()->deviceName()
                                         : QStringLiteral("device"))
                .arg(m_panel->node())
                .arg(QDate::currentDate().toString(Qt::ISODate), ConfigurationFile::suffix());
        path =
            QFileDialog::getSaveFileName(m_window, title, QDir(directory).filePath(name), filter);
        if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
            path += QLatin1Char('.') + ConfigurationFile::suffix();
    } else {
        path = QFileDialog::getOpenFileName(m_window, title, directory, filter);
    }
    if (!path.isEmpty())
        settings.setValue(lastDirectoryKey, QFileInfo(path).absolutePath());
    return path;
}

bool ConfigurationMenu::loadForDevice(const QString &path, ConfigurationFile *file)
{
    DeviceConfiguration *configuration = configurationOf(m_session);
    if (!m_session->isConnected() || !configuration)
        return false;
    QString error;
    if (!file->load(path, &error)
        || !file->fits(m_session->plugin()->signature(), m_session->plugin()->deviceName(),
                       configuration->configurationBlocks(), &error)) {
        fail(tr("Configuration File"), error);
        return false;
    }
    return true;
}

bool ConfigurationMenu::compareForDevice(const QString &path, const QString &title,
                                         ConfigurationFile *file,
                                         QList<ConfigurationTransfer::Row> *rows)
{
    if (!loadForDevice(path, file))
        return false;
    ConfigurationTransfer transfer(m_client, m_session->plugin(), configurationOf(m_session));
    const ConfigurationTransfer::Result compared = transfer.compare(*file, rows);
    if (!compared.ok()) {
        fail(title, compared.message);
        return false;
    }
    return true;
}

void ConfigurationMenu::fail(const QString &title, const QString &message)
{
    m_log(QString(message).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    QMessageBox::critical(m_window, title, message);
}
