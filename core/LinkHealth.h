#pragma once

#include "ModbusExchange.h"
#include "TavrolixCoreExport.h"

#include <QObject>
#include <QString>

// How the line fares on this connection: requests, failures, time-outs and reply times,
// counted from the exchanges it is given.
class TAVROLIX_CORE_EXPORT LinkHealth : public QObject
{
    Q_OBJECT

public:
    explicit LinkHealth(QObject *parent = nullptr);

    int requests() const { return m_requests; }
    int failures() const { return m_failures; }
    int timeouts() const { return m_timeouts; }
    // Over the exchanges that went out and ended with an answer or a time-out.
    double meanReplyMs() const { return m_timed ? m_totalMs / m_timed : 0; }
    double worstReplyMs() const { return m_worstMs; }
    // "12 requests, 1 failed, 1 timed out, reply 9.8 ms mean, 14.0 ms worst"
    QString summary() const;

public slots:
    void add(const ModbusExchange &exchange);
    void reset();

signals:
    void changed();

private:
    int m_requests = 0;
    int m_failures = 0;
    int m_timeouts = 0;
    int m_timed = 0;
    double m_totalMs = 0;
    double m_worstMs = 0;
};
