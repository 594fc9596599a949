#include "DevicePlugin.h"
#include "DeviceSettingsPage.h"
#include "DeviceSimulator.h"
#include "ModbusClient.h"
#include "OutputModuleModel.h"
#include "VirtualSerialPair.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPluginLoader>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace QTest {
template<>
char *toString(const SimulatedRequest &request)
{
    QByteArray text = QByteArray::number(request.function) + '@'
                      + QByteArray::number(request.address) + " count "
                      + QByteArray::number(request.count);
    for (quint16 value : request.values)
        text += ' ' + QByteArray::number(value);
    return qstrdup(text.constData());
}
} // namespace QTest

namespace {

SimulatedRequest readRequest(quint16 address, quint16 count)
{
    return {QModbusPdu::ReadHoldingRegisters, address, count, {}};
}

SimulatedRequest writeRequest(quint16 address, const QList<quint16> &values)
{
    const int function = values.size() == 1 ? QModbusPdu::WriteSingleRegister
                                             : QModbusPdu::WriteMultipleRegisters;
    return {function, address, quint16(values.size()), values};
}

char parityLetter(QSerialPort::Parity parity)
{
    return parity == QSerialPort::EvenParity ? 'E' : parity == QSerialPort::OddParity ? 'O' : 'N';
}

} // namespace

class tst_Do8 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // First: the plug-in's root object is one per process, and no editor exists yet.
    void noEditorNoTraffic();
    void pluginValues();
    void metaCast_data();
    void metaCast();
    void secondEditorIsTheOneRead();
    void readingNeverWrites();
    void relayMask_data();
    void relayMask();
    void relayToggleWritesMask_data();
    void relayToggleWritesMask();
    void safeStateChangeWritesBoth_data();
    void safeStateChangeWritesBoth();
    void shownWithinRange_data();
    void shownWithinRange();
    void freshEditorWrites();
    void failedRelayReadKeepsRelaysLocked();
    void disconnectedClientSendsNothing();
    void deviceSerialValuesWrittenBack_data();
    void deviceSerialValuesWrittenBack();
    void pageForms_data();
    void pageForms();
    void modelAddresses_data();
    void modelAddresses();
    void savedSettingsSurviveRestart();

private:
    // A new simulated device on the pair, as after power-up, with the client connected
    // to it with the serial settings the device took.
    bool powerUp();
    QWidget *createEditor();
    QPushButton *relay(QWidget *editor, int number) const;
    QCheckBox *safeBox(QWidget *editor, int number) const;
    template<typename T>
    T *control(QWidget *editor, const QString &name) const;
    QString statePath() const;

    QObject *m_root = nullptr;
    DevicePlugin *m_plugin = nullptr;
    VirtualSerialPair m_pair;
    QTemporaryDir m_stateDir;
    std::unique_ptr<DeviceSimulator> m_device;
    std::unique_ptr<OutputModuleModel> m_model;
    ModbusClient m_client;
    std::unique_ptr<QWidget> m_editor;
};

void tst_Do8::initTestCase()
{
    QPluginLoader loader(QStringLiteral(TAVROLIX_PLUGIN_DIR "/devplugin_do8"));
    m_root = loader.instance();
    QVERIFY2(m_root, qPrintable(loader.errorString()));
    m_plugin = qobject_cast<DevicePlugin *>(m_root);
    QVERIFY(m_plugin);
    QVERIFY(m_stateDir.isValid());
    QVERIFY2(m_pair.open(), qPrintable(m_pair.errorString()));
}

void tst_Do8::init()
{
    QFile::remove(statePath());
    QVERIFY(powerUp());
}

void tst_Do8::cleanup()
{
    m_editor.reset();
    m_client.disconnect();
}

bool tst_Do8::powerUp()
{
    m_model.reset();
    m_device.reset();
    m_device = std::make_unique<DeviceSimulator>();
    m_model = std::make_unique<OutputModuleModel>();
    m_model->setStatePath(statePath());
    m_model->attach(m_device.get());
    const DeviceModel::SerialSettings line = m_model->serialSettings();
    if (!m_device->start(m_pair.devicePath(), line.node, line.baudRate, line.parity)) {
        qWarning() << "device:" << m_device->errorString();
        return false;
    }
    if (!m_client.connect(m_pair.clientPath(), line.baudRate, parityLetter(line.parity), 8, 1,
                          line.node)) {
        qWarning() << "client:" << m_client.lastError();
        return false;
    }
    return true;
}

QWidget *tst_Do8::createEditor()
{
    m_editor.reset(m_plugin->createWidget(&m_client, nullptr));
    return m_editor.get();
}

QPushButton *tst_Do8::relay(QWidget *editor, int number) const
{
    return control<QPushButton>(editor, QStringLiteral("out%1").arg(number));
}

QCheckBox *tst_Do8::safeBox(QWidget *editor, int number) const
{
    return control<QCheckBox>(editor, QStringLiteral("safe%1").arg(number));
}

template<typename T>
T *tst_Do8::control(QWidget *editor, const QString &name) const
{
    T *found = editor->findChild<T *>(name);
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}

QString tst_Do8::statePath() const
{
    return m_stateDir.filePath(QStringLiteral("do8-state.ini"));
}

void tst_Do8::noEditorNoTraffic()
{
    m_plugin->readFromDevice();
    m_plugin->writeToDevice();
    QCOMPARE(m_device->requests(), QList<SimulatedRequest>());
}

void tst_Do8::pluginValues()
{
    QCOMPARE(m_plugin->signature(), quint16(4));
    QCOMPARE(m_plugin->deviceName(), QStringLiteral("outputModuleDO8"));
    QCOMPARE(m_plugin->description(), QStringLiteral("8 relay digital outputs"));
    QCOMPARE(m_plugin->saveRegisterAddress(), quint16(99));
}

void tst_Do8::metaCast_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("yields");

    QTest::newRow("interface name") << QByteArray("DevicePlugin") << "interface";
    QTest::newRow("interface id") << QByteArray(DevicePlugin_iid) << "interface";
    QTest::newRow("own class") << QByteArray("OutputDO8Plugin") << "root";
    QTest::newRow("other") << QByteArray("QWidget") << "nothing";
}

void tst_Do8::metaCast()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, yields);

    void *cast = m_root->qt_metacast(name.constData());
    if (yields == QLatin1String("interface"))
        QCOMPARE(static_cast<DevicePlugin *>(cast), m_plugin);
    else if (yields == QLatin1String("root"))
        QCOMPARE(static_cast<QObject *>(cast), m_root);
    else
        QCOMPARE(cast, nullptr);
}

void tst_Do8::secondEditorIsTheOneRead()
{
    const std::unique_ptr<QWidget> first(m_plugin->createWidget(&m_client, nullptr));
    QWidget *second = createEditor();
    QVERIFY(second != first.get());

    m_device->setHoldingRegister(0, 0x0001);
    m_plugin->readFromDevice();
    QVERIFY(relay(second, 1)->isChecked());
    QVERIFY(!relay(first.get(), 1)->isChecked());
    QVERIFY(!relay(first.get(), 1)->isEnabled());
}

void tst_Do8::readingNeverWrites()
{
    m_device->setHoldingRegister(0, 0x00FF);
    const QList<quint16> block = {5, 20, 0x00F0, 0, 3, 1};
    for (int i = 0; i < block.size(); ++i)
        m_device->setHoldingRegister(100 + i, block.at(i));
    QWidget *editor = createEditor();
    m_plugin->readFromDevice();

    QCOMPARE(m_device->requests(), (QList<SimulatedRequest>{readRequest(0, 1),
                                                            readRequest(100, 6)}));
    // Every control the read changed has signals that would otherwise write.
    for (int n = 1; n <= 8; ++n) {
        QVERIFY(relay(editor, n)->isChecked());
        QCOMPARE(safeBox(editor, n)->isChecked(), n >= 5);
    }
    QCOMPARE(control<QSpinBox>(editor, QStringLiteral("timeoutSpin"))->value(), 20);
    QCOMPARE(control<QSpinBox>(editor, QStringLiteral("deviceAddressSpin"))->value(), 5);
    QCOMPARE(control<QComboBox>(editor, QStringLiteral("deviceBaudCombo"))->currentText(),
             QStringLiteral("19200"));
    QCOMPARE(control<QComboBox>(editor, QStringLiteral("deviceParityCombo"))->currentText(),
             QStringLiteral("Even"));
}

void tst_Do8::relayMask_data()
{
    QTest::addColumn<quint16>("mask");
    QTest::addColumn<QList<int>>("on");

    QTest::newRow("0x00A5") << quint16(0x00A5) << QList<int>{1, 3, 6, 8};
    QTest::newRow("upper byte set too") << quint16(0xFFA5) << QList<int>{1, 3, 6, 8};
    QTest::newRow("upper byte only") << quint16(0x5A00) << QList<int>{};
}

void tst_Do8::relayMask()
{
    QFETCH(quint16, mask);
    QFETCH(QList<int>, on);

    m_device->setHoldingRegister(0, mask);
    QWidget *editor = createEditor();
    m_plugin->readFromDevice();
    for (int n = 1; n <= 8; ++n)
        QCOMPARE(relay(editor, n)->isChecked(), on.contains(n));
}

void tst_Do8::relayToggleWritesMask_data()
{
    QTest::addColumn<quint16>("before");
    QTest::addColumn<int>("clicked");
    QTest::addColumn<quint16>("written");

    QTest::newRow("OUT2 on beside OUT8") << quint16(0x0080) << 2 << quint16(0x0082);
    QTest::newRow("OUT8 off beside OUT2") << quint16(0x0082) << 8 << quint16(0x0002);
    QTest::newRow("upper byte not sent") << quint16(0xFF00) << 1 << quint16(0x0001);
}

void tst_Do8::relayToggleWritesMask()
{
    QFETCH(quint16, before);
    QFETCH(int, clicked);
    QFETCH(quint16, written);

    m_device->setHoldingRegister(0, before);
    QWidget *editor = createEditor();
    m_plugin->readFromDevice();
    m_device->clearRequests();

    relay(editor, clicked)->click();
    QCOMPARE(m_device->requests(), QList<SimulatedRequest>{writeRequest(0, {written})});
    QCOMPARE(m_device->holdingRegister(0), written);
}

void tst_Do8::safeStateChangeWritesBoth_data()
{
    QTest::addColumn<bool>("changeTimeout");
    QTest::addColumn<QList<SimulatedRequest>>("expected");

    QTest::newRow("safe-state box OUT3")
        << false << QList<SimulatedRequest>{writeRequest(101, {3}), writeRequest(102, {0x04})};
    QTest::newRow("timeout") << true
                             << QList<SimulatedRequest>{writeRequest(101, {7}),
                                                        writeRequest(102, {0})};
}

void tst_Do8::safeStateChangeWritesBoth()
{
    QFETCH(bool, changeTimeout);
    QFETCH(QList<SimulatedRequest>, expected);

    QWidget *editor = createEditor();
    if (changeTimeout)
        control<QSpinBox>(editor, QStringLiteral("timeoutSpin"))->setValue(7);
    else
        safeBox(editor, 3)->click();
    QCOMPARE(m_device->requests(), expected);
}

void tst_Do8::shownWithinRange_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<quint16>("value");
    QTest::addColumn<QString>("spin");
    QTest::addColumn<int>("shown");

    const QString timeout = QStringLiteral("timeoutSpin");
    const QString node = QStringLiteral("deviceAddressSpin");
    QTest::newRow("timeout 0") << 101 << quint16(0) << timeout << 1;
    QTest::newRow("timeout 65535") << 101 << quint16(65535) << timeout << 65535;
    QTest::newRow("address 0") << 100 << quint16(0) << node << 1;
    QTest::newRow("address 248") << 100 << quint16(248) << node << 247;
}

void tst_Do8::shownWithinRange()
{
    QFETCH(int, address);
    QFETCH(quint16, value);
    QFETCH(QString, spin);
    QFETCH(int, shown);

    m_device->setHoldingRegister(address, value);
    QWidget *editor = createEditor();
    m_plugin->readFromDevice();
    QCOMPARE(control<QSpinBox>(editor, spin)->value(), shown);
}

void tst_Do8::freshEditorWrites()
{
    createEditor();
    m_plugin->writeToDevice();
    QCOMPARE(m_device->requests(),
             (QList<SimulatedRequest>{writeRequest(100, {1, 3}), writeRequest(102, {0}),
                                      writeRequest(104, {2, 0})}));
}

void tst_Do8::failedRelayReadKeepsRelaysLocked()
{
    m_device->setHoldingRegister(0, 0x00FF);
    m_device->setHoldingRegister(101, 9);
    QWidget *editor = createEditor();
    m_device->setFault(DeviceSimulator::Fault::Exception, 4, 1);
    m_plugin->readFromDevice();

    QCOMPARE(m_device->requests(), (QList<SimulatedRequest>{readRequest(0, 1),
                                                            readRequest(100, 6)}));
    QCOMPARE(control<QSpinBox>(editor, QStringLiteral("timeoutSpin"))->value(), 9);
    // A click now would switch off relays that are on but not shown.
    m_device->clearRequests();
    for (int n = 1; n <= 8; ++n) {
        QVERIFY(!relay(editor, n)->isEnabled());
        relay(editor, n)->click();
        QVERIFY(!relay(editor, n)->isChecked());
    }
    QCOMPARE(m_device->requests(), QList<SimulatedRequest>());
    QCOMPARE(m_device->holdingRegister(0), quint16(0x00FF));

    m_plugin->readFromDevice();
    QVERIFY(relay(editor, 1)->isEnabled());
    QVERIFY(relay(editor, 1)->isChecked());
}

void tst_Do8::disconnectedClientSendsNothing()
{
    QWidget *editor = createEditor();
    m_plugin->readFromDevice();
    m_client.disconnect();
    m_device->clearRequests();

    relay(editor, 2)->click();
    safeBox(editor, 2)->click();
    m_plugin->readFromDevice();
    m_plugin->writeToDevice();
    QVERIFY(relay(editor, 2)->isChecked());
    QCOMPARE(m_device->requests(), QList<SimulatedRequest>());

    QVERIFY(m_client.connect(m_pair.clientPath(), 9600, 'N', 8, 1, 1));
    m_plugin->readFromDevice();
    QVERIFY(!relay(editor, 2)->isChecked());
}

void tst_Do8::deviceSerialValuesWrittenBack_data()
{
    QTest::addColumn<quint16>("baudIndex");
    QTest::addColumn<quint16>("parity");
    QTest::addColumn<int>("userBaudIndex"); // -1: the user leaves the box alone
    QTest::addColumn<QList<quint16>>("written");

    QTest::newRow("outside the lists") << quint16(9) << quint16(5) << -1
                                       << QList<quint16>{9, 5};
    QTest::newRow("inside the lists") << quint16(6) << quint16(2) << -1
                                      << QList<quint16>{6, 2};
    QTest::newRow("rate picked after") << quint16(9) << quint16(5) << 1
                                       << QList<quint16>{1, 5};
}

void tst_Do8::deviceSerialValuesWrittenBack()
{
    QFETCH(quint16, baudIndex);
    QFETCH(quint16, parity);
    QFETCH(int, userBaudIndex);
    QFETCH(QList<quint16>, written);

    m_device->setHoldingRegister(104, baudIndex);
    m_device->setHoldingRegister(105, parity);
    QWidget *editor = createEditor();
    m_plugin->readFromDevice();
    if (userBaudIndex >= 0)
        control<QComboBox>(editor, QStringLiteral("deviceBaudCombo"))
            ->setCurrentIndex(userBaudIndex);
    m_device->clearRequests();

    m_plugin->writeToDevice();
    QCOMPARE(m_device->requests().value(2), writeRequest(104, written));
}

void tst_Do8::pageForms_data()
{
    QTest::addColumn<DeviceSettingsPage::Form>("form");
    QTest::addColumn<quint16>("baudIndex");
    QTest::addColumn<quint16>("parity");
    QTest::addColumn<QString>("baudShown");
    QTest::addColumn<QString>("parityShown");
    QTest::addColumn<QList<quint16>>("written");

    using Form = DeviceSettingsPage::Form;
    QTest::newRow("standard, in range")
        << Form::Standard << quint16(6) << quint16(1) << "115200" << "Even"
        << QList<quint16>{6, 1};
    QTest::newRow("standard, out of range") << Form::Standard << quint16(9) << quint16(7)
                                            << "" << "" << QList<quint16>{9, 7};
    QTest::newRow("grouped, in range") << Form::Grouped << quint16(0) << quint16(2) << "2400"
                                       << "Odd" << QList<quint16>{0, 2};
    QTest::newRow("grouped, out of range") << Form::Grouped << quint16(9) << quint16(7)
                                           << "115200" << "Odd" << QList<quint16>{6, 2};
}

void tst_Do8::pageForms()
{
    QFETCH(DeviceSettingsPage::Form, form);
    QFETCH(quint16, baudIndex);
    QFETCH(quint16, parity);
    QFETCH(QString, baudShown);
    QFETCH(QString, parityShown);
    QFETCH(QList<quint16>, written);

    DeviceSettingsPage page(form, "tst_Do8");
    QStringList rates;
    for (int i = 0; i < page.baudCombo()->count(); ++i)
        rates.append(page.baudCombo()->itemText(i));
    QCOMPARE(rates, (QStringList{"2400", "4800", "9600", "19200", "38400", "57600", "115200"}));
    QCOMPARE(page.buildTimeLabel() != nullptr, form == DeviceSettingsPage::Form::Grouped);
    // What a page never read writes.
    QCOMPARE((QList<quint16>{page.addressValue(), page.baudIndexValue(), page.parityValue()}),
             (QList<quint16>{1, 2, 0}));

    page.showDeviceValues(248, baudIndex, parity);
    QCOMPARE(page.addressSpin()->value(), 247);
    QCOMPARE(page.baudCombo()->currentText(), baudShown);
    QCOMPARE(page.parityCombo()->currentText(), parityShown);
    QCOMPARE((QList<quint16>{page.baudIndexValue(), page.parityValue()}), written);
}

void tst_Do8::modelAddresses_data()
{
    QTest::addColumn<quint16>("start");
    QTest::addColumn<quint16>("count");
    QTest::addColumn<bool>("answered");

    QTest::newRow("relays") << quint16(0) << quint16(1) << true;
    QTest::newRow("save command to parity") << quint16(99) << quint16(7) << true;
    QTest::newRow("after the relays") << quint16(1) << quint16(1) << false;
    QTest::newRow("before the save command") << quint16(98) << quint16(2) << false;
    QTest::newRow("past the parity") << quint16(105) << quint16(2) << false;
}

void tst_Do8::modelAddresses()
{
    QFETCH(quint16, start);
    QFETCH(quint16, count);
    QFETCH(bool, answered);

    QList<quint16> values;
    QCOMPARE(m_client.readHoldingRegisters(start, count, values), answered);
    if (!answered)
        QVERIFY(m_client.lastError() != QLatin1String("Timeout"));
}

void tst_Do8::savedSettingsSurviveRestart()
{
    QWidget *editor = createEditor();
    m_plugin->readFromDevice();
    relay(editor, 1)->click();
    control<QSpinBox>(editor, QStringLiteral("deviceAddressSpin"))->setValue(7);
    control<QSpinBox>(editor, QStringLiteral("timeoutSpin"))->setValue(10);
    safeBox(editor, 4)->click();
    control<QComboBox>(editor, QStringLiteral("deviceBaudCombo"))->setCurrentIndex(4);
    control<QComboBox>(editor, QStringLiteral("deviceParityCombo"))->setCurrentIndex(1);
    m_plugin->writeToDevice();
    QSignalSpy saved(m_device.get(), &DeviceSimulator::saveCommandReceived);
    QVERIFY(m_client.writeRegister(m_plugin->saveRegisterAddress(), DeviceSimulator::SaveCommand));
    QCOMPARE(saved.count(), 1);

    // Until its restart the device keeps its old line settings.
    quint16 address = 0;
    QVERIFY2(m_client.readHoldingRegister(100, address), qPrintable(m_client.lastError()));
    QCOMPARE(address, quint16(7));

    QVERIFY(powerUp());
    QVERIFY(m_model->hasStoredSettings());
    QCOMPARE(m_device->serverAddress(), 7);
    QCOMPARE(m_device->connectionParameter(QModbusDevice::SerialBaudRateParameter).toInt(), 38400);
    QCOMPARE(m_device->connectionParameter(QModbusDevice::SerialParityParameter).toInt(),
             int(QSerialPort::EvenParity));

    editor = createEditor();
    m_plugin->readFromDevice();
    QCOMPARE(m_device->requests().size(), 2);
    QCOMPARE(control<QSpinBox>(editor, QStringLiteral("deviceAddressSpin"))->value(), 7);
    QCOMPARE(control<QSpinBox>(editor, QStringLiteral("timeoutSpin"))->value(), 10);
    QVERIFY(safeBox(editor, 4)->isChecked());
    QCOMPARE(control<QComboBox>(editor, QStringLiteral("deviceBaudCombo"))->currentIndex(), 4);
    QCOMPARE(control<QComboBox>(editor, QStringLiteral("deviceParityCombo"))->currentIndex(), 1);
    // The relays are not among the stored settings: they come up off.
    QVERIFY(!relay(editor, 1)->isChecked());
}

QTEST_MAIN(tst_Do8)
#include "tst_do8.moc"
