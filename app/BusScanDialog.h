#pragma once

#include "BusScanner.h"

#include <QDialog>
#include <QList>
#include <QString>

#include <array>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

// Tools > Scan Bus...: which nodes, line settings and reply allowance to try, the scan
// with its progress, and the devices found, which can be copied, saved as CSV or
// connected to. The scan itself is BusScanner's.
class BusScanDialog : public QDialog
{
    Q_OBJECT

public:
    // `current` is the connection panel's setting: tried first, and the only one
    // chosen at the start.
    BusScanDialog(const QString &port, const BusScanner::Setting &current,
                  QWidget *parent = nullptr);

    // The device the user chose to connect to, once the dialog was accepted.
    std::optional<BusScanner::Device> chosenDevice() const { return m_chosen; }
    QString port() const;
    // The found devices as CSV, a header line first.
    QString csv() const;

protected:
    void reject() override;

private slots:
    void onStart();
    void onConnectToRow();
    void onCopy();
    void onSave();

private:
    QList<BusScanner::Setting> chosenSettings() const;
    void chooseAllSettings();
    void addDevice(const BusScanner::Device &device);
    void showProgress(int done, int total, int msLeft);
    void log(const QString &line);
    void setRunning(bool running);
    QStringList rowTexts(int row) const;

    BusScanner m_scanner;
    BusScanner::Setting m_current;
    QLineEdit *m_portEdit = nullptr;
    QSpinBox *m_firstNode = nullptr;
    QSpinBox *m_lastNode = nullptr;
    QList<QCheckBox *> m_baudChecks;
    std::array<QCheckBox *, 3> m_parityChecks{}; // N, E, O
    QSpinBox *m_allowanceSpin = nullptr;
    QCheckBox *m_reprobeCheck = nullptr;
    QCheckBox *m_firstOnlyCheck = nullptr;
    QPushButton *m_startButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QPushButton *m_connectButton = nullptr;
    QPushButton *m_copyButton = nullptr;
    QPushButton *m_saveButton = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_timeLeft = nullptr;
    QTableWidget *m_table = nullptr;
    QPlainTextEdit *m_log = nullptr;
    QList<BusScanner::Device> m_devices; // in the table's order
    std::optional<BusScanner::Device> m_chosen;
    bool m_closeWhenDone = false;
};
