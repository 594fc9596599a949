#include "BootloaderImage.h"
#include "BootloaderSimulator.h"
#include "DeviceSimulator.h"
#include "FindControl.h"
#include "FirmwareUploader.h"
#include "FirmwareWidget.h"
#include "I18n.h"
#include "LogLines.h"
#include "MainWindow.h"
#include "OutputModuleModel.h"
#include "TestApplication.h"
#include "VirtualSerialPair.h"

#include <QModbusRtuSerialClient>
#include <QtTest>
#include <QtWidgets>

#include <fcntl.h>
#include <functional>
#include <memory>
#include <unistd.h>
#include <utility>

using Exchange = BootloaderSimulator::Exchange;
using Fault = DeviceSimulator::Fault;
using Level = FirmwareUploader::Level;
using Setup = std::function<void(BootloaderSimulator &, FirmwareWidget &)>;

Q_DECLARE_METATYPE(Setup)

namespace {

// The helpers the window uses internally, opened up for the tests.
class TestWidget : public FirmwareWidget
{
public:
    using FirmwareWidget::fwLog;
    using FirmwareWidget::fwOpenLink;
    using FirmwareWidget::fwPortName;
};

const QString FileLine = QStringLiteral("plain: File selected: {file}");
const QString Detected = QStringLiteral("green: [OK] Bootloader detected (v2.0)");
const QString Verified = QStringLiteral("green: [OK] CHECKSUM VERIFIED: {crc}");
const QString Success = QStringLiteral("green: [SUCCESS] Firmware uploaded successfully!");
const QString NotFound = "red: [ERROR] Checksum record (#CRC32) not found in firmware file";
const QString ErrChunk = QStringLiteral("red: [ERROR] Failed to send data chunk");
const QString CancelledWaiting = QStringLiteral("orange: [INFO] Cancelled by user");
const QString Cancelled = QStringLiteral("orange: [WARN] Cancelled. Device may need re-flashing!");
const QStringList Opened{FileLine, QStringLiteral("green: [OK] Connected to {port}"),
                         QStringLiteral("orange: [INFO] REBOOT THE MODULE NOW!")};
const QString Starting = QStringLiteral("#4488ff: [INFO] Starting upload...");
const QStringList Ready = Opened + QStringList{Detected, Verified, Starting};
const QString Idle = QStringLiteral("11011"); // see controls()

QString hex8(quint32 value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

quint32 imageChecksum(const QByteArray &body)
{
    return BootloaderImage::crc32(BootloaderImage::dataBytes(BootloaderImage::linesToSend(body)));
}

QByteArray withChecksum(const QByteArray &body)
{
    return body + "#CRC32:" + hex8(imageChecksum(body)).toLatin1() + '\n';
}

// An address record, three data records and the end-of-file record; no checksum record.
QByteArray smallImage()
{
    const QByteArray image = BootloaderImage::generate(48, 7);
    return image.left(image.indexOf("#CRC32:"));
}

void setPort(const QWidget &widget, const QString &port)
{
    findControl<QComboBox>(&widget, "portCombo")->setEditText(port);
}

// Which controls take input: Upload, Select File, Cancel, the port list, Refresh.
QString controls(const QWidget &widget)
{
    QString states;
    for (const char *name :
         {"uploadButton", "selectFileButton", "cancelButton", "portCombo", "refreshButton"})
        states += QLatin1Char(findControl<QWidget>(&widget, name)->isEnabled() ? '1' : '0');
    return states;
}

// The log as "<colour>: <message>" lines, "plain" for the default colour. A line
// without its "[hh:mm:ss] " stamp or in more than one colour shows up as a mismatch.
QStringList logOf(const QWidget &widget)
{
    static const QRegularExpression stamp(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] "));
    static const QHash<QString, QString> known{
        {"#ff0000", "red"}, {"#008000", "green"}, {"#ffa500", "orange"}, {"", "plain"}};
    const QTextDocument *document = findControl<QTextEdit>(&widget, "firmwareLog")->document();
    QStringList lines;
    for (QTextBlock b = document->begin(); !document->isEmpty() && b.isValid(); b = b.next()) {
        QStringList colours;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            const QString colour = format.hasProperty(QTextFormat::ForegroundBrush)
                                       ? format.foreground().color().name() : QString();
            colours << known.value(colour, colour);
        }
        colours.removeDuplicates();
        const QString text = b.text();
        lines << colours.join('+') + ": "
                     + (stamp.match(text).hasMatch() ? text.mid(11) : "(no stamp) " + text);
    }
    return lines;
}

QStringList filled(QStringList lines, const QString &file, const QString &port, quint32 crc)
{
    for (QString &line : lines)
        line.replace(QLatin1String("{file}"), file)
            .replace(QLatin1String("{port}"), port)
            .replace(QLatin1String("{crc}"), hex8(crc));
    return lines;
}

// Clicks the button `name`, answering each file dialog it opens by picking `path`
// (cancelling when empty; `chosen` runs as the dialog hands the path out). Returns how
// many opened.
int clickAndChoose(const QWidget &widget, const char *name, const QString &path,
                   const std::function<void()> &chosen = {})
{
    int shown = 0, polls = 0;
    QPointer<QFileDialog> answered;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog || (dialog == answered && ++polls < 100))
            return;
        shown += dialog != answered;
        if (dialog == answered || path.isEmpty()) // one that ignored the answer: no hang
            return dialog->reject();
        answered = dialog;
        polls = 0;
        if (chosen)
            QObject::connect(dialog, &QFileDialog::fileSelected, dialog, chosen);
        // The dialog may change its name field when a folder listing arrives; the full
        // path typed into the field is what it takes.
        dialog->selectFile(path);
        if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(path);
        static_cast<QDialog *>(dialog)->accept();
    });
    poll.start(10);
    findControl<QPushButton>(&widget, name)->click();
    return shown;
}

// Requests of each exchange: identity, line write, command, status read, exit.
QList<int> exchangeCounts(const BootloaderSimulator &bootloader)
{
    QList<int> counts(6, 0);
    const QList<SimulatedRequest> requests = bootloader.requests();
    for (const SimulatedRequest &request : requests)
        ++counts[int(BootloaderSimulator::exchangeOf(request))];
    return counts.mid(0, 5);
}

// The descriptor through which this process reads `path`, or -1.
int descriptorOf(const QString &path)
{
    const QDir fds(QStringLiteral("/proc/self/fd"));
    const QStringList entries = fds.entryList(QDir::Files | QDir::System);
    for (const QString &entry : entries) {
        if (QFile::symLinkTarget(fds.filePath(entry)) == QFileInfo(path).canonicalFilePath())
            return entry.toInt();
    }
    return -1;
}

// Runs `action` on the window whenever the bootloader receives a request of `exchange`.
Setup onRequest(Exchange exchange, const std::function<void(FirmwareWidget &)> &action)
{
    return [=](BootloaderSimulator &b, FirmwareWidget &w) {
        QObject::connect(&b, &DeviceSimulator::requestReceived, &w,
                         [exchange, action, &w](const SimulatedRequest &request) {
                             if (BootloaderSimulator::exchangeOf(request) == exchange)
                                 action(w);
                         });
    };
}

Setup failing(Exchange exchange, int line, Fault fault = Fault::Exception)
{
    return [=](BootloaderSimulator &b, FirmwareWidget &) {
        b.setExchangeFault(exchange, line, 4, fault);
    };
}

} // namespace

class tst_Firmware : public QObject
{
    Q_OBJECT

    VirtualSerialPair m_pair;
    std::unique_ptr<BootloaderSimulator> m_bootloader;
    QTemporaryDir m_dir;

    QString writeFile(const QString &name, const QByteArray &contents)
    {
        QFile file(m_dir.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size()
                   ? file.fileName() : QString();
    }

private slots:
    void initTestCase()
    {
        prepareTestApplication();
        QVERIFY2(m_pair.open(), qPrintable(m_pair.errorString()));
        QVERIFY(m_dir.isValid());
    }

    void init()
    {
        m_bootloader = std::make_unique<BootloaderSimulator>();
        QVERIFY2(m_bootloader->start(m_pair.devicePath()),
                 qPrintable(m_bootloader->errorString()));
    }

    void cleanup()
    {
        m_bootloader.reset();
        I18n::instance()->setLanguage(Lang::English);
        if (!m_pair.isOpen()) // pulled by a test
            QVERIFY2(m_pair.open(), qPrintable(m_pair.errorString()));
    }

    void checksum_data()
    {
        QTest::addColumn<QByteArray>("contents"); // "{crc}": the checksum of `counted`
        QTest::addColumn<QByteArray>("counted");
        QTest::addColumn<QString>("line");

        const QByteArray bytes("\x01\x02\x03\x04");
        const QByteArray record(":0400000001020304F2\n");
        QTest::newRow("catalogue check value, trimmed record, CR LF")
            << QByteArray("# made by hand\r\n:0900000031323334353637383900\r\n"
                          " \t #CRC32:0376E6E7  \r\n")
            << QByteArray("123456789") << Verified;
        QTest::newRow("lower-case marker") << record + "#crc32:{crc}\n" << bytes << NotFound;
        QTest::newRow("the second record decides")
            << "#CRC32:{crc}\n" + record + "#CRC32:1234ABCD\n" << bytes
            << QStringLiteral("red: [ERROR] CHECKSUM MISMATCH! COMPUTED: {crc}, STORED: 1234ABCD");
        // The four data bytes have the checksum 0000ABCD; the stored one is shown upper-case.
        QTest::newRow("mismatch in Russian")
            << QByteArray(":04000000BA56E509FE\n#CRC32:1234abcd\n")
            << QByteArray("\xBA\x56\xE5\x09")
            << QStringLiteral("red: [ОШИБКА] НЕСОВПАДЕНИЕ КОНТРОЛЬНОЙ СУММЫ! "
                              "ВЫЧИСЛЕНО: 0000ABCD, СОХРАНЕНО: 1234ABCD");
        // Whole, the first record would be long enough for its 128 bytes.
        QTest::newRow("record split by the 255-byte line read")
            << ":80000000" + QByteArray(256, 'A') + "00\n" + record + "#CRC32:{crc}\n" << bytes
            << Verified;
    }

    void checksum()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QByteArray, counted);
        QFETCH(QString, line);
        const quint32 crc = BootloaderImage::crc32(counted);
        if (line.contains(QStringLiteral("ОШИБКА")))
            I18n::instance()->setLanguage(Lang::Russian);
        contents.replace("{crc}", hex8(crc).toLatin1());
        QFile file(writeFile(QStringLiteral("image.enc"), contents));
        QVERIFY(file.open(QIODevice::ReadOnly));
        file.readLine(); // the check starts from the beginning wherever the file stands
        FirmwareWidget widget;
        QCOMPARE(widget.fwVerifyChecksum(file), line.startsWith(QLatin1String("green")));
        QCOMPARE(logOf(widget), filled({line}, QString(), QString(), crc));
        QCOMPARE(file.pos(), qint64(0));
        QCOMPARE(file.readAll(), contents);
    }

    void fileSelection()
    {
        const QString good = writeFile(QStringLiteral("a.enc"), QByteArray(2048, '#'));
        const QString bad = writeFile(QStringLiteral("b.enc"), "#");
        FirmwareWidget widget;
        QLabel *label = findControl<QLabel>(&widget, "fileLabel");
        QCOMPARE(clickAndChoose(widget, "selectFileButton", good), 1);
        QCOMPARE(label->text(), QStringLiteral("a.enc (2048 bytes)"));
        QCOMPARE(logOf(widget), filled({FileLine}, good, QString(), 0));

        // Cancelled: the file stays selected and open.
        QCOMPARE(clickAndChoose(widget, "selectFileButton", QString()), 1);
        QCOMPARE(label->text(), QStringLiteral("a.enc (2048 bytes)"));
        QVERIFY(descriptorOf(good) >= 0);
        const auto *next = findControl<QLabel>(&widget, "nextUploadLabel");
        QVERIFY(next->text().contains(QDir::toNativeSeparators(good)));

        // The medium goes away between choosing the file and opening it.
        QCOMPARE(clickAndChoose(widget, "selectFileButton", bad, [&] { QFile::remove(bad); }), 1);
        QCOMPARE(label->text(), QStringLiteral("Failed to open file"));
        QVERIFY(descriptorOf(good) < 0);
        QVERIFY(!next->text().contains(QStringLiteral(".enc")));
        QCOMPARE(logOf(widget).size(), 1);
    }

    void attempts()
    {
        TestWidget widget;
        QVERIFY(widget.fwOpenLink(m_pair.clientPath()));
        const auto *modbus = widget.findChild<QModbusRtuSerialClient *>();
        QCOMPARE(modbus->connectionParameter(QModbusDevice::SerialBaudRateParameter).toInt(),
                 115200);
        // Attempts: up to four, each fault counted.
        m_bootloader->setHoldingRegister(102, 7);
        struct Row { Fault fault; int faulted; int result; int requests; };
        const Row rows[] = {{Fault::Exception, 2, 0, 3}, {Fault::Exception, 4, 5, 4},
                            {Fault::NoReply, 4, 5, 4}};
        for (const Row &row : rows) {
            m_bootloader->clearRequests();
            m_bootloader->setExchangeFault(Exchange::StatusRead, 0, row.faulted, row.fault);
            unsigned short status = 0xAAAA;
            QCOMPARE(widget.fwReadHoldingRegs(&status, 102, 1, 16, 150), quint8(row.result));
            QCOMPARE(int(m_bootloader->requests().size()), row.requests);
            QCOMPARE(int(status), row.result == 0 ? 7 : 0xAAAA);
        }
    }

    void lateWriteReplyIsNotTaken()
    {
        // The first line write is answered after the client gave up on it, so its answer
        // is taken for the second attempt; the second attempt's own answer then arrives
        // while the program-line command waits, whose request the device never got.
        TestWidget widget;
        QVERIFY(widget.fwOpenLink(m_pair.clientPath()));
        m_bootloader->setExchangeFault(Exchange::LineWrite, 0, 1, Fault::Delay, 150);
        m_bootloader->setExchangeFault(Exchange::LineWrite, 0, 1, Fault::Delay, 100);
        m_bootloader->setExchangeFault(Exchange::Command, 0, 1, Fault::NoReply);
        QSignalSpy programmed(m_bootloader.get(), &BootloaderSimulator::lineProgrammed);
        unsigned short line[2] = {0x313A, 0x0030};
        QCOMPARE(widget.fwWriteMultipleRegs(line, 0, 2, 16, 100), quint8(0));
        unsigned short command[2] = {3, 0x1A80};
        QCOMPARE(widget.fwWriteMultipleRegs(command, 101, 2, 16, 100), quint8(0));
        QCOMPARE(exchangeCounts(*m_bootloader).at(int(Exchange::Command)), 2);
        QCOMPARE(int(programmed.size()), 1);
        QCOMPARE(m_bootloader->receivedLines(), QList<QByteArray>{":10"});
    }

    void upload_data()
    {
        QTest::addColumn<QByteArray>("contents"); // null: the file dialog is cancelled
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QStringList>("log"); // a last line ending in '*' is a prefix
        QTest::addColumn<int>("linesReceived"); // -1: every line of the file
        QTest::addColumn<QList<int>>("exchanges"); // see exchangeCounts(); -1: any number

        const QByteArray image = BootloaderImage::generate(48, 7); // five lines to send
        const QByteArray commentsOnly("# nothing to send\n\n#CRC32:FFFFFFFF\n");
        const Setup none = [](auto &, auto &) {};
        const auto port = [](const QString &name) {
            return Setup([name](auto &, FirmwareWidget &w) { setPort(w, name); });
        };
        const auto cancel = [](FirmwareWidget &w) {
            findControl<QPushButton>(&w, "cancelButton")->click();
        };
        const auto ready = [](const QString &last) { return Ready + QStringList{last}; };
        const QList<int> nothing{0, 0, 0, 0, 0};

        QTest::newRow("no port") << image << port(QString())
                                 << QStringList{"red: [ERROR] No serial port selected"} << 0
                                 << nothing;
        QTest::newRow("no file, dialog cancelled")
            << QByteArray() << none << QStringList{"red: [ERROR] No firmware file selected"} << 0
            << nothing;
        QTest::newRow("port cannot be opened")
            << image << port(QStringLiteral("/nonexistent/ttyTavrolix"))
            << QStringList{FileLine, "red: [ERROR] Can't open serial port: *"} << 0 << nothing;
        QTest::newRow("module starts after several polls, version 3.1")
            << image << Setup([](BootloaderSimulator &b, auto &) {
                   b.setBootDelay(5);
                   b.setVersion(3, 1);
               })
            << Opened + QStringList{"green: [OK] Bootloader detected (v3.1)",
                                    "orange: [WARN] Bootloader major version 3 differs from "
                                    "expected 2",
                                    Verified, Starting, Success}
            << -1 << QList<int>{6, 5, 5, 5, 1};
        // The application answering until the module restarts: linePacking().
        QTest::newRow("comment-only file")
            << commentsOnly << none << ready(Success) << 0
            << QList<int>{1, 0, 0, 0, 1};
        QTest::newRow("exit command fails")
            << commentsOnly << failing(Exchange::Exit, 0)
            << ready("red: [ERROR] Failed to send exit command") << 0 << QList<int>{1, 0, 0, 0, 4};
        QTest::newRow("line write fails four times")
            << image << failing(Exchange::LineWrite, 1) << ready(ErrChunk) << 0
            << QList<int>{1, 4, 0, 0, 0};
        QTest::newRow("command fails four times")
            << image << failing(Exchange::Command, 1, Fault::NoReply)
            << ready("red: [ERROR] Failed to send command") << 0 << QList<int>{1, 1, 4, 0, 0};
        QTest::newRow("status read fails four times")
            << image << failing(Exchange::StatusRead, 1)
            << ready("red: [ERROR] Failed to read status") << 1 << QList<int>{1, 1, 1, 4, 0};
        QTest::newRow("status 0")
            << image << Setup([](BootloaderSimulator &b, auto &) { b.setStatusAtLine(1, 0); })
            << ready("red: [ERROR] Flash write error") << 1 << QList<int>{1, 1, 1, 1, 0};
        // One Modbus write carries 123 registers: a line, its zero and a pad byte.
        QTest::newRow("line of 300 characters")
            << QByteArray(300, 'X') + "\n:00000001FF\n#CRC32:FFFFFFFF\n" << none
            << ready(ErrChunk) << 0 << QList<int>{1, 0, 0, 0, 0};
        QTest::newRow("checksum mismatch")
            << smallImage() + "#CRC32:00000000\n" << none
            << Opened + QStringList{Detected, "red: [ERROR] CHECKSUM MISMATCH! COMPUTED: {crc}, "
                                              "STORED: 00000000"}
            << 0 << QList<int>{1, 0, 0, 0, 0};
        QTest::newRow("cancel while waiting for the bootloader")
            << image << Setup([cancel](BootloaderSimulator &b, FirmwareWidget &w) {
                   b.setBootDelay(1000);
                   onRequest(Exchange::Identity, cancel)(b, w);
               })
            << Opened + QStringList{CancelledWaiting} << 0 << QList<int>{-1, 0, 0, 0, 0};
        QTest::newRow("cancel during the transfer")
            << image << onRequest(Exchange::Command, cancel)
            << ready(Cancelled) << 1 << QList<int>{1, 1, 1, 1, 1};
        // The port list and the log stay usable; the upload keeps the port it opened.
        QTest::newRow("refresh and clear during the transfer")
            << image << onRequest(Exchange::StatusRead, [](FirmwareWidget &w) {
                   findControl<QPushButton>(&w, "refreshButton")->click();
                   findControl<QPushButton>(&w, "clearButton")->click();
               })
            << QStringList{Success} << -1 << QList<int>{1, 5, 5, 5, 1};
        // The adapter is pulled: the upload ends at once with the cause, no endless retry.
        QTest::newRow("port removed during the transfer")
            << image << onRequest(Exchange::Command, [this](FirmwareWidget &) { m_pair.close(); })
            << ready("red: Connection lost: *") << 1 << QList<int>{1, 1, 1, 0, 0};
        // More than the file's read buffer lies between the first line and the rest, so the
        // rest is read after the medium has failed: the descriptor now reads a directory.
        QByteArray padded = ":020000040000FA\n";
        for (int i = 0; i < 1000; ++i)
            padded += "# padding padding padding padding padding padding\n";
        QTest::newRow("file read error during the transfer")
            << withChecksum(padded + smallImage())
            << onRequest(Exchange::Command, [this](FirmwareWidget &) {
                   const int fd = descriptorOf(m_dir.filePath(QStringLiteral("image.enc")));
                   const int directory = ::open("/", O_RDONLY | O_DIRECTORY);
                   if (fd >= 0 && directory >= 0)
                       ::dup2(directory, fd);
                   ::close(directory);
               })
            << ready(ErrChunk) << 1 << QList<int>{1, 1, 1, 1, 0};
    }

    void upload()
    {
        QFETCH(QByteArray, contents);
        QFETCH(Setup, setup);
        QFETCH(QStringList, log);
        QFETCH(int, linesReceived);
        QFETCH(QList<int>, exchanges);

        const QString path = writeFile(QStringLiteral("image.enc"), contents);
        const QString port = m_pair.clientPath();
        FirmwareWidget widget;
        QSignalSpy ended(&widget, &FirmwareWidget::uploadEnded);
        setPort(widget, port);
        setup(*m_bootloader, widget);
        QString whileRunning;
        connect(m_bootloader.get(), &DeviceSimulator::requestReceived, &widget, [&] {
            if (whileRunning.isEmpty())
                whileRunning = controls(widget) + (widget.isBusy() ? " busy" : "");
        });
        const bool noPort = log.constFirst().contains(QLatin1String("No serial port"));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(clickAndChoose(widget, "uploadButton", contents.isNull() ? QString() : path),
                 noPort ? 0 : 1);
        QVERIFY2(clock.elapsed() < 10000, "every wait is bounded");

        QStringList shown = logOf(widget);
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.constFirst().constFirst().toString(), shown.constLast().section(": ", 1));
        log = filled(log, path, port, imageChecksum(contents));
        if (log.constLast().endsWith(QLatin1Char('*')) && !shown.isEmpty()) {
            log.last().chop(1); // the rest is the toolkit's own text
            shown.last().truncate(log.constLast().size());
        }
        QCOMPARE(shown, log);
        QCOMPARE(whileRunning, exchanges == QList<int>(5, 0) ? QString() : "00111 busy");
        QCOMPARE(controls(widget), Idle);
        QVERIFY(!widget.isBusy());
        QVERIFY(!widget.findChild<QModbusRtuSerialClient *>());
        QCOMPARE(findControl<QProgressBar>(&widget, "progressBar")->value() == 100,
                 log.constLast() == Success);
        QCOMPARE(m_bootloader->receivedLines(),
                 BootloaderImage::linesToSend(contents).mid(0, linesReceived));
        const QList<int> counts = exchangeCounts(*m_bootloader);
        if (exchanges.constFirst() < 0)
            exchanges.first() = counts.constFirst();
        QCOMPARE(counts, exchanges);
    }

    void linePacking()
    {
        // The application answers the first polls until the module restarts.
        m_bootloader->setBootDelay(3, 4);
        // The longer line stands before the even one, so a pad byte left over would show.
        const QList<QByteArray> lines{":00000001FF", "X",
                                      ":1000000000112233445566778899AABBCCDDEEFF78",
                                      QByteArray(60, 'Z'), QByteArray(44, 'Y')};
        QByteArray body("# packing\n");
        for (const QByteArray &line : lines)
            body += line + "\r\n\n#\n";
        const QString path = writeFile(QStringLiteral("packing.enc"), withChecksum(body));
        FirmwareWidget widget;
        setPort(widget, m_pair.clientPath());
        clickAndChoose(widget, "uploadButton", path);
        QCOMPARE(logOf(widget), filled(Ready + QStringList{Success}, path, m_pair.clientPath(),
                                       imageChecksum(body)));
        QCOMPARE(exchangeCounts(*m_bootloader), (QList<int>{4, 5, 5, 5, 1}));
        QCOMPARE(m_bootloader->receivedLines(), lines);

        // After the polls, each line: its write, its command, its status read.
        const QList<SimulatedRequest> all = m_bootloader->requests();
        const auto write = [&all](int line) { return all.value(4 + 3 * line); };
        QCOMPARE(write(0), (SimulatedRequest{
                               16, 0, 6, {0x303A, 0x3030, 0x3030, 0x3030, 0x4631, 0x0046}}));
        QCOMPARE(all.value(5), (SimulatedRequest{16, 101, 2, {11, 0x1A80}}));
        QCOMPARE(write(1), (SimulatedRequest{6, 0, 1, {0x0058}}));
        QCOMPARE(write(2).count, quint16(22));
        QCOMPARE(write(2).values.constLast(), quint16(0x0038));
        QCOMPARE(write(4), (SimulatedRequest{16, 0, 23, QList<quint16>(22, 0x5959) << 0}));
    }

    // The uploader alone, with no window: a cancel during the pause after the first line
    // is taken at once (the pause runs events) but acted on only before the next line,
    // and the status read still comes 3000 ms after the command.
    void uploaderWithoutWindow()
    {
        const QByteArray contents = BootloaderImage::generate(48, 7);
        QFile file(writeFile(QStringLiteral("image.enc"), contents));
        QVERIFY(file.open(QIODevice::ReadOnly));
        FirmwareUploader uploader;
        QSignalSpy lines(&uploader, &FirmwareUploader::logLine);
        QSignalSpy progress(&uploader, &FirmwareUploader::progressChanged);
        QSignalSpy finished(&uploader, &FirmwareUploader::finished);
        QElapsedTimer clock;
        qint64 commanded = -1, cancelled = -1, statusRead = -1;
        connect(m_bootloader.get(), &DeviceSimulator::requestReceived, &uploader,
                [&](const SimulatedRequest &request) {
                    const Exchange exchange = BootloaderSimulator::exchangeOf(request);
                    if (exchange == Exchange::StatusRead)
                        statusRead = clock.elapsed();
                    if (exchange != Exchange::Command || commanded >= 0)
                        return;
                    commanded = clock.elapsed();
                    QTimer::singleShot(500, &uploader, [&] {
                        cancelled = clock.elapsed();
                        uploader.cancel();
                    });
                });
        clock.start();
        QCOMPARE(uploader.upload(m_pair.clientPath(), file), FirmwareUploader::Result::Cancelled);
        QVERIFY2(cancelled >= 0 && cancelled - commanded < 2500, "Cancel seen in the pause");
        QVERIFY2(statusRead - commanded >= 3000, "the pause is not cut short");
        QCOMPARE(exchangeCounts(*m_bootloader), (QList<int>{1, 1, 1, 1, 1}));
        // The window shows these lines: the "cancel during the transfer" row of upload().
        QCOMPARE(lines.size(), 6);
        QCOMPARE(lines.constLast(), (QList<QVariant>{QVariant::fromValue(Level::Warning),
                                                     Cancelled.section(": ", 1)}));
        const QByteArray first = BootloaderImage::linesToSend(contents).constFirst();
        const qsizetype read = contents.indexOf(first) + first.size() + 1;
        QCOMPARE(progress, QList<QList<QVariant>>{{int(read * 100 / contents.size())}});
        QCOMPARE(finished.size(), 1);
        QVERIFY(!uploader.findChild<QModbusRtuSerialClient *>());
    }

    // Enter in the port box clicks no button (none is the dialog's default) and neither
    // it nor Refresh throws a typed path away.
    void typedPortKept()
    {
        QDialog dialog;
        auto *widget = new TestWidget;
        widget->setParent(&dialog);
        (new QVBoxLayout(&dialog))->addWidget(widget);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto *combo = findControl<QComboBox>(widget, "portCombo");
        auto *refresh = findControl<QPushButton>(widget, "refreshButton");
        QSignalSpy refreshed(refresh, &QPushButton::clicked);
        combo->setFocus();
        combo->clearEditText();
        QTest::keyClicks(combo->lineEdit(), QStringLiteral("/tmp/typed/port"));
        QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
        QVERIFY(refreshed.isEmpty() && dialog.isVisible());
        refresh->click();
        QCOMPARE(combo->currentText(), QStringLiteral("/tmp/typed/port"));
        // The port is the typed path, or the chosen entry's device path, not its name.
        QCOMPARE(widget->fwPortName(), QStringLiteral("/tmp/typed/port"));
        combo->addItem(QStringLiteral("ttyS7"), QStringLiteral("/dev/ttyS7"));
        combo->setCurrentIndex(combo->count() - 1);
        QCOMPARE(widget->fwPortName(), QStringLiteral("/dev/ttyS7"));
        widget->fwLog(QStringLiteral("Can't open /tmp/<b>x</b>  &\t%1%2"), QStringLiteral("red"));
        QCOMPARE(logOf(*widget), QStringList{"red: Can't open /tmp/<b>x</b>  &\t%1%2"});
    }

    // In the main window's dialog: a close during an upload cancels it, Escape is
    // ignored; either way the dialog stays open with the result in its log until it is
    // closed again, and the main window's log gets that last line.
    void closingTheDialog_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::addColumn<QString>("last");
        QTest::newRow("closed during the transfer") << false << Cancelled;
        QTest::newRow("Escape during the transfer") << true << Success;
    }

    void closingTheDialog()
    {
        QFETCH(bool, escape);
        QFETCH(QString, last);
        const QString path =
            writeFile(QStringLiteral("image.enc"), BootloaderImage::generate(48, 7));
        MainWindow window;
        bool tried = false;
        QStringList seen; // after the upload: the dialog, its log's last line, its controls
        QTimer::singleShot(0, &window, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            auto *widget = dialog ? dialog->findChild<FirmwareWidget *>() : nullptr;
            if (!widget)
                return;
            setPort(*widget, m_pair.clientPath());
            connect(m_bootloader.get(), &DeviceSimulator::requestReceived, widget,
                    [&, dialog, widget](const SimulatedRequest &request) {
                        if (BootloaderSimulator::exchangeOf(request) != Exchange::Command
                            || std::exchange(tried, true))
                            return;
                        if (escape) // reaches the dialog from the control with the focus
                            QTest::keyClick(findControl<QPushButton>(widget, "cancelButton"),
                                            Qt::Key_Escape);
                        else
                            dialog->close();
                    });
            clickAndChoose(*widget, "uploadButton", path);
            QCoreApplication::processEvents(); // where a deferred close would run
            seen << (dialog->isVisible() ? "open" : "closed") << logOf(*widget).constLast()
                 << controls(*widget);
            dialog->close();
        });
        findControl<QAction>(&window, "firmwareUpdateAction")->trigger();
        QVERIFY(tried);
        QCOMPARE(seen, (QStringList{"open", last, Idle}));
        QCOMPARE(logLines(&window).constLast(), last.section(": ", 1));
        QCOMPARE(m_bootloader->exitCommands(), 1);
    }

    // "Verify after restart": once the upload is done, the module's application is asked
    // who it is at the main window's setting; unchecked, nothing is asked.
    void verifyAfterRestart_data()
    {
        QTest::addColumn<bool>("checked");
        QTest::newRow("checked") << true;
        QTest::newRow("unchecked") << false;
    }

    void verifyAfterRestart()
    {
        QFETCH(bool, checked);
        const QString path =
            writeFile(QStringLiteral("image.enc"), BootloaderImage::generate(16, 3));
        DeviceSimulator application;
        OutputModuleModel model;
        model.attach(&application);
        connect(m_bootloader.get(), &BootloaderSimulator::exitCommandReceived, &application,
                [&] {
                    QTimer::singleShot(100, &application, [&] {
                        m_bootloader->stop();
                        application.start(m_pair.devicePath());
                    });
                });
        MainWindow window;
        QTimer::singleShot(0, &window, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            setPort(*dialog->findChild<FirmwareWidget *>(), m_pair.clientPath());
            findControl<QCheckBox>(dialog, "verifyAfterRestartCheck")->setChecked(checked);
            clickAndChoose(*dialog, "uploadButton", path);
            dialog->close();
        });
        findControl<QAction>(&window, "firmwareUpdateAction")->trigger();
        const QString last = logLines(&window).constLast();
        if (checked) {
            QVERIFY2(last.startsWith("The application answers after ")
                         && last.endsWith("(signature 4), firmware 1.3."),
                     qPrintable(last));
        } else {
            QCOMPARE(last, QStringLiteral("[SUCCESS] Firmware uploaded successfully!"));
            QCOMPARE(application.requests().size(), 0);
        }
    }
};

QTEST_MAIN(tst_Firmware)
#include "tst_firmware.moc"
