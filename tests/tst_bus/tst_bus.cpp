#include "DeviceSimulator.h"
#include "ModbusClient.h"
#include "VirtualBus.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// Three devices on one virtual line at two line settings, asked by the configurator's
// client at one setting after another.
class tst_Bus : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    VirtualBus m_bus;
    DeviceSimulator m_devices[3];

private slots:
    void initTestCase()
    {
        struct Setup
        {
            quint16 signature;
            int node;
            int baudRate;
            QSerialPort::Parity parity;
        };
        const Setup setups[] = {{4, 1, 9600, QSerialPort::NoParity},
                                {9, 5, 9600, QSerialPort::NoParity},
                                {5, 12, 19200, QSerialPort::EvenParity}};
        QVERIFY2(m_bus.open(m_dir.path()), qPrintable(m_bus.errorString()));
        for (int i = 0; i < 3; ++i) {
            const Setup &setup = setups[i];
            m_devices[i].setIdentity(setup.signature, 1, quint16(setup.node));
            const QString port = m_bus.addDevice(setup.node, setup.baudRate, setup.parity);
            QVERIFY2(!port.isEmpty(), qPrintable(m_bus.errorString()));
            QVERIFY2(m_devices[i].start(port, setup.node, setup.baudRate, setup.parity),
                     qPrintable(m_devices[i].errorString()));
        }
    }

    void request_data()
    {
        QTest::addColumn<int>("baudRate");
        QTest::addColumn<char>("parity");
        QTest::addColumn<int>("node");
        QTest::addColumn<bool>("noise");
        QTest::addColumn<int>("signature"); // -1: no valid reply
        QTest::newRow("do8 at 1, 9600 N") << 9600 << 'N' << 1 << false << 4;
        QTest::newRow("ind4 at 5, 9600 N") << 9600 << 'N' << 5 << false << 9;
        QTest::newRow("gsm at 12, 19200 E") << 19200 << 'E' << 12 << false << 5;
        QTest::newRow("absent node 30") << 9600 << 'N' << 30 << false << -1;
        QTest::newRow("12 at 9600 E: baud differs") << 9600 << 'E' << 12 << false << -1;
        QTest::newRow("12 at 19200 N: parity differs") << 19200 << 'N' << 12 << false << -1;
        QTest::newRow("1 at 9600 E: parity differs") << 9600 << 'E' << 1 << false << -1;
        QTest::newRow("1 at 19200 N: baud differs") << 19200 << 'N' << 1 << false << -1;
        QTest::newRow("noise from 12 at 9600 N") << 9600 << 'N' << 12 << true << -1;
        QTest::newRow("no noise from 1 at its own setting") << 9600 << 'N' << 1 << true << 4;
    }

    void request()
    {
        QFETCH(int, baudRate);
        QFETCH(char, parity);
        QFETCH(int, node);
        QFETCH(bool, noise);
        QFETCH(int, signature);
        for (DeviceSimulator &device : m_devices)
            device.clearRequests();
        m_bus.setNoiseFromMismatched(noise);
        QSignalSpy noiseSent(&m_bus, &VirtualBus::noiseSent);
        ModbusClient client;
        QVERIFY2(client.connect(m_bus.clientPath(), baudRate, parity, 8, 1, node),
                 qPrintable(client.lastError()));

        // The noise reaches the client, which rejects it.
        if (noise && signature < 0)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("wrong CRC")));
        quint16 found = 0;
        QList<quint16> version;
        const bool answered =
            client.readSignature(found) && client.readInputRegisters(1, 2, version);
        m_bus.setNoiseFromMismatched(false);
        QCOMPARE(answered, signature >= 0);
        if (answered) {
            QCOMPARE(found, quint16(signature));
            QCOMPARE(version, QList<quint16>({1, quint16(node)}));
        }
        // A device at another setting hears nothing, and makes noise only when asked to.
        qsizetype heard = 0;
        for (const DeviceSimulator &device : m_devices)
            heard += device.requests().size();
        QCOMPARE(heard, answered ? 2 : 0);
        QCOMPARE(!noiseSent.isEmpty(), noise && !answered);
        for (const QList<QVariant> &sent : std::as_const(noiseSent))
            QCOMPARE(sent.at(0).toInt(), node);
    }
};

QTEST_GUILESS_MAIN(tst_Bus)
#include "tst_bus.moc"
