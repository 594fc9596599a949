#pragma once

#include "RegisterTable.h"

#include <QDialog>
#include <QPointer>
#include <QString>

class LivePoller;
class ModbusClient;
class QComboBox;
class QLabel;
class QSpinBox;
class QTableWidget;
class QTableWidgetItem;

// A device's registers, coils or inputs as a table, for any node and any device, known
// to a plug-in or not: read once or polled, a holding register or coil written by editing
// its value, each row with the error that kept it from the device.
class RegisterView : public QDialog
{
    Q_OBJECT

public:
    struct Link
    {
        QString port; // system location
        int baudRate = 9600;
        char parity = 'N';
        int node = 1;
    };

    // Works on `client` while it is connected (not owned); otherwise opens a port of its
    // own on `link`, closed with the view. Reads the first range at once.
    RegisterView(ModbusClient *client, const Link &link, QWidget *parent = nullptr);
    ~RegisterView() override;

    const RegisterTable &table() const { return m_table; }

private:
    void createUi(int node);
    void onRangeChanged();
    void onPollChanged();
    void onItemChanged(QTableWidgetItem *item);
    bool readTable(bool reportOffline);
    void showTable();
    RegisterTable::Format format() const;
    bool isOnline() const;

    QPointer<ModbusClient> m_client;
    ModbusClient *m_ownClient = nullptr;
    RegisterTable m_table;
    LivePoller *m_poller = nullptr;
    QSpinBox *m_nodeSpin = nullptr;
    QComboBox *m_kindCombo = nullptr;
    QSpinBox *m_startSpin = nullptr;
    QSpinBox *m_countSpin = nullptr;
    QComboBox *m_formatCombo = nullptr;
    QComboBox *m_pollCombo = nullptr;
    QTableWidget *m_grid = nullptr;
    QLabel *m_status = nullptr;
    bool m_filling = false;
};
