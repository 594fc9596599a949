#include "VirtualBus.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct Speed
{
    speed_t code;
    int baudRate;
};

constexpr Speed speeds[] = {
    {B1200, 1200},   {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},
    {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
};

int baudRateOf(speed_t code)
{
    for (const Speed &speed : speeds) {
        if (speed.code == code)
            return speed.baudRate;
    }
    return 0;
}

QByteArray readAvailable(int fd)
{
    QByteArray data;
    char buffer[512];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        data.append(buffer, qsizetype(got));
    return data;
}

// A full terminal buffer drops the rest, as bytes are lost on an overrun line.
void writeAll(int fd, const QByteArray &data)
{
    [[maybe_unused]] const ssize_t written = ::write(fd, data.constData(), size_t(data.size()));
}

} // namespace

VirtualBus::VirtualBus(QObject *parent)
    : QObject(parent)
{
}

VirtualBus::~VirtualBus()
{
    close();
}

bool VirtualBus::isSupportedBaudRate(int baudRate)
{
    for (const Speed &speed : speeds) {
        if (speed.baudRate == baudRate)
            return true;
    }
    return false;
}

bool VirtualBus::open(const QString &directory)
{
    close();
    if (!QDir().mkpath(directory))
        return fail(tr("Cannot create %1").arg(directory));
    QString slavePath;
    if (!openEnd(&m_master, &slavePath))
        return false;
    presetMasterParity();
    const QString link = QDir(directory).absoluteFilePath(QStringLiteral("configurator"));
    ::unlink(QFile::encodeName(link).constData());
    if (!QFile::link(slavePath, link)) {
        close();
        return fail(tr("Cannot make the link %1").arg(link));
    }
    m_linkPath = link;
    connect(m_master.notifier, &QSocketNotifier::activated, this, &VirtualBus::fromMaster);
    return true;
}

void VirtualBus::close()
{
    for (End &device : m_devices)
        closeEnd(&device);
    m_devices.clear();
    closeEnd(&m_master);
    if (!m_linkPath.isEmpty())
        ::unlink(QFile::encodeName(m_linkPath).constData());
    m_linkPath.clear();
}

QString VirtualBus::addDevice(int node, int baudRate, QSerialPort::Parity parity)
{
    if (!isOpen()) {
        fail(tr("The bus is not open"));
        return QString();
    }
    End device;
    device.node = node;
    device.baudRate = baudRate;
    device.parity = parity;
    QString slavePath;
    if (!openEnd(&device, &slavePath))
        return QString();
    const qsizetype index = m_devices.size();
    connect(device.notifier, &QSocketNotifier::activated, this,
            [this, index] { fromDevice(m_devices.at(index)); });
    m_devices.append(device);
    presetMasterParity();
    return slavePath;
}

bool VirtualBus::openEnd(End *end, QString *slavePath)
{
    end->fd = ::posix_openpt(O_RDWR | O_NOCTTY);
    char name[64] = {};
    if (end->fd < 0 || ::grantpt(end->fd) != 0 || ::unlockpt(end->fd) != 0
        || ::ptsname_r(end->fd, name, sizeof name) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        closeEnd(end);
        return fail(tr("Cannot make a pseudo-terminal: %1").arg(reason));
    }
    ::fcntl(end->fd, F_SETFL, ::fcntl(end->fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(end->fd, F_SETFD, FD_CLOEXEC);
    end->slaveFd = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios settings{};
    if (end->slaveFd < 0 || ::tcgetattr(end->slaveFd, &settings) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        closeEnd(end);
        return fail(tr("Cannot open %1: %2").arg(QString::fromLocal8Bit(name), reason));
    }
    // Raw until a port opens it: no echo of what the devices send to a closed end.
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    ::cfsetspeed(&settings, B9600);
    ::tcsetattr(end->slaveFd, TCSANOW, &settings);
    end->notifier = new QSocketNotifier(end->fd, QSocketNotifier::Read, this);
    *slavePath = QString::fromLocal8Bit(name);
    return true;
}

void VirtualBus::closeEnd(End *end)
{
    delete end->notifier;
    end->notifier = nullptr;
    if (end->fd >= 0)
        ::close(end->fd);
    if (end->slaveFd >= 0)
        ::close(end->slaveFd);
    end->fd = -1;
    end->slaveFd = -1;
}

// The "odd" flag is set while no master port is open (ports restore the settings they
// found when they close): a master choosing even parity clears it. On a bus with odd
// devices and no even ones the flag starts clear instead, and a master choosing odd
// parity sets it.
void VirtualBus::presetMasterParity()
{
    bool odd = false;
    bool even = false;
    for (const End &device : std::as_const(m_devices)) {
        odd = odd || device.parity == QSerialPort::OddParity;
        even = even || device.parity == QSerialPort::EvenParity;
    }
    m_markedParity = odd && !even ? QSerialPort::OddParity : QSerialPort::EvenParity;
    termios settings{};
    if (::tcgetattr(m_master.slaveFd, &settings) != 0)
        return;
    if (m_markedParity == QSerialPort::EvenParity)
        settings.c_cflag |= PARODD;
    else
        settings.c_cflag &= ~tcflag_t(PARODD);
    ::tcsetattr(m_master.slaveFd, TCSANOW, &settings);
}

bool VirtualBus::hearsMaster(const End &device) const
{
    termios settings{};
    if (::tcgetattr(m_master.fd, &settings) != 0 || (settings.c_cflag & CSTOPB))
        return false;
    const bool presetFlag = m_markedParity == QSerialPort::EvenParity;
    const bool masterMarked = bool(settings.c_cflag & PARODD) != presetFlag;
    return baudRateOf(::cfgetospeed(&settings)) == device.baudRate
        && masterMarked == (device.parity == m_markedParity);
}

void VirtualBus::fromMaster()
{
    const QByteArray frame = readAvailable(m_master.fd);
    if (frame.isEmpty())
        return;
    for (const End &device : std::as_const(m_devices)) {
        if (hearsMaster(device)) {
            writeAll(device.fd, frame);
        } else if (m_noise && quint8(frame.at(0)) == device.node) {
            // Every bit turned over: never a valid frame from this node.
            QByteArray noise = frame;
            for (char &byte : noise)
                byte = char(~byte);
            writeAll(m_master.fd, noise);
            emit noiseSent(device.node);
        }
    }
}

void VirtualBus::fromDevice(const End &device)
{
    const QByteArray reply = readAvailable(device.fd);
    if (!reply.isEmpty() && hearsMaster(device))
        writeAll(m_master.fd, reply);
}

bool VirtualBus::fail(const QString &error)
{
    m_errorString = error;
    return false;
}
