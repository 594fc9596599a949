#pragma once

#include "TavrolixCoreExport.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class DevicePlugin;
class ModbusClient;
class QWidget;

// One device on one open port: identifies it, hosts its plug-in's editor page, reads it
// and makes it store its settings. It asks nothing and shows nothing; each command
// answers a Result and the caller decides what the user sees. Every request lets the
// event loop run, so a command may find its connection closed or replaced when the
// request returns: it then stops and answers Interrupted.
class TAVROLIX_CORE_EXPORT DeviceSession : public QObject
{
    Q_OBJECT

public:
    enum class Status {
        Ok,
        NotConnected, // no open port: nothing was sent
        NoDevice, // the port is open but no plug-in serves it: nothing was sent
        OpenFailed, // the port could not be opened
        SignatureUnanswered, // the device did not tell its signature; the port is closed
        UnknownDevice, // no plug-in serves signature(); the port is closed
        ReadFailed, // a read of the editor failed; it shows what did arrive
        WriteFailed, // a write of the editor failed; the save command was not sent
        SaveFailed, // the device refused or missed the save command
        Interrupted, // the connection was closed or replaced meanwhile
    };
    Q_ENUM(Status)

    struct Result
    {
        Status status = Status::Ok;
        QString reason; // why it failed, in words for the user; empty on success
        bool ok() const { return status == Status::Ok; }
    };

    // `client` is not owned and must outlive every command.
    explicit DeviceSession(ModbusClient *client, QObject *parent = nullptr);
    // Deletes the pages still alive; touches neither the client nor the device.
    ~DeviceSession() override;

    bool isConnected() const;
    // Changes whenever a connection is opened or closed through the session.
    quint64 connectionId() const { return m_connectionId; }
    // True while the connection that had `connectionId` is still open and in use.
    bool isCurrent(quint64 connectionId) const;

    // The plug-in of the identified device and its editor page; none outside a session.
    DevicePlugin *plugin() const { return m_plugin; }
    QWidget *page() const { return m_page; }
    // What the last identification read: the signature, and the firmware version as
    // "major.minor" (empty when the device did not tell it).
    quint16 signature() const { return m_signature; }
    QString firmwareVersion() const { return m_version; }

    // Opens the port (8 data bits, 1 stop bit). A page of an earlier connection stays
    // until identify() replaces it or close() retires it.
    Result open(const QString &port, int baudRate, char parity, int node);
    // Signature, plug-in, version; then deviceIdentified, a new editor page with
    // `pageParent` as its parent (pageOpened), and the page's first read.
    Result identify(QWidget *pageParent);
    // Closes the port and retires the page.
    void close();
    // The editor reads everything from the device.
    Result readAll();
    // The editor writes everything, then the device is told to store it in flash.
    Result saveToFlash();

signals:
    // The device is known; its page comes next. Not emitted on a failed identification.
    void deviceIdentified(DevicePlugin *plugin);
    // A new editor page; the session owns it and deletes it when it retires it.
    void pageOpened(QWidget *page);
    // `page` leaves the session: take it out of any layout now. It is destroyed as soon
    // as no request waits any more, never under its own running code.
    void pageRetired(QWidget *page);

private:
    // A failure whose reason is the client's last error.
    Result lineFailure(Status status) const;
    // Whether Read All and Save to Flash have something to act on.
    Result commandReadiness() const;
    // How an editor's run of requests ended that started on `connectionId` with
    // `failuresBefore` failed requests.
    Result editorResult(quint64 connectionId, quint64 failuresBefore, Status failed) const;
    void setActivePlugin(DevicePlugin *plugin, QWidget *pageParent);
    void retirePage(QWidget *page);
    void destroyRetiredPages();

    QPointer<ModbusClient> m_client;
    DevicePlugin *m_plugin = nullptr;
    QPointer<QWidget> m_page;
    QList<QPointer<QWidget>> m_retiredPages;
    // Counts connection attempts and ends, so code resumed after a request can tell
    // whether its connection is still the current one.
    quint64 m_connectionId = 0;
    quint16 m_signature = 0;
    QString m_version;
};
