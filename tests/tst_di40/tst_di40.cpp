#include "EditorTestCase.h"
#include "InputModuleModel.h"

#include <QtTest>
#include <QtWidgets>

// The input module's editor against a simulated module whose inputs stand still.
class tst_Di40 : public EditorTestCase
{
    Q_OBJECT

public:
    tst_Di40()
        : EditorTestCase("devplugin_di40", [] { return std::make_unique<InputModuleModel>(); },
                         [](DeviceModel *model) {
                             static_cast<InputModuleModel *>(model)->setInputsMoving(false);
                         })
    {
    }

private:
    QSpinBox *delay(int k, QWidget *in = nullptr) const
    { return child<QSpinBox>("delay" + QString::number(k), in); }

private slots:
    // Each block is read whatever became of the one before; reading never writes.
    void readFromDevice_data()
    {
        QTest::addColumn<QString>("fault"); // on the first requests
        QTest::addColumn<QString>("shown"); // "inputs|delay 1|delay 2|address|baud|parity"
        QTest::addColumn<QStringList>("requests");
        const QStringList reads{"4@8x4", "3@12x40", "3@100x3"};
        QTest::newRow("answered") << "" << "1,16,40|10000|250|5|19200|Even" << reads;
        QTest::newRow("live read refused")
            << "Exception 4 1" << "|10000|250|5|19200|Even" << reads;
        QTest::newRow("live read unanswered")
            << "NoReply 0 2" << "|10000|250|5|19200|Even" << QStringList{"4@8x4"} + reads;
        QTest::newRow("delays refused too") << "Exception 4 2" << "|100|100|5|19200|Even" << reads;
    }
    void readFromDevice()
    {
        // Inputs 1, 16 and 40; the upper byte of register 10 and register 11 are unused.
        for (const auto &[r, v] : {std::pair{8, 0x8001}, {9, 0}, {10, 0xFF80}, {11, 0xFFFF}})
            device()->setInputRegister(r, quint16(v));
        for (const auto &[r, v] : {std::pair{12, 10001}, {13, 250}, {100, 5}, {101, 3}, {102, 1}})
            device()->setHoldingRegister(r, quint16(v));
        QFETCH(QString, fault);
        onRequest(fault);
        const QStringList requests = sentByRead();
        QStringList on;
        for (int k = 1; k <= 40; ++k)
            if (child<QLabel>(QStringLiteral("input%1").arg(k))->styleSheet().contains("#00cc00"))
                on << QString::number(k);
        QTEST(on.join(',') + '|'
                  + shown("delay1 delay2 deviceAddressSpin deviceBaudCombo deviceParityCombo"),
              "shown");
        QTEST(requests, "requests"); // showing the delays must not write them back
    }

    void delayWrites_data()
    {
        QTest::addColumn<QString>("fault"); // on the first request
        QTest::addColumn<QStringList>("steps"); // "k=ms" sets delay k, "all=ms" Apply to All
        QTest::addColumn<QStringList>("requests");
        QStringList all50; // registers 12 to 51 in turn
        for (int r = 12; r <= 51; ++r)
            all50 << QStringLiteral("6@%1=50").arg(r);
        const QStringList twoHeldIt = all50.mid(0, 2) + all50.mid(3, 3) + all50.mid(7);
        const QString refused = QStringLiteral("Exception 4 1");
        const QString write = QStringLiteral("16@100=1,2,0");
        using L = QStringList;
        QTest::newRow("one delay") << "" << L{"5=250"} << L{"6@16=250"};
        QTest::newRow("unchanged") << "" << L{"5=100", "all=100"} << L{};
        QTest::newRow("apply to all") << "" << L{"all=50"} << all50;
        QTest::newRow("apply where two hold it")
            << "" << L{"3=50", "7=50", "all=50"} << L{"6@14=50", "6@18=50"} + twoHeldIt;
        QTest::newRow("refused delay sent with settings")
            << refused << L{"5=250", "write"} << L{"6@16=250", "6@16=250", write};
        QTest::newRow("refused delay written later")
            << refused << L{"5=250", "5=300", "write"} << L{"6@16=250", "6@16=300", write};
    }
    void delayWrites()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, steps);
        onRequest(fault);
        for (const QString &step : std::as_const(steps)) {
            const QStringList kv = step.split('=');
            if (step == "write") {
                m_plugin->writeToDevice();
            } else if (kv[0] == "all") {
                child<QSpinBox>("allDelaysSpin")->setValue(kv[1].toInt());
                child<QPushButton>("applyAllButton")->click();
            } else {
                delay(kv[0].toInt())->setValue(kv[1].toInt());
            }
        }
        QTEST(m_bench.requests(), "requests");
    }

    // As a user: connect, read, change a delay, save, watch the inputs, then disconnect
    // while the page refreshes a device that stopped answering. (How a live view waits out
    // a silent device: the LED indicator and analog module tests.)
    void inTheWindow()
    {
        const QPointer<QWidget> page = connectWindow();
        QVERIFY(page);
        const QStringList reads{"4@8x4", "3@12x40", "3@100x3"};
        QCOMPARE(m_bench.requests(), QStringList({"4@0x1", "4@1x2"}) + reads);

        device()->setHoldingRegister(17, 300);
        QCOMPARE(sentByClick("readAll"), reads);
        QCOMPARE(delay(6, page)->value(), 300);

        m_bench.clearRequests();
        delay(7, page)->setValue(700);
        QVERIFY(m_bench.click("saveToFlash"));
        QCOMPARE(m_bench.requests(), QStringList({"6@18=700", "16@100=1,2,0", "6@103=768"}));
        QCOMPARE(saved("di40/delay7"), 700);

        child<QCheckBox>("autoRefreshCheck", page)->setChecked(true);
        device()->setInputRegister(9, 0x0004);
        QTRY_VERIFY(child<QLabel>("input19", page)->styleSheet().contains("#00cc00"));
        onRequest("NoReply 0 -1", [this] { m_bench.click("connect"); });
        QTRY_VERIFY_WITH_TIMEOUT(!page, 5000);
        QVERIFY(!m_bench.editor());
    }
};

QTEST_MAIN(tst_Di40)
#include "tst_di40.moc"
