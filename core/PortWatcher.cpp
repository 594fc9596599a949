#include "PortWatcher.h"

#include <QDir>
#include <QFileInfo>
#include <QModbusDevice>
#include <QSerialPort>
#include <QTimer>

namespace {

constexpr int NodeCheckMs = 500;

} // namespace

PortWatcher::PortWatcher(QObject *parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(NodeCheckMs);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (!QFileInfo::exists(m_path))
            report(tr("The device node is gone."));
    });
}

void PortWatcher::watch(QModbusDevice *modbus, const QString &portPath)
{
    stop();
    // The toolkit opens a bare name ("ttyUSB0") under /dev.
    m_path = QDir::isAbsolutePath(portPath) ? portPath : QStringLiteral("/dev/") + portPath;
    m_reported = false;
    m_connections.append(connect(modbus, &QModbusDevice::errorOccurred, this,
                                 [this, modbus](QModbusDevice::Error error) {
                                     if (error == QModbusDevice::ConnectionError)
                                         report(modbus->errorString());
                                 }));
    if (auto *port = qobject_cast<QSerialPort *>(modbus->device())) {
        m_connections.append(connect(port, &QSerialPort::errorOccurred, this,
                                     [this, port](QSerialPort::SerialPortError error) {
                                         if (error == QSerialPort::ResourceError
                                             || error == QSerialPort::DeviceNotFoundError) {
                                             report(port->errorString());
                                         }
                                     }));
    }
    // A node that is not there while the port is open is one this check cannot follow.
    if (QFileInfo::exists(m_path))
        m_timer->start();
}

void PortWatcher::stop()
{
    for (const QMetaObject::Connection &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_timer->stop();
    ++m_watch;
}

void PortWatcher::report(const QString &reason)
{
    if (m_reported)
        return;
    m_reported = true;
    m_timer->stop();
    const quint64 watch = m_watch;
    QMetaObject::invokeMethod(
        this,
        [this, watch, reason] {
            if (watch == m_watch)
                emit lost(reason);
        },
        Qt::QueuedConnection);
}
