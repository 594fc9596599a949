#include "LivePoller.h"

#include "ModbusClient.h"

#include <QTimer>

#include <utility>

LivePoller::LivePoller(ModbusClient *client, int intervalMs, Tick tick, QObject *parent)
    : QObject(parent)
    , m_client(client)
    , m_timer(new QTimer(this))
    , m_interval(intervalMs)
    , m_tick(std::move(tick))
{
    m_timer->setInterval(intervalMs);
    QObject::connect(m_timer, &QTimer::timeout, this, &LivePoller::onTimeout);
}

void LivePoller::setInterval(int intervalMs)
{
    m_interval = intervalMs;
    m_timer->setInterval(intervalMs);
}

bool LivePoller::isActive() const
{
    return m_timer->isActive();
}

void LivePoller::start()
{
    // A start soon after a failed tick still waits out the pause.
    m_timer->start(qMax(m_interval, pauseLeft()));
}

void LivePoller::stop()
{
    m_timer->stop();
    m_timer->setInterval(m_interval);
    ++m_stops;
}

bool LivePoller::tickNow()
{
    if (m_ticking || !isOnline())
        return false;
    return runTick();
}

void LivePoller::onTimeout()
{
    if (m_timer->interval() != m_interval)
        m_timer->setInterval(m_interval); // the pause after a failure is over
    // While any request waits (a silent device, Read All, Save to Flash), a tick would
    // only queue up behind it.
    if (m_ticking || !isOnline() || m_client->isBusy())
        return;
    runTick();
}

bool LivePoller::isOnline() const
{
    return m_client && m_client->isConnected();
}

int LivePoller::pauseLeft() const
{
    if (!m_sinceFailure.isValid())
        return 0;
    return int(qMax<qint64>(0, FailurePauseMs - m_sinceFailure.elapsed()));
}

bool LivePoller::runTick()
{
    // The editor, and this poller with it, may be destroyed while the tick waits: the
    // tick runs from a copy and the answer is checked through guards on the stack.
    const QPointer<LivePoller> self(this);
    const quint64 stops = m_stops;
    const StillWanted stillWanted = [self, stops] { return self && self->m_stops == stops; };
    const Tick tick = m_tick;

    m_ticking = true;
    const bool ok = tick(stillWanted);
    if (!self)
        return false;
    m_ticking = false;
    if (ok) {
        m_sinceFailure.invalidate();
    } else {
        m_sinceFailure.start();
        if (m_timer->isActive())
            m_timer->start(qMax(m_interval, FailurePauseMs));
    }
    return ok;
}
