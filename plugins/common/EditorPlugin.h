#pragma once

#include "DevicePlugin.h"

#include <QObject>
#include <QPointer>

#include <cstring>

// The root object of a device plug-in file whose editor is `Editor`, a DeviceEditor
// built on (client, parent): makes the editor and hands the host's reads and writes to
// the one made last. A plug-in derives from it with its own meta-object, plug-in
// metadata and interface declaration, and states its identity.
template<typename Editor>
class EditorPlugin : public QObject, public DevicePlugin
{
public:
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
    explicit EditorPlugin(QObject *parent)
        : QObject(parent)
    {
    }

private:
    // The editor made last; the host owns it and may delete it at any time.
    QPointer<Editor> m_widget;
};
