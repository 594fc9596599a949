#include "DeviceSession.h"

#include "DevicePlugin.h"
#include "I18n.h"
#include "LivePoller.h"
#include "ModbusClient.h"
#include "PluginManager.h"

#include <QTimer>
#include <QWidget>

#include <utility>

namespace {

constexpr quint16 saveCommand = 0x0300;

} // namespace

DeviceSession::DeviceSession(ModbusClient *client, QObject *parent)
    : QObject(parent)
    , m_client(client)
{
    connect(m_client, &ModbusClient::waitsFinished, this, [this] {
        if (!m_retiredPages.isEmpty()) {
            // The caller that just got its answer is still on its way out of the
            // page's code; look again once control is back in the event loop.
            QTimer::singleShot(0, this, &DeviceSession::destroyRetiredPages);
        }
    });
}

DeviceSession::~DeviceSession()
{
    for (const QPointer<QWidget> &page : std::as_const(m_retiredPages))
        delete page.data();
    delete m_page.data();
}

bool DeviceSession::isConnected() const
{
    return m_client && m_client->isConnected();
}

bool DeviceSession::isCurrent(quint64 connectionId) const
{
    return connectionId == m_connectionId && isConnected();
}

DeviceSession::Result DeviceSession::open(const QString &port, int baudRate, char parity, int node)
{
    ++m_connectionId;
    if (!m_client->connect(port, baudRate, parity, 8, 1, node))
        return lineFailure(Status::OpenFailed);
    return {};
}

DeviceSession::Result DeviceSession::identify(QWidget *pageParent)
{
    if (!isConnected())
        return {Status::NotConnected, I18n::instance()->tr(Str::NotConnected)};
    // Each request below lets the user click on; a click on the connection button
    // closes the port, and then this attempt simply stops.
    const quint64 connectionId = m_connectionId;
    m_signature = 0;
    m_version.clear();

    quint16 signature = 0;
    const bool signatureRead = m_client->readSignature(signature);
    if (!isCurrent(connectionId))
        return lineFailure(Status::Interrupted);
    if (!signatureRead) {
        const Result result = lineFailure(Status::SignatureUnanswered);
        m_client->disconnect();
        return result;
    }
    m_signature = signature;

    DevicePlugin *plugin = PluginManager::instance()->pluginForSignature(signature);
    if (!plugin) {
        m_client->disconnect();
        return {Status::UnknownDevice,
                I18n::instance()->tr(Str::UnknownDeviceSignature).arg(signature)};
    }

    quint16 major = 0;
    quint16 minor = 0;
    const bool versionRead = m_client->readVersion(major, minor);
    if (!isCurrent(connectionId))
        return lineFailure(Status::Interrupted);
    // A version that could not be read is not shown as if it had been.
    if (versionRead)
        m_version = QStringLiteral("%1.%2").arg(major).arg(minor);

    emit deviceIdentified(plugin);
    setActivePlugin(plugin, pageParent);
    const quint64 failuresBefore = m_client->failureCount();
    plugin->readFromDevice();
    return editorResult(connectionId, failuresBefore, Status::ReadFailed);
}

void DeviceSession::close()
{
    ++m_connectionId;
    if (m_client)
        m_client->disconnect();
    setActivePlugin(nullptr, nullptr);
}

DeviceSession::Result DeviceSession::readAll()
{
    const Result readiness = commandReadiness();
    if (!readiness.ok())
        return readiness;
    const quint64 connectionId = m_connectionId;
    const quint64 failuresBefore = m_client->failureCount();
    m_plugin->readFromDevice();
    return editorResult(connectionId, failuresBefore, Status::ReadFailed);
}

DeviceSession::Result DeviceSession::saveToFlash()
{
    const Result readiness = commandReadiness();
    if (!readiness.ok())
        return readiness;
    // The plug-in and connection this save started with; the user may disconnect or
    // connect elsewhere while the editor's requests wait.
    DevicePlugin *plugin = m_plugin;
    const quint64 connectionId = m_connectionId;

    // The editor reports nothing back: a failed request shows in the client's count.
    // Flashing after a failed write would store half-written settings in the device.
    const quint64 failuresBefore = m_client->failureCount();
    plugin->writeToDevice();
    const Result written = editorResult(connectionId, failuresBefore, Status::WriteFailed);
    if (!written.ok())
        return written;

    if (!m_client->writeRegister(plugin->saveRegisterAddress(), saveCommand))
        return lineFailure(Status::SaveFailed);
    return {};
}

DeviceSession::Result DeviceSession::lineFailure(Status status) const
{
    return {status, m_client ? m_client->lastError() : QString()};
}

DeviceSession::Result DeviceSession::commandReadiness() const
{
    if (!isConnected())
        return {Status::NotConnected, I18n::instance()->tr(Str::NotConnected)};
    if (!m_plugin)
        return {Status::NoDevice, tr("No device has been identified on this connection.")};
    return {};
}

DeviceSession::Result DeviceSession::editorResult(quint64 connectionId, quint64 failuresBefore,
                                                  Status failed) const
{
    if (!isCurrent(connectionId))
        return lineFailure(Status::Interrupted);
    if (m_client->failureCount() != failuresBefore)
        return lineFailure(failed);
    return {};
}

void DeviceSession::setActivePlugin(DevicePlugin *plugin, QWidget *pageParent)
{
    if (plugin == m_plugin)
        return;
    if (m_plugin && m_page)
        retirePage(m_page);
    m_plugin = plugin;
    if (!plugin)
        return;
    m_page = plugin->createWidget(m_client, pageParent);
    emit pageOpened(m_page);
}

void DeviceSession::retirePage(QWidget *page)
{
    m_page = nullptr;
    emit pageRetired(page);
    // The page may be waiting inside one of its own requests: it leaves the window
    // and its live updates stop now, but it is destroyed only once that code is done.
    page->hide();
    page->setEnabled(false);
    const QList<LivePoller *> pollers = page->findChildren<LivePoller *>();
    for (LivePoller *poller : pollers)
        poller->stop();
    m_retiredPages.append(page);
    destroyRetiredPages();
}

void DeviceSession::destroyRetiredPages()
{
    if (m_client && m_client->pendingWaits() > 0)
        return; // waitsFinished brings us back
    const QList<QPointer<QWidget>> pages = std::exchange(m_retiredPages, {});
    for (const QPointer<QWidget> &page : pages)
        delete page.data();
}
