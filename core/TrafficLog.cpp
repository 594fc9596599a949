#include "TrafficLog.h"

#include "ExchangeFormatter.h"

#include <QColor>
#include <QIODevice>
#include <QTimer>

using Result = ModbusExchange::Result;

TrafficLog::TrafficLog(QObject *parent, int capacity)
    : QAbstractTableModel(parent)
    , m_flushTimer(new QTimer(this))
    , m_capacity(qMax(1, capacity))
{
    m_flushTimer->setSingleShot(true);
    m_flushTimer->setInterval(FlushIntervalMs);
    connect(m_flushTimer, &QTimer::timeout, this, &TrafficLog::flush);
}

int TrafficLog::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TrafficLog::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrafficLog::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return QVariant();
    const ModbusExchange &e = m_rows[size_t(index.row())];
    switch (role) {
    case ResultRole:
        return int(e.result);
    case FunctionRole:
        return int(e.functionCode);
    case Qt::ForegroundRole:
        if (e.result == Result::Exception)
            return QColor(0xc0, 0x60, 0x00);
        if (!e.ok())
            return QColor(Qt::red);
        return QVariant();
    case Qt::DisplayRole:
        break;
    default:
        return QVariant();
    }
    switch (index.column()) {
    case TimeColumn:
        return ExchangeFormatter::time(e);
    case NodeColumn:
        return e.node;
    case FunctionColumn:
        return ExchangeFormatter::function(e.functionCode);
    case RangeColumn:
        return ExchangeFormatter::range(e);
    case ValuesColumn:
        return ExchangeFormatter::values(e);
    case ResultColumn:
        return ExchangeFormatter::result(e);
    case ReplyColumn:
        return e.replyMs > 0 ? ExchangeFormatter::replyTime(e) : QString();
    default:
        return QVariant();
    }
}

QVariant TrafficLog::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case TimeColumn:
        return tr("Time");
    case NodeColumn:
        return tr("Node");
    case FunctionColumn:
        return tr("Function");
    case RangeColumn:
        return tr("Address+Count");
    case ValuesColumn:
        return tr("Values");
    case ResultColumn:
        return tr("Result");
    case ReplyColumn:
        return tr("Reply");
    default:
        return QVariant();
    }
}

bool TrafficLog::writeCsv(QIODevice &device) const
{
    QByteArray text = ExchangeFormatter::csvHeader().toUtf8() + '\n';
    for (const ModbusExchange &e : m_rows)
        text += ExchangeFormatter::csvRow(e).toUtf8() + '\n';
    return device.write(text) == text.size();
}

void TrafficLog::add(const ModbusExchange &exchange)
{
    if (m_paused)
        return;
    m_pending.append(exchange);
    // Older ones would be dropped at the flush anyway.
    if (m_pending.size() > m_capacity)
        m_pending.removeFirst();
    if (!m_flushTimer->isActive())
        m_flushTimer->start();
}

void TrafficLog::flush()
{
    m_flushTimer->stop();
    if (m_pending.isEmpty())
        return;
    const int incoming = int(m_pending.size());
    const int overflow = int(m_rows.size()) + incoming - m_capacity;
    if (overflow > 0) {
        beginRemoveRows(QModelIndex(), 0, overflow - 1);
        m_rows.erase(m_rows.begin(), m_rows.begin() + overflow);
        endRemoveRows();
    }
    const int first = int(m_rows.size());
    beginInsertRows(QModelIndex(), first, first + incoming - 1);
    m_rows.insert(m_rows.end(), m_pending.cbegin(), m_pending.cend());
    endInsertRows();
    m_pending.clear();
}

void TrafficLog::clear()
{
    m_pending.clear();
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void TrafficLog::setPaused(bool paused)
{
    m_paused = paused;
}
