#pragma once

#include "DevicePlugin.h"

#include <QCoreApplication>
#include <QObject>
#include <QPointer>

#include <cstring>

// What a device plug-in states of its device.
struct DeviceIdentity
{
    quint16 signature; // the device-type code in input register 0
    const char *deviceName; // fixed, not translated
    const char *description; // QT_TRANSLATE_NOOP in the plug-in class's context
    quint16 saveRegister; // the holding register that takes the save command
};

// The root object of a device plug-in file whose editor is `Editor`, a DeviceEditor
// built on (client, parent): makes the editor and hands the host's reads and writes to
// the one made last. A plug-in derives from it with its own meta-object, plug-in
// metadata and interface declaration, and passes its identity to the constructor.
template<typename Editor>
class EditorPlugin : public QObject, public DevicePlugin
{
public:
    quint16 signature() const override { return m_identity.signature; }
    QString deviceName() const override { return QString::fromLatin1(m_identity.deviceName); }
    QString description() const override
    {
        // The derived class's meta-object: its name is the context its texts are in.
        return QCoreApplication::translate(metaObject()->className(), m_identity.description);
    }
    quint16 saveRegisterAddress() const override { return m_identity.saveRegister; }

    QWidget *createWidget(ModbusClient *client, QWidget *parent) override
    {
        m_widget = new Editor(client, parent);
        return m_widget;
    }

    void readFromDevice() override
    {
        if (m_widget)
            m_widget->readFromDevice();
    }

    void writeToDevice() override
    {
        if (m_widget)
            m_widget->writeToDevice();
    }

    // The plug-in's meta-object answers its own name and the interface identifier; the
    // interface's class name, which moc would answer for a direct base, is answered here.
    void *qt_metacast(const char *className) override
    {
        if (className && std::strcmp(className, "DevicePlugin") == 0)
            return static_cast<DevicePlugin *>(this);
        return QObject::qt_metacast(className);
    }

protected:
    EditorPlugin(QObject *parent, const DeviceIdentity &identity)
        : QObject(parent)
        , m_identity(identity)
    {
    }

private:
    const DeviceIdentity m_identity;
    // The editor made last; the host owns it and may delete it at any time.
    QPointer<Editor> m_widget;
};
