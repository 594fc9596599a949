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
using Request = SimulatedRequest;

namespace {

// One client call with its output arguments.
using Call = std::function<bool(ModbusClient &, QList<quint16> &, QList<bool> &, quint16 &)>;
#define CALL(expression)                                                                  \
    Call([](ModbusClient &c, QList<quint16> &w, QList<bool> &b, quint16 &x) {             \
        Q_UNUSED(w) Q_UNUSED(b) Q_UNUSED(x) return expression;                           \
    })

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Call)

class tst_ModbusClient : public QObject
{
    Q_OBJECT

    VirtualSerialPair m_pair;
    DeviceSimulator m_device;
    ModbusClient m_client;

    static bool connectClient(ModbusClient &client, const QString &path, int baud = 9600,
                              char parity = 'N')
    {
        return client.connect(path, baud, parity, 8, 1, 1);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_pair.open(), qPrintable(m_pair.errorString()));
        m_device.setIdentity(4, 2, 15);
        QVERIFY2(m_device.start(m_pair.devicePath(), 1), qPrintable(m_device.errorString()));
    }

    void init()
    {
        m_device.clearFault();
        QVERIFY(connectClient(m_client, m_pair.clientPath()));
        m_device.clearRequests();
    }

    void cleanup() { m_client.disconnect(); }

    void requestsOnTheLine_data()
    {
        QTest::addColumn<Call>("call");
        QTest::addColumn<Request>("expected");
        QTest::newRow("coils") << CALL(c.readCoils(10, 11, b)) << Request{1, 10, 11, {}};
        QTest::newRow("inputs") << CALL(c.readDiscreteInputs(20, 3, b)) << Request{2, 20, 3, {}};
        QTest::newRow("holding") << CALL(c.readHoldingRegisters(5, 4, w)) << Request{3, 5, 4, {}};
        QTest::newRow("input regs") << CALL(c.readInputRegisters(1, 2, w)) << Request{4, 1, 2, {}};
        QTest::newRow("one holding") << CALL(c.readHoldingRegister(7, x)) << Request{3, 7, 1, {}};
        QTest::newRow("one input") << CALL(c.readInputRegister(8, x)) << Request{4, 8, 1, {}};
        QTest::newRow("signature") << CALL(c.readSignature(x)) << Request{4, 0, 1, {}};
        QTest::newRow("version") << CALL(c.readVersion(x, x)) << Request{4, 1, 2, {}};
        QTest::newRow("write coil") << CALL(c.writeSingleCoil(3, true)) << Request{5, 3, 1, {1}};
        QTest::newRow("write 1 coil") << CALL(c.writeCoils(4, {true})) << Request{5, 4, 1, {1}};
        QTest::newRow("write 2 coils")
            << CALL(c.writeCoils(4, {true, false})) << Request{15, 4, 2, {1, 0}};
        QTest::newRow("register") << CALL(c.writeRegister(9, 0xBEEF)) << Request{6, 9, 1, {0xBEEF}};
        QTest::newRow("write 1 reg") << CALL(c.writeRegisters(12, {7})) << Request{6, 12, 1, {7}};
        QTest::newRow("write 3 regs")
            << CALL(c.writeRegisters(12, {7, 8, 9})) << Request{16, 12, 3, {7, 8, 9}};
    }

    void requestsOnTheLine()
    {
        QFETCH(Call, call);
        QFETCH(Request, expected);

        // A client whose port failed to open sends nothing and changes none of the outputs.
        ModbusClient refused;
        QVERIFY(!connectClient(refused, QStringLiteral("/nonexistent/ttyTavrolix")));
        QList<quint16> words(2, 1);
        QList<bool> bits(2, true);
        quint16 value = 3;
        QVERIFY(!call(refused, words, bits, value));
        QCOMPARE(refused.lastError(), QStringLiteral("Not connected"));
        QCOMPARE(words, QList<quint16>(2, 1));
        QCOMPARE(bits, QList<bool>(2, true));
        QCOMPARE(value, quint16(3));

        QVERIFY2(call(m_client, words, bits, value), qPrintable(m_client.lastError()));
        QCOMPARE(m_device.requests(), QList<Request>{expected});
    }

    void readValues()
    {
        for (int i = 0; i < 4; ++i)
            m_device.setHoldingRegister(5 + i, quint16(0xFFFF - i));
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
        QCOMPARE(QList<quint16>({major, minor}), QList<quint16>({2, 15}));
    }

    void failedRequestKeepsOutputs_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("parameter");
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("error");

        QTest::newRow("no reply") << Fault::NoReply << 0 << 0 << "Timeout";
        QTest::newRow("reply after the guard") << Fault::Delay << 900 << 0 << "Timeout";
        QTest::newRow("corrupt checksum") << Fault::BadCrc << 0 << 0 << "Timeout";
        QTest::newRow("exception reply")
            << Fault::Exception << 4 << 0 << "Modbus exception 4 (server device failure)";
        QTest::newRow("address the device lacks")
            << Fault::None << 0 << 300 << "Modbus exception 2 (illegal data address)";
        // A short or long reply is a late answer or a broken device: zeros or extra
        // values taken for data would end up flashed into the device.
        QTest::newRow("short reply") << Fault::ShortReply << 0 << 0 << "Invalid reply";
        QTest::newRow("over-long reply") << Fault::LongReply << 0 << 0 << "Invalid reply";
    }

    void failedRequestKeepsOutputs()
    {
        QFETCH(Fault, fault);
        QFETCH(int, parameter);
        QFETCH(int, address);
        QFETCH(QString, error);

        m_device.setFault(fault, parameter);
        QList<quint16> words(10, 42);
        const quint64 failuresBefore = m_client.failureCount();
        QSignalSpy errors(&m_client, &ModbusClient::errorOccurred);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!m_client.readHoldingRegisters(quint16(address), 4, words));
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(m_client.lastError(), error);
        QCOMPARE(m_client.failureCount(), failuresBefore + 1);
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.first().first().toString(), error);
        QCOMPARE(m_client.pendingWaits(), 0);
        QCOMPARE(words, QList<quint16>(10, 42));
        if (error == QLatin1String("Timeout"))
            QVERIFY2(elapsed >= 650 && elapsed < 1000, qPrintable(QString::number(elapsed)));

        // Bit reads keep their outputs as well.
        QList<bool> bits(3, true);
        QVERIFY(!m_client.readCoils(quint16(address), 8, bits));
        QCOMPARE(bits, QList<bool>(3, true));
    }

    void refusedWithoutTraffic_data()
    {
        QTest::addColumn<Call>("call");
        QTest::newRow("read 0 registers") << CALL(c.readHoldingRegisters(0, 0, w));
        QTest::newRow("read 0 coils") << CALL(c.readCoils(0, 0, b));
        QTest::newRow("write 0 coils") << CALL(c.writeCoils(0, {}));
        QTest::newRow("read 126 registers") << CALL(c.readHoldingRegisters(0, 126, w));
        QTest::newRow("write 124 registers") << CALL(c.writeRegisters(0, QList<quint16>(124, 1)));
    }

    void refusedWithoutTraffic()
    {
        QFETCH(Call, call);
        QList<quint16> words(2, 5);
        QList<bool> bits(2, true);
        quint16 signature = 0;
        QVERIFY(!call(m_client, words, bits, signature));
        QCOMPARE(m_client.lastError(), QStringLiteral("Invalid reply"));
        QCOMPARE(words, QList<quint16>(2, 5));
        QCOMPARE(bits, QList<bool>(2, true));

        // The line carried nothing: the next request is the first the device sees.
        QVERIFY(m_client.readSignature(signature));
        QCOMPARE(m_device.requests().size(), 1);
    }

    void lateReplyNeverAnswersAnotherRequest_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("times");
        // A device busy for 1.2 s answers the first read long after the guard and the
        // toolkit's retry gave up on it; the next read asks for as many registers
        // elsewhere, so only the client's timing can tell the two replies apart.
        QTest::newRow("device drops requests while busy") << Fault::Busy << 1;
        QTest::newRow("device queues requests") << Fault::BusyQueues << 1;
        QTest::newRow("device silent for both attempts") << Fault::NoReply << 2;
    }

    void lateReplyNeverAnswersAnotherRequest()
    {
        QFETCH(Fault, fault);
        QFETCH(int, times);
        for (int i = 0; i < 4; ++i) {
            m_device.setHoldingRegister(110 + i, quint16(1 + i));
            m_device.setHoldingRegister(210 + i, quint16(91 + i));
        }
        m_device.setFault(fault, 1200, times);
        QList<quint16> words;
        QVERIFY(!m_client.readHoldingRegisters(110, 4, words));
        QCOMPARE(m_client.lastError(), QStringLiteral("Timeout"));
        QVERIFY(m_client.isBusy()); // a periodic caller would skip now

        QElapsedTimer clock;
        clock.start();
        QVERIFY2(m_client.readHoldingRegisters(210, 4, words), qPrintable(m_client.lastError()));
        QCOMPARE(words, (QList<quint16>{91, 92, 93, 94}));
        qInfo("the read behind the abandoned one took %lld ms", clock.elapsed());
        QVERIFY(!m_client.isBusy());
    }

    void foreignReplyRefused_data()
    {
        QTest::addColumn<Call>("call");
        QTest::newRow("register value") << CALL(c.writeRegister(202, 0x2222));
        QTest::newRow("coil value") << CALL(c.writeSingleCoil(7, true));
        QTest::newRow("registers start") << CALL(c.writeRegisters(40, {1, 2}));
        QTest::newRow("coils start") << CALL(c.writeCoils(40, {true, false, true}));
    }

    void foreignReplyRefused()
    {
        QFETCH(Call, call);
        QList<quint16> words;
        QList<bool> bits;
        quint16 value = 0;
        m_device.setFault(Fault::WrongEcho, 0, 1);
        QVERIFY(!call(m_client, words, bits, value));
        QCOMPARE(m_client.lastError(), QStringLiteral("Invalid reply"));
        // The next exchange is sound again.
        QVERIFY2(call(m_client, words, bits, value), qPrintable(m_client.lastError()));
    }

    void nestedRequestsEndOnDisconnect()
    {
        // A timer starts a second request while the first waits; a later timer
        // disconnects while both wait. Both callers must see a failure at once.
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
        QSignalSpy disconnected(&m_client, &ModbusClient::disconnected);

        QList<quint16> words(1, 6);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!m_client.readHoldingRegisters(0, 1, words));
        QVERIFY2(clock.elapsed() < 650, "the wait must end with the connection");
        QVERIFY(!innerResult);
        QCOMPARE(m_client.lastError(), QStringLiteral("Not connected"));
        QCOMPARE(disconnected.size(), 1);
        QVERIFY(!m_client.isConnected());
        QCOMPARE(waitsSeen, 2);
        QCOMPARE(m_client.pendingWaits(), 0);
        QCOMPARE(waitsFinished.size(), 1); // only when the outer caller got its answer
        QCOMPARE(words, QList<quint16>(1, 6));
        QCOMPARE(innerWords, QList<quint16>(1, 5));

        // The client connects again and works as before.
        m_device.clearFault();
        QVERIFY(connectClient(m_client, m_pair.clientPath()));
        QVERIFY(m_client.readHoldingRegisters(0, 1, words));
    }

    void failedConnect()
    {
        QSignalSpy connected(&m_client, &ModbusClient::connected);
        QSignalSpy disconnected(&m_client, &ModbusClient::disconnected);

        // The open connection is closed first, then the new port fails to open.
        QVERIFY(!connectClient(m_client, QStringLiteral("/nonexistent/ttyTavrolix")));
        QCOMPARE(disconnected.size(), 1);
        QCOMPARE(connected.size(), 0);
        QVERIFY(!m_client.isConnected());
        QVERIFY2(m_client.lastError().startsWith(QLatin1String("Connection failed: ")),
                 qPrintable(m_client.lastError()));
        QVERIFY(m_client.lastError().size() > QStringLiteral("Connection failed: ").size());
        QVERIFY(m_client.findChildren<QModbusRtuSerialClient *>().isEmpty());
        // Each call then fails without traffic: see requestsOnTheLine().
        QList<quint16> words(2, 1);
        QVERIFY(!m_client.readHoldingRegisters(0, 1, words));
        QCOMPARE(m_client.lastError(), QStringLiteral("Not connected"));
        QVERIFY(m_device.requests().isEmpty());

        // A failed attempt on a closed client emits nothing at all.
        QVERIFY(!connectClient(m_client, QString()));
        QCOMPARE(disconnected.size(), 1);
        QCOMPARE(connected.size(), 0);
    }

    void parity_data()
    {
        QTest::addColumn<char>("letter");
        QTest::addColumn<int>("parity");
        QTest::newRow("e") << 'e' << int(QSerialPort::EvenParity);
        QTest::newRow("O") << 'O' << int(QSerialPort::OddParity);
        QTest::newRow("X") << 'X' << int(QSerialPort::NoParity);
        // 0x45 | 0x20 is 'e', but 0x65 | 0x80 is no letter at all.
        QTest::newRow("high bit") << char(0xC5) << int(QSerialPort::NoParity);
    }

    void parity()
    {
        QFETCH(char, letter);
        QFETCH(int, parity);

        m_client.disconnect(); // the port takes one client at a time
        ModbusClient client;
        QVERIFY2(connectClient(client, m_pair.clientPath(), 19200, letter),
                 qPrintable(client.lastError()));
        const auto *modbus = client.findChild<QModbusRtuSerialClient *>();
        QVERIFY(modbus);
        QCOMPARE(modbus->connectionParameter(QModbusDevice::SerialParityParameter).toInt(),
                 parity);
        QCOMPARE(modbus->connectionParameter(QModbusDevice::SerialBaudRateParameter).toInt(),
                 19200);
    }
};

QTEST_GUILESS_MAIN(tst_ModbusClient)
#include "tst_modbusclient.moc"
