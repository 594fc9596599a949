#include "GsmModemWidget.h"

#include "ModbusClient.h"

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QSpinBox>
#include <QTextStream>
#include <QVBoxLayout>

namespace {

constexpr quint16 SettingsRegister = 1; // address, baud-rate index, parity
constexpr quint16 FirstPhoneRegister = 4;
constexpr quint16 FirstMessageRegister = 44;
constexpr int InputMessages = 12;
constexpr int PhoneChars = 2 * GsmModemWidget::PhoneRegisters;
constexpr int MessageChars = 2 * GsmModemWidget::MessageRegisters;

constexpr quint16 StatusInputCount = 9; // signature, version, ..., 8 signal level
constexpr quint16 SignalRegister = 8;
constexpr quint16 StatusBitCount = 64;
constexpr int FirstPhoneStatusBit = 32; // telephone number 1
constexpr int FramErrorBit = 48;
constexpr int ModemErrorBit = 49;

constexpr uchar Unassigned = 0x98; // the one byte the code page leaves without a character

// Windows-1251 bytes 0x80 to 0xFF; 0x98 is unassigned.
constexpr ushort HighHalf[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
    0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

// The characters the modem's firmware can send besides ASCII and А to я.
struct Extra
{
    ushort unicode;
    uchar byte;
};
constexpr Extra ExtraCharacters[] = {
    {0x0401, 0xA8}, {0x0404, 0xAA}, {0x0406, 0xB2}, {0x0407, 0xAF}, {0x0451, 0xB8}, {0x0454, 0xBA},
    {0x0456, 0xB3}, {0x0457, 0xBF}, {0x0490, 0xA5}, {0x0491, 0xB4}, {0x2116, 0xB9},
};

void makeDisplayOnly(QCheckBox *check)
{
    check->setAttribute(Qt::WA_TransparentForMouseEvents);
    check->setFocusPolicy(Qt::NoFocus); // or the keyboard would toggle it
    check->setStyleSheet(
        QStringLiteral("QCheckBox::indicator:unchecked { background-color: gray; } "
                       "QCheckBox::indicator:checked { background-color: red; }"));
}

// A scrolling page; `layout` receives the vertical layout of its inner widget.
QWidget *scrollingPage(QVBoxLayout **layout)
{
    auto *scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    auto *inner = new QWidget;
    *layout = new QVBoxLayout(inner);
    scroll->setWidget(inner);
    return scroll;
}

} // namespace

GsmModemWidget::GsmModemWidget(ModbusClient *client, QWidget *parent)
    : DeviceEditor(client, parent)
{
    tabs()->addTab(createPhonesTab(), tr("Phones"));
    tabs()->addTab(createSmsInputsTab(), tr("SMS Inputs"));
    tabs()->addTab(createSmsRegistersTab(), tr("SMS Registers"));
    tabs()->addTab(createStatusTab(), tr("Status"));
    tabs()->addTab(createDeviceSettingsTab(DeviceSettingsPage::Form::Standard),
                   tr("Device Settings"));
}

QWidget *GsmModemWidget::createPhonesTab()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *group = new QGroupBox(tr("Phone Numbers"));
    auto *form = new QFormLayout(group);
    auto *validator =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?\\d{1,15}")), this);
    for (int p = 1; p <= PhoneCount; ++p) {
        auto *edit = new QLineEdit;
        edit->setObjectName(QStringLiteral("phoneEdit%1").arg(p));
        edit->setMaxLength(PhoneChars);
        edit->setValidator(validator);
        edit->setPlaceholderText(tr("Phone number %1").arg(p));
        form->addRow(tr("Phone %1:").arg(p), edit);
        m_phoneEdits[std::size_t(p - 1)] = edit;
    }
    layout->addWidget(group);
    layout->addStretch();
    return page;
}

QWidget *GsmModemWidget::createSmsInputsTab()
{
    QVBoxLayout *layout = nullptr;
    QWidget *page = scrollingPage(&layout);
    auto *group = new QGroupBox(tr("SMS Messages for Inputs (1-12)"));
    auto *form = new QFormLayout(group);
    for (int k = 1; k <= InputMessages; ++k) {
        auto *edit = new QLineEdit;
        edit->setObjectName(QStringLiteral("smsEdit%1").arg(k));
        edit->setMaxLength(MessageChars);
        edit->setPlaceholderText(tr("Message for input %1").arg(k));
        form->addRow(tr("Input %1:").arg(k), edit);
        m_smsInputEdits[std::size_t(k - 1)] = edit;
    }
    layout->addWidget(group);
    layout->addStretch();
    return page;
}

QWidget *GsmModemWidget::createSmsRegistersTab()
{
    QVBoxLayout *layout = nullptr;
    QWidget *page = scrollingPage(&layout);
    auto *group = new QGroupBox(tr("SMS Messages for Registers (13-36)"));
    auto *form = new QFormLayout(group);
    for (int k = InputMessages + 1; k <= MessageCount; ++k) {
        auto *edit = new QLineEdit;
        edit->setObjectName(QStringLiteral("smsEdit%1").arg(k));
        edit->setMaxLength(MessageChars);
        edit->setPlaceholderText(tr("Message for register %1").arg(k));
        form->addRow(tr("Register %1:").arg(k), edit);
        m_smsRegisterEdits[std::size_t(k - InputMessages - 1)] = edit;
    }
    layout->addWidget(group);

    auto *fileRow = new QHBoxLayout;
    auto *exportButton = new QPushButton(tr("Export SMS..."));
    exportButton->setObjectName(QStringLiteral("exportSmsButton"));
    connect(exportButton, &QPushButton::clicked, this, &GsmModemWidget::onExportSms);
    auto *importButton = new QPushButton(tr("Import SMS..."));
    importButton->setObjectName(QStringLiteral("importSmsButton"));
    connect(importButton, &QPushButton::clicked, this, &GsmModemWidget::onImportSms);
    fileRow->addWidget(exportButton);
    fileRow->addWidget(importButton);
    fileRow->addStretch();
    layout->addLayout(fileRow);
    layout->addStretch();
    return page;
}

QWidget *GsmModemWidget::createStatusTab()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);

    auto *infoGroup = new QGroupBox(tr("Device Info"));
    auto *infoForm = new QFormLayout(infoGroup);
    m_firmwareLabel = new QLabel(QStringLiteral("---"));
    m_firmwareLabel->setObjectName(QStringLiteral("firmwareLabel"));
    m_firmwareLabel->setStyleSheet(QStringLiteral("font-weight: bold;"));
    infoForm->addRow(tr("Firmware Version:"), m_firmwareLabel);
    m_signalLabel = new QLabel(QStringLiteral("---"));
    m_signalLabel->setObjectName(QStringLiteral("signalLabel"));
    m_signalLabel->setStyleSheet(QStringLiteral("font-weight: bold; font-size: 16px;"));
    infoForm->addRow(tr("Signal Level:"), m_signalLabel);
    layout->addWidget(infoGroup);

    auto *phoneGroup = new QGroupBox(tr("Phone Status"));
    auto *phoneRow = new QHBoxLayout(phoneGroup);
    for (int p = 1; p <= PhoneCount; ++p) {
        auto *check = new QCheckBox(tr("Phone %1").arg(p));
        check->setObjectName(QStringLiteral("phoneStatusCheck%1").arg(p));
        makeDisplayOnly(check);
        phoneRow->addWidget(check);
        m_phoneStatusChecks[std::size_t(p - 1)] = check;
    }
    phoneRow->addStretch();
    layout->addWidget(phoneGroup);

    auto *errorGroup = new QGroupBox(tr("Errors"));
    auto *errorRow = new QHBoxLayout(errorGroup);
    m_framErrorCheck = new QCheckBox(tr("FRAM Error"));
    m_framErrorCheck->setObjectName(QStringLiteral("framErrorCheck"));
    m_modemErrorCheck = new QCheckBox(tr("Modem Error"));
    m_modemErrorCheck->setObjectName(QStringLiteral("modemErrorCheck"));
    for (QCheckBox *check : {m_framErrorCheck, m_modemErrorCheck}) {
        makeDisplayOnly(check);
        errorRow->addWidget(check);
    }
    errorRow->addStretch();
    layout->addWidget(errorGroup);

    auto *sendGroup = new QGroupBox(tr("Send SMS"));
    auto *sendRow = new QHBoxLayout(sendGroup);
    sendRow->addWidget(new QLabel(tr("SMS Number:")));
    m_smsNumberSpin = new QSpinBox;
    m_smsNumberSpin->setObjectName(QStringLiteral("smsNumberSpin"));
    m_smsNumberSpin->setRange(1, MessageCount);
    m_smsNumberSpin->setValue(1);
    keepOutOfModified(m_smsNumberSpin);
    sendRow->addWidget(m_smsNumberSpin);
    m_sendSmsButton = new QPushButton(tr("Send SMS"));
    m_sendSmsButton->setObjectName(QStringLiteral("sendSmsButton"));
    connect(m_sendSmsButton, &QPushButton::clicked, this, &GsmModemWidget::onSendSms);
    sendRow->addWidget(m_sendSmsButton);
    sendRow->addStretch();
    layout->addWidget(sendGroup);

    auto *refreshRow = new QHBoxLayout;
    m_refreshButton = new QPushButton(tr("Refresh Status"));
    m_refreshButton->setObjectName(QStringLiteral("refreshButton"));
    connect(m_refreshButton, &QPushButton::clicked, this, &GsmModemWidget::onRefreshStatus);
    refreshRow->addWidget(m_refreshButton);
    refreshRow->addStretch();
    layout->addLayout(refreshRow);
    layout->addStretch();
    return page;
}

QLineEdit *GsmModemWidget::messageEdit(int k) const
{
    return k <= InputMessages ? m_smsInputEdits[std::size_t(k - 1)]
                              : m_smsRegisterEdits[std::size_t(k - InputMessages - 1)];
}

QChar GsmModemWidget::win1251ToUnicode(uchar byte)
{
    if (byte < 0x80)
        return QChar(byte);
    return QChar(HighHalf[byte - 0x80]);
}

char GsmModemWidget::unicodeToWin1251(QChar c)
{
    const ushort unicode = c.unicode();
    if (unicode == 0)
        return char(Unassigned);
    if (unicode < 0x80)
        return char(unicode);
    if (unicode >= 0x0410 && unicode <= 0x044F)
        return char(unicode - 0x350);
    for (const Extra &extra : ExtraCharacters) {
        if (extra.unicode == unicode)
            return char(extra.byte);
    }
    return '?';
}

QList<ushort> GsmModemWidget::toWindows1251(const QString &text, int count)
{
    if (count <= 0)
        return {};
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar c : text)
        bytes.append(unicodeToWin1251(c));
    bytes.resize(2 * count, '\0'); // cuts a long text, pads a short one
    QList<ushort> registers;
    registers.reserve(count);
    for (int i = 0; i < count; ++i)
        registers.append(ushort(uchar(bytes.at(2 * i)) | uchar(bytes.at(2 * i + 1)) << 8));
    return registers;
}

QString GsmModemWidget::fromWindows1251(const QList<ushort> &registers, int maxChars)
{
    QString text;
    if (maxChars <= 0)
        return text;
    text.reserve(maxChars);
    for (const ushort value : registers) {
        if (text.size() >= maxChars)
            break;
        const uchar low = uchar(value & 0xFF);
        const uchar high = uchar(value >> 8);
        if (low == 0)
            break;
        text.append(win1251ToUnicode(low));
        if (high == 0 || text.size() >= maxChars)
            break;
        text.append(win1251ToUnicode(high));
    }
    return text;
}

void GsmModemWidget::readFromDevice()
{
    if (!isOnline())
        return;
    setModified(false); // what the user changed gives way to what the device holds
    QList<quint16> settings;
    if (m_client->readHoldingRegisters(SettingsRegister, 3, settings) && settings.size() >= 3)
        m_deviceSettingsPage->setFromRegisters(settings[0], settings[1], settings[2]);
    readPhones();
    readSmsMessages();
    updateStatusIndicators();
}

bool GsmModemWidget::readPhones()
{
    for (int p = 1; p <= PhoneCount; ++p) {
        QList<quint16> registers;
        if (!isOnline()
            || !m_client->readHoldingRegisters(
                quint16(FirstPhoneRegister + PhoneRegisters * (p - 1)), PhoneRegisters,
                registers)) {
            return false;
        }
        m_phoneEdits[std::size_t(p - 1)]->setText(fromWindows1251(registers, PhoneChars));
    }
    return true;
}

bool GsmModemWidget::readSmsMessages()
{
    for (int k = 1; k <= MessageCount; ++k) {
        QList<quint16> registers;
        const auto start = quint16(FirstMessageRegister + MessageRegisters * (k - 1));
        if (!isOnline() || !m_client->readHoldingRegisters(start, MessageRegisters, registers))
            return false;
        messageEdit(k)->setText(fromWindows1251(registers, MessageChars));
    }
    return true;
}

void GsmModemWidget::writeToDevice()
{
    if (!isOnline())
        return;
    m_client->writeRegisters(SettingsRegister, m_deviceSettingsPage->registersToWrite());
    writePhones();
    writeSmsMessages();
}

bool GsmModemWidget::writePhones()
{
    for (int p = 1; p <= PhoneCount; ++p) {
        const QList<ushort> field =
            toWindows1251(m_phoneEdits[std::size_t(p - 1)]->text(), PhoneRegisters);
        if (!isOnline()
            || !m_client->writeRegisters(quint16(FirstPhoneRegister + PhoneRegisters * (p - 1)),
                                         field)) {
            return false;
        }
    }
    return true;
}

bool GsmModemWidget::writeSmsMessages()
{
    for (int k = 1; k <= MessageCount; ++k) {
        const QList<ushort> field = toWindows1251(messageEdit(k)->text(), MessageRegisters);
        const auto start = quint16(FirstMessageRegister + MessageRegisters * (k - 1));
        if (!isOnline() || !m_client->writeRegisters(start, field))
            return false;
    }
    return true;
}

void GsmModemWidget::updateStatusIndicators()
{
    if (!isOnline())
        return;
    QList<quint16> inputs;
    if (m_client->readInputRegisters(0, StatusInputCount, inputs)
        && inputs.size() >= StatusInputCount) {
        m_firmwareLabel->setText(QStringLiteral("%1.%2").arg(inputs[1]).arg(inputs[2]));
        m_signalLabel->setText(QString::number(inputs[SignalRegister]));
    }
    QList<bool> bits;
    if (!isOnline() || !m_client->readDiscreteInputs(0, StatusBitCount, bits)
        || bits.size() < StatusBitCount) {
        return;
    }
    for (int p = 1; p <= PhoneCount; ++p)
        m_phoneStatusChecks[std::size_t(p - 1)]->setChecked(bits[FirstPhoneStatusBit + p - 1]);
    m_framErrorCheck->setChecked(bits[FramErrorBit]);
    m_modemErrorCheck->setChecked(bits[ModemErrorBit]);
}

void GsmModemWidget::onRefreshStatus()
{
    updateStatusIndicators();
}

void GsmModemWidget::onSendSms()
{
    if (!isOnline())
        return;
    m_client->writeSingleCoil(quint16(m_smsNumberSpin->value() - 1), true);
    updateStatusIndicators();
}

void GsmModemWidget::onExportSms()
{
    const QString fileName = QFileDialog::getSaveFileName(this, tr("Export SMS Messages"),
                                                          QString(), tr("Text Files (*.txt)"));
    if (!fileName.isEmpty())
        exportSmsFile(fileName);
}

bool GsmModemWidget::exportSmsFile(const QString &fileName)
{
    QFile file(fileName);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
    if (written) {
        QTextStream out(&file);
        out.setEncoding(QStringConverter::Utf8);
        out.setGenerateByteOrderMark(false);
        for (int k = 1; k <= MessageCount; ++k) {
            // One line per message, always: a line break inside a text would shift
            // every later message on the next import.
            QString text = messageEdit(k)->text();
            text.replace(QLatin1Char('\r'), QLatin1Char(' '));
            text.replace(QLatin1Char('\n'), QLatin1Char(' '));
            out << text << '\n';
        }
        out.flush();
        // A full disk or a removed medium shows only when the buffers are written out.
        written = out.status() == QTextStream::Ok && file.flush();
        file.close();
        written = written && file.error() == QFileDevice::NoError;
    }
    if (!written)
        QMessageBox::critical(this, tr("Error"), tr("Failed to save file"));
    return written;
}

void GsmModemWidget::onImportSms()
{
    const QString fileName = QFileDialog::getOpenFileName(this, tr("Import SMS Messages"),
                                                          QString(), tr("Text Files (*.txt)"));
    if (!fileName.isEmpty())
        importSmsFile(fileName);
}

bool GsmModemWidget::importSmsFile(const QString &fileName)
{
    QFile file(fileName);
    QStringList lines;
    bool read = file.open(QIODevice::ReadOnly | QIODevice::Text);
    if (read) {
        QTextStream in(&file);
        in.setEncoding(QStringConverter::Utf8); // a byte-order mark still decides
        while (lines.size() < MessageCount && !in.atEnd()) {
            // A byte-order mark inside the text (files joined together) is invisible,
            // the modem cannot send it, and at the start of an exported file the next
            // import would take it for the file's own mark.
            QString line = in.readLine().remove(QChar(0xFEFF)).left(MessageChars);
            // Never keep half of a character that the cut split.
            if (!line.isEmpty() && line.back().isHighSurrogate())
                line.chop(1);
            lines.append(line.trimmed());
        }
        read = in.status() == QTextStream::Ok && file.error() == QFileDevice::NoError;
    }
    if (!read) {
        QMessageBox::critical(this, tr("Error"), tr("Failed to open file"));
        return false;
    }
    for (int i = 0; i < lines.size(); ++i)
        messageEdit(i + 1)->setText(lines.at(i));
    if (!lines.isEmpty())
        setModified(true);
    return true;
}
