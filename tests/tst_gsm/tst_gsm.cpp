#include "EditorTestCase.h"
#include "GsmModemModel.h"
#include "GsmModemWidget.h"
#include "MessageBoxAnswerer.h"
#include "ModbusClient.h"

#include <QtTest>
#include <QtWidgets>

using Words = QList<ushort>;

namespace {

// Windows-1251 bytes 0x80 to 0xFF as the code page assigns them; 0x98 has no character.
const QString Cp1251High =
    QStringLiteral(u"ЂЃ‚ѓ„…†‡€‰Љ‹ЊЌЋЏђ‘’“”•–—?™љ›њќћџ\u00A0ЎўЈ¤Ґ¦§Ё©Є«¬\u00AD®Ї°±Ііґµ¶·ё№є»јЅѕї"
                   u"АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмнопрстуфхцчшщъыьэюя");

// The holding-register blocks of a full transfer in wire order, as "3@4x8" lines:
// settings, the first `phones` numbers, the 36 messages.
QStringList blocks(const QString &function, int phones = 5)
{
    QStringList lines{function + "@1x3"};
    for (int p = 0; p < phones; ++p)
        lines << QStringLiteral("%1@%2x8").arg(function).arg(4 + 8 * p);
    for (int k = 0; k < 36; ++k)
        lines << QStringLiteral("%1@%2x30").arg(function).arg(44 + 30 * k);
    return lines;
}

} // namespace

// The editor compiled into the test, for its conversions and file exchange; the main
// window loads the plug-in file the build produced.
class tst_Gsm : public EditorTestCase
{
    Q_OBJECT

public:
    tst_Gsm()
        : EditorTestCase("devplugin_gsm", [] { return std::make_unique<GsmModemModel>(); })
    {
    }

private:
    QWidget *newEditor() override { return new GsmModemWidget(client()); }
    GsmModemWidget *gsm() const { return static_cast<GsmModemWidget *>(m_editor.get()); }
    QLineEdit *field(const QString &name) const { return child<QLineEdit>(name); }
    QLineEdit *message(int k, QWidget *in = nullptr) const
    {
        return child<QLineEdit>(QStringLiteral("smsEdit%1").arg(k), in);
    }
    QStringList messages() const { return shown(numbered("smsEdit", 36)).split('|'); }
    // Clicks `button`; answers the file dialog with `path` (cancels it when empty) and
    // returns "caption|filters".
    QString clickWithFile(const char *button, const QString &path)
    {
        QString seen;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            seen = dialog->windowTitle() + '|' + dialog->nameFilters().join(';');
            if (path.isEmpty())
                return dialog->reject();
            // The whole path typed into the name box: a selection made while the dialog
            // still lists its folder can be undone by the listing.
            dialog->findChild<QLineEdit *>("fileNameEdit")->setText(path);
            static_cast<QDialog *>(dialog)->accept();
        });
        timer.start(10);
        child<QPushButton>(QLatin1String(button))->click(); // returns when the dialog is done
        return seen;
    }

private slots:
    // A packed field and its text: `text` (when not null) packs into `registers`, which
    // read back at most `maxChars` characters give `shown`; what is shown, written back and
    // read again, stays (U+0000 from byte 0x98 must not end it early).
    void codec_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Words>("registers");
        QTest::addColumn<int>("maxChars");
        QTest::addColumn<QString>("shown");
        const QString nul = QStringView(u"\0", 1).toString(), none;
        QTest::newRow("ABC, padded") << "ABC" << Words{0x4241, 0x43, 0, 0} << 60 << "ABC";
        QTest::newRow("emoji") << u"😀"_qs << Words{0x3F3F, 0} << 60 << "??";
        QTest::newRow("U+0000 keeps its byte")
            << 'A' + nul + 'B' << Words{0x9841, 0x42} << 60 << 'A' + nul + 'B';
        QTest::newRow("61 cut to 60, no zero")
            << u"Ёж"_qs.repeated(30) + 'x' << Words(30, 0xE6A8) << 60 << u"Ёж"_qs.repeated(30);
        QTest::newRow("zero low byte ends") << none << Words{0x4241, 0x4300} << 60 << "AB";
        QTest::newRow("zero high byte ends") << none << Words{0x0041, 0x4242} << 60 << "A";
        QTest::newRow("odd limit") << none << Words{0x4241, 0x4443} << 3 << "ABC";
        QTest::newRow("byte 0x98") << none << Words{0x4198} << 60 << nul + 'A';
    }
    void codec()
    {
        QFETCH(QString, text);
        QFETCH(Words, registers);
        QFETCH(int, maxChars);
        QFETCH(QString, shown);
        if (!text.isNull())
            QCOMPARE(gsm()->toWindows1251(text, registers.size()), registers);
        QCOMPARE(gsm()->fromWindows1251(registers, maxChars), shown);
        QCOMPARE(gsm()->fromWindows1251(gsm()->toWindows1251(shown, registers.size()),
                                           maxChars), shown);
    }

    // Every byte decodes as the code page says; every character the device can show
    // goes back to its byte, every other one becomes '?'.
    void codePage()
    {
        const QByteArray mapped = "\xA5\xA8\xAA\xAF\xB2\xB3\xB4\xB8\xB9\xBA\xBF\x98";
        for (int b = 1; b <= 0xFF; ++b) {
            const QChar expected =
                b < 0x80 ? QChar(b) : b == 0x98 ? QChar(0) : Cp1251High[b - 0x80];
            const QChar decoded = GsmModemWidget::win1251ToUnicode(uchar(b));
            QCOMPARE(decoded, expected);
            const bool back = b < 0x80 || b >= 0xC0 || mapped.contains(char(b));
            QCOMPARE(uchar(GsmModemWidget::unicodeToWin1251(decoded)), uchar(back ? b : '?'));
        }
    }

    void readFromDevice_data()
    {
        QTest::addColumn<int>("failing"); // request (counted from 1) that fails, -1: none
        QTest::newRow("all answered") << -1;
        QTest::newRow("telephone number 3 fails") << 4;
    }
    void readFromDevice()
    {
        QFETCH(int, failing);
        for (int p = 1; p <= 5; ++p)
            field(QStringLiteral("phoneEdit%1").arg(p))->setText("kept");
        device()->setDiscreteInput(33, true);
        device()->setDiscreteInput(48, true);
        quint16 signal = 0;
        connect(device(), &DeviceSimulator::requestReceived, m_editor.get(), [&](auto &r) {
            if (device()->requests().size() == failing)
                device()->setFault(Fault::Exception, 4, 1);
            if (r.function == QModbusPdu::ReadInputRegisters)
                signal = device()->inputRegister(8); // it moves on its own
        });
        gsm()->readFromDevice();

        QCOMPARE(m_bench.requests(), blocks("3", failing < 0 ? 5 : 3) << "4@0x9" << "2@0x64");
        QCOMPARE(shown("phoneEdit2 phoneEdit3 phoneEdit4"), failing < 0
                 ? "79037654321|88005553535|74951112233" : "79037654321|kept|kept");
        QCOMPARE(message(3)->text(), u"Ёмкость №3: уровень ниже нормы"_qs);
        QCOMPARE(shown("firmwareLabel signalLabel phoneStatusCheck1 phoneStatusCheck2 "
                       "framErrorCheck modemErrorCheck"), "2.7|" + QString::number(signal)
                 + "|0|1|1|0");
    }

    void writeToDevice()
    {
        device()->setHoldingRegister(44 + 4 * 30, 0x9841); // message 5: 'A', 0x98, 'B'
        device()->setHoldingRegister(44 + 4 * 30 + 1, 0x0042);
        gsm()->readFromDevice();
        field("phoneEdit1")->setText("-123");
        message(1)->setText(u"Тест №1 Ёё €"_qs);
        message(36)->setText(QString(60, 'z'));
        m_bench.clearRequests();
        gsm()->writeToDevice();

        QStringList written;
        for (const QString &request : m_bench.requests())
            written << request.section('=', 0, 0) + 'x' + QString::number(request.count(',') + 1);
        QCOMPARE(written, blocks("16"));
        QCOMPARE(m_bench.requests().first(), "16@1=1,2,0");
        auto *model = static_cast<GsmModemModel *>(m_bench.model());
        QCOMPARE(model->text(4, 8), "-123");
        QCOMPARE(model->text(44, 30), u"Тест №1 Ёё ?"_qs);
        QCOMPARE(device()->holdingRegister(44 + 4 * 30 + 1), quint16(0x0042));
        QCOMPARE(device()->holdingRegister(44 + 35 * 30 + 29), quint16(0x7A7A)); // no zero
    }

    void sendSms()
    {
        QSignalSpy reports(m_bench.model(), &DeviceModel::report);
        child<QSpinBox>("smsNumberSpin")->setValue(36);
        child<QPushButton>("sendSmsButton")->click();
        QCOMPARE(m_bench.requests(), (QStringList{"5@35=1", "4@0x9", "2@0x64"}));
        QCOMPARE(shown("phoneStatusCheck4 phoneStatusCheck5"), "1|0"); // no number 5
        QCOMPARE(reports.size(), 1);
        QVERIFY(reports.first().first().toString().endsWith("\"Register 36 above limit\""));

        m_bench.client()->disconnect();
        m_bench.clearRequests();
        child<QPushButton>("sendSmsButton")->click();
        child<QPushButton>("refreshButton")->click();
        QCOMPARE(m_bench.requests(), QStringList());
    }

    void importFile_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QStringList>("first"); // messages 1 to n afterwards; the rest kept
        const QByteArray seventy = "  " + QByteArray(56, 'x') + "  " + QByteArray(10, 'y');
        QTest::newRow("5 lines")
            << QByteArray("a\n b \n\nd\ne") << QStringList{"a", "b", "", "d", "e"};
        QTest::newRow("70 characters: cut, then trimmed")
            << seventy << QStringList(QString(56, 'x'));
        QTest::newRow("UTF-8 mark, CRLF") << QByteArray("\xEF\xBB\xBF\xD0\x81\xD0\xB6\r\nB\r\n")
                                          << QStringList{u"Ёж"_qs, "B"};
        QTest::newRow("UTF-8, no mark") << QByteArray("\xD2\x90\xD1\x94 \xF0\x9F\x98\x80")
                                        << QStringList{u"Ґє 😀"_qs};
        QTest::newRow("UTF-16 mark")
            << QByteArray("\xFF\xFE\x01\x04\n\x00", 6) << QStringList{u"Ё"_qs};
        QTest::newRow("marks inside the text dropped")
            << QByteArray("\xFF\xFE\xFF\xFE\x01\x04\xFF\xFE\n\x00", 10) << QStringList{u"Ё"_qs};
        QStringList lines;
        for (int n = 1; n <= 40; ++n)
            lines << QString::number(n);
        QTest::newRow("40 lines") << (lines.join('\n') + '\n').toUtf8() << lines.mid(0, 36);
    }
    void importFile()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QStringList, first);
        QFile out(filePath("in.txt"));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(contents) == contents.size());
        out.close();
        const QStringList before = messages();
        MessageBoxAnswerer boxes(m_editor.get());
        QCOMPARE(clickWithFile("importSmsButton", out.fileName()),
                 "Import SMS Messages|Text Files (*.txt)");
        QCOMPARE(messages(), first + before.mid(first.size()));
        QCOMPARE(m_bench.requests(), QStringList());
        QCOMPARE(boxes.boxes(), QStringList());
    }

    // UTF-8 without a mark, one line a message, whatever line breaks a message holds.
    void exportFile()
    {
        message(1)->setText(u"  Привет, мир! ҐґЄє  "_qs);
        message(2)->setText("two\nlines\r");
        message(36)->setText(u"😀 last"_qs);
        clickWithFile("exportSmsButton", filePath("out.txt"));
        QFile in(filePath("out.txt"));
        QVERIFY(in.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(in.readAll()),
                 u"  Привет, мир! ҐґЄє  \ntwo lines \n"_qs + QString(33, '\n') + u"😀 last\n"_qs);
    }

    void fileFailures()
    {
        message(1)->setText("keep");
        MessageBoxAnswerer boxes(m_editor.get());
        clickWithFile("importSmsButton", QString()); // cancelled
        QVERIFY(!gsm()->importSmsFile(filePath("missing.txt")));
        QVERIFY(!gsm()->exportSmsFile(filePath("no/such/folder.txt")));
        QVERIFY(!gsm()->exportSmsFile(QStringLiteral("/dev/full"))); // a full disk
        QTRY_COMPARE(boxes.boxes(), (QStringList{"Error|Failed to open file|Critical",
                                                 "Error|Failed to save file|Critical",
                                                 "Error|Failed to save file|Critical"}));
        QCOMPARE(message(1)->text(), "keep");
    }

    // As a user would, with the plug-in file the build produced: connect, read, edit in
    // Cyrillic, save, restart the device, read back.
    void session()
    {
        QVERIFY(connectWindow());
        const QString edited = u"Ёлка №7: Їжак і ґудзик, ЭЮЯ эюя"_qs;
        message(7, m_bench.editor())->setText(edited);
        QVERIFY(m_bench.click("saveToFlash"));

        QVERIFY(restart());
        message(7, m_bench.editor())->clear();
        QVERIFY(m_bench.click("readAll"));
        QCOMPARE(message(7, m_bench.editor())->text(), edited);
        // Read on connect and saved with the rest: a message left alone is still there.
        QCOMPARE(message(3, m_bench.editor())->text(), u"Ёмкость №3: уровень ниже нормы"_qs);
    }
};

QTEST_MAIN(tst_Gsm)
#include "tst_gsm.moc"
