#pragma once

#include "ModbusExchange.h"
#include "TavrolixCoreExport.h"

#include <QCoreApplication>
#include <QString>

// Turns exchange records into the text people read: one decoded line for the window's
// traffic view, the log file and the command line alike, and CSV rows for a spreadsheet.
class TAVROLIX_CORE_EXPORT ExchangeFormatter
{
    Q_DECLARE_TR_FUNCTIONS(ExchangeFormatter)

public:
    // "node 1  03 Read Holding Registers  100+6  -> 17 0 129 0 4 1  9.8 ms"
    static QString line(const ModbusExchange &exchange);

    // The parts of a line, also the traffic view's columns.
    static QString time(const ModbusExchange &exchange); // hh:mm:ss.zzz
    static QString function(quint8 code); // "03 Read Holding Registers"
    static QString functionName(quint8 code);
    static QString range(const ModbusExchange &exchange); // "100+6"
    static QString values(const ModbusExchange &exchange); // "-> 1 2" read, "<- 1 2" written
    static QString result(const ModbusExchange &exchange);
    static QString resultName(ModbusExchange::Result result);
    static QString replyTime(const ModbusExchange &exchange); // "9.8 ms"
    // The name the Modbus application protocol gives an exception code.
    static QString exceptionName(int code);

    static QString csvHeader();
    static QString csvRow(const ModbusExchange &exchange);
};
