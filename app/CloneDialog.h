#pragma once

#include "BusScanner.h"
#include "ConfigurationCloner.h"
#include "ConfigurationFile.h"

#include <QDialog>
#include <QPointer>

class ModbusClient;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

// Restores one configuration file to many devices of its type on one line: the nodes
// typed, or those a scan of the line finds. It opens the port itself; the window gives
// it up first.
class CloneDialog : public QDialog
{
    Q_OBJECT

public:
    CloneDialog(const ConfigurationFile &file, const QString &path, const QString &port,
                const BusScanner::Setting &setting, QWidget *parent = nullptr);
    ~CloneDialog() override;


signals:
    // A line for the main window's log.
    void logLine(const QString &line);

protected:
    void reject() override;

private:
    // Runs the clone on the nodes typed; false when the list or the port would not do.
    bool start();
    void findDevices();
    void showResult(const ConfigurationCloner::NodeResult &result);
    void setRunning(bool running);
    bool openClient();

    const ConfigurationFile m_file;
    const QString m_port;
    const BusScanner::Setting m_setting;
    ModbusClient *m_client = nullptr;
    QPointer<ConfigurationCloner> m_cloner;
    QPointer<BusScanner> m_scanner;
    QLineEdit *m_nodesEdit = nullptr;
    QCheckBox *m_saveCheck = nullptr;
    QPushButton *m_findButton = nullptr;
    QPushButton *m_startButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_statusLabel = nullptr;
    QTableWidget *m_table = nullptr;
    QList<ConfigurationCloner::NodeResult> m_results;
};
