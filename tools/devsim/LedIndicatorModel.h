#pragma once

#include "DeviceModel.h"

#include <QString>

class QTimer;

// The four-channel LED indicator (signature 9). Holding registers 0 to 47: 0 samples
// per second, 1 address, 2 baud-rate index, 3 parity, 4 save command, 5-8 input types,
// 11-38 display options and per-input set-up, 39-47 the display string (one character
// per register). Input registers 8-11: the measured values, which follow the input
// types (Pt100 temperatures in tenths of a degree, a 4-20 mA loop in hundredths of a
// mA, 0 for a disabled input, now and then a sensor fault on the Pt1000 input).
// Reports the display string whenever it changes.
class LedIndicatorModel : public DeviceModel
{
    Q_OBJECT

public:
    static constexpr quint16 SensorFault = 0xD8F0; // -10000

    explicit LedIndicatorModel(QObject *parent = nullptr);

    QString name() const override;
    quint16 signature() const override;

    // The measured values move on their own every few hundred ms (the default); tests
    // that set them switch this off.
    void setLiveValues(bool on);
    // The text of display-string registers: low bytes up to the first 0.
    static QString decodeString(const QList<quint16> &registers);

protected:
    void configure(DeviceSimulator *simulator) override;
    QList<StoredRegister> storedRegisters() const override;
    SettingsRegisters settingsRegisters() const override;
    bool hasAddresses(QModbusDataUnit::RegisterType table, int start, int count) const override;
    void holdingRegistersWritten(int start, int count) override;

private:
    void updateValues();
    quint16 measuredValue(int input, quint16 type) const;

    QTimer *m_liveTimer = nullptr;
    int m_step = 0;
    QString m_shownString;
    bool m_faultReported = false;
};
