#include "EditorTestCase.h"

#include "ModbusClient.h"
#include "PluginManager.h"
#include "TestApplication.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QMetaEnum>
#include <QPluginLoader>
#include <QSettings>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

void EditorTestCase::setRegisters(int start, const QList<quint16> &values)
{
    for (int i = 0; i < values.size(); ++i)
        device()->setHoldingRegister(start + i, values.at(i));
}

void EditorTestCase::onRequest(const QString &fault, const std::function<void()> &then)
{
    QStringList f = fault.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString request = f.value(0).contains(QLatin1Char('@')) ? f.takeFirst() : QString();
    if (f.isEmpty())
        return;
    const int kind = QMetaEnum::fromType<Fault>().keyToValue(qPrintable(f[0]));
    QVERIFY2(kind >= 0, qPrintable(fault));
    connect(device(), &DeviceSimulator::requestReceived, this,
            [=, armed = false](const SimulatedRequest &r) mutable {
                const QString seen = QStringLiteral("%1@%2").arg(r.function).arg(r.address);
                if (armed || !(request.isEmpty() || seen == request))
                    return;
                armed = true;
                device()->setFault(Fault(kind), f.value(1, QStringLiteral("4")).toInt(),
                                   f.value(2, QStringLiteral("1")).toInt());
                if (then)
                    QTimer::singleShot(0, this, then);
            });
}

QStringList EditorTestCase::sentByRead()
{
    m_bench.clearRequests();
    m_plugin->readFromDevice();
    return m_bench.requests();
}

QStringList EditorTestCase::sentByWrite()
{
    m_bench.clearRequests();
    m_plugin->writeToDevice();
    return m_bench.requests();
}

QStringList EditorTestCase::sentByClick(const QString &name)
{
    m_bench.clearRequests();
    return m_bench.click(name) ? m_bench.requests() : QStringList{QStringLiteral("no ") + name};
}

int EditorTestCase::saved(const QString &key) const
{
    return QSettings(statePath(), QSettings::IniFormat).value(key).toInt();
}

QString EditorTestCase::shown(const QString &names, const QWidget *in) const
{
    QStringList texts;
    for (const QString &name : names.split(QLatin1Char(' '))) {
        const QWidget *control = child(name, in);
        if (const auto *box = qobject_cast<const QComboBox *>(control))
            texts << box->currentText();
        else if (const auto *spin = qobject_cast<const QSpinBox *>(control))
            texts << QString::number(spin->value());
        else if (const auto *button = qobject_cast<const QAbstractButton *>(control))
            texts << QString::number(button->isChecked());
        else
            texts << control->property("text").toString();
    }
    return texts.join(QLatin1Char('|'));
}

QString EditorTestCase::enabled(const QString &names, const QWidget *in) const
{
    QString map;
    for (const QString &name : names.split(QLatin1Char(' ')))
        map += child(name, in)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return map;
}

QString EditorTestCase::numbered(const QString &prefix, int count)
{
    QStringList names;
    for (int n = 1; n <= count; ++n)
        names << prefix + QString::number(n);
    return names.join(QLatin1Char(' '));
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
    // The main window finds its plug-ins as the configurator does; the editors made here
    // come from the one file, loaded as the configurator loads it.
    const QString directory = QStringLiteral(TAVROLIX_PLUGIN_DIR);
    PluginManager::instance()->loadPluginsFromDir(directory);
    QPluginLoader loader(directory + QLatin1Char('/') + m_pluginFile);
    m_plugin = qobject_cast<DevicePlugin *>(loader.instance());
    QVERIFY2(m_plugin, qPrintable(loader.errorString()));
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
