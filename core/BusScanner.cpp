#include "BusScanner.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QModbusDataUnit>
#include <QModbusReply>
#include <QModbusRtuSerialClient>
#include <QSerialPort>
#include <QTimer>
#include <QVariant>

#include <cmath>

namespace {

constexpr int MaxNode = 247;
// A request whose bytes never got written never times out in the toolkit; this much
// beyond its time-out the probe stops waiting and takes the port for lost.
constexpr int GuardMarginMs = 500;
// After a noisy probe the next one waits until the line has been quiet this long at most.
constexpr int MaxQuietWaitMs = 1000;
// The silent nodes' second chance gets this many times the allowance.
constexpr int ReprobeFactor = 4;
// Replies: address, function, byte count, the registers, the checksum.
constexpr int ProbeReplyBytes = 7;
constexpr int VersionReplyBytes = 9;

QSerialPort::Parity toSerialParity(char parity)
{
    if (parity == 'E')
        return QSerialPort::EvenParity;
    if (parity == 'O')
        return QSerialPort::OddParity;
    return QSerialPort::NoParity;
}

} // namespace

BusScanner::BusScanner(QObject *parent)
    : QObject(parent)
{
}

BusScanner::~BusScanner()
{
    cancel();
    close();
}

void BusScanner::setNodes(const QList<int> &nodes)
{
    m_nodes.clear();
    for (int node : nodes) {
        if (node >= 1 && node <= MaxNode)
            m_nodes.append(node);
    }
}

void BusScanner::setAllowanceMs(int ms)
{
    m_allowanceMs = qBound(MinAllowanceMs, ms, MaxAllowanceMs);
}

QList<BusScanner::Setting> BusScanner::order(const QList<Setting> &chosen, const Setting &current)
{
    QList<Setting> ordered;
    const auto take = [&](const Setting &setting) {
        if (chosen.contains(setting) && !ordered.contains(setting))
            ordered.append(setting);
    };
    take(current);
    for (int baudRate : {9600, 19200, 115200})
        take({baudRate, 'N'});
    for (const Setting &setting : chosen)
        take(setting);
    return ordered;
}

int BusScanner::probeTimeoutMs(const Setting &setting, int allowanceMs, int replyBytes)
{
    // Start bit, eight data bits, the parity bit if any, one stop bit. The toolkit's
    // timer starts once the request is handed to the port, before it has left the
    // adapter: the request's eight bytes count, then the allowance, then the reply.
    const int bitsPerChar = setting.parity == 'N' ? 10 : 11;
    const int chars = 8 + replyBytes;
    const int frameMs = int(std::ceil(chars * bitsPerChar * 1000.0 / setting.baudRate));
    return qMax(10, frameMs + allowanceMs);
}

BusScanner::Result BusScanner::run()
{
    if (m_running) {
        m_errorString = tr("A scan is already running.");
        return Result::PortFailed;
    }
    m_running = true;
    m_cancelled = false;
    m_found.clear();
    m_errorString.clear();
    m_done = 0;
    m_clock.start();

    int total = int(m_settings.size() * m_nodes.size());
    struct Silent
    {
        Setting setting;
        QList<int> nodes;
    };
    QList<Silent> silent;

    for (const Setting &setting : std::as_const(m_settings)) {
        if (!open(setting))
            return end(Result::PortFailed);
        int noise = 0;
        Silent stayedSilent{setting, {}};
        for (int node : std::as_const(m_nodes)) {
            const Probe result = probe(node, setting, m_allowanceMs);
            if (result == Probe::Cancelled)
                return end(Result::Cancelled);
            if (result == Probe::PortFailed)
                return end(Result::PortFailed);
            step(total);
            if (result == Probe::Noise)
                ++noise;
            if (result == Probe::Silent)
                stayedSilent.nodes.append(node);
            if (m_stopAtFirst && (result == Probe::Answered || result == Probe::Refused)) {
                close();
                emit settingFinished(setting, noise);
                return end(Result::Finished);
            }
        }
        close();
        emit settingFinished(setting, noise);
        if (m_reprobeSilent && !stayedSilent.nodes.isEmpty())
            silent.append(stayedSilent);
    }

    for (const Silent &entry : std::as_const(silent))
        total += int(entry.nodes.size());
    const int longer = qMin(MaxAllowanceMs, ReprobeFactor * m_allowanceMs);
    for (const Silent &entry : std::as_const(silent)) {
        if (!open(entry.setting))
            return end(Result::PortFailed);
        for (int node : entry.nodes) {
            const Probe result = probe(node, entry.setting, longer);
            if (result == Probe::Cancelled)
                return end(Result::Cancelled);
            if (result == Probe::PortFailed)
                return end(Result::PortFailed);
            step(total);
            if (m_stopAtFirst && (result == Probe::Answered || result == Probe::Refused))
                return end(Result::Finished);
        }
        close();
    }
    return end(Result::Finished);
}

void BusScanner::cancel()
{
    if (!m_running)
        return;
    m_cancelled = true;
    if (m_loop)
        m_loop->quit();
}

bool BusScanner::open(const Setting &setting)
{
    close();
    m_modbus = new QModbusRtuSerialClient(this);
    m_modbus->setConnectionParameter(QModbusDevice::SerialPortNameParameter, m_portName);
    m_modbus->setConnectionParameter(QModbusDevice::SerialBaudRateParameter, setting.baudRate);
    m_modbus->setConnectionParameter(QModbusDevice::SerialParityParameter,
                                     toSerialParity(setting.parity));
    m_modbus->setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
    m_modbus->setConnectionParameter(QModbusDevice::SerialStopBitsParameter, QSerialPort::OneStop);
    m_modbus->setNumberOfRetries(0);
    if (!m_modbus->connectDevice()) {
        m_errorString =
            tr("The port %1 could not be opened: %2").arg(m_portName, m_modbus->errorString());
        delete m_modbus;
        return false;
    }
    if (QIODevice *port = m_modbus->device())
        connect(port, &QIODevice::readyRead, this, [this] { ++m_bytesSeen; });
    return true;
}

void BusScanner::close()
{
    // Disconnecting finishes every reply the toolkit still holds; they go with it.
    if (QModbusRtuSerialClient *modbus = m_modbus.data()) {
        m_modbus.clear();
        modbus->disconnectDevice();
        delete modbus;
    }
}

BusScanner::Probe BusScanner::request(int node, int start, int count, int timeoutMs,
                                      QList<quint16> *values, int *elapsedMs)
{
    if (!m_modbus || m_modbus->state() != QModbusDevice::ConnectedState) {
        m_errorString = tr("The port %1 was lost.").arg(m_portName);
        return Probe::PortFailed;
    }
    m_modbus->setTimeout(timeoutMs);
    m_bytesSeen = 0;
    QElapsedTimer clock;
    clock.start();
    const QModbusDataUnit unit(QModbusDataUnit::InputRegisters, start, quint16(count));
    QPointer<QModbusReply> reply = m_modbus->sendReadRequest(unit, node);
    if (!reply) {
        m_errorString = tr("The port %1 was lost: %2").arg(m_portName, m_modbus->errorString());
        return Probe::PortFailed;
    }
    if (!reply->isFinished()) {
        QEventLoop loop;
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(reply, &QModbusReply::finished, &loop, &QEventLoop::quit);
        connect(reply, &QObject::destroyed, &loop, &QEventLoop::quit);
        guard.start(timeoutMs + GuardMarginMs);
        m_loop = &loop;
        loop.exec();
        m_loop = nullptr;
    }
    *elapsedMs = int(clock.elapsed());

    if (!reply) { // the client went away meanwhile
        m_errorString = tr("The port %1 was lost.").arg(m_portName);
        return m_cancelled ? Probe::Cancelled : Probe::PortFailed;
    }
    if (!reply->isFinished()) {
        // The toolkit still holds the reply: it goes only once the toolkit is done.
        connect(reply, &QModbusReply::finished, reply, &QObject::deleteLater);
        if (m_cancelled)
            return Probe::Cancelled;
        m_errorString = tr("The port %1 takes no more data.").arg(m_portName);
        return Probe::PortFailed;
    }
    reply->deleteLater();
    if (m_cancelled)
        return Probe::Cancelled;

    switch (reply->error()) {
    case QModbusDevice::NoError: {
        const QModbusDataUnit result = reply->result();
        if (int(result.valueCount()) != count)
            return Probe::Noise;
        if (values)
            *values = result.values();
        return Probe::Answered;
    }
    case QModbusDevice::ProtocolError:
        return Probe::Refused;
    case QModbusDevice::TimeoutError:
        return m_bytesSeen > 0 ? Probe::Noise : Probe::Silent;
    default:
        if (m_modbus && m_modbus->state() == QModbusDevice::ConnectedState)
            return Probe::Noise;
        m_errorString = tr("The port %1 was lost: %2").arg(m_portName, reply->errorString());
        return Probe::PortFailed;
    }
}

BusScanner::Probe BusScanner::probe(int node, const Setting &setting, int allowanceMs)
{
    const int timeoutMs = probeTimeoutMs(setting, allowanceMs, ProbeReplyBytes);
    QList<quint16> signature;
    int replyMs = 0;
    const Probe result = request(node, 0, 1, timeoutMs, &signature, &replyMs);
    if (result == Probe::Noise)
        waitForQuiet(timeoutMs);
    if (result != Probe::Answered && result != Probe::Refused)
        return result;

    Device device;
    device.node = node;
    device.setting = setting;
    device.refused = result == Probe::Refused;
    device.replyMs = replyMs;
    if (!device.refused) {
        device.signature = signature.value(0);
        QList<quint16> version;
        int versionMs = 0;
        const Probe read =
            request(node, 1, 2, probeTimeoutMs(setting, allowanceMs, VersionReplyBytes), &version,
                    &versionMs);
        if (read == Probe::Cancelled || read == Probe::PortFailed)
            return read;
        if (read == Probe::Answered) {
            device.versionMajor = version.value(0);
            device.versionMinor = version.value(1);
        }
    }
    m_found.append(device);
    emit deviceFound(device);
    return result;
}

void BusScanner::waitForQuiet(int quietMs)
{
    QIODevice *port = m_modbus ? m_modbus->device() : nullptr;
    if (!port)
        return;
    QEventLoop loop;
    QTimer quiet;
    quiet.setSingleShot(true);
    QTimer cap;
    cap.setSingleShot(true);
    connect(&quiet, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&cap, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(port, &QIODevice::readyRead, &quiet, [&quiet, quietMs] { quiet.start(quietMs); });
    quiet.start(quietMs);
    cap.start(MaxQuietWaitMs);
    m_loop = &loop;
    loop.exec();
    m_loop = nullptr;
}

void BusScanner::step(int total)
{
    ++m_done;
    const qint64 elapsed = m_clock.elapsed();
    const int msLeft = int(elapsed * (total - m_done) / m_done);
    emit progress(m_done, total, msLeft);
}

BusScanner::Result BusScanner::end(Result result)
{
    close();
    m_running = false;
    emit finished(result);
    return result;
}
