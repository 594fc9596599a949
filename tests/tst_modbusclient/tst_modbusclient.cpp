#include "DeviceSimulator.h"
#include "ModbusClient.h"
#include "VirtualSerialPair.h"

#include <QElapsedTimer>
#include <QModbusRtuSerialClient>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <functional>

using Fault = DeviceSimulator::Fault;

namespace {

// One client call with its output arguments.
using Call = std::function<bool(ModbusClient &, QList<quint16> &, QList<bool> &)>;
#define CALL(expression) Call([](ModbusClient &c, QList<quint16> &w, QList<bool> &b) { \
    [[maybe_unused]] quint16 x = 0;                                                   \
    Q_UNUSED(w) Q_UNUSED(b) return expression;                                         \
})

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Call)

class tst_ModbusClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void requestsOnTheLine_data();
    void requestsOnTheLine();
    void readValues();
    void failedRequestKeepsOutputs_data();
    void failedRequestKeepsOutputs();
    void refusedWithoutTraffic_data();
    void refusedWithoutTraffic();
    void lateReplyAfterGuard();
    void disconnectDuringWait();
    void nestedRequestsEndOnDisconnect();
    void failedConnect();
    void parity_data();
    void parity();

private:
    bool connectClient(ModbusClient &client);

    VirtualSerialPair m_pair;
    DeviceSimulator m_device;
    ModbusClient m_client;
};

void tst_ModbusClient::initTestCase()
{
    QVERIFY2(m_pair.open(), qPrintable(m_pair.errorString()));
    m_device.setIdentity(4, 2, 15);
    QVERIFY2(m_device.start(m_pair.devicePath(), 1), qPrintable(m_device.errorString()));
}

void tst_ModbusClient::init()
{
    m_device.clearFault();
    QVERIFY(connectClient(m_client));
    m_device.clearRequests();
}

void tst_ModbusClient::cleanup()
{
    m_client.disconnect();
}

bool tst_ModbusClient::connectClient(ModbusClient &client)
{
    return client.connect(m_pair.clientPath(), 9600, 'N', 8, 1, 1);
}

void tst_ModbusClient::requestsOnTheLine_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<SimulatedRequest>("expected");

    QTest::newRow("read coils") << CALL(c.readCoils(10, 11, b)) << SimulatedRequest{1, 10, 11, {}};
    QTest::newRow("read discrete inputs")
        << CALL(c.readDiscreteInputs(20, 3, b)) << SimulatedRequest{2, 20, 3, {}};
    QTest::newRow("read holding registers")
        << CALL(c.readHoldingRegisters(5, 4, w)) << SimulatedRequest{3, 5, 4, {}};
    QTest::newRow("read input registers")
        << CALL(c.readInputRegisters(1, 2, w)) << SimulatedRequest{4, 1, 2, {}};
    QTest::newRow("read one holding")
        << CALL(c.readHoldingRegister(7, x)) << SimulatedRequest{3, 7, 1, {}};
    QTest::newRow("signature") << CALL(c.readSignature(x)) << SimulatedRequest{4, 0, 1, {}};
    QTest::newRow("version") << CALL(c.readVersion(x, x)) << SimulatedRequest{4, 1, 2, {}};
    QTest::newRow("write single coil")
        << CALL(c.writeSingleCoil(3, true)) << SimulatedRequest{5, 3, 1, {1}};
    QTest::newRow("write coils, one")
        << CALL(c.writeCoils(4, {true})) << SimulatedRequest{5, 4, 1, {1}};
    QTest::newRow("write coils, two")
        << CALL(c.writeCoils(4, {true, false})) << SimulatedRequest{15, 4, 2, {1, 0}};
    QTest::newRow("write register")
        << CALL(c.writeRegister(9, 0xBEEF)) << SimulatedRequest{6, 9, 1, {0xBEEF}};
    QTest::newRow("write registers, one")
        << CALL(c.writeRegisters(12, {7})) << SimulatedRequest{6, 12, 1, {7}};
    QTest::newRow("write registers, three")
        << CALL(c.writeRegisters(12, {7, 8, 9})) << SimulatedRequest{16, 12, 3, {7, 8, 9}};
}

void tst_ModbusClient::requestsOnTheLine()
{
    QFETCH(Call, call);
    QFETCH(SimulatedRequest, expected);

    QList<quint16> words;
    QList<bool> bits;
    QVERIFY2(call(m_client, words, bits), qPrintable(m_client.lastError()));
    QCOMPARE(m_device.requests(), QList<SimulatedRequest>{expected});
}

void tst_ModbusClient::readValues()
{
    for (int i = 0; i < 4; ++i)
        m_device.setHoldingRegister(5 + i, quint16(0xFFFF - i));
    m_device.setInputRegister(8, 321);
    for (int i = 0; i < 11; ++i)
        m_device.setCoil(10 + i, i % 3 == 0);

    QList<quint16> words(10, 42);
    QVERIFY(m_client.readHoldingRegisters(5, 4, words));
    QCOMPARE(words, (QList<quint16>{0xFFFF, 0xFFFE, 0xFFFD, 0xFFFC}));

    // Coils come back padded to whole bytes; the caller gets exactly what it asked for.
    QList<bool> bits(20, true);
    QVERIFY(m_client.readCoils(10, 11, bits));
    QCOMPARE(bits, (QList<bool>{true, false, false, true, false, false, true, false, false,
                                true, false}));

    quint16 major = 0;
    quint16 minor = 0;
    QVERIFY(m_client.readVersion(major, minor));
    QCOMPARE(major, quint16(2));
    QCOMPARE(minor, quint16(15));

    QVERIFY(m_client.writeRegisters(30, {1, 2, 3}));
    QCOMPARE(m_device.holdingRegister(31), quint16(2));
    QVERIFY(m_client.writeCoils(40, {true, true, false}));
    QVERIFY(m_device.coil(41));
    QVERIFY(!m_device.coil(42));
}

void tst_ModbusClient::failedRequestKeepsOutputs_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("parameter");
    QTest::addColumn<int>("address");
    QTest::addColumn<QString>("error");

    QTest::newRow("no reply") << Fault::NoReply << 0 << 0 << "Timeout";
    QTest::newRow("reply after the guard") << Fault::Delay << 900 << 0 << "Timeout";
    QTest::newRow("corrupt checksum") << Fault::BadCrc << 0 << 0 << "Timeout";
    QTest::newRow("exception reply")
        << Fault::Exception << 4 << 0 << "Modbus Exception Response.";
    QTest::newRow("address the device lacks")
        << Fault::None << 0 << 300 << "Modbus Exception Response.";
    // A short or long reply is a late answer or a broken device: zeros or extra
    // values taken for data would end up flashed into the device.
    QTest::newRow("short reply") << Fault::ShortReply << 0 << 0 << "Invalid reply";
    QTest::newRow("over-long reply") << Fault::LongReply << 0 << 0 << "Invalid reply";
}

void tst_ModbusClient::failedRequestKeepsOutputs()
{
    QFETCH(Fault, fault);
    QFETCH(int, parameter);
    QFETCH(int, address);
    QFETCH(QString, error);

    m_device.setFault(fault, parameter);
    QList<quint16> words(10, 42);
    const quint64 failuresBefore = m_client.failureCount();
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!m_client.readHoldingRegisters(quint16(address), 4, words));
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(m_client.lastError(), error);
    QCOMPARE(m_client.failureCount(), failuresBefore + 1);
    QCOMPARE(m_client.pendingWaits(), 0);
    QCOMPARE(words, QList<quint16>(10, 42));
    if (error == QLatin1String("Timeout")) {
        QVERIFY2(elapsed >= 650 && elapsed < 1000, qPrintable(QString::number(elapsed)));
    }

    // Bit reads keep their outputs as well.
    QList<bool> bits(3, true);
    QVERIFY(!m_client.readCoils(quint16(address), 8, bits));
    QCOMPARE(bits, QList<bool>(3, true));
}

void tst_ModbusClient::refusedWithoutTraffic_data()
{
    QTest::addColumn<Call>("call");
    QTest::newRow("read 0 registers") << CALL(c.readHoldingRegisters(0, 0, w));
    QTest::newRow("read 0 coils") << CALL(c.readCoils(0, 0, b));
    QTest::newRow("write 0 coils") << CALL(c.writeCoils(0, {}));
    QTest::newRow("read 126 registers") << CALL(c.readHoldingRegisters(0, 126, w));
    QTest::newRow("write 124 registers") << CALL(c.writeRegisters(0, QList<quint16>(124, 1)));
}

void tst_ModbusClient::refusedWithoutTraffic()
{
    QFETCH(Call, call);
    QList<quint16> words(2, 5);
    QList<bool> bits(2, true);
    const bool ok = call(m_client, words, bits);
    QVERIFY(!ok);
    QCOMPARE(m_client.lastError(), QStringLiteral("Invalid reply"));
    QCOMPARE(words, QList<quint16>(2, 5));
    QCOMPARE(bits, QList<bool>(2, true));

    // The line carried nothing: the next request is the first the device sees.
    quint16 signature = 0;
    QVERIFY(m_client.readSignature(signature));
    QCOMPARE(m_device.requests().size(), 1);
}

void tst_ModbusClient::lateReplyAfterGuard()
{
    // Both attempts of the toolkit are answered 900 ms late, after the guard gave up.
    m_device.setHoldingRegister(0, 11);
    m_device.setHoldingRegister(1, 22);
    QSignalSpy sent(&m_device, &DeviceSimulator::replySent);
    m_device.setFault(Fault::Delay, 900, 2);
    QList<quint16> words;
    QVERIFY(!m_client.readHoldingRegisters(0, 2, words));
    QCOMPARE(m_client.lastError(), QStringLiteral("Timeout"));

    // The next request queues behind the abandoned one and still gets an answer.
    QVERIFY2(m_client.readHoldingRegisters(0, 2, words), qPrintable(m_client.lastError()));
    QCOMPARE(words, (QList<quint16>{11, 22}));

    // The late replies reach the client after it gave up on them: nothing may crash,
    // and once the line has settled the client reads what the device holds now. (A
    // late reply still on its way is taken for the next read of the same kind: the
    // protocol cannot tell them apart.)
    QTRY_COMPARE_WITH_TIMEOUT(sent.size(), 2, 3000);
    m_device.setHoldingRegister(1, 33);
    QTRY_VERIFY_WITH_TIMEOUT(m_client.readHoldingRegisters(0, 2, words)
                                 && words == QList<quint16>({11, 33}),
                             5000);
}

void tst_ModbusClient::disconnectDuringWait()
{
    m_device.setFault(Fault::NoReply);
    QSignalSpy disconnected(&m_client, &ModbusClient::disconnected);
    QTimer::singleShot(100, &m_client, [this] { m_client.disconnect(); });

    QList<quint16> words(3, 9);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!m_client.readHoldingRegisters(0, 2, words));
    QVERIFY2(clock.elapsed() < 650, "the wait must end with the connection");
    QCOMPARE(words, QList<quint16>(3, 9));
    QCOMPARE(m_client.lastError(), QStringLiteral("Not connected"));
    QCOMPARE(disconnected.size(), 1);
    QVERIFY(!m_client.isConnected());
}

void tst_ModbusClient::nestedRequestsEndOnDisconnect()
{
    // A timer starts a second request while the first waits; a later timer
    // disconnects while both wait. Both callers must see a failure.
    m_device.setFault(Fault::NoReply);
    bool innerResult = true;
    int waitsSeen = 0;
    QList<quint16> innerWords(1, 5);
    QTimer::singleShot(50, &m_client, [&] {
        QTimer::singleShot(100, &m_client, [&] {
            waitsSeen = m_client.pendingWaits();
            m_client.disconnect();
        });
        innerResult = m_client.readInputRegisters(0, 1, innerWords);
    });
    QSignalSpy waitsFinished(&m_client, &ModbusClient::waitsFinished);

    QList<quint16> words(1, 6);
    QVERIFY(!m_client.readHoldingRegisters(0, 1, words));
    QVERIFY(!innerResult);
    QCOMPARE(waitsSeen, 2);
    QCOMPARE(m_client.pendingWaits(), 0);
    QCOMPARE(waitsFinished.size(), 1); // only when the outer caller got its answer
    QCOMPARE(words, QList<quint16>(1, 6));
    QCOMPARE(innerWords, QList<quint16>(1, 5));

    // The client connects again and works as before.
    m_device.clearFault();
    QVERIFY(connectClient(m_client));
    QVERIFY(m_client.readHoldingRegisters(0, 1, words));
}

void tst_ModbusClient::failedConnect()
{
    QSignalSpy connected(&m_client, &ModbusClient::connected);
    QSignalSpy disconnected(&m_client, &ModbusClient::disconnected);

    // The open connection is closed first, then the new port fails to open.
    QVERIFY(!m_client.connect(QStringLiteral("/nonexistent/ttyTavrolix"), 9600, 'N', 8, 1, 1));
    QCOMPARE(disconnected.size(), 1);
    QCOMPARE(connected.size(), 0);
    QVERIFY(!m_client.isConnected());
    QVERIFY2(m_client.lastError().startsWith(QLatin1String("Connection failed: ")),
             qPrintable(m_client.lastError()));
    QVERIFY(m_client.lastError().size() > QStringLiteral("Connection failed: ").size());
    QVERIFY(m_client.findChildren<QModbusRtuSerialClient *>().isEmpty());

    // Nothing goes out, nothing of the caller's changes.
    QList<quint16> words(2, 1);
    QList<bool> bits(2, true);
    quint16 value = 3;
    quint16 minor = 4;
    const QList<bool> results{
        m_client.readCoils(0, 1, bits),          m_client.readDiscreteInputs(0, 1, bits),
        m_client.readHoldingRegisters(0, 1, words), m_client.readInputRegisters(0, 1, words),
        m_client.readHoldingRegister(0, value),  m_client.readInputRegister(0, value),
        m_client.readSignature(value),           m_client.readVersion(value, minor),
        m_client.writeSingleCoil(0, true),       m_client.writeCoils(0, {true}),
        m_client.writeRegister(0, 1),            m_client.writeRegisters(0, {1}),
    };
    QCOMPARE(results, QList<bool>(12, false));
    QCOMPARE(m_client.lastError(), QStringLiteral("Not connected"));
    QCOMPARE(words, QList<quint16>(2, 1));
    QCOMPARE(bits, QList<bool>(2, true));
    QCOMPARE(value, quint16(3));
    QCOMPARE(minor, quint16(4));
    QVERIFY(m_device.requests().isEmpty());

    // A failed attempt on a closed client emits nothing at all.
    QVERIFY(!m_client.connect(QString(), 9600, 'N', 8, 1, 1));
    QCOMPARE(disconnected.size(), 1);
    QCOMPARE(connected.size(), 0);
}

void tst_ModbusClient::parity_data()
{
    QTest::addColumn<char>("letter");
    QTest::addColumn<int>("parity");
    QTest::newRow("e") << 'e' << int(QSerialPort::EvenParity);
    QTest::newRow("O") << 'O' << int(QSerialPort::OddParity);
    QTest::newRow("X") << 'X' << int(QSerialPort::NoParity);
    // 0x45 | 0x20 is 'e', but 0x65 | 0x80 is no letter at all.
    QTest::newRow("high bit") << char(0xC5) << int(QSerialPort::NoParity);
}

void tst_ModbusClient::parity()
{
    QFETCH(char, letter);
    QFETCH(int, parity);

    m_client.disconnect(); // the port takes one client at a time
    ModbusClient client;
    QVERIFY2(client.connect(m_pair.clientPath(), 19200, letter, 8, 1, 1),
             qPrintable(client.lastError()));
    const auto *modbus = client.findChild<QModbusRtuSerialClient *>();
    QVERIFY(modbus);
    QCOMPARE(modbus->connectionParameter(QModbusDevice::SerialParityParameter).toInt(), parity);
    QCOMPARE(modbus->connectionParameter(QModbusDevice::SerialBaudRateParameter).toInt(), 19200);
}

QTEST_GUILESS_MAIN(tst_ModbusClient)
#include "tst_modbusclient.moc"
