#include "EditorTestCase.h"

#include "DeviceModel.h"
#include "DevicePlugin.h"
#include "DeviceSimulator.h"
#include "ModbusClient.h"
#include "PluginManager.h"
#include "TestApplication.h"

#include <QFile>
#include <QTest>

EditorTestCase::EditorTestCase(const QString &pluginFile, ModelFactory model, ModelSetup setup)
    : m_pluginFile(pluginFile)
    , m_model(std::move(model))
    , m_setup(std::move(setup))
{
}

EditorTestCase::~EditorTestCase() = default;

bool EditorTestCase::restart()
{
    return m_bench.start(m_model(), statePath());
}

void EditorTestCase::setRegisters(int start, const QList<quint16> &values)
{
    for (int i = 0; i < values.size(); ++i)
        device()->setHoldingRegister(start + i, values.at(i));
}

QWidget *EditorTestCase::connectWindow()
{
    m_editor.reset();
    client()->disconnect(); // the window's own client opens the port
    m_bench.openWindow();
    m_bench.click(QStringLiteral("connect"));
    return m_bench.editor();
}

void EditorTestCase::initTestCase()
{
    prepareTestApplication();
    QVERIFY(m_stateDir.isValid());
    // The main window finds the plug-ins as the configurator does; the editors made here
    // come from the one file.
    PluginManager::instance()->loadPluginsFromDir(QStringLiteral(TAVROLIX_PLUGIN_DIR));
    m_plugin = m_bench.loadPlugin(QStringLiteral(TAVROLIX_PLUGIN_DIR), m_pluginFile);
    QVERIFY2(m_plugin, qPrintable(m_bench.errorString()));
    QVERIFY2(m_bench.open(), qPrintable(m_bench.errorString()));
}

void EditorTestCase::init()
{
    QFile::remove(statePath());
    QVERIFY2(restart(), qPrintable(m_bench.errorString()));
    if (m_setup)
        m_setup(m_bench.model());
    QVERIFY2(m_bench.connectClient(), qPrintable(m_bench.errorString()));
    m_bench.clearRequests();
    createEditor();
    QCOMPARE(m_bench.requests(), QStringList()); // an editor reads nothing by itself
}

void EditorTestCase::cleanup()
{
    m_editor.reset();
    m_bench.closeWindow();
    client()->disconnect();
}

QWidget *EditorTestCase::newEditor()
{
    return m_plugin->createWidget(client(), nullptr);
}
