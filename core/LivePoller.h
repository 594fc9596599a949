#pragma once

#include "TavrolixCoreExport.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <functional>

class ModbusClient;
class QTimer;

// The repeating timer of an editor's live view. A tick is skipped while the client is
// busy, so that live reads never queue up behind another request; after a failed tick
// the next one waits FailurePauseMs, the time the toolkit may still spend retrying the
// request we gave up on. stop() abandons a tick that is still waiting for the device.
// Child of its editor: the host finds an editor's pollers with findChildren() and stops
// them before it retires the page.
class TAVROLIX_CORE_EXPORT LivePoller : public QObject
{
    Q_OBJECT

public:
    // Asked by the tick after each of its requests: false once the poller was stopped or
    // destroyed (with its editor) during the wait. The tick then touches nothing more.
    using StillWanted = std::function<bool()>;
    // One reading of the live values; true when every request of it succeeded.
    using Tick = std::function<bool(const StillWanted &stillWanted)>;

    // Our client gives up on a silent device after 700 ms, the toolkit only after about
    // a second of retrying.
    static constexpr int FailurePauseMs = 500;

    // `client` is not owned and may be nullptr or go away at any time.
    LivePoller(ModbusClient *client, int intervalMs, Tick tick, QObject *parent = nullptr);

    int interval() const { return m_interval; }
    void setInterval(int intervalMs);
    bool isActive() const;
    void start();
    void stop();
    // Runs one tick now, outside the timer (a read or the user wants fresh values): not
    // while a tick of this poller runs or the client is offline. The tick's result;
    // false when it did not run.
    bool tickNow();

private:
    void onTimeout();
    bool isOnline() const;
    bool runTick();
    int pauseLeft() const;

    QPointer<ModbusClient> m_client;
    QTimer *m_timer = nullptr;
    int m_interval = 0;
    Tick m_tick;
    quint64 m_stops = 0;
    bool m_ticking = false;
    QElapsedTimer m_sinceFailure; // invalid while the ticks succeed
};
