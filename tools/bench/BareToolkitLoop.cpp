#include "BareToolkitLoop.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QModbusDataUnit>
#include <QModbusReply>
#include <QModbusRtuSerialClient>
#include <QSerialPort>
#include <QTimer>
#include <QVariant>

namespace {

QModbusDataUnit::RegisterType tableOf(quint8 function)
{
    switch (function) {
    case 0x01:
    case 0x05:
    case 0x0F:
        return QModbusDataUnit::Coils;
    case 0x02:
        return QModbusDataUnit::DiscreteInputs;
    case 0x04:
        return QModbusDataUnit::InputRegisters;
    default:
        return QModbusDataUnit::HoldingRegisters;
    }
}

bool waitFor(QModbusReply *reply)
{
    if (!reply->isFinished()) {
        QEventLoop loop;
        QObject::connect(reply, &QModbusReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    const bool ok = reply->error() == QModbusDevice::NoError;
    reply->deleteLater();
    return ok;
}

} // namespace

double BareToolkitLoop::run(const QString &port, int baudRate,
                            const QList<ModbusExchange> &exchanges, int pauseAfter, int pauseMs,
                            QString *error)
{
    QModbusRtuSerialClient client;
    client.setConnectionParameter(QModbusDevice::SerialPortNameParameter, port);
    client.setConnectionParameter(QModbusDevice::SerialBaudRateParameter, baudRate);
    client.setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
    client.setConnectionParameter(QModbusDevice::SerialStopBitsParameter, QSerialPort::OneStop);
    client.setConnectionParameter(QModbusDevice::SerialParityParameter, QSerialPort::NoParity);
    client.setTimeout(500);
    client.setNumberOfRetries(0);
    if (!client.connectDevice()) {
        *error = client.errorString();
        return -1;
    }
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < exchanges.size(); ++i) {
        const ModbusExchange &e = exchanges.at(i);
        if (!e.ok())
            continue;
        const QModbusDataUnit::RegisterType table = tableOf(e.functionCode);
        QModbusReply *reply = e.isWrite()
            ? client.sendWriteRequest(QModbusDataUnit(table, e.start, e.written), e.node)
            : client.sendReadRequest(QModbusDataUnit(table, e.start, e.count), e.node);
        if (!reply || !waitFor(reply)) {
            *error = QStringLiteral("exchange %1 failed: %2").arg(i).arg(client.errorString());
            return -1;
        }
        if (i == pauseAfter) {
            QEventLoop loop;
            QTimer::singleShot(pauseMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
            loop.exec();
        }
    }
    return clock.nsecsElapsed() / 1e9;
}

double BareToolkitLoop::wireSeconds(const QList<ModbusExchange> &exchanges, int baudRate)
{
    const double charSeconds = 10.0 / baudRate;
    const double silence = baudRate > 19200 ? 0.00175 : 3.5 * charSeconds;
    double seconds = 0;
    for (const ModbusExchange &e : exchanges) {
        if (!e.ok())
            continue;
        const bool bits = tableOf(e.functionCode) == QModbusDataUnit::Coils
            || tableOf(e.functionCode) == QModbusDataUnit::DiscreteInputs;
        const int payload = bits ? (e.count + 7) / 8 : 2 * e.count;
        const bool single = e.functionCode == 0x05 || e.functionCode == 0x06;
        const int request = e.isWrite() && !single ? 9 + payload : 8;
        const int reply = e.isWrite() ? 8 : 5 + payload;
        seconds += (request + reply) * charSeconds + 2 * silence;
    }
    return seconds;
}
