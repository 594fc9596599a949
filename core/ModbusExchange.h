#pragma once

#include "TavrolixCoreExport.h"

#include <QDateTime>
#include <QList>
#include <QMetaType>

class QModbusReply;

// One finished Modbus request as it went over the line: what was asked, what came back
// and how it ended. A plain value: cheap to copy, kept by traffic views and log files.
class TAVROLIX_CORE_EXPORT ModbusExchange
{
public:
    enum class Result { Ok, Exception, Timeout, InvalidReply, NotConnected, PortLost };

    QDateTime sent; // when the request was handed to the line (or refused)
    int node = 0;
    quint8 functionCode = 0;
    quint16 start = 0;
    quint16 count = 0;
    QList<quint16> written; // the values of a write request (coils as 0 and 1)
    QList<quint16> read; // the values of a successful read, as many as asked for
    Result result = Result::Ok;
    quint8 exceptionCode = 0; // the device's code when result is Exception
    double replyMs = 0; // from the request to its end; 0 when nothing went out

    bool isWrite() const;
    // Takes result and exception code from a finished toolkit reply; `portLost` tells an
    // abort by a lost port from one by a disconnect.
    void takeOutcome(const QModbusReply &reply, bool portLost);
    bool ok() const { return result == Result::Ok; }
};

Q_DECLARE_METATYPE(ModbusExchange)
