#pragma once

#include "DeviceModel.h"

class QTimer;

// The 40-input digital module (signature 3). Input registers 8 to 11: live input
// states, 16 inputs a register (bit n % 16 of register 8 + n / 16 is input n+1).
// Holding registers: 12 to 51 debounce delay of inputs 1 to 40 in ms, 100 address,
// 101 baud-rate index, 102 parity, 103 save command. While attached, some inputs
// change every few hundred milliseconds, as wired switches and pulse sources would.
class InputModuleModel : public DeviceModel
{
    Q_OBJECT

public:
    explicit InputModuleModel(QObject *parent = nullptr);

    QString name() const override;
    quint16 signature() const override;

    // Moving inputs on (the default once attached) or off; off, the input registers
    // keep whatever is set into them.
    void setInputsMoving(bool on);
    bool inputsMoving() const;

protected:
    void configure(DeviceSimulator *simulator) override;
    QList<StoredRegister> storedRegisters() const override;
    SettingsRegisters settingsRegisters() const override;
    bool hasAddresses(QModbusDataUnit::RegisterType table, int start, int count) const override;
    void holdingRegistersWritten(int start, int count) override;

private:
    void moveInputs();
    void setInput(int n, bool active);
    bool input(int n) const;

    QTimer *m_inputTimer = nullptr;
    quint32 m_step = 0;
};
