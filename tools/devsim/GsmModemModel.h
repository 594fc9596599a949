#pragma once

#include "DeviceModel.h"

#include <QTimer>

// The GSM modem SMS gateway (signature 5). Holding registers: 0 save command,
// 1 address, 2 baud-rate index, 3 parity, 4-43 five telephone numbers of 8 registers,
// 44-1123 36 messages of 30 registers; texts in Windows-1251, two bytes a register,
// first byte low, zero-terminated. Input register 8: signal level (0-31), moving.
// Coils 0-35: setting coil n-1 sends message n to every stored number; the modem
// clears the coil and sets discrete input 31+p for each number p it sent to, or the
// modem error bit (49) when no number is stored. Discrete input 48: FRAM error.
class GsmModemModel : public DeviceModel
{
    Q_OBJECT

public:
    explicit GsmModemModel(QObject *parent = nullptr);

    QString name() const override;
    quint16 signature() const override;

    // The text held by `count` registers from `start`, as the modem decodes it.
    QString text(int start, int count) const;

protected:
    void configure(DeviceSimulator *simulator) override;
    QList<StoredRegister> storedRegisters() const override;
    SettingsRegisters settingsRegisters() const override;
    bool hasAddresses(QModbusDataUnit::RegisterType table, int start, int count) const override;
    QString describeStored(const QStringList &stored) const override;
    void coilsWritten(int start, int count) override;

private:
    void setText(int start, int count, const QString &text);
    void sendMessage(int number);
    void moveSignal();

    QTimer m_signalTimer;
};
