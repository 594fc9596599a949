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

// The base of the device editor tests: each test function starts with a device just
// powered up with its factory settings and a new editor from the plug-in file.
class EditorTestCase : public QObject
{
    Q_OBJECT

public:
    using ModelFactory = std::function<std::unique_ptr<DeviceModel>()>;
    using ModelSetup = std::function<void(DeviceModel *)>;
    using Fault = DeviceSimulator::Fault;

protected:
    // `pluginFile` as the build names it ("devplugin_do8"); `model` makes each new device,
    // `setup` acts on the one each test function starts with.
    EditorTestCase(const QString &pluginFile, ModelFactory model, ModelSetup setup = {})
        : m_pluginFile(pluginFile), m_model(std::move(model)), m_setup(std::move(setup))
    {
    }

    DeviceSimulator *device() const { return m_bench.device(); }
    ModbusClient *client() const { return m_bench.client(); }
    // A file in the test's temporary folder; statePath() keeps what the device saves.
    QString filePath(const QString &name) const { return m_stateDir.filePath(name); }
    QString statePath() const { return filePath(m_pluginFile + QStringLiteral(".ini")); }
    // The value the device saved under `key`.
    int saved(const QString &key) const;
    // The device powered down and up again, with what it saved (`setup` is for init()).
    bool restart() { return m_bench.start(m_model(), statePath()); }
    void setRegisters(int start, const QList<quint16> &values);
    // The next request "function@address" (any, when left out) meets the fault "Kind
    // [parameter [times]]" (exception code 4, once), and `then` runs while it waits.
    void onRequest(const QString &fault, const std::function<void()> &then = {});
    // The requests of the plug-in's read, its write, or DeviceBench::click(name).
    QStringList sentByRead();
    QStringList sentByWrite();
    QStringList sentByClick(const QString &name);
    // Replaces the editor with a new one, which the plug-in then serves.
    void createEditor() { m_editor.reset(newEditor()); }
    // The control `name` of `in`, or of the editor.
    template<typename T = QWidget>
    T *child(const QString &name, const QWidget *in = nullptr) const
    {
        return findControl<T>(in ? in : m_editor.get(), name);
    }
    // What the controls `names` (blank-separated) show, '|'-joined: a box's text, a spin
    // box's value, 1 or 0 for a button checked or not, else the text.
    QString shown(const QString &names, const QWidget *in = nullptr) const;
    // 1 or 0 for each of the controls `names` enabled or not.
    QString enabled(const QString &names, const QWidget *in = nullptr) const;
    // "prefix1 prefix2 ... prefixN", for shown() and enabled().
    static QString numbered(const QString &prefix, int count);
    // A new main window connected to the device; returns its device page.
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
