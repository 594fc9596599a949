#pragma once

#include "DeviceBench.h"
#include "DeviceModel.h"
#include "DevicePlugin.h"
#include "DeviceSimulator.h"
#include "FindControl.h"

#include <QList>
#include <QObject>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// The base of the device editor tests: the plug-in file the build produced, a simulated
// device on the bench, and an editor on the bench's client. Each test function starts
// with the device just powered up with its factory settings and a new editor.
class EditorTestCase : public QObject
{
    Q_OBJECT

public:
    using ModelFactory = std::function<std::unique_ptr<DeviceModel>()>;
    using ModelSetup = std::function<void(DeviceModel *)>;
    using Fault = DeviceSimulator::Fault;

protected:
    // `pluginFile` as the build names it ("devplugin_do8"); `model` makes each new device;
    // `setup`, when given, acts on the powered device that each test function starts with.
    EditorTestCase(const QString &pluginFile, ModelFactory model, ModelSetup setup = {})
        : m_pluginFile(pluginFile), m_model(std::move(model)), m_setup(std::move(setup))
    {
    }

    DeviceSimulator *device() const { return m_bench.device(); }
    ModbusClient *client() const { return m_bench.client(); }
    // A file in the test's own temporary folder.
    QString filePath(const QString &name) const { return m_stateDir.filePath(name); }
    // Where the device keeps what a save stores; it starts each test function empty.
    QString statePath() const { return filePath(m_pluginFile + QStringLiteral(".ini")); }
    // The device powered down and up again: it comes back with what it saved, as a new
    // device does (`setup` is for init() alone).
    bool restart() { return m_bench.start(m_model(), statePath()); }
    void setRegisters(int start, const QList<quint16> &values);
    // The first request "function@address" (any, when empty) that the device receives
    // from now on meets `fault` (`parameter` and `times` as setFault() takes them), and
    // `then` runs from the event loop while it waits.
    void onRequest(const QString &request, Fault fault, int parameter = 0,
                   int times = 1, const std::function<void()> &then = {});
    // The same from a table's text "[function@address] Kind [parameter [times]]" (code 4
    // for an exception, once); nothing when empty.
    void onRequest(const QString &fault);
    // Replaces the editor with a new one, which the plug-in then serves.
    void createEditor() { m_editor.reset(newEditor()); }
    // The control `name` of `in`, or of the editor.
    template<typename T = QWidget>
    T *child(const QString &name, const QWidget *in = nullptr) const
    {
        return findControl<T>(in ? in : m_editor.get(), name);
    }
    // What the controls `names` (separated by blanks) of `in`, or of the editor, show,
    // joined by '|': a box's current text, a spin box's value, 1 or 0 for a button checked
    // or not, any other control's text.
    QString shown(const QString &names, const QWidget *in = nullptr) const;
    // 1 or 0 for each of the controls `names` enabled or not.
    QString enabled(const QString &names, const QWidget *in = nullptr) const;
    // "prefix1 prefix2 ... prefixN", for shown() and enabled().
    static QString numbered(const QString &prefix, int count);
    // Leaves the device to a new main window, which connects to it as a user would;
    // returns the window's device page.
    QWidget *connectWindow();

    DeviceBench m_bench;
    DevicePlugin *m_plugin = nullptr;
    std::unique_ptr<QWidget> m_editor;

protected slots:
    void initTestCase();
    void init();
    void cleanup();

private:
    virtual QWidget *newEditor() { return m_plugin->createWidget(client(), nullptr); }

    QString m_pluginFile;
    ModelFactory m_model;
    ModelSetup m_setup;
    QTemporaryDir m_stateDir;
};
