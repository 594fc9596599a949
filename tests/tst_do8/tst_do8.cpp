#include "DevicePlugin.h"
#include "DeviceSettingsPage.h"
#include "DeviceSimulator.h"
#include "ModbusClient.h"
#include "OutputModuleModel.h"
#include "VirtualSerialPair.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QPluginLoader>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

#include <memory>

using Requests = QList<SimulatedRequest>;
using Words = QList<quint16>;

namespace QTest {
template<>
char *toString(const SimulatedRequest &r)
{
    QString text;
    QDebug(&text) << "function" << r.function << "at" << r.address << r.count << r.values;
    return toString(text);
}
} // namespace QTest

namespace {
SimulatedRequest rd(quint16 at, quint16 n) { return {QModbusPdu::ReadHoldingRegisters, at, n, {}}; }
SimulatedRequest wr(quint16 at, const Words &v)
{
    const int function = v.size() == 1 ? QModbusPdu::WriteSingleRegister
                                       : QModbusPdu::WriteMultipleRegisters;
    return {function, at, quint16(v.size()), v};
}
} // namespace

class tst_Do8 : public QObject
{
    Q_OBJECT

    DevicePlugin *m_plugin = nullptr;
    VirtualSerialPair m_pair;
    std::unique_ptr<DeviceSimulator> m_device;
    std::unique_ptr<OutputModuleModel> m_model;
    ModbusClient m_client;
    std::unique_ptr<QWidget> m_editor;

    void createEditor() { m_editor.reset(m_plugin->createWidget(&m_client, nullptr)); }
    void setRegisters(int start, const Words &values)
    {
        for (int i = 0; i < values.size(); ++i)
            m_device->setHoldingRegister(start + i, values.at(i));
    }
    template<typename T = QAbstractButton>
    T *child(const QString &name, QWidget *editor = nullptr)
    {
        T *found = (editor ? editor : m_editor.get())->findChild<T *>(name);
        return found ? found : (qFatal("no control %s", qPrintable(name)), nullptr);
    }
    QAbstractButton *relay(int n) { return child(QStringLiteral("out%1").arg(n)); }
    // Bit n-1 set when <prefix>n is checked: "out" relay buttons, "safe" safe-state boxes.
    quint16 shown(const char *prefix)
    {
        quint16 mask = 0;
        for (int n = 1; n <= 8; ++n)
            mask |= child(QLatin1String(prefix) + QString::number(n))->isChecked() << (n - 1);
        return mask;
    }

private slots:
    void initTestCase()
    {
        QPluginLoader loader(QStringLiteral(TAVROLIX_PLUGIN_DIR "/devplugin_do8"));
        QVERIFY2(loader.instance(), qPrintable(loader.errorString()));
        m_plugin = qobject_cast<DevicePlugin *>(loader.instance()); // by the interface id
        QVERIFY(m_plugin);
        QVERIFY2(m_pair.open(), qPrintable(m_pair.errorString()));
    }
    // A freshly powered-up output module with factory settings: node 1, 9600 8N1.
    void init()
    {
        m_device = std::make_unique<DeviceSimulator>();
        m_model = std::make_unique<OutputModuleModel>();
        m_model->attach(m_device.get());
        QVERIFY(m_device->start(m_pair.devicePath()));
        QVERIFY2(m_client.connect(m_pair.clientPath(), 9600, 'N', 8, 1, 1),
                 qPrintable(m_client.lastError()));
    }
    void cleanup()
    {
        m_editor.reset();
        m_client.disconnect();
    }

    // First, while no editor exists: reading and writing must not touch the device.
    void identity()
    {
        QCOMPARE(m_plugin->signature(), quint16(4));
        QCOMPARE(m_plugin->deviceName(), QStringLiteral("outputModuleDO8"));
        QCOMPARE(m_plugin->description(), QStringLiteral("8 relay digital outputs"));
        m_plugin->readFromDevice();
        m_plugin->writeToDevice();
        QCOMPARE(m_device->requests(), Requests());
    }

    void readShowsDevice_data()
    {
        QTest::addColumn<Words>("registers"); // 0, then 100-105
        QTest::addColumn<Words>("shown");     // relays, safe mask, address, timeout
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("in range") << Words{0xA5, 5, 65535, 0xF0, 0, 3, 1}
                                  << Words{0xA5, 0xF0, 5, 65535} << QStringList{"19200", "Even"};
        QTest::newRow("out of range") << Words{0xFF00, 248, 0, 0xFF0F, 0, 9, 7}
                                      << Words{0, 0x0F, 247, 1} << QStringList{"", ""};
    }
    void readShowsDevice()
    {
        QFETCH(Words, registers);
        setRegisters(0, registers.mid(0, 1));
        setRegisters(100, registers.mid(1));
        createEditor();
        m_plugin->readFromDevice();
        // Showing what was read must not write it back.
        QCOMPARE(m_device->requests(), (Requests{rd(0, 1), rd(100, 6)}));
        QTEST((Words{shown("out"), shown("safe"),
                     quint16(child<QSpinBox>("deviceAddressSpin")->value()),
                     quint16(child<QSpinBox>("timeoutSpin")->value())}), "shown");
        QTEST((QStringList{child<QComboBox>("deviceBaudCombo")->currentText(),
                           child<QComboBox>("deviceParityCombo")->currentText()}), "boxes");
    }

    // Locked until the relay register was read, then every click writes the mask at once.
    void relays()
    {
        setRegisters(0, {0xFF80});
        setRegisters(101, {9});
        const std::unique_ptr<QWidget> first(m_plugin->createWidget(&m_client, nullptr));
        createEditor(); // the editor made last is the one read
        const quint64 failures = m_client.failureCount();
        m_device->setFault(DeviceSimulator::Fault::Exception, 4, 1);
        m_plugin->readFromDevice();
        // The failed relay read is counted; the settings block is read all the same.
        QCOMPARE(m_client.failureCount(), failures + 1);
        QVERIFY(!m_client.lastError().isEmpty());
        QCOMPARE(m_device->requests(), (Requests{rd(0, 1), rd(100, 6)}));
        QCOMPARE(child<QSpinBox>("timeoutSpin")->value(), 9);
        // A relay switched now would switch off the relays that are on but not shown.
        m_device->clearRequests();
        for (int n = 1; n <= 8; ++n)
            QVERIFY(!relay(n)->isEnabled());
        relay(2)->setChecked(true);
        QCOMPARE(m_device->requests(), Requests());

        m_plugin->readFromDevice();
        QVERIFY(relay(1)->isEnabled());
        QCOMPARE(shown("out"), quint16(0x80));
        QVERIFY(!child(QStringLiteral("out8"), first.get())->isChecked());
        m_device->clearRequests();
        relay(2)->click(); // on beside OUT8; the upper byte is not sent
        relay(8)->click();
        QCOMPARE(m_device->requests(), (Requests{wr(0, {0x82}), wr(0, {0x02})}));
        QCOMPARE(m_device->holdingRegister(0), quint16(0x02));
        // A relay the device refused to switch goes back to what the device has.
        m_device->setFault(DeviceSimulator::Fault::Exception, 4, 1);
        relay(5)->click();
        QVERIFY(!relay(5)->isChecked());
        QCOMPARE(shown("out"), quint16(0x02));
    }

    // The device takes timeout and safe mask together, whichever of them changed.
    void safeStateWritesBoth()
    {
        createEditor();
        child("safe3")->click();
        child<QSpinBox>("timeoutSpin")->setValue(7);
        QCOMPARE(m_device->requests(),
                 (Requests{wr(101, {3}), wr(102, {0x04}), wr(101, {7}), wr(102, {0x04})}));
    }

    // Save to Flash: write everything, then the save command.
    void writeAndSave_data()
    {
        QTest::addColumn<Words>("block"); // registers 100-105, read first unless empty
        QTest::addColumn<int>("pickedBaud"); // -1: the box is left alone
        QTest::addColumn<Requests>("expected");
        const Words odd = {5, 20, 0x0F, 0, 9, 5}; // baud rate and parity off the lists
        const Requests kept = {wr(100, {5, 20}), wr(102, {0x0F}), wr(104, {9, 5})};
        QTest::newRow("never read")
            << Words{} << -1 << Requests{wr(100, {1, 3}), wr(102, {0}), wr(104, {2, 0})};
        QTest::newRow("raw values kept") << odd << -1 << kept;
        QTest::newRow("rate picked") << odd << 4 << Requests{kept[0], kept[1], wr(104, {4, 5})};
    }
    void writeAndSave()
    {
        QFETCH(Words, block);
        QFETCH(int, pickedBaud);
        setRegisters(100, block);
        createEditor();
        if (!block.isEmpty())
            m_plugin->readFromDevice();
        if (pickedBaud >= 0)
            child<QComboBox>("deviceBaudCombo")->setCurrentIndex(pickedBaud);
        // The session saves only if the write left the client's failure count alone.
        const quint64 failures = m_client.failureCount();
        m_device->setFault(DeviceSimulator::Fault::Exception, 4, 1);
        m_plugin->writeToDevice();
        QCOMPARE(m_client.failureCount(), failures + 1);
        QVERIFY(!m_client.lastError().isEmpty());
        m_device->clearRequests();
        m_plugin->writeToDevice();
        QCOMPARE(m_client.failureCount(), failures + 1);
        QFETCH(Requests, expected);
        QCOMPARE(m_device->requests(), expected);
        QSignalSpy saved(m_device.get(), &DeviceSimulator::saveCommandReceived);
        const quint16 saveRegister = m_plugin->saveRegisterAddress();
        QVERIFY(m_client.writeRegister(saveRegister, DeviceSimulator::SaveCommand));
        QCOMPARE(saved.count(), 1);
    }

    // For devices that keep their own rate list: the nearest entry, written as its position.
    void groupedPage()
    {
        DeviceSettingsPage page(DeviceSettingsPage::Form::Grouped, "tst_Do8");
        page.showDeviceValues(248, 9, 7);
        QCOMPARE(page.baudCombo()->currentText(), QStringLiteral("115200"));
        QCOMPARE(page.parityCombo()->currentText(), QStringLiteral("Odd"));
        QCOMPARE((Words{page.addressValue(), page.baudIndexValue(), page.parityValue()}),
                 (Words{247, 6, 2}));
    }
};

QTEST_MAIN(tst_Do8)
#include "tst_do8.moc"
