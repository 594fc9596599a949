#pragma once

#include "TavrolixCoreExport.h"

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QString>

class QModbusDevice;
class QTimer;

// Notices an open serial link losing its port: the toolkit's connection error, the serial
// port's resource error, or the port's device node gone (a pulled USB adapter takes it
// along; looked for twice a second).
class TAVROLIX_CORE_EXPORT PortWatcher : public QObject
{
    Q_OBJECT

public:
    explicit PortWatcher(QObject *parent = nullptr);

    // Watches `modbus` (connected; not owned) on `portPath` until stop() or the loss.
    void watch(QModbusDevice *modbus, const QString &portPath);
    void stop();

signals:
    // Once per watch, from the event loop: never inside the toolkit's own signal, so the
    // receiver may destroy the toolkit client.
    void lost(const QString &reason);

private:
    void report(const QString &reason);

    QTimer *m_timer = nullptr;
    QString m_path;
    QList<QMetaObject::Connection> m_connections;
    quint64 m_watch = 0; // counts watches, so a report queued for an ended one is dropped
    bool m_reported = false;
};
