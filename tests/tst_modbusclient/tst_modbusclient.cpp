#include "DeviceSimulator.h"
#include "ExchangeFormatter.h"
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
        for (int i = 0; i < 11; ++i) {
            m_device.setHoldingRegister(5 + i, quint16(0xFFFF - i));
            m_device.setCoil(10 + i, i % 3 == 0);
        }
        QList<quint16> words(10, 42);
        QVERIFY(m_client.readHoldingRegisters(5, 4, words));
        QCOMPARE(words, (QList<quint16>{0xFFFF, 0xFFFE, 0xFFFD, 0xFFFC}));
        // Coils come back padded to whole bytes; the caller gets exactly what it asked for.
        QList<bool> bits(20, true);
        QVERIFY(m_client.readCoils(10, 11, bits));
        QCOMPARE(bits, (QList<bool>{true, false, false, true, false, false, true, false, false,
                                    true, false}));
        quint16 major = 0, minor = 0;
        QVERIFY(m_client.readVersion(major, minor));
        QCOMPARE(QList<quint16>({major, minor}), QList<quint16>({2, 15}));
    }

    void failedRequestKeepsOutputs_data()
    {
        QTest::addColumn<Call>("call");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("parameter");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("sent"); // requests on the line, -1: any number

        const auto row = [](const char *name, const Call &call, const QString &error, int sent,
                            Fault fault = Fault::None, int parameter = 0) {
            QTest::newRow(name) << call << fault << parameter << error << sent;
        };
        const Call holding = CALL(c.readHoldingRegisters(0, 4, w));
        const Call coils = CALL(c.readCoils(0, 8, b));
        const QString timeout = QStringLiteral("Timeout");
        const QString invalid = QStringLiteral("Invalid reply");
        const QString exception4 = QStringLiteral("Modbus exception 4 (server device failure)");
        row("no reply", holding, timeout, -1, Fault::NoReply);
        row("reply after the guard", holding, timeout, -1, Fault::Delay, 900);
        row("corrupt checksum", coils, timeout, -1, Fault::BadCrc);
        row("exception reply", holding, exception4, 1, Fault::Exception, 4);
        row("address the device lacks", CALL(c.readHoldingRegisters(300, 4, w)),
            "Modbus exception 2 (illegal data address)", 1);
        // A short or long reply is a late answer or a broken device: zeros or extra
        // values taken for data would end up flashed into the device.
        row("short reply", holding, invalid, 1, Fault::ShortReply);
        row("over-long reply", holding, invalid, 1, Fault::LongReply);
        // A write echo naming another value or start answers another request.
        row("foreign register value", CALL(c.writeRegister(202, 0x2222)), invalid, 1,
            Fault::WrongEcho);
        row("foreign coil value", CALL(c.writeSingleCoil(7, true)), invalid, 1, Fault::WrongEcho);
        row("foreign registers start", CALL(c.writeRegisters(40, {1, 2})), invalid, 1,
            Fault::WrongEcho);
        row("foreign coils start", CALL(c.writeCoils(40, {true, false, true})), invalid, 1,
            Fault::WrongEcho);
        // Requests that no device could answer never reach the line.
        row("read 0 registers", CALL(c.readHoldingRegisters(0, 0, w)), invalid, 0);
        row("read 0 coils", CALL(c.readCoils(0, 0, b)), invalid, 0);
        row("write 0 coils", CALL(c.writeCoils(0, {})), invalid, 0);
        row("read 126 registers", CALL(c.readHoldingRegisters(0, 126, w)), invalid, 0);
        row("write 124 registers", CALL(c.writeRegisters(0, QList<quint16>(124, 1))), invalid, 0);
    }

    void failedRequestKeepsOutputs()
    {
        QFETCH(Call, call);
        QFETCH(Fault, fault);
        QFETCH(int, parameter);
        QFETCH(QString, error);
        QFETCH(int, sent);

        m_device.setFault(fault, parameter);
        QList<quint16> words(10, 42);
        QList<bool> bits(3, true);
        quint16 value = 7;
        const quint64 failuresBefore = m_client.failureCount();
        QSignalSpy errors(&m_client, &ModbusClient::errorOccurred);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!call(m_client, words, bits, value));
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(m_client.lastError(), error);
        QCOMPARE(m_client.failureCount(), failuresBefore + 1);
        QCOMPARE(errors, QList<QList<QVariant>>{{error}});
        QCOMPARE(m_client.pendingWaits(), 0);
        QCOMPARE(words, QList<quint16>(10, 42));
        QCOMPARE(bits, QList<bool>(3, true));
        QCOMPARE(value, quint16(7));
        if (error == QLatin1String("Timeout"))
            QVERIFY2(elapsed >= 650 && elapsed < 1000, qPrintable(QString::number(elapsed)));
        if (sent >= 0)
            QCOMPARE(m_device.requests().size(), sent);

        // The next exchange is sound again, and the first the device sees after the fault.
        m_device.clearFault();
        m_device.clearRequests();
        QVERIFY2(fault == Fault::None ? m_client.readSignature(value)
                                      : call(m_client, words, bits, value),
                 qPrintable(m_client.lastError()));
        QCOMPARE(m_device.requests().size(), 1);
    }

    // Each request is reported once, as it went over the line and ended.
    void exchangeRecord_data()
    {
        QTest::addColumn<Call>("call");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("parameter");
        QTest::addColumn<QString>("line"); // without the reply time
        QTest::addColumn<int>("result");
        const Call holding = CALL(c.readHoldingRegisters(100, 3, w));
        using R = ModbusExchange::Result;
        QTest::newRow("ok") << holding << Fault::None << 0
                            << "node 1  03 Read Holding Registers  100+3  -> 17 0 129"
                            << int(R::Ok);
        QTest::newRow("write") << CALL(c.writeCoils(4, {true, false})) << Fault::None << 0
                               << "node 1  0f Write Multiple Coils  4+2  <- 1 0" << int(R::Ok);
        QTest::newRow("exception") << holding << Fault::Exception << 2
                                   << "node 1  03 Read Holding Registers  100+3  "
                                      "exception 2 (illegal data address)" << int(R::Exception);
        QTest::newRow("time-out") << holding << Fault::NoReply << 0
                                  << "node 1  03 Read Holding Registers  100+3  time-out"
                                  << int(R::Timeout);
        QTest::newRow("invalid reply") << holding << Fault::ShortReply << 0
                                       << "node 1  03 Read Holding Registers  100+3  invalid reply"
                                       << int(R::InvalidReply);
    }

    void exchangeRecord()
    {
        QFETCH(Call, call);
        QFETCH(Fault, fault);
        QFETCH(int, parameter);
        QFETCH(QString, line);
        QFETCH(int, result);
        const QList<quint16> values{17, 0, 129};
        for (int i = 0; i < 3; ++i)
            m_device.setHoldingRegister(quint16(100 + i), values[i]);
        m_device.setFault(fault, parameter);
        QSignalSpy spy(&m_client, &ModbusClient::exchangeFinished);
        QList<quint16> words;
        QList<bool> bits;
        quint16 x = 0;
        const QDateTime before = QDateTime::currentDateTime();
        QCOMPARE(call(m_client, words, bits, x), result == 0);
        QCOMPARE(spy.size(), 1);
        const auto record = spy.at(0).at(0).value<ModbusExchange>();
        QCOMPARE(int(record.result), result);
        QVERIFY(record.sent >= before && record.sent <= QDateTime::currentDateTime());
        QVERIFY2(record.replyMs > 0 && (result == int(ModbusExchange::Result::Timeout))
                     == (record.replyMs > 650), qPrintable(QString::number(record.replyMs)));
        QCOMPARE(ExchangeFormatter::line(record),
                 line + "  " + ExchangeFormatter::replyTime(record));
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
        QVERIFY2(m_client.lastError().section("Connection failed: ", 1).size() > 0,
                 qPrintable(m_client.lastError()));
        QVERIFY(m_client.findChildren<QModbusRtuSerialClient *>().isEmpty());
        QList<quint16> words(2, 1);
        QVERIFY(!m_client.readHoldingRegisters(0, 1, words)); // without traffic
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
