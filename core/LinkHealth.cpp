#include "LinkHealth.h"

using Result = ModbusExchange::Result;

LinkHealth::LinkHealth(QObject *parent)
    : QObject(parent)
{
}

QString LinkHealth::summary() const
{
    return tr("%1 requests, %2 failed, %3 timed out, reply %4 ms mean, %5 ms worst")
        .arg(m_requests)
        .arg(m_failures)
        .arg(m_timeouts)
        .arg(meanReplyMs(), 0, 'f', 1)
        .arg(m_worstMs, 0, 'f', 1);
}

void LinkHealth::add(const ModbusExchange &exchange)
{
    ++m_requests;
    if (!exchange.ok())
        ++m_failures;
    if (exchange.result == Result::Timeout)
        ++m_timeouts;
    // Refused requests and lost ports say nothing about the device's reply time.
    if (exchange.replyMs > 0
        && (exchange.ok() || exchange.result == Result::Exception
            || exchange.result == Result::Timeout || exchange.result == Result::InvalidReply)) {
        ++m_timed;
        m_totalMs += exchange.replyMs;
        m_worstMs = qMax(m_worstMs, exchange.replyMs);
    }
    emit changed();
}

void LinkHealth::reset()
{
    m_requests = m_failures = m_timeouts = m_timed = 0;
    m_totalMs = m_worstMs = 0;
    emit changed();
}
