#include "ExchangeFormatter.h"

#include <QStringList>

#include <iterator>

using Result = ModbusExchange::Result;

namespace {

QString joined(const QList<quint16> &values)
{
    QStringList parts;
    parts.reserve(values.size());
    for (quint16 value : values)
        parts.append(QString::number(value));
    return parts.join(QLatin1Char(' '));
}

QString csvField(QString text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')))
        return text;
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

QString ExchangeFormatter::line(const ModbusExchange &exchange)
{
    QStringList parts{tr("node %1").arg(exchange.node), function(exchange.functionCode),
                      range(exchange)};
    const QString shown = values(exchange);
    if (!shown.isEmpty())
        parts.append(shown);
    if (!exchange.ok())
        parts.append(result(exchange));
    if (exchange.replyMs > 0)
        parts.append(replyTime(exchange));
    return parts.join(QStringLiteral("  "));
}

QString ExchangeFormatter::time(const ModbusExchange &exchange)
{
    return exchange.sent.toString(QStringLiteral("hh:mm:ss.zzz"));
}

QString ExchangeFormatter::function(quint8 code)
{
    return QStringLiteral("%1 %2").arg(code, 2, 16, QLatin1Char('0')).arg(functionName(code));
}

QString ExchangeFormatter::functionName(quint8 code)
{
    switch (code) {
    case 0x01:
        return tr("Read Coils");
    case 0x02:
        return tr("Read Discrete Inputs");
    case 0x03:
        return tr("Read Holding Registers");
    case 0x04:
        return tr("Read Input Registers");
    case 0x05:
        return tr("Write Single Coil");
    case 0x06:
        return tr("Write Single Register");
    case 0x0F:
        return tr("Write Multiple Coils");
    case 0x10:
        return tr("Write Multiple Registers");
    default:
        return tr("Function %1").arg(code);
    }
}

QString ExchangeFormatter::range(const ModbusExchange &exchange)
{
    return QStringLiteral("%1+%2").arg(exchange.start).arg(exchange.count);
}

QString ExchangeFormatter::values(const ModbusExchange &exchange)
{
    if (exchange.isWrite())
        return QStringLiteral("<- ") + joined(exchange.written);
    if (exchange.read.isEmpty())
        return QString();
    return QStringLiteral("-> ") + joined(exchange.read);
}

QString ExchangeFormatter::result(const ModbusExchange &exchange)
{
    if (exchange.result != Result::Exception)
        return resultName(exchange.result);
    //: %1 is the exception code the device sent, %2 its name
    return tr("exception %1 (%2)")
        .arg(exchange.exceptionCode)
        .arg(exceptionName(exchange.exceptionCode));
}

QString ExchangeFormatter::resultName(ModbusExchange::Result result)
{
    switch (result) {
    case Result::Ok:
        return tr("ok");
    case Result::Exception:
        return tr("exception");
    case Result::Timeout:
        return tr("time-out");
    case Result::InvalidReply:
        return tr("invalid reply");
    case Result::NotConnected:
        return tr("not connected");
    case Result::PortLost:
        return tr("port lost");
    }
    return QString();
}

QString ExchangeFormatter::replyTime(const ModbusExchange &exchange)
{
    return tr("%1 ms").arg(exchange.replyMs, 0, 'f', 1);
}

QString ExchangeFormatter::exceptionName(int code)
{
    static const char *const names[] = {
        nullptr,
        QT_TR_NOOP("illegal function"),
        QT_TR_NOOP("illegal data address"),
        QT_TR_NOOP("illegal data value"),
        QT_TR_NOOP("server device failure"),
        QT_TR_NOOP("acknowledge"),
        QT_TR_NOOP("server device busy"),
        nullptr,
        QT_TR_NOOP("memory parity error"),
        nullptr,
        QT_TR_NOOP("gateway path unavailable"),
        QT_TR_NOOP("gateway target device failed to respond"),
    };
    const bool named = code >= 0 && code < int(std::size(names)) && names[code];
    return named ? tr(names[code]) : tr("unknown exception");
}

QString ExchangeFormatter::csvHeader()
{
    return QStringLiteral("time,node,function,name,start,count,values,result,exception,reply_ms");
}

QString ExchangeFormatter::csvRow(const ModbusExchange &exchange)
{
    const QList<quint16> &data = exchange.isWrite() ? exchange.written : exchange.read;
    const QStringList fields{
        exchange.sent.toString(Qt::ISODateWithMs),
        QString::number(exchange.node),
        QString::number(exchange.functionCode),
        csvField(functionName(exchange.functionCode)),
        QString::number(exchange.start),
        QString::number(exchange.count),
        joined(data),
        csvField(resultName(exchange.result)),
        exchange.result == Result::Exception ? QString::number(exchange.exceptionCode) : QString(),
        QString::number(exchange.replyMs, 'f', 1),
    };
    return fields.join(QLatin1Char(','));
}
