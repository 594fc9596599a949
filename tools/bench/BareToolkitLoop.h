#pragma once

#include "ModbusExchange.h"

#include <QList>
#include <QString>

// The floor the toolkit itself sets: the same exchanges sent by a plain
// QModbusRtuSerialClient loop, one request after the other's reply, with nothing around.
class BareToolkitLoop
{
public:
    // Replays the successful ones of `exchanges` on `port` (8N1 at `baudRate`), waiting
    // `pauseMs` after the one at `pauseAfter` (-1: none). The seconds it took, or -1 with
    // `error` set.
    static double run(const QString &port, int baudRate, const QList<ModbusExchange> &exchanges,
                      int pauseAfter, int pauseMs, QString *error);

    // The frames alone on the wire: request and reply at 10 bits a byte, and before each
    // frame the silence Modbus RTU requires: 3.5 character times, at least 1.75 ms above
    // 19200 baud. Successful exchanges only.
    static double wireSeconds(const QList<ModbusExchange> &exchanges, int baudRate);
};
