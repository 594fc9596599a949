#pragma once

#include <QList>
#include <QMetaType>
#include <QModbusPdu>

// One request as the simulated device received it, for tests to read back.
struct SimulatedRequest
{
    int function = 0;
    quint16 address = 0;
    quint16 count = 0;
    QList<quint16> values; // written values; coils as 0 or 1; empty for reads

    static SimulatedRequest fromPdu(const QModbusPdu &pdu);

    bool operator==(const SimulatedRequest &other) const
    {
        return function == other.function && address == other.address && count == other.count
            && values == other.values;
    }
};

Q_DECLARE_METATYPE(SimulatedRequest)
