#include "RegisterTable.h"

#include "ModbusClient.h"

#include <QPointer>

namespace {

QString word(quint16 value, RegisterTable::Format format)
{
    switch (format) {
    case RegisterTable::Format::Signed:
        return QString::number(qint16(value));
    case RegisterTable::Format::Hex:
        return QStringLiteral("0x")
            + QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
    default:
        return QString::number(value);
    }
}

// Sets the client's node for the time it lives, then gives the client its own back.
class NodeScope
{
public:
    NodeScope(ModbusClient *client, int node)
        : m_client(client)
        , m_previous(client->slaveAddress())
    {
        client->setSlaveAddress(node);
    }
    ~NodeScope()
    {
        if (m_client)
            m_client->setSlaveAddress(m_previous);
    }
    NodeScope(const NodeScope &) = delete;
    NodeScope &operator=(const NodeScope &) = delete;

private:
    QPointer<ModbusClient> m_client;
    int m_previous;
};

} // namespace

int RegisterTable::maxCount(Kind kind)
{
    return isBits(kind) ? 2000 : 125;
}

QStringList RegisterTable::format(const QList<quint16> &words, Format format)
{
    QStringList texts;
    if (format != Format::Int32HighFirst && format != Format::Int32LowFirst) {
        for (quint16 value : words)
            texts.append(word(value, format));
        return texts;
    }
    for (int i = 0; i + 1 < words.size(); i += 2) {
        const bool highFirst = format == Format::Int32HighFirst;
        const quint32 high = highFirst ? words.at(i) : words.at(i + 1);
        const quint32 low = highFirst ? words.at(i + 1) : words.at(i);
        texts.append(QString::number(qint32(high << 16 | low)));
    }
    return texts;
}

bool RegisterTable::parse(const QString &text, Format format, quint16 &value)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    int number = 0;
    switch (format) {
    case Format::Unsigned:
        number = trimmed.toInt(&ok);
        ok = ok && number >= 0 && number <= 0xFFFF;
        break;
    case Format::Signed:
        number = trimmed.toInt(&ok);
        ok = ok && number >= -0x8000 && number <= 0x7FFF;
        break;
    case Format::Hex:
        number = QString(trimmed).remove(QStringLiteral("0x"), Qt::CaseInsensitive).toInt(&ok, 16);
        ok = ok && number >= 0 && number <= 0xFFFF;
        break;
    default:
        break;
    }
    if (ok)
        value = quint16(number);
    return ok;
}

void RegisterTable::setRange(Kind kind, quint16 start, int count)
{
    ++m_generation;
    m_kind = kind;
    m_start = start;
    m_count = qBound(1, count, qMin(maxCount(kind), 0x10000 - int(start)));
    clear();
}

void RegisterTable::clear()
{
    m_values = QList<quint16>(m_count, 0);
    m_valid = QList<bool>(m_count, false);
    m_errors = QStringList(m_count, QString());
}

bool RegisterTable::readRange(ModbusClient *client, quint16 start, int count,
                              QList<quint16> &values)
{
    const auto n = quint16(count);
    QList<bool> bits;
    bool read = false;
    switch (m_kind) {
    case Kind::Coils:
        read = client->readCoils(start, n, bits);
        break;
    case Kind::DiscreteInputs:
        read = client->readDiscreteInputs(start, n, bits);
        break;
    case Kind::HoldingRegisters:
        return client->readHoldingRegisters(start, n, values) && values.size() >= count;
    case Kind::InputRegisters:
        return client->readInputRegisters(start, n, values) && values.size() >= count;
    }
    if (!read || bits.size() < count)
        return false;
    values.clear();
    for (int i = 0; i < count; ++i)
        values.append(bits.at(i) ? 1 : 0);
    return true;
}

bool RegisterTable::read(ModbusClient *client, int node)
{
    const QPointer<ModbusClient> guard(client);
    if (!client || !client->isConnected())
        return false;
    const NodeScope scope(client, node);
    const quint64 generation = m_generation;
    const quint16 start = m_start;
    const int count = m_count;
    QList<quint16> values;
    const bool read = readRange(client, start, count, values);
    if (generation != m_generation)
        return false;
    if (read) {
        m_values = values.mid(0, count);
        m_valid.fill(true);
        m_errors.fill(QString());
        return true;
    }
    // Only a device that answered with a refusal is asked again, one address at a time;
    // a silent one would cost a time-out per address.
    bool refused = guard && client->lastFailureRefused() && count > 1;
    for (int i = 0; i < count; ++i) {
        const bool one = refused && guard && client->isConnected()
            && readRange(client, quint16(start + i), 1, values);
        if (generation != m_generation)
            return false;
        if (one) {
            m_values[i] = values.at(0);
            m_valid[i] = true;
            m_errors[i].clear();
            continue;
        }
        m_valid[i] = false;
        m_errors[i] = guard ? client->lastError() : QString();
        refused = refused && guard && client->lastFailureRefused();
    }
    return false;
}

bool RegisterTable::write(ModbusClient *client, int node, int index, quint16 value)
{
    if (!client || !client->isConnected() || index < 0 || index >= m_count
        || !isWritable(m_kind)) {
        return false;
    }
    const QPointer<ModbusClient> guard(client);
    const NodeScope scope(client, node);
    const auto address = quint16(m_start + index);
    const quint64 generation = m_generation;
    const bool written = m_kind == Kind::Coils ? client->writeSingleCoil(address, value != 0)
                                               : client->writeRegister(address, value);
    if (!guard || generation != m_generation) // the row is another range's now
        return written;
    m_errors[index] = written ? QString() : client->lastError();
    if (written) {
        m_values[index] = m_kind == Kind::Coils ? quint16(value != 0) : value;
        m_valid[index] = true;
    }
    return written;
}
