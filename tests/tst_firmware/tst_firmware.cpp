#include "BootloaderImage.h"
#include "BootloaderSimulator.h"
#include "FirmwareWidget.h"
#include "I18n.h"
#include "VirtualSerialPair.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QModbusRtuSerialClient>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

#include <fcntl.h>
#include <functional>
#include <memory>
#include <unistd.h>
#include <utility>

using Exchange = BootloaderSimulator::Exchange;
using Fault = DeviceSimulator::Fault;
using Setup = std::function<void(BootloaderSimulator &)>;

Q_DECLARE_METATYPE(Setup)
Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Exchange)

namespace {

// The helpers the window uses internally, opened up for the link tests.
class TestWidget : public FirmwareWidget
{
public:
    using FirmwareWidget::FirmwareWidget;
    using FirmwareWidget::fwCloseLink;
    using FirmwareWidget::fwLog;
    using FirmwareWidget::fwOpenLink;
    using FirmwareWidget::fwPortName;
};

enum class Action { Cancel, RefreshAndClear, Close, Escape };

const QString FileLine = QStringLiteral("plain: File selected: {file}");
const QString Connected = QStringLiteral("green: [OK] Connected to {port}");
const QString Reboot = QStringLiteral("orange: [INFO] REBOOT THE MODULE NOW!");
const QString Detected = QStringLiteral("green: [OK] Bootloader detected (v2.0)");
const QString Verified = QStringLiteral("green: [OK] CHECKSUM VERIFIED: {crc}");
const QString Starting = QStringLiteral("#4488ff: [INFO] Starting upload...");
const QString Success = QStringLiteral("green: [SUCCESS] Firmware uploaded successfully!");
const QString NotFound =
    QStringLiteral("red: [ERROR] Checksum record (#CRC32) not found in firmware file");
const QString ErrChunk = QStringLiteral("red: [ERROR] Failed to send data chunk");
const QString ErrCommand = QStringLiteral("red: [ERROR] Failed to send command");
const QString ErrStatus = QStringLiteral("red: [ERROR] Failed to read status");
const QString CancelledWaiting = QStringLiteral("orange: [INFO] Cancelled by user");
const QString CancelledTransfer =
    QStringLiteral("orange: [WARN] Cancelled. Device may need re-flashing!");

const QStringList Opened{FileLine, Connected, Reboot};
const QStringList Ready = Opened + QStringList{Detected, Verified, Starting};

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

QByteArray sample()
{
    QFile file(QStringLiteral(TAVROLIX_SAMPLES_DIR "/sample-firmware.enc"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A small image without its checksum record: an address record, three data records
// and the end-of-file record.
QByteArray smallImage()
{
    const QByteArray image = BootloaderImage::generate(48, 7);
    return image.left(image.indexOf("#CRC32:"));
}

QString colourName(const QTextCharFormat &format)
{
    if (!format.hasProperty(QTextFormat::ForegroundBrush))
        return QStringLiteral("plain");
    const QColor colour = format.foreground().color();
    for (const char *name : {"red", "green", "orange", "#4488ff"}) {
        if (QColor(QLatin1String(name)) == colour)
            return QLatin1String(name);
    }
    return colour.name();
}

// The log as "<colour>: <message>" lines, "plain" for the default colour. A line
// without its "[hh:mm:ss] " stamp or in more than one colour shows up as a mismatch.
QStringList logOf(const FirmwareWidget &widget)
{
    static const QRegularExpression stamp(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] "));
    const QTextDocument *document =
        widget.findChild<QTextEdit *>(QStringLiteral("firmwareLog"))->document();
    QStringList lines;
    if (document->isEmpty())
        return lines;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        QStringList colours;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QString name = colourName(it.fragment().charFormat());
            if (!colours.contains(name))
                colours << name;
        }
        QString text = block.text();
        if (stamp.match(text).hasMatch())
            text = text.mid(11);
        else
            text.prepend(QStringLiteral("(no time stamp) "));
        lines << colours.join(QLatin1Char('+')) + QStringLiteral(": ") + text;
    }
    return lines;
}

QStringList filled(QStringList lines, const QString &file, const QString &port, quint32 crc)
{
    for (QString &line : lines) {
        line.replace(QLatin1String("{file}"), file);
        line.replace(QLatin1String("{port}"), port);
        line.replace(QLatin1String("{crc}"), hex8(crc));
    }
    return lines;
}

QPushButton *button(const FirmwareWidget &widget, const char *name)
{
    return widget.findChild<QPushButton *>(QLatin1String(name));
}

QComboBox *portCombo(const FirmwareWidget &widget)
{
    return widget.findChild<QComboBox *>(QStringLiteral("portCombo"));
}

QLabel *fileLabel(const FirmwareWidget &widget)
{
    return widget.findChild<QLabel *>(QStringLiteral("fileLabel"));
}

int progress(const FirmwareWidget &widget)
{
    return widget.findChild<QProgressBar *>(QStringLiteral("progressBar"))->value();
}

// Which controls take input: Upload, Select File, Cancel, then the port list and Refresh.
QString controls(const FirmwareWidget &widget)
{
    QString states;
    for (QWidget *control : {static_cast<QWidget *>(button(widget, "uploadButton")),
                             static_cast<QWidget *>(button(widget, "selectFileButton")),
                             static_cast<QWidget *>(button(widget, "cancelButton")),
                             static_cast<QWidget *>(portCombo(widget)),
                             static_cast<QWidget *>(button(widget, "refreshButton"))}) {
        states += control->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    }
    return states;
}

const QString Idle = QStringLiteral("11011");
const QString Running = QStringLiteral("00111");

struct FileDialogs
{
    int shown = 0;
    QString title;
    QString directory;
    QStringList filters;
};

// Runs `action` and answers every file dialog it opens as a user would: picks `path`,
// or cancels when `path` is empty. `chosen` runs as the dialog hands out the path.
FileDialogs answeringFileDialogs(const QString &path, const std::function<void()> &action,
                                 const std::function<void()> &chosen = {})
{
    FileDialogs seen;
    QPointer<QFileDialog> answered;
    int polls = 0;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        if (dialog == answered) {
            // A dialog that did not take the answer must not hang the test.
            if (++polls > 100)
                dialog->reject();
            return;
        }
        answered = dialog;
        polls = 0;
        ++seen.shown;
        seen.title = dialog->windowTitle();
        seen.directory = dialog->directory().absolutePath();
        seen.filters = dialog->nameFilters();
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        if (chosen)
            QObject::connect(dialog, &QFileDialog::fileSelected, dialog, chosen);
        // The dialog lists folders in the background and may change its file name field
        // when a listing arrives; the full path typed into the field is what it takes.
        dialog->selectFile(path);
        if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(path);
        static_cast<QDialog *>(dialog)->accept();
    });
    poll.start();
    action();
    poll.stop();
    return seen;
}

// Clicks Upload; the window has no file yet, so it asks for `file` first.
void uploadFile(FirmwareWidget &widget, const QString &file)
{
    answeringFileDialogs(file, [&widget] { button(widget, "uploadButton")->click(); });
}

QList<SimulatedRequest> requestsOf(const BootloaderSimulator &bootloader, Exchange exchange)
{
    QList<SimulatedRequest> found;
    const QList<SimulatedRequest> all = bootloader.requests();
    for (const SimulatedRequest &request : all) {
        if (BootloaderSimulator::exchangeOf(request) == exchange)
            found.append(request);
    }
    return found;
}

// Requests of each exchange: identity, line write, command, status read, exit.
QList<int> exchangeCounts(const BootloaderSimulator &bootloader)
{
    QList<int> counts;
    for (Exchange exchange : {Exchange::Identity, Exchange::LineWrite, Exchange::Command,
                              Exchange::StatusRead, Exchange::Exit}) {
        counts << int(requestsOf(bootloader, exchange).size());
    }
    return counts;
}

// The descriptor through which this process reads `path`, found the way lsof does.
int descriptorOf(const QString &path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/self/fd"));
    const QStringList entries = fds.entryList(QDir::Files | QDir::System);
    for (const QString &entry : entries) {
        if (QFile::symLinkTarget(fds.filePath(entry)) == target)
            return entry.toInt();
    }
    return -1;
}

} // namespace

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(Lang)

class tst_Firmware : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void crc_data();
    void crc();
    void checksum_data();
    void checksum();
    void checksumLinesInBothLanguages_data();
    void checksumLinesInBothLanguages();
    void shippedSample();
    void logLines_data();
    void logLines();
    void builtInTheCurrentLanguage();
    void portName_data();
    void portName();
    void fileSelection_data();
    void fileSelection();
    void unopenableFileAfterAGoodOne();
    void cancelledDialogKeepsTheFile();

    void registerOpsWithoutLink_data();
    void registerOpsWithoutLink();
    void registerOpsOnTheLine_data();
    void registerOpsOnTheLine();
    void attempts_data();
    void attempts();
    void replyValueCount_data();
    void replyValueCount();
    void lateWriteReplyIsNotTaken();

    void refusedUpload_data();
    void refusedUpload();
    void upload_data();
    void upload();
    void linePacking_data();
    void linePacking();
    void duringUpload_data();
    void duringUpload();
    void closingTheDialog_data();
    void closingTheDialog();
    void reopenedDialogStartsAfresh();
    void portRemovedDuringTransfer();
    void fileReadErrorDuringTransfer();

private:
    QString writeFile(const QString &name, const QByteArray &contents);
    // Gives the window the virtual pair's port, as a user types it into the port box.
    void typePort(FirmwareWidget &widget);

    VirtualSerialPair m_pair;
    std::unique_ptr<BootloaderSimulator> m_bootloader;
    std::unique_ptr<QTemporaryDir> m_dir;
    QList<SimulatedRequest> m_packedRequests;
};

void tst_Firmware::initTestCase()
{
    I18n::instance()->setLanguage(Lang::English);
    QVERIFY2(m_pair.open(), qPrintable(m_pair.errorString()));
}

void tst_Firmware::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_bootloader = std::make_unique<BootloaderSimulator>();
    QVERIFY2(m_bootloader->start(m_pair.devicePath()), qPrintable(m_bootloader->errorString()));
}

void tst_Firmware::cleanup()
{
    m_bootloader.reset();
    m_dir.reset();
    I18n::instance()->setLanguage(Lang::English);
}

QString tst_Firmware::writeFile(const QString &name, const QByteArray &contents)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        return QString();
    return path;
}

void tst_Firmware::typePort(FirmwareWidget &widget)
{
    portCombo(widget)->setEditText(m_pair.clientPath());
}

void tst_Firmware::crc_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<quint32>("expected");

    QTest::newRow("catalogue check value") << QByteArray("123456789") << 0x0376E6E7u;
    QTest::newRow("no data") << QByteArray() << 0xFFFFFFFFu;

    // Against the simulator's bit-by-bit computation.
    QByteArray allValues;
    for (int i = 0; i < 256; ++i)
        allValues.append(char(i));
    const QByteArray image = BootloaderImage::dataBytes(
        BootloaderImage::linesToSend(BootloaderImage::generate(65536, 3)));
    for (const QByteArray &data : {QByteArray(1, '\0'), allValues, image}) {
        QTest::addRow("%d bytes", int(data.size())) << data << BootloaderImage::crc32(data);
    }
}

void tst_Firmware::crc()
{
    QFETCH(QByteArray, data);
    QFETCH(quint32, expected);
    QCOMPARE(FirmwareWidget::fwCrc32(reinterpret_cast<const uchar *>(data.constData()),
                                     uint(data.size())),
             expected);
}

void tst_Firmware::checksum_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QByteArray>("counted");
    QTest::addColumn<QString>("line");

    // "{crc}" in the file stands for the checksum of the bytes that must count.
    const QByteArray bytes1234("\x01\x02\x03\x04");
    const QByteArray record1234(":0400000001020304F2\n");
    const QString ok = QStringLiteral("green: [OK] CHECKSUM VERIFIED: {crc}");
    const QString mismatch =
        QStringLiteral("red: [ERROR] CHECKSUM MISMATCH! COMPUTED: {crc}, STORED: %1");

    QTest::newRow("one data record") << record1234 + "#CRC32:{crc}\n" << bytes1234 << ok;
    QTest::newRow("no data records, FFFFFFFF") << QByteArray("#CRC32:FFFFFFFF\n") << QByteArray()
                                               << ok;
    QTest::newRow("no data records, other value")
        << QByteArray(":00000001FF\n#CRC32:00000000\n") << QByteArray()
        << mismatch.arg(QLatin1String("00000000"));
    QTest::newRow("record after blanks, CR LF")
        << "# made by hand\r\n" + record1234 + " \t #CRC32:{crc}  \r\n" << bytes1234 << ok;
    QTest::newRow("lower-case marker") << record1234 + "#crc32:{crc}\n" << bytes1234 << NotFound;
    QTest::newRow("lower-case digits") << record1234 + "#CRC32:{crclower}\n" << bytes1234 << ok;
    QTest::newRow("no checksum record") << record1234 << bytes1234 << NotFound;
    QTest::newRow("two records, the second decides")
        << "#CRC32:DEADBEEF\n" + record1234 + "#CRC32:{crc}\n" << bytes1234 << ok;
    QTest::newRow("two records, the second wrong")
        << "#CRC32:{crc}\n" + record1234 + "#CRC32:1234ABCD\n" << bytes1234
        << mismatch.arg(QLatin1String("1234ABCD"));
    QTest::newRow("second record unparsable")
        << record1234 + "#CRC32:{crc}\n#CRC32:XYZ\n" << bytes1234 << NotFound;
    QTest::newRow("record wider than 32 bits") << record1234 + "#CRC32:1{crc}\n" << bytes1234
                                               << NotFound;
    QTest::newRow("length beyond the line")
        << QByteArray(":0500000001020304F2\n#CRC32:{crc}\n") << QByteArray() << ok;
    QTest::newRow("wrong record checksum still taken")
        << QByteArray(":040000000102030400\n#CRC32:{crc}\n") << bytes1234 << ok;
    QTest::newRow("types 01 and 04 ignored")
        << ":020000040800F2\n" + record1234 + ":00000001FF\n#CRC32:{crc}\n" << bytes1234 << ok;
    QTest::newRow("data after the end-of-file record counted")
        << record1234 + ":00000001FF\n:02001000AABB99\n#CRC32:{crc}\n"
        << bytes1234 + "\xAA\xBB" << ok;
    QTest::newRow("record split by the line read")
        << ":80000000" + QByteArray(256, 'A') + "00\n" + record1234 + "#CRC32:{crc}\n"
        << bytes1234 << ok;
    QTest::newRow("unparsable pair skipped")
        << QByteArray(":04000000AAZZBBCC00\n#CRC32:{crc}\n") << QByteArray("\xAA\xBB\xCC") << ok;
    QTest::newRow("lower-case data") << QByteArray(":02000000abcd00\n#CRC32:{crc}\n")
                                     << QByteArray("\xAB\xCD") << ok;
    QTest::newRow("negative length") << QByteArray(":-1000000AABB\n#CRC32:{crc}\n")
                                     << QByteArray() << ok;
    QTest::newRow("zero length") << QByteArray(":0000000000\n#CRC32:{crc}\n") << QByteArray()
                                 << ok;
    QTest::newRow("line shorter than 10") << QByteArray(":01000000\n#CRC32:{crc}\n")
                                          << QByteArray() << ok;
    QTest::newRow("unparsable type") << QByteArray(":010000ZZAA00\n#CRC32:{crc}\n")
                                     << QByteArray() << ok;
    QTest::newRow("record after blanks") << "   " + record1234 + "#CRC32:{crc}\n" << bytes1234
                                         << ok;
    QTest::newRow("empty file") << QByteArray() << QByteArray() << NotFound;
}

void tst_Firmware::checksum()
{
    QFETCH(QByteArray, contents);
    QFETCH(QByteArray, counted);
    QFETCH(QString, line);

    const quint32 crc = BootloaderImage::crc32(counted);
    contents.replace("{crc}", hex8(crc).toLatin1());
    contents.replace("{crclower}", hex8(crc).toLower().toLatin1());
    QFile file(writeFile(QStringLiteral("image.enc"), contents));
    QVERIFY(file.open(QIODevice::ReadOnly));
    file.readLine(); // the check starts from the beginning wherever the file stands

    FirmwareWidget widget;
    const bool passed = widget.fwVerifyChecksum(file);
    QCOMPARE(logOf(widget), filled({line}, QString(), QString(), crc));
    QCOMPARE(passed, line.startsWith(QLatin1String("green")));
    QCOMPARE(file.pos(), qint64(0));
    QCOMPARE(file.readAll(), contents);
}

void tst_Firmware::checksumLinesInBothLanguages_data()
{
    QTest::addColumn<Lang>("language");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("line");

    // The four data bytes have the checksum 0000ABCD.
    const QByteArray data(":04000000BA56E509FE\n");
    QTest::newRow("English, mismatch")
        << Lang::English << data + "#CRC32:1234abcd\n"
        << QStringLiteral("red: [ERROR] CHECKSUM MISMATCH! COMPUTED: 0000ABCD, STORED: 1234ABCD");
    QTest::newRow("Russian, mismatch")
        << Lang::Russian << data + "#CRC32:1234ABCD\n"
        << QStringLiteral("red: [ОШИБКА] НЕСОВПАДЕНИЕ КОНТРОЛЬНОЙ СУММЫ! ВЫЧИСЛЕНО: 0000ABCD, "
                          "СОХРАНЕНО: 1234ABCD");
    QTest::newRow("English, verified")
        << Lang::English << data + "#CRC32:0000abcd\n"
        << QStringLiteral("green: [OK] CHECKSUM VERIFIED: 0000ABCD");
    QTest::newRow("Russian, verified")
        << Lang::Russian << data + "#CRC32:ABCD\n"
        << QStringLiteral("green: [OK] КОНТРОЛЬНАЯ СУММА ВЕРНА: 0000ABCD");
    QTest::newRow("Russian, not found")
        << Lang::Russian << data
        << QStringLiteral("red: [ОШИБКА] Запись контрольной суммы (#CRC32) не найдена в файле");
}

void tst_Firmware::checksumLinesInBothLanguages()
{
    QFETCH(Lang, language);
    QFETCH(QByteArray, contents);
    QFETCH(QString, line);

    I18n::instance()->setLanguage(language);
    QFile file(writeFile(QStringLiteral("image.enc"), contents));
    QVERIFY(file.open(QIODevice::ReadOnly));
    FirmwareWidget widget;
    widget.fwVerifyChecksum(file);
    QCOMPARE(logOf(widget), QStringList{line});
}

void tst_Firmware::shippedSample()
{
    // The sample comes from the simulator's generator and stays reproducible by it.
    const QByteArray contents = sample();
    QCOMPARE(contents, BootloaderImage::generate(2048));

    QFile file(QStringLiteral(TAVROLIX_SAMPLES_DIR "/sample-firmware.enc"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    FirmwareWidget widget;
    QVERIFY(widget.fwVerifyChecksum(file));
    const QByteArray record = contents.mid(contents.indexOf("#CRC32:") + 7, 8);
    QCOMPARE(logOf(widget), QStringList{QStringLiteral("green: [OK] CHECKSUM VERIFIED: ")
                                        + QString::fromLatin1(record)});
}

void tst_Firmware::logLines_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("colour");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << QStringLiteral("File selected: /tmp/a.enc") << QString()
                           << QStringLiteral("plain: File selected: /tmp/a.enc");
    QTest::newRow("red") << QStringLiteral("[ERROR] x") << QStringLiteral("red")
                         << QStringLiteral("red: [ERROR] x");
    QTest::newRow("blue") << QStringLiteral("[INFO] y") << QStringLiteral("#4488ff")
                          << QStringLiteral("#4488ff: [INFO] y");
    QTest::newRow("markup in a coloured line")
        << QStringLiteral("Can't open /tmp/<b>x</b> & y") << QStringLiteral("red")
        << QStringLiteral("red: Can't open /tmp/<b>x</b> & y");
    QTest::newRow("markup in a plain line")
        << QStringLiteral("File selected: /tmp/<i>a</i>&amp;.enc") << QString()
        << QStringLiteral("plain: File selected: /tmp/<i>a</i>&amp;.enc");
    QTest::newRow("placeholders in a coloured line")
        << QStringLiteral("[OK] Connected to /dev/%1%2%3") << QStringLiteral("green")
        << QStringLiteral("green: [OK] Connected to /dev/%1%2%3");
}

void tst_Firmware::logLines()
{
    QFETCH(QString, message);
    QFETCH(QString, colour);
    QFETCH(QString, expected);

    // Each line after a line of another colour, so nothing carries over.
    TestWidget widget;
    widget.fwLog(QStringLiteral("before"), QStringLiteral("orange"));
    widget.fwLog(message, colour);
    widget.fwLog(QStringLiteral("after"), QString());
    QCOMPARE(logOf(widget), (QStringList{QStringLiteral("orange: before"), expected,
                                         QStringLiteral("plain: after")}));
}

void tst_Firmware::builtInTheCurrentLanguage()
{
    I18n::instance()->setLanguage(Lang::Russian);
    FirmwareWidget widget;
    QCOMPARE(button(widget, "uploadButton")->text(), QStringLiteral("Загрузить прошивку"));
    QCOMPARE(button(widget, "selectFileButton")->text(), QStringLiteral("Выбрать файл..."));
    QCOMPARE(button(widget, "refreshButton")->text(), QStringLiteral("Обновить"));
    QCOMPARE(fileLabel(widget)->text(), QStringLiteral("Файл не выбран"));
    QCOMPARE(controls(widget), Idle);
    QCOMPARE(progress(widget), 0);
    QVERIFY(!widget.isBusy());
    QVERIFY(widget.requestClose());
}

void tst_Firmware::portName_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("locations");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");

    const QStringList names{QStringLiteral("ttyS7"), QStringLiteral("COM7")};
    const QStringList locations{QStringLiteral("/dev/ttyS7"), QString()};
    QTest::newRow("listed port") << names << locations << QString()
                                 << QStringLiteral("/dev/ttyS7");
#ifdef Q_OS_WIN
    QTest::newRow("listed port without location")
        << names << locations << QStringLiteral("COM7") << QStringLiteral("\\\\.\\COM7");
#else
    QTest::newRow("listed port without location")
        << names << locations << QStringLiteral("COM7") << QStringLiteral("COM7");
#endif
    QTest::newRow("typed path") << names << locations << QStringLiteral(" /tmp/sim/configurator ")
                                << QStringLiteral("/tmp/sim/configurator");
    QTest::newRow("no ports") << QStringList() << QStringList() << QString() << QString();
}

void tst_Firmware::portName()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, locations);
    QFETCH(QString, typed);
    QFETCH(QString, expected);

    TestWidget widget;
    QComboBox *combo = portCombo(widget);
    combo->clear();
    for (int i = 0; i < names.size(); ++i)
        combo->addItem(names.at(i), locations.at(i));
    if (!typed.isEmpty()) {
        const int listed = combo->findText(typed);
        if (listed >= 0)
            combo->setCurrentIndex(listed);
        else
            combo->setEditText(typed);
    }
    QCOMPARE(widget.fwPortName(), expected);
}

void tst_Firmware::fileSelection_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");

    QTest::newRow("a.enc") << QStringLiteral("a.enc") << 2048;
    QTest::newRow("markup and placeholders in the name")
        << QStringLiteral("<b>x<i> & %1 %2.enc") << 10;
}

void tst_Firmware::fileSelection()
{
    QFETCH(QString, name);
    QFETCH(int, size);

    const QString path = writeFile(name, QByteArray(size, '#'));
    FirmwareWidget widget;
    const FileDialogs dialogs = answeringFileDialogs(path, [&widget] {
        button(widget, "selectFileButton")->click();
    });
    QCOMPARE(dialogs.shown, 1);
    QCOMPARE(dialogs.title, QStringLiteral("Select File..."));
    QCOMPARE(dialogs.directory, QDir::homePath());
    QCOMPARE(dialogs.filters, (QStringList{QStringLiteral("Encrypted firmware (*.enc)"),
                                           QStringLiteral("All files (*.*)")}));
    QCOMPARE(fileLabel(widget)->text(), name + QStringLiteral(" (%1 bytes)").arg(size));
    QCOMPARE(fileLabel(widget)->styleSheet(), QStringLiteral("color: green;"));
    QCOMPARE(logOf(widget), filled({FileLine}, path, QString(), 0));
}

void tst_Firmware::unopenableFileAfterAGoodOne()
{
    const QString good = writeFile(QStringLiteral("a.enc"), withChecksum(smallImage()));
    const QString bad = writeFile(QStringLiteral("b.enc"), withChecksum(smallImage()));

    FirmwareWidget widget;
    QPushButton *select = button(widget, "selectFileButton");
    answeringFileDialogs(good, [select] { select->click(); });
    // The medium goes away between choosing the file and opening it.
    answeringFileDialogs(bad, [select] { select->click(); }, [bad] { QFile::remove(bad); });
    QCOMPARE(fileLabel(widget)->text(), QStringLiteral("Failed to open file"));
    QCOMPARE(fileLabel(widget)->styleSheet(), QStringLiteral("color: red;"));
    QCOMPARE(logOf(widget), filled({FileLine}, good, QString(), 0));
    QVERIFY(descriptorOf(good) < 0);

    // No file is selected now: the upload asks for one first.
    typePort(widget);
    const FileDialogs dialogs = answeringFileDialogs(QString(), [&widget] {
        button(widget, "uploadButton")->click();
    });
    QCOMPARE(dialogs.shown, 1);
    QCOMPARE(logOf(widget).constLast(), QStringLiteral("red: [ERROR] No firmware file selected"));
    QVERIFY(m_bootloader->requests().isEmpty());
}

void tst_Firmware::cancelledDialogKeepsTheFile()
{
    const QString path = writeFile(QStringLiteral("a.enc"), "#CRC32:FFFFFFFF\n");
    FirmwareWidget widget;
    QPushButton *select = button(widget, "selectFileButton");
    answeringFileDialogs(path, [select] { select->click(); });
    const QString label = fileLabel(widget)->text();
    const FileDialogs dialogs = answeringFileDialogs(QString(), [select] { select->click(); });
    QCOMPARE(dialogs.shown, 1);
    QCOMPARE(fileLabel(widget)->text(), label);
    QCOMPARE(fileLabel(widget)->styleSheet(), QStringLiteral("color: green;"));

    // The file is still open: the upload goes straight on without asking.
    typePort(widget);
    const FileDialogs during = answeringFileDialogs(QString(), [&widget] {
        button(widget, "uploadButton")->click();
    });
    QCOMPARE(during.shown, 0);
    QCOMPARE(logOf(widget).constLast(), Success);
}

void tst_Firmware::registerOpsWithoutLink_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<bool>("closedLink");

    for (bool closed : {false, true}) {
        const char *when = closed ? "after closing" : "before opening";
        QTest::addRow("read input, %s", when) << 0 << closed;
        QTest::addRow("read holding, %s", when) << 1 << closed;
        QTest::addRow("write registers, %s", when) << 2 << closed;
        QTest::addRow("write single, %s", when) << 3 << closed;
    }
}

void tst_Firmware::registerOpsWithoutLink()
{
    QFETCH(int, op);
    QFETCH(bool, closedLink);

    TestWidget widget;
    if (closedLink) {
        QVERIFY(widget.fwOpenLink(m_pair.clientPath()));
        widget.fwCloseLink();
    }
    unsigned short values[3] = {7, 8, 9};
    QElapsedTimer clock;
    clock.start();
    quint8 result = 0;
    switch (op) {
    case 0:
        result = widget.fwReadInputRegs(values, 0, 3, 16, 150);
        break;
    case 1:
        result = widget.fwReadHoldingRegs(values, 102, 1, 16, 150);
        break;
    case 2:
        result = widget.fwWriteMultipleRegs(values, 0, 3, 16, 100);
        break;
    default:
        result = widget.fwWriteSingleReg(2, 102, 16, 100);
        break;
    }
    QCOMPARE(result, quint8(3));
    QVERIFY(clock.elapsed() < 50);
    QCOMPARE(QList<unsigned short>(values, values + 3), (QList<unsigned short>{7, 8, 9}));

    // Anything sent would reach the device before the request of a new link.
    QVERIFY(widget.fwOpenLink(m_pair.clientPath()));
    QCOMPARE(widget.fwReadHoldingRegs(values, 102, 1, 16, 150), quint8(0));
    QCOMPARE(m_bootloader->requests(), (QList<SimulatedRequest>{{3, 102, 1, {}}}));
}

void tst_Firmware::registerOpsOnTheLine_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<SimulatedRequest>("expected");

    QTest::newRow("read input registers") << 0 << SimulatedRequest{4, 0, 3, {}};
    QTest::newRow("read holding register") << 1 << SimulatedRequest{3, 102, 1, {}};
    QTest::newRow("write one register") << 2 << SimulatedRequest{6, 0, 1, {0x0058}};
    QTest::newRow("write two registers")
        << 3 << SimulatedRequest{16, 101, 2, {11, 0x1A80}};
    QTest::newRow("write single register") << 4 << SimulatedRequest{6, 102, 1, {2}};
    QTest::newRow("write single, negative value") << 5 << SimulatedRequest{6, 5, 1, {0xFFFF}};
}

void tst_Firmware::registerOpsOnTheLine()
{
    QFETCH(int, op);
    QFETCH(SimulatedRequest, expected);

    TestWidget widget;
    QVERIFY(widget.fwOpenLink(m_pair.clientPath()));
    const auto *modbus = widget.findChild<QModbusRtuSerialClient *>();
    QVERIFY(modbus);
    QCOMPARE(modbus->connectionParameter(QModbusDevice::SerialBaudRateParameter).toInt(), 115200);
    QCOMPARE(modbus->connectionParameter(QModbusDevice::SerialParityParameter).toInt(),
             int(QSerialPort::NoParity));
    QCOMPARE(modbus->connectionParameter(QModbusDevice::SerialDataBitsParameter).toInt(), 8);
    QCOMPARE(modbus->connectionParameter(QModbusDevice::SerialStopBitsParameter).toInt(), 1);
    QCOMPARE(modbus->numberOfRetries(), 0);

    m_bootloader->setVersion(7, 9);
    m_bootloader->setHoldingRegister(102, 1);
    unsigned short values[3] = {0, 0, 0};
    unsigned short one[1] = {0x0058};
    unsigned short two[2] = {11, 0x1A80};
    quint8 result = 0xFF;
    switch (op) {
    case 0:
        result = widget.fwReadInputRegs(values, 0, 3, 16, 150);
        QCOMPARE(QList<unsigned short>(values, values + 3), (QList<unsigned short>{12, 7, 9}));
        break;
    case 1:
        result = widget.fwReadHoldingRegs(values, 102, 1, 16, 150);
        QCOMPARE(values[0], ushort(1));
        break;
    case 2:
        result = widget.fwWriteMultipleRegs(one, 0, 1, 16, 100);
        break;
    case 3:
        result = widget.fwWriteMultipleRegs(two, 101, 2, 16, 100);
        break;
    case 4:
        result = widget.fwWriteSingleReg(2, 102, 16, 100);
        break;
    default:
        result = widget.fwWriteSingleReg(-1, 5, 16, 100);
        break;
    }
    QCOMPARE(result, quint8(0));
    QCOMPARE(m_bootloader->requests(), QList<SimulatedRequest>{expected});
    widget.fwCloseLink();
    QVERIFY(!widget.findChild<QModbusRtuSerialClient *>());
}

void tst_Firmware::attempts_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("faulted");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("requests");

    QTest::newRow("answered at once") << Fault::None << 0 << 0 << 1;
    QTest::newRow("exception twice") << Fault::Exception << 2 << 0 << 3;
    QTest::newRow("exception four times") << Fault::Exception << 4 << 5 << 4;
    QTest::newRow("no reply three times") << Fault::NoReply << 3 << 0 << 4;
    QTest::newRow("no reply at all") << Fault::NoReply << -1 << 5 << 4;
    QTest::newRow("corrupt reply once") << Fault::BadCrc << 1 << 0 << 2;
}

void tst_Firmware::attempts()
{
    QFETCH(Fault, fault);
    QFETCH(int, faulted);
    QFETCH(int, result);
    QFETCH(int, requests);

    TestWidget widget;
    QVERIFY(widget.fwOpenLink(m_pair.clientPath()));
    m_bootloader->setHoldingRegister(102, 7);
    if (faulted != 0)
        m_bootloader->setExchangeFault(Exchange::StatusRead, 0, faulted, fault);
    unsigned short status = 0xAAAA;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(widget.fwReadHoldingRegs(&status, 102, 1, 16, 150), quint8(result));
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(int(m_bootloader->requests().size()), requests);
    QCOMPARE(int(status), result == 0 ? 7 : 0xAAAA);
    if (fault == Fault::NoReply && faulted < 0) {
        // Four time-outs of the client's own, one after the other, without pauses.
        QVERIFY2(elapsed >= 4 * 150 && elapsed < 4 * 150 + 400,
                 qPrintable(QString::number(elapsed)));
    }
}

void tst_Firmware::replyValueCount_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QList<unsigned short>>("expected");

    QTest::newRow("one value more than asked")
        << Fault::LongReply << QList<unsigned short>{12, 7, 9, 0xAAAA, 0xAAAA};
    QTest::newRow("one value less than asked")
        << Fault::ShortReply << QList<unsigned short>{12, 7, 0xAAAA, 0xAAAA, 0xAAAA};
}

void tst_Firmware::replyValueCount()
{
    QFETCH(Fault, fault);
    QFETCH(QList<unsigned short>, expected);

    TestWidget widget;
    QVERIFY(widget.fwOpenLink(m_pair.clientPath()));
    m_bootloader->setVersion(7, 9);
    m_bootloader->setExchangeFault(Exchange::Identity, 0, 1, fault);
    unsigned short values[5] = {0xAAAA, 0xAAAA, 0xAAAA, 0xAAAA, 0xAAAA};
    QCOMPARE(widget.fwReadInputRegs(values, 0, 3, 16, 150), quint8(0));
    QCOMPARE(QList<unsigned short>(values, values + 5), expected);
}

void tst_Firmware::lateWriteReplyIsNotTaken()
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
    QCOMPARE(int(requestsOf(*m_bootloader, Exchange::Command).size()), 2);
    QCOMPARE(int(programmed.size()), 1);
    QCOMPARE(m_bootloader->receivedLines(), QList<QByteArray>{":10"});
}

void tst_Firmware::refusedUpload_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("withFile");
    QTest::addColumn<int>("fileDialogs");
    QTest::addColumn<QStringList>("log");

    QTest::newRow("no port")
        << QString() << false << 0
        << QStringList{QStringLiteral("red: [ERROR] No serial port selected")};
    QTest::newRow("no file, dialog cancelled")
        << QStringLiteral("{pair}") << false << 1
        << QStringList{QStringLiteral("red: [ERROR] No firmware file selected")};
    QTest::newRow("port cannot be opened")
        << QStringLiteral("/nonexistent/ttyTavrolix") << true << 0
        << QStringList{FileLine, QStringLiteral("red: [ERROR] Can't open serial port: ")};
}

void tst_Firmware::refusedUpload()
{
    QFETCH(QString, port);
    QFETCH(bool, withFile);
    QFETCH(int, fileDialogs);
    QFETCH(QStringList, log);

    const QString path = writeFile(QStringLiteral("a.enc"), withChecksum(smallImage()));
    FirmwareWidget widget;
    QComboBox *combo = portCombo(widget);
    combo->clear();
    if (port == QLatin1String("{pair}"))
        typePort(widget);
    else
        combo->setEditText(port);
    if (withFile) {
        answeringFileDialogs(path, [&widget] { button(widget, "selectFileButton")->click(); });
    }

    const QPointer<QPushButton> uploadButton = button(widget, "uploadButton");
    const FileDialogs dialogs = answeringFileDialogs(QString(), [&] { uploadButton->click(); });
    QCOMPARE(dialogs.shown, fileDialogs);
    QCOMPARE(controls(widget), Idle);
    QVERIFY(!widget.isBusy());
    QVERIFY(!widget.findChild<QModbusRtuSerialClient *>());

    const QStringList shown = logOf(widget);
    const QStringList expected = filled(log, path, QString(), 0);
    QCOMPARE(shown.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        // The reason for a port that does not open is the toolkit's own text.
        QVERIFY2(shown.at(i).startsWith(expected.at(i)), qPrintable(shown.at(i)));
    }
    if (port.startsWith(QLatin1Char('/')))
        QVERIFY(shown.constLast().size() > expected.constLast().size());
    QVERIFY(m_bootloader->requests().isEmpty());
}

void tst_Firmware::upload_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<int>("linesReceived"); // -1: every line of the file
    QTest::addColumn<QList<int>>("exchanges"); // see exchangeCounts(); -1: any number

    const Setup none = [](BootloaderSimulator &) {};
    const QByteArray image = withChecksum(smallImage()); // five lines to send
    const QByteArray commentsOnly("# nothing to send\n\n#CRC32:FFFFFFFF\n");

    QTest::newRow("shipped sample, module already in its bootloader")
        << sample() << none << Ready + QStringList{Success} << -1 << QList<int>{1, -1, -1, -1, 1};
    QTest::newRow("module starts after unanswered polls")
        << image << Setup([](BootloaderSimulator &b) { b.setBootDelay(5); })
        << Ready + QStringList{Success} << -1 << QList<int>{6, 5, 5, 5, 1};
    QTest::newRow("application answers until the module restarts")
        << image << Setup([](BootloaderSimulator &b) { b.setBootDelay(3, 4); })
        << Ready + QStringList{Success} << -1 << QList<int>{4, 5, 5, 5, 1};
    QTest::newRow("bootloader version 3.1")
        << image << Setup([](BootloaderSimulator &b) { b.setVersion(3, 1); })
        << Opened + QStringList{
               QStringLiteral("green: [OK] Bootloader detected (v3.1)"),
               QStringLiteral("orange: [WARN] Bootloader major version 3 differs from expected 2"),
               Verified, Starting, Success}
        << -1 << QList<int>{1, 5, 5, 5, 1};
    QTest::newRow("comment-only file")
        << commentsOnly << none << Ready + QStringList{Success} << 0
        << QList<int>{1, 0, 0, 0, 1};
    QTest::newRow("every exchange succeeds at the third attempt")
        << image << Setup([](BootloaderSimulator &b) {
               for (Exchange e : {Exchange::LineWrite, Exchange::Command, Exchange::StatusRead})
                   b.setExchangeFault(e, 1, 2);
           })
        << Ready + QStringList{Success} << -1 << QList<int>{1, 7, 7, 7, 1};
    QTest::newRow("replies with more values than asked")
        << image << Setup([](BootloaderSimulator &b) {
               b.setExchangeFault(Exchange::Identity, 0, 1, Fault::LongReply);
               b.setExchangeFault(Exchange::StatusRead, 1, 1, Fault::LongReply);
           })
        << Ready + QStringList{Success} << -1 << QList<int>{1, 5, 5, 5, 1};
    QTest::newRow("line write fails four times")
        << image << Setup([](BootloaderSimulator &b) {
               b.setExchangeFault(Exchange::LineWrite, 1, 4);
           })
        << Ready + QStringList{ErrChunk} << 0 << QList<int>{1, 4, 0, 0, 0};
    QTest::newRow("command fails four times")
        << image << Setup([](BootloaderSimulator &b) {
               b.setExchangeFault(Exchange::Command, 1, 4, Fault::NoReply);
           })
        << Ready + QStringList{ErrCommand} << 0 << QList<int>{1, 1, 4, 0, 0};
    QTest::newRow("status read fails four times")
        << image << Setup([](BootloaderSimulator &b) {
               b.setExchangeFault(Exchange::StatusRead, 1, 4);
           })
        << Ready + QStringList{ErrStatus} << 1 << QList<int>{1, 1, 1, 4, 0};
    QTest::newRow("status 0 at line 2")
        << image << Setup([](BootloaderSimulator &b) { b.setStatusAtLine(2, 0); })
        << Ready + QStringList{QStringLiteral("red: [ERROR] Flash write error")} << 2
        << QList<int>{1, 2, 2, 2, 0};
    QTest::newRow("exit command fails")
        << commentsOnly << Setup([](BootloaderSimulator &b) {
               b.setExchangeFault(Exchange::Exit, 0, 4);
           })
        << Ready + QStringList{QStringLiteral("red: [ERROR] Failed to send exit command")} << 0
        << QList<int>{1, 0, 0, 0, 4};
    QTest::newRow("checksum mismatch")
        << smallImage() + "#CRC32:00000000\n" << none
        << Opened + QStringList{Detected, QStringLiteral("red: [ERROR] CHECKSUM MISMATCH! "
                                                         "COMPUTED: {crc}, STORED: 00000000")}
        << 0 << QList<int>{1, 0, 0, 0, 0};
    QTest::newRow("no checksum record")
        << smallImage() << none << Opened + QStringList{Detected, NotFound} << 0
        << QList<int>{1, 0, 0, 0, 0};
    // One Modbus write carries 123 registers: a line, its zero and a pad byte.
    QTest::newRow("line of 300 characters")
        << QByteArray(300, 'X') + "\n:00000001FF\n#CRC32:FFFFFFFF\n" << none
        << Ready + QStringList{ErrChunk} << 0 << QList<int>{1, 0, 0, 0, 0};
    QTest::newRow("line of 245 characters")
        << QByteArray(245, 'X') + "\n#CRC32:FFFFFFFF\n" << none << Ready + QStringList{ErrChunk}
        << 0 << QList<int>{1, 0, 0, 0, 0};
}

void tst_Firmware::upload()
{
    QFETCH(QByteArray, contents);
    QFETCH(Setup, setup);
    QFETCH(QStringList, log);
    QFETCH(int, linesReceived);
    QFETCH(QList<int>, exchanges);

    QVERIFY(!contents.isEmpty());
    setup(*m_bootloader);
    const QString path = writeFile(QStringLiteral("image.enc"), contents);
    FirmwareWidget widget;
    typePort(widget);

    QString whileRunning;
    bool busy = false;
    connect(m_bootloader.get(), &DeviceSimulator::requestReceived, &widget, [&] {
        if (whileRunning.isEmpty()) {
            whileRunning = controls(widget);
            busy = widget.isBusy();
        }
    });
    uploadFile(widget, path);

    QCOMPARE(logOf(widget), filled(log, path, m_pair.clientPath(), imageChecksum(contents)));
    QCOMPARE(whileRunning, Running);
    QVERIFY(busy);
    QCOMPARE(controls(widget), Idle);
    QVERIFY(!widget.isBusy());
    QVERIFY(!widget.findChild<QModbusRtuSerialClient *>());
    const bool succeeded = log.constLast() == Success;
    if (succeeded)
        QCOMPARE(progress(widget), 100);
    else
        QVERIFY(progress(widget) < 100);

    const QList<QByteArray> lines = BootloaderImage::linesToSend(contents);
    QCOMPARE(m_bootloader->receivedLines(),
             linesReceived < 0 ? lines : lines.mid(0, linesReceived));
    QCOMPARE(m_bootloader->exitCommands(), succeeded ? 1 : 0);
    const QList<int> counts = exchangeCounts(*m_bootloader);
    for (int i = 0; i < exchanges.size(); ++i) {
        if (exchanges.at(i) >= 0)
            QCOMPARE(counts.at(i), exchanges.at(i));
    }
}

namespace {

struct PackedLine
{
    const char *name;
    QByteArray line;
    int function;
    quint16 count;
    quint16 first;
    QList<quint16> last;
};

// In file order; the longer line stands before the even one so that a pad byte left
// over from it would show.
QList<PackedLine> packedLines()
{
    return {
        {"end-of-file record", ":00000001FF", 16, 6, 0x303A,
         {0x303A, 0x3030, 0x3030, 0x3030, 0x4631, 0x0046}},
        {"one character", "X", 6, 1, 0x0058, {0x0058}},
        {"43 characters", ":1000000000112233445566778899AABBCCDDEEFF78", 16, 22, 0x313A,
         {0x3746, 0x0038}},
        {"60 characters", QByteArray(60, 'Z'), 16, 31, 0x5A5A, {0x5A5A, 0x0000}},
        {"44 characters after a longer line", QByteArray(44, 'Y'), 16, 23, 0x5959,
         {0x5959, 0x0000}},
        {"244 characters", QByteArray(244, 'W'), 16, 123, 0x5757, {0x5757, 0x0000}},
        {"leading blanks, CR LF", "  :00000001FF", 16, 7, 0x2020, {0x4631, 0x0046}},
    };
}

} // namespace

void tst_Firmware::linePacking_data()
{
    QTest::addColumn<int>("index");
    const QList<PackedLine> lines = packedLines();
    for (int i = 0; i < lines.size(); ++i)
        QTest::newRow(lines.at(i).name) << i;
}

void tst_Firmware::linePacking()
{
    QFETCH(int, index);
    const QList<PackedLine> lines = packedLines();

    if (m_packedRequests.isEmpty()) {
        // One upload serves every row: comments and empty lines in between are not sent.
        QByteArray body("# packing\n");
        for (const PackedLine &line : lines)
            body += line.line + (line.line.startsWith(' ') ? "\r\n" : "\n\n#\n");
        const QString path = writeFile(QStringLiteral("packing.enc"), withChecksum(body));
        FirmwareWidget widget;
        typePort(widget);
        uploadFile(widget, path);
        QCOMPARE(logOf(widget).constLast(), Success);
        m_packedRequests = m_bootloader->requests();
    }

    QList<SimulatedRequest> writes;
    QList<SimulatedRequest> commands;
    for (const SimulatedRequest &request : std::as_const(m_packedRequests)) {
        const Exchange exchange = BootloaderSimulator::exchangeOf(request);
        if (exchange == Exchange::LineWrite)
            writes << request;
        else if (exchange == Exchange::Command)
            commands << request;
    }
    QCOMPARE(writes.size(), lines.size());
    QCOMPARE(commands.size(), lines.size());

    const PackedLine &expected = lines.at(index);
    const SimulatedRequest &write = writes.at(index);
    QCOMPARE(write.function, expected.function);
    QCOMPARE(write.address, quint16(0));
    QCOMPARE(write.count, expected.count);
    QCOMPARE(write.values.size(), qsizetype(expected.count));
    QCOMPARE(write.values.first(), expected.first);
    QCOMPARE(write.values.mid(write.values.size() - expected.last.size()), expected.last);
    QCOMPARE(commands.at(index),
             (SimulatedRequest{16, 101, 2, {quint16(expected.line.size()), 0x1A80}}));
}

void tst_Firmware::duringUpload_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<Exchange>("trigger");
    QTest::addColumn<int>("occurrence");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<int>("linesReceived");
    QTest::addColumn<int>("exitCommands");
    QTest::addColumn<bool>("again"); // a second upload follows

    const Setup none = [](BootloaderSimulator &) {};
    const QByteArray image = withChecksum(smallImage());
    QTest::newRow("cancel while waiting for the bootloader")
        << QByteArray("#CRC32:FFFFFFFF\n")
        << Setup([](BootloaderSimulator &b) { b.setBootDelay(1000); }) << Exchange::Identity << 2
        << Action::Cancel << Opened + QStringList{CancelledWaiting} << 0 << 0 << true;
    QTest::newRow("cancel during the transfer")
        << image << none << Exchange::Command << 1 << Action::Cancel
        << Ready + QStringList{CancelledTransfer} << 1 << 1 << true;
    // Nothing follows the last line, so the end of the file comes before the cancel
    // request is looked at.
    QTest::newRow("cancel after the last line")
        << QByteArray("#CRC32:FFFFFFFF\n:00000001FF\n") << none << Exchange::StatusRead << 1
        << Action::Cancel << Ready + QStringList{Success} << 1 << 1 << false;
    QTest::newRow("refresh and clear during the transfer")
        << image << none << Exchange::Command << 1 << Action::RefreshAndClear
        << QStringList{Success} << 5 << 1 << false;
}

void tst_Firmware::duringUpload()
{
    QFETCH(QByteArray, contents);
    QFETCH(Setup, setup);
    QFETCH(Exchange, trigger);
    QFETCH(int, occurrence);
    QFETCH(Action, action);
    QFETCH(QStringList, log);
    QFETCH(int, linesReceived);
    QFETCH(int, exitCommands);
    QFETCH(bool, again);

    setup(*m_bootloader);
    const QString path = writeFile(QStringLiteral("image.enc"), contents);
    FirmwareWidget widget;
    typePort(widget);
    int seen = 0;
    QString whileRunning;
    connect(m_bootloader.get(), &DeviceSimulator::requestReceived, &widget,
            [&](const SimulatedRequest &request) {
                if (BootloaderSimulator::exchangeOf(request) != trigger || ++seen != occurrence)
                    return;
                whileRunning = controls(widget);
                if (action == Action::Cancel) {
                    button(widget, "cancelButton")->click();
                } else {
                    button(widget, "refreshButton")->click();
                    button(widget, "clearButton")->click();
                }
            });
    uploadFile(widget, path);

    QCOMPARE(whileRunning, Running);
    QCOMPARE(logOf(widget), filled(log, path, m_pair.clientPath(), imageChecksum(contents)));
    QCOMPARE(m_bootloader->receivedLines(),
             BootloaderImage::linesToSend(contents).mid(0, linesReceived));
    QCOMPARE(m_bootloader->exitCommands(), exitCommands);
    QCOMPARE(controls(widget), Idle);

    if (again) {
        m_bootloader->clearExchangeFaults();
        button(widget, "uploadButton")->click();
        QCOMPARE(logOf(widget).constLast(), Success);
    }
}

void tst_Firmware::closingTheDialog_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<Exchange>("trigger");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("lastLine");
    QTest::addColumn<int>("exitCommands");

    QTest::newRow("closed while waiting for the bootloader")
        << Setup([](BootloaderSimulator &b) { b.setBootDelay(1000); }) << Exchange::Identity
        << Action::Close << CancelledWaiting << 0;
    QTest::newRow("closed during the transfer")
        << Setup([](BootloaderSimulator &) {}) << Exchange::Command << Action::Close
        << CancelledTransfer << 1;
    QTest::newRow("Escape during the transfer")
        << Setup([](BootloaderSimulator &) {}) << Exchange::Command << Action::Escape
        << CancelledTransfer << 1;
}

void tst_Firmware::closingTheDialog()
{
    QFETCH(Setup, setup);
    QFETCH(Exchange, trigger);
    QFETCH(Action, action);
    QFETCH(QString, lastLine);
    QFETCH(int, exitCommands);

    setup(*m_bootloader);
    const QString path = writeFile(QStringLiteral("image.enc"), withChecksum(smallImage()));

    // The dialog as the main window builds it.
    auto *dialog = new QDialog;
    dialog->resize(650, 550);
    auto *layout = new QVBoxLayout(dialog);
    auto *widget = new FirmwareWidget(dialog);
    layout->addWidget(widget);
    const QPointer<FirmwareWidget> alive(widget);
    typePort(*widget);

    bool closeTried = false;
    bool openAfterClose = false;
    bool busyAfterClose = false;
    connect(m_bootloader.get(), &DeviceSimulator::requestReceived, dialog,
            [&](const SimulatedRequest &request) {
                if (closeTried || BootloaderSimulator::exchangeOf(request) != trigger)
                    return;
                closeTried = true;
                // Escape reaches the dialog from the control that has the focus.
                if (action == Action::Close)
                    dialog->close();
                else
                    QTest::keyClick(button(*widget, "cancelButton"), Qt::Key_Escape);
                openAfterClose = dialog->isVisible();
                busyAfterClose = widget->isBusy();
            });
    QTimer::singleShot(0, widget, [&] { uploadFile(*widget, path); });
    const int result = dialog->exec();

    QVERIFY(closeTried);
    QVERIFY(openAfterClose);
    QVERIFY(busyAfterClose);
    QCOMPARE(result, int(QDialog::Rejected));
    QVERIFY(alive);
    QVERIFY(!widget->isBusy());
    QCOMPARE(logOf(*widget).constLast(), lastLine);
    QCOMPARE(m_bootloader->exitCommands(), exitCommands);
    QVERIFY(!widget->findChild<QModbusRtuSerialClient *>());
    delete dialog;
    QVERIFY(!alive);
}

void tst_Firmware::reopenedDialogStartsAfresh()
{
    const QString path = writeFile(QStringLiteral("a.enc"), withChecksum(smallImage()));
    for (int round = 0; round < 2; ++round) {
        QDialog dialog;
        auto *layout = new QVBoxLayout(&dialog);
        auto *widget = new FirmwareWidget(&dialog);
        layout->addWidget(widget);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(fileLabel(*widget)->text(), QStringLiteral("No file selected"));
        QCOMPARE(logOf(*widget), QStringList());
        if (round == 0) {
            answeringFileDialogs(path, [widget] {
                button(*widget, "selectFileButton")->click();
            });
            QCOMPARE(fileLabel(*widget)->text(),
                     QStringLiteral("a.enc (%1 bytes)").arg(QFileInfo(path).size()));
            // With no upload running the dialog closes at once.
            QVERIFY(dialog.close());
            QVERIFY(!dialog.isVisible());
        }
    }
}

void tst_Firmware::portRemovedDuringTransfer()
{
    // An adapter pulled mid-upload: the client's requests are never written and the
    // client never times them out, so the upload must bound its waits itself.
    VirtualSerialPair pair;
    QVERIFY2(pair.open(), qPrintable(pair.errorString()));
    BootloaderSimulator bootloader;
    QVERIFY(bootloader.start(pair.devicePath()));
    const QString path = writeFile(QStringLiteral("image.enc"), withChecksum(smallImage()));
    FirmwareWidget widget;
    portCombo(widget)->setEditText(pair.clientPath());

    QElapsedTimer sincePulled;
    connect(&bootloader, &DeviceSimulator::requestReceived, &widget,
            [&](const SimulatedRequest &request) {
                if (BootloaderSimulator::exchangeOf(request) == Exchange::Command
                    && bootloader.receivedLines().size() == 1 && !sincePulled.isValid()) {
                    pair.close();
                    sincePulled.start();
                }
            });
    uploadFile(widget, path);

    QVERIFY(sincePulled.isValid());
    QVERIFY2(sincePulled.elapsed() < 4000, qPrintable(QString::number(sincePulled.elapsed())));
    QCOMPARE(logOf(widget).constLast(), ErrCommand);
    QCOMPARE(bootloader.exitCommands(), 0);
    QCOMPARE(controls(widget), Idle);
    QVERIFY(!widget.findChild<QModbusRtuSerialClient *>());
}

void tst_Firmware::fileReadErrorDuringTransfer()
{
    // More than the file's read buffer lies between the first line and the rest, so
    // the rest is read from the medium after it has failed.
    QByteArray body = ":020000040000FA\n";
    for (int i = 0; i < 1000; ++i)
        body += "# padding padding padding padding padding padding\n";
    body += smallImage();
    const QString path = writeFile(QStringLiteral("image.enc"), withChecksum(body));
    FirmwareWidget widget;
    typePort(widget);

    bool failed = false;
    connect(m_bootloader.get(), &DeviceSimulator::requestReceived, &widget,
            [&](const SimulatedRequest &request) {
                if (failed || BootloaderSimulator::exchangeOf(request) != Exchange::Command)
                    return;
                // The descriptor now reads from a directory, which fails like a pulled
                // medium does.
                const int fd = descriptorOf(path);
                const int directory = ::open("/", O_RDONLY | O_DIRECTORY);
                failed = fd >= 0 && directory >= 0 && ::dup2(directory, fd) == fd;
                ::close(directory);
            });
    uploadFile(widget, path);

    QVERIFY(failed);
    QCOMPARE(logOf(widget).constLast(), ErrChunk);
    QCOMPARE(int(m_bootloader->receivedLines().size()), 1);
    QCOMPARE(m_bootloader->exitCommands(), 0);
    QCOMPARE(controls(widget), Idle);
}

QTEST_MAIN(tst_Firmware)
#include "tst_firmware.moc"
