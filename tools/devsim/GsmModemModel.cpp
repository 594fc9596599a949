#include "GsmModemModel.h"

#include "DeviceSimulator.h"

#include <QRandomGenerator>
#include <QStringList>

namespace {

constexpr quint16 Signature = 5;
constexpr quint16 FirmwareMajor = 2;
constexpr quint16 FirmwareMinor = 7;

constexpr int SaveRegister = 0;
constexpr int AddressRegister = 1;
constexpr int BaudIndexRegister = 2;
constexpr int ParityRegister = 3;
constexpr int FirstPhoneRegister = 4;
constexpr int PhoneRegisters = 8;
constexpr int PhoneCount = 5;
constexpr int FirstMessageRegister = FirstPhoneRegister + PhoneCount * PhoneRegisters; // 44
constexpr int MessageRegisters = 30;
constexpr int MessageCount = 36;
constexpr int HoldingCount = FirstMessageRegister + MessageCount * MessageRegisters; // 1124

constexpr int InputCount = 9;
constexpr int SignalRegister = 8;
constexpr int StatusBitCount = 64;
constexpr int FirstPhoneStatusBit = 32;
constexpr int ModemErrorBit = 49;

// The modem's character set: Windows-1251 bytes 0x80 to 0xFF (0x98 unassigned).
constexpr ushort HighHalf[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

uchar toByte(QChar c)
{
    const ushort u = c.unicode();
    if (u < 0x80)
        return uchar(u);
    if (u >= 0x0410 && u <= 0x044F)
        return uchar(u - 0x350);
    for (int i = 0; i < 64; ++i) {
        if (HighHalf[i] == u)
            return uchar(0x80 + i);
    }
    return '?';
}

QChar toChar(uchar byte)
{
    if (byte < 0x80)
        return QChar(byte);
    if (byte >= 0xC0)
        return QChar(ushort(byte + 0x350));
    return QChar(HighHalf[byte - 0x80]);
}

// Keys of the state file; they must outlive every StoredRegister that points at them.
const QList<QByteArray> &textKeys()
{
    static const QList<QByteArray> keys = [] {
        QList<QByteArray> list;
        for (int p = 1; p <= PhoneCount; ++p) {
            for (int i = 0; i < PhoneRegisters; ++i)
                list.append(QByteArray("phone") + QByteArray::number(p) + '_'
                            + QByteArray::number(i));
        }
        for (int k = 1; k <= MessageCount; ++k) {
            for (int i = 0; i < MessageRegisters; ++i)
                list.append(QByteArray("sms") + QByteArray::number(k) + '_'
                            + QByteArray::number(i));
        }
        return list;
    }();
    return keys;
}

QString factoryMessage(int k)
{
    if (k == 3)
        return QStringLiteral(u"Ёмкость №3: уровень ниже нормы");
    if (k <= 12)
        return k % 2 ? QStringLiteral(u"Вход %1: тревога").arg(k)
                     : QStringLiteral("Input %1: alarm").arg(k);
    return k % 2 ? QStringLiteral(u"Регистр %1: превышение порога").arg(k)
                 : QStringLiteral("Register %1 above limit").arg(k);
}

} // namespace

GsmModemModel::GsmModemModel(QObject *parent)
    : DeviceModel(parent)
{
    m_signalTimer.setInterval(500);
    connect(&m_signalTimer, &QTimer::timeout, this, &GsmModemModel::moveSignal);
}

QString GsmModemModel::name() const
{
    return QStringLiteral("gsm");
}

quint16 GsmModemModel::signature() const
{
    return Signature;
}

QString GsmModemModel::text(int start, int count) const
{
    QString result;
    for (int i = 0; i < count; ++i) {
        const quint16 value = simulator()->holdingRegister(start + i);
        for (const uchar byte : {uchar(value & 0xFF), uchar(value >> 8)}) {
            if (byte == 0)
                return result;
            result.append(toChar(byte));
        }
    }
    return result;
}

void GsmModemModel::setText(int start, int count, const QString &text)
{
    QByteArray bytes;
    for (const QChar c : text)
        bytes.append(char(toByte(c)));
    bytes.resize(2 * count, '\0');
    for (int i = 0; i < count; ++i)
        simulator()->setHoldingRegister(
            start + i, quint16(uchar(bytes.at(2 * i)) | uchar(bytes.at(2 * i + 1)) << 8));
}

void GsmModemModel::configure(DeviceSimulator *simulator)
{
    simulator->setIdentity(Signature, FirmwareMajor, FirmwareMinor);
    simulator->setRegisterCounts(MessageCount, StatusBitCount, HoldingCount, InputCount);
    simulator->setSaveRegister(SaveRegister);
    // Factory settings: node 1, 9600 baud, no parity, sample numbers and messages.
    simulator->setHoldingRegister(AddressRegister, 1);
    simulator->setHoldingRegister(BaudIndexRegister, 2);
    // Number 5 is left empty: the modem sends to the four others.
    const char *const phones[PhoneCount] = {"79161234567", "79037654321", "88005553535",
                                            "74951112233", ""};
    for (int p = 0; p < PhoneCount; ++p)
        setText(FirstPhoneRegister + p * PhoneRegisters, PhoneRegisters, QLatin1String(phones[p]));
    for (int k = 1; k <= MessageCount; ++k)
        setText(FirstMessageRegister + (k - 1) * MessageRegisters, MessageRegisters,
                factoryMessage(k));
    simulator->setInputRegister(SignalRegister, 18);

    m_signalTimer.start();
}

QList<DeviceModel::StoredRegister> GsmModemModel::storedRegisters() const
{
    QList<StoredRegister> stored = {
        {AddressRegister, "address"},
        {BaudIndexRegister, "baudIndex"},
        {ParityRegister, "parity"},
    };
    const QList<QByteArray> &keys = textKeys();
    for (int i = 0; i < keys.size(); ++i)
        stored.append({quint16(FirstPhoneRegister + i), keys.at(i).constData()});
    return stored;
}

DeviceModel::SettingsRegisters GsmModemModel::settingsRegisters() const
{
    return {AddressRegister, BaudIndexRegister, ParityRegister};
}

bool GsmModemModel::hasAddresses(QModbusDataUnit::RegisterType, int, int) const
{
    return true; // no gaps: the register counts bound every table
}

QString GsmModemModel::describeStored(const QStringList &stored) const
{
    return stored.mid(0, 3).join(QStringLiteral(", "))
        + tr(", %1 telephone numbers and %2 messages").arg(PhoneCount).arg(MessageCount);
}

void GsmModemModel::coilsWritten(int start, int count)
{
    for (int coil = start; coil < start + count && coil < MessageCount; ++coil) {
        if (simulator()->coil(coil))
            sendMessage(coil + 1);
    }
}

void GsmModemModel::sendMessage(int number)
{
    DeviceSimulator *device = simulator();
    device->setCoil(number - 1, false); // the modem takes the command
    const QString message =
        text(FirstMessageRegister + (number - 1) * MessageRegisters, MessageRegisters);
    QStringList sentTo;
    for (int p = 1; p <= PhoneCount; ++p) {
        const QString phone = text(FirstPhoneRegister + (p - 1) * PhoneRegisters, PhoneRegisters);
        if (phone.isEmpty())
            continue;
        sentTo.append(phone);
        device->setDiscreteInput(FirstPhoneStatusBit + p - 1, true);
    }
    device->setDiscreteInput(ModemErrorBit, sentTo.isEmpty());
    if (sentTo.isEmpty()) {
        emit report(tr("SMS %1 not sent: no telephone number stored").arg(number));
        return;
    }
    emit report(
        tr("SMS %1 to %2: \"%3\"").arg(number).arg(sentTo.join(QStringLiteral(", ")), message));
}

void GsmModemModel::moveSignal()
{
    if (!simulator())
        return;
    const int level = simulator()->inputRegister(SignalRegister);
    // A random walk drawn back towards a fair reception of about 20.
    const int step = QRandomGenerator::global()->bounded(-2, 3) + (level < 17) - (level > 23);
    simulator()->setInputRegister(SignalRegister, quint16(qBound(8, level + step, 31)));
}
