#include "FirmwareWidget.h"

#include "I18n.h"

#include <QColor>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QModbusDataUnit>
#include <QModbusReply>
#include <QModbusRtuSerialClient>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QStringView>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <array>
#include <cstring>
#include <utility>

namespace {

constexpr int BootloaderUnit = 16;
constexpr int BootloaderBaudRate = 115200;
constexpr unsigned short BootloaderSignature = 12;
constexpr unsigned short ExpectedMajorVersion = 2;

constexpr int OpeningTimeoutMs = 100;
constexpr int IdentityTimeoutMs = 150;
constexpr int WriteTimeoutMs = 100;
constexpr int StatusTimeoutMs = 150;
constexpr int Attempts = 4;
// The toolkit client times out only requests whose bytes reached the line; this bound
// ends the wait for one that never got there (adapter pulled, write error).
constexpr int GuardMarginMs = 250;

constexpr unsigned short LineLengthRegister = 101;
constexpr unsigned short CommandRegister = 102;
constexpr unsigned short ProgramLineCommand = 0x1A80;
constexpr short ExitCommand = 2;
constexpr unsigned short LineWritten = 1;
constexpr unsigned long FirstLinePauseMs = 3000;

constexpr int LineBufferSize = 256;
// A line, its terminating zero and the pad byte must fit the 123 registers that one
// Modbus write carries.
constexpr int MaxLineLength = 244;
constexpr int UploadReadSize = 1024;
constexpr int ChecksumReadSize = 256;

constexpr quint8 ResultOk = 0;
constexpr quint8 ResultNoLink = QModbusDevice::ConnectionError;
constexpr quint8 ResultNoReply = QModbusDevice::TimeoutError;

const QString Red = QStringLiteral("red");
const QString Green = QStringLiteral("green");
const QString Orange = QStringLiteral("orange");
const QString Blue = QStringLiteral("#4488ff");

constexpr std::array<quint32, 256> makeCrcTable()
{
    std::array<quint32, 256> table{};
    for (quint32 index = 0; index < 256; ++index) {
        quint32 crc = index << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        table[index] = crc;
    }
    return table;
}

constexpr std::array<quint32, 256> CrcTable = makeCrcTable();

QString str(Str id)
{
    return I18n::instance()->tr(id);
}

QString hex8(quint32 value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0'));
}

// Appends the data bytes of a type-00 record; positions count the ':' as the first.
void collectDataBytes(QStringView record, QByteArray &collected)
{
    bool ok = false;
    const int count = record.mid(1, 2).toInt(&ok, 16);
    if (!ok || record.size() < 11 + 2 * count)
        return;
    const int type = record.mid(7, 2).toInt(&ok, 16);
    if (!ok || type != 0 || count <= 0)
        return;
    for (int i = 0; i < count; ++i) {
        const int value = record.mid(9 + 2 * i, 2).toInt(&ok, 16);
        if (ok)
            collected.append(char(value));
    }
}

} // namespace

FirmwareWidget::FirmwareWidget(QWidget *parent)
    : QWidget(parent)
{
    createUI();
    onRefreshPorts();
    // The window holding this widget may change until it is shown.
    installEventFilter(this);
    watchWindow();
}

FirmwareWidget::~FirmwareWidget()
{
    if (m_firmwareFile.isOpen())
        m_firmwareFile.close();
    fwCloseLink();
}

bool FirmwareWidget::requestClose()
{
    if (!m_busy)
        return true;
    m_closeRequested = true;
    onCancel();
    return false;
}

void FirmwareWidget::createUI()
{
    auto *layout = new QVBoxLayout(this);

    auto *description = new QLabel(str(Str::FwDescription), this);
    description->setWordWrap(true);
    description->setStyleSheet(QStringLiteral("color: gray; padding: 4px;"));
    layout->addWidget(description);

    auto *portGroup = new QGroupBox(str(Str::FwGroupSerialPort), this);
    auto *portLayout = new QHBoxLayout(portGroup);
    portLayout->addWidget(new QLabel(str(Str::PortLabel), portGroup));
    m_portCombo = new QComboBox(portGroup);
    m_portCombo->setObjectName(QStringLiteral("portCombo"));
    m_portCombo->setMinimumWidth(150);
    // Ports the system does not list (a /dev/serial/by-id link, a pseudo-terminal) are
    // typed in; they are not added to the list.
    m_portCombo->setEditable(true);
    m_portCombo->setInsertPolicy(QComboBox::NoInsert);
    portLayout->addWidget(m_portCombo);
    m_refreshButton = new QPushButton(str(Str::Refresh), portGroup);
    m_refreshButton->setObjectName(QStringLiteral("refreshButton"));
    connect(m_refreshButton, &QPushButton::clicked, this, &FirmwareWidget::onRefreshPorts);
    portLayout->addWidget(m_refreshButton);
    portLayout->addStretch();
    layout->addWidget(portGroup);

    auto *fileGroup = new QGroupBox(str(Str::FwGroupFirmwareFile), this);
    auto *fileLayout = new QHBoxLayout(fileGroup);
    m_selectFileButton = new QPushButton(str(Str::FwSelectFile), fileGroup);
    m_selectFileButton->setObjectName(QStringLiteral("selectFileButton"));
    connect(m_selectFileButton, &QPushButton::clicked, this, &FirmwareWidget::onSelectFile);
    fileLayout->addWidget(m_selectFileButton);
    m_fileLabel = new QLabel(str(Str::FwNoFileSelected), fileGroup);
    m_fileLabel->setObjectName(QStringLiteral("fileLabel"));
    m_fileLabel->setTextFormat(Qt::PlainText);
    m_fileLabel->setStyleSheet(QStringLiteral("color: gray;"));
    fileLayout->addWidget(m_fileLabel, 1);
    layout->addWidget(fileGroup);

    auto *progressGroup = new QGroupBox(str(Str::FwGroupProgress), this);
    auto *progressLayout = new QVBoxLayout(progressGroup);
    m_progressBar = new QProgressBar(progressGroup);
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    progressLayout->addWidget(m_progressBar);
    auto *buttons = new QHBoxLayout;
    m_uploadButton = new QPushButton(str(Str::FwUpload), progressGroup);
    m_uploadButton->setObjectName(QStringLiteral("uploadButton"));
    m_uploadButton->setStyleSheet(QStringLiteral(
        "background-color: #40a02b; color: white; font-weight: bold; padding: 8px 16px;"));
    connect(m_uploadButton, &QPushButton::clicked, this, &FirmwareWidget::onStartUpload);
    buttons->addWidget(m_uploadButton);
    m_cancelButton = new QPushButton(str(Str::FwCancel), progressGroup);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setEnabled(false);
    connect(m_cancelButton, &QPushButton::clicked, this, &FirmwareWidget::onCancel);
    buttons->addWidget(m_cancelButton);
    buttons->addStretch();
    progressLayout->addLayout(buttons);
    layout->addWidget(progressGroup);

    auto *logGroup = new QGroupBox(str(Str::FwGroupLog), this);
    auto *logLayout = new QVBoxLayout(logGroup);
    m_logEdit = new QTextEdit(logGroup);
    m_logEdit->setObjectName(QStringLiteral("firmwareLog"));
    m_logEdit->setReadOnly(true);
    m_logEdit->setMinimumHeight(150);
    m_logEdit->setFont(QFont(QStringLiteral("Monospace"), 9));
    logLayout->addWidget(m_logEdit);
    auto *clearRow = new QHBoxLayout;
    clearRow->addStretch();
    auto *clearButton = new QPushButton(str(Str::FwClear), logGroup);
    clearButton->setObjectName(QStringLiteral("clearButton"));
    clearButton->setFixedWidth(80);
    connect(clearButton, &QPushButton::clicked, m_logEdit, &QTextEdit::clear);
    clearRow->addWidget(clearButton);
    logLayout->addLayout(clearRow);
    layout->addWidget(logGroup, 1);
}

void FirmwareWidget::fwLog(const QString &message, const QString &colour)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("[hh:mm:ss] "));
    QScrollBar *scrollBar = m_logEdit->verticalScrollBar();
    const bool following = scrollBar->value() >= scrollBar->maximum();

    // Every line starts from the default format, so an uncoloured line never takes
    // on the colour of the line before it.
    QTextCursor cursor(m_logEdit->document());
    cursor.movePosition(QTextCursor::End);
    if (!m_logEdit->document()->isEmpty())
        cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    // The text goes in as it is, never as markup: file names and the toolkit's error
    // texts may hold '<', '&', runs of blanks or "%1".
    QTextCharFormat format;
    if (!colour.isEmpty())
        format.setForeground(QColor(colour));
    cursor.insertText(stamp + message, format);

    if (following)
        scrollBar->setValue(scrollBar->maximum());
}

void FirmwareWidget::onRefreshPorts()
{
    m_portCombo->clear();
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : ports)
        m_portCombo->addItem(port.portName(), port.systemLocation());
}

QString FirmwareWidget::fwPortName() const
{
    const QString text = m_portCombo->currentText().trimmed();
    const int index = m_portCombo->currentIndex();
    if (index >= 0 && m_portCombo->itemText(index) == text) {
        const QString location = m_portCombo->itemData(index, Qt::UserRole).toString();
        if (!location.isEmpty())
            return location;
    }
    if (text.isEmpty())
        return QString();
#ifdef Q_OS_WIN
    if (!text.startsWith(QLatin1String("\\\\")))
        return QStringLiteral("\\\\.\\") + text;
#endif
    return text;
}

void FirmwareWidget::onSelectFile()
{
    const QString path = QFileDialog::getOpenFileName(this, str(Str::FwSelectFile),
                                                      QDir::homePath(), str(Str::FwFileFilter));
    if (path.isEmpty())
        return;
    openFirmwareFile(path);
}

void FirmwareWidget::openFirmwareFile(const QString &path)
{
    if (m_firmwareFile.isOpen())
        m_firmwareFile.close();
    m_firmwareFile.setFileName(path);
    if (!m_firmwareFile.open(QIODevice::ReadOnly)) {
        m_fileLabel->setText(str(Str::FwOpenFileFailed));
        m_fileLabel->setStyleSheet(QStringLiteral("color: red;"));
        return;
    }
    m_fileLabel->setText(QFileInfo(path).fileName()
                         + QStringLiteral(" (%1 bytes)").arg(m_firmwareFile.size()));
    m_fileLabel->setStyleSheet(QStringLiteral("color: green;"));
    fwLog(str(Str::FwFileSelected).arg(path), QString());
}

quint32 FirmwareWidget::fwCrc32(const uchar *data, uint len)
{
    quint32 crc = 0xFFFFFFFFu;
    for (uint i = 0; i < len; ++i)
        crc = (crc << 8) ^ CrcTable[((crc >> 24) ^ data[i]) & 0xFFu];
    return crc;
}

bool FirmwareWidget::fwVerifyChecksum(QFile &file)
{
    file.seek(0);
    QByteArray collected;
    bool found = false;
    quint32 stored = 0;

    // Lines longer than the buffer arrive in pieces, each taken as a line of its own.
    char buffer[ChecksumReadSize];
    for (;;) {
        const qint64 length = file.readLine(buffer, sizeof buffer);
        if (length <= 0)
            break;
        const QString text = QString::fromUtf8(buffer, length).trimmed();
        if (text.startsWith(QLatin1String("#CRC32:"))) {
            bool ok = false;
            const uint value = QStringView(text).mid(7).toUInt(&ok, 16);
            found = ok;
            stored = ok ? value : 0;
        } else if (text.startsWith(QLatin1Char(':')) && text.size() >= 10) {
            collectDataBytes(text, collected);
        }
    }
    file.seek(0);

    if (!found) {
        fwLog(str(Str::FwErrNoChecksum), Red);
        return false;
    }
    const quint32 computed = fwCrc32(reinterpret_cast<const uchar *>(collected.constData()),
                                     uint(collected.size()));
    if (computed == stored) {
        fwLog(str(Str::FwOkChecksum).arg(hex8(computed)).toUpper(), Green);
        return true;
    }
    const QString computedFirst = str(Str::FwErrChecksumMismatch).arg(hex8(computed)).toUpper();
    fwLog(computedFirst.arg(hex8(stored)).toUpper(), Red);
    return false;
}

quint8 FirmwareWidget::fwReadInputRegs(unsigned short *dst, unsigned short start,
                                       unsigned short count, int serverAddress, int timeoutMs)
{
    return fwRegisterOp(RegisterOp::ReadInput, dst, start, count, serverAddress, timeoutMs);
}

quint8 FirmwareWidget::fwReadHoldingRegs(unsigned short *dst, unsigned short start,
                                         unsigned short count, int serverAddress, int timeoutMs)
{
    return fwRegisterOp(RegisterOp::ReadHolding, dst, start, count, serverAddress, timeoutMs);
}

quint8 FirmwareWidget::fwWriteMultipleRegs(unsigned short *src, unsigned short start,
                                           unsigned short count, int serverAddress,
                                           int timeoutMs)
{
    return fwRegisterOp(RegisterOp::Write, src, start, count, serverAddress, timeoutMs);
}

quint8 FirmwareWidget::fwWriteSingleReg(short value, unsigned short address, int serverAddress,
                                        int timeoutMs)
{
    unsigned short pattern = static_cast<unsigned short>(value);
    return fwRegisterOp(RegisterOp::Write, &pattern, address, 1, serverAddress, timeoutMs);
}

quint8 FirmwareWidget::fwRegisterOp(RegisterOp op, unsigned short *values, unsigned short start,
                                    unsigned short count, int serverAddress, int timeoutMs)
{
    if (!m_modbus || m_modbus->state() != QModbusDevice::ConnectedState)
        return ResultNoLink;
    m_modbus->setTimeout(timeoutMs);

    const QPointer<FirmwareWidget> self(this);
    const auto table = op == RegisterOp::ReadInput ? QModbusDataUnit::InputRegisters
                                                   : QModbusDataUnit::HoldingRegisters;
    for (int attempt = 0; attempt < Attempts && !m_quitting; ++attempt) {
        QModbusDataUnit unit(table, start, count);
        QModbusReply *reply = nullptr;
        if (op == RegisterOp::Write) {
            for (unsigned short i = 0; i < count; ++i)
                unit.setValue(i, values[i]);
            reply = m_modbus->sendWriteRequest(unit, serverAddress);
        } else {
            reply = m_modbus->sendReadRequest(unit, serverAddress);
        }
        if (!reply)
            continue;

        const QPointer<QModbusReply> guard(reply);
        if (!reply->isFinished()) {
            QEventLoop loop;
            QTimer bound;
            bound.setSingleShot(true);
            connect(reply, &QModbusReply::finished, &loop, &QEventLoop::quit);
            connect(reply, &QObject::destroyed, &loop, &QEventLoop::quit);
            connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
            bound.start(timeoutMs + GuardMarginMs);
            const int exitCode = loop.exec();
            if (!self)
                return ResultNoLink;
            if (exitCode < 0) {
                // The application is quitting: no nested loop runs any more, so nothing
                // can be waited for. Treat it as a cancel request.
                m_quitting = true;
                m_cancelled = true;
            }
        }
        if (!guard)
            continue;
        if (!reply->isFinished()) {
            // Still queued or on the wire: the client would crash on a late answer to a
            // deleted reply, so it is released only once the client is done with it.
            connect(reply, &QModbusReply::finished, reply, &QObject::deleteLater);
            continue;
        }

        bool ok = reply->error() == QModbusDevice::NoError;
        const QModbusDataUnit result = reply->result();
        if (ok && op == RegisterOp::Write) {
            // Replies are matched by function code only; the echoed address and count
            // tell a late answer to an earlier write from the answer to this one.
            ok = result.startAddress() == start && result.valueCount() == count;
        } else if (ok) {
            const qsizetype received = qMin<qsizetype>(result.valueCount(), count);
            for (qsizetype i = 0; i < received; ++i)
                values[i] = result.value(i);
        }
        reply->deleteLater();
        if (ok)
            return ResultOk;
    }
    return ResultNoReply;
}

bool FirmwareWidget::fwOpenLink(const QString &portName)
{
    fwCloseLink();
    m_modbus = new QModbusRtuSerialClient(this);
    m_modbus->setConnectionParameter(QModbusDevice::SerialPortNameParameter, portName);
    m_modbus->setConnectionParameter(QModbusDevice::SerialBaudRateParameter, BootloaderBaudRate);
    m_modbus->setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
    m_modbus->setConnectionParameter(QModbusDevice::SerialStopBitsParameter,
                                     QSerialPort::OneStop);
    m_modbus->setConnectionParameter(QModbusDevice::SerialParityParameter, QSerialPort::NoParity);
    m_modbus->setTimeout(OpeningTimeoutMs);
    m_modbus->setNumberOfRetries(0);

    if (!m_modbus->connectDevice()) {
        fwLog(str(Str::FwErrPortOpen).arg(m_modbus->errorString()), Red);
        delete std::exchange(m_modbus, nullptr);
        return false;
    }
    fwLog(str(Str::FwOkConnected).arg(portName), Green);
    return true;
}

void FirmwareWidget::fwCloseLink()
{
    if (!m_modbus)
        return;
    // Finishes every reply still queued, so no wait is left hanging on this client.
    m_modbus->disconnectDevice();
    delete std::exchange(m_modbus, nullptr);
}

void FirmwareWidget::onStartUpload()
{
    if (m_busy)
        return;
    const QPointer<FirmwareWidget> self(this);
    m_busy = true;
    m_quitting = false;
    m_progressBar->setValue(0);
    m_cancelled = false;

    // The port is checked before the file dialog opens and before any button changes.
    const QString portName = fwPortName();
    if (portName.isEmpty()) {
        fwLog(str(Str::FwErrNoPort), Red);
    } else {
        if (!m_firmwareFile.isOpen())
            onSelectFile();
        if (!self)
            return;
        if (m_firmwareFile.isOpen())
            runUpload(portName);
        else
            fwLog(str(Str::FwErrNoFile), Red);
        // Destroyed from a nested event loop although its window waits for the upload.
        if (!self)
            return;
    }

    m_busy = false;
    if (std::exchange(m_closeRequested, false) && m_watchedWindow) {
        QWidget *window = m_watchedWindow;
        QTimer::singleShot(0, window, [window] { window->close(); });
    }
}

void FirmwareWidget::onCancel()
{
    m_cancelled = true;
}

void FirmwareWidget::runUpload(const QString &portName)
{
    m_uploadButton->setEnabled(false);
    m_selectFileButton->setEnabled(false);
    m_cancelButton->setEnabled(true);

    if (!fwOpenLink(portName)) {
        m_uploadButton->setEnabled(true);
        m_selectFileButton->setEnabled(true);
        m_cancelButton->setEnabled(false);
        return;
    }
    fwLog(str(Str::FwInfoReboot), Orange);

    const QPointer<FirmwareWidget> self(this);
    unsigned short identity[3] = {0, 0, 0};
    const bool present = waitForBootloader(identity);
    if (!self)
        return;
    if (present) {
        fwLog(str(Str::FwOkBootloader).arg(identity[1]).arg(identity[2]), Green);
        if (identity[1] != ExpectedMajorVersion) {
            fwLog(str(Str::FwWarnVersion).arg(identity[1]).arg(ExpectedMajorVersion), Orange);
        }
        if (fwVerifyChecksum(m_firmwareFile)) {
            fwLog(str(Str::FwInfoStarting), Blue);
            transferImage();
            if (!self)
                return;
        }
    }
    finishUpload();
}

bool FirmwareWidget::waitForBootloader(unsigned short identity[3])
{
    // No overall limit: the user reboots the module after clicking Upload, which may
    // take any time; Cancel ends the wait.
    const QPointer<FirmwareWidget> self(this);
    for (;;) {
        if (m_cancelled) {
            fwLog(str(Str::FwInfoCancelled), Orange);
            return false;
        }
        QElapsedTimer pollTime;
        pollTime.start();
        const quint8 result =
            fwReadInputRegs(identity, 0, 3, BootloaderUnit, IdentityTimeoutMs);
        if (!self)
            return false;
        QCoreApplication::processEvents();
        if (!self)
            return false;
        if (result != ResultOk && pollTime.elapsed() < IdentityTimeoutMs && !m_quitting) {
            // Failures that come back at once (an adapter pulled while the module
            // reboots) must not turn the wait into a busy loop: poll at most once per
            // time-out, with the window responsive meanwhile.
            QEventLoop pause;
            QTimer::singleShot(IdentityTimeoutMs - int(pollTime.elapsed()), &pause,
                               &QEventLoop::quit);
            pause.exec();
            if (!self)
                return false;
        }
        if (result != ResultOk || identity[0] != BootloaderSignature)
            continue;
        if (m_cancelled) {
            fwLog(str(Str::FwInfoCancelled), Orange);
            return false;
        }
        return true;
    }
}

void FirmwareWidget::transferImage()
{
    const QPointer<FirmwareWidget> self(this);
    m_firmwareFile.seek(0);
    m_firmwareFile.unsetError();
    unsigned char lineBuffer[LineBufferSize] = {};
    unsigned short registers[LineBufferSize / 2] = {};
    char line[UploadReadSize];
    bool firstLine = true;

    for (;;) {
        const qint64 read = m_firmwareFile.readLine(line, sizeof line);
        if (read <= 0) {
            // A medium pulled mid-transfer is no end of file: the image is incomplete,
            // and leaving the bootloader now would start a half-written program.
            if (m_firmwareFile.error() != QFileDevice::NoError) {
                fwLog(str(Str::FwErrChunk), Red);
                return;
            }
            break;
        }
        if (m_cancelled) {
            fwLog(str(Str::FwWarnCancelled), Orange);
            fwWriteSingleReg(ExitCommand, CommandRegister, BootloaderUnit, WriteTimeoutMs);
            return;
        }

        int length = 0;
        while (length < read && line[length] != '\r' && line[length] != '\n')
            ++length;
        if (length == 0 || line[0] == '#')
            continue;
        if (length > MaxLineLength) {
            fwLog(str(Str::FwErrChunk), Red);
            return;
        }

        // The terminating zero and, for an even length, the pad byte: both are cleared
        // for every line so nothing of a longer line before shows through.
        std::memcpy(lineBuffer, line, size_t(length));
        lineBuffer[length] = 0;
        lineBuffer[length + 1] = 0;
        const auto count = static_cast<unsigned short>(length / 2 + 1);
        for (unsigned short i = 0; i < count; ++i)
            registers[i] = static_cast<unsigned short>(lineBuffer[2 * i]
                                                       | (lineBuffer[2 * i + 1] << 8));

        const quint8 written =
            fwWriteMultipleRegs(registers, 0, count, BootloaderUnit, WriteTimeoutMs);
        if (!self)
            return;
        if (written != ResultOk) {
            fwLog(str(Str::FwErrChunk), Red);
            return;
        }

        unsigned short command[2] = {static_cast<unsigned short>(length), ProgramLineCommand};
        const quint8 commanded =
            fwWriteMultipleRegs(command, LineLengthRegister, 2, BootloaderUnit, WriteTimeoutMs);
        if (!self)
            return;
        if (commanded != ResultOk) {
            fwLog(str(Str::FwErrCommand), Red);
            return;
        }

        if (firstLine) {
            QThread::msleep(FirstLinePauseMs);
            firstLine = false;
        }

        unsigned short status = 0;
        const quint8 statusRead =
            fwReadHoldingRegs(&status, CommandRegister, 1, BootloaderUnit, StatusTimeoutMs);
        if (!self)
            return;
        if (statusRead != ResultOk) {
            fwLog(str(Str::FwErrStatus), Red);
            return;
        }
        if (status != LineWritten) {
            fwLog(str(Str::FwErrFlashWrite), Red);
            return;
        }

        const qint64 size = m_firmwareFile.size();
        if (size > 0)
            m_progressBar->setValue(int(qMin<qint64>(100, m_firmwareFile.pos() * 100 / size)));
        QCoreApplication::processEvents();
        if (!self)
            return;
    }

    const quint8 left = fwWriteSingleReg(ExitCommand, CommandRegister, BootloaderUnit,
                                         WriteTimeoutMs);
    if (!self)
        return;
    if (left != ResultOk) {
        fwLog(str(Str::FwErrExit), Red);
        return;
    }
    m_progressBar->setValue(100);
    fwLog(str(Str::FwSuccess), Green);
}

void FirmwareWidget::finishUpload()
{
    fwCloseLink();
    m_uploadButton->setEnabled(true);
    m_selectFileButton->setEnabled(true);
    m_cancelButton->setEnabled(false);
    m_cancelled = false;
}

void FirmwareWidget::watchWindow()
{
    QWidget *top = window();
    if (top == m_watchedWindow)
        return;
    if (m_watchedWindow && m_watchedWindow != this)
        m_watchedWindow->removeEventFilter(this);
    m_watchedWindow = top;
    if (top != this)
        top->installEventFilter(this);
}

bool FirmwareWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == this
        && (event->type() == QEvent::ParentChange || event->type() == QEvent::Show)) {
        watchWindow();
    }
    // Destroying the widget in the middle of an upload would pull its state from under
    // the running procedure: closing becomes a cancel request instead, and the window
    // is closed once the upload has ended.
    if (m_busy && watched == m_watchedWindow) {
        if (event->type() == QEvent::Close) {
            requestClose();
            event->ignore();
            return true;
        }
        if (event->type() == QEvent::KeyPress
            && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Cancel)) {
            requestClose();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
