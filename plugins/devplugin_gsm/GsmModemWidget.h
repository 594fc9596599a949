#pragma once

#include "DeviceEditor.h"

#include <QList>

#include <array>

class ModbusClient;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// Editor of the GSM modem: five telephone numbers, 36 prepared messages, the modem's
// status and a "send now" command. The modem keeps its texts as Windows-1251 bytes,
// two to a holding register (first byte in the low half), zero-terminated.
class GsmModemWidget : public DeviceEditor
{
    Q_OBJECT

public:
    static constexpr int PhoneCount = 5;
    static constexpr int MessageCount = 36;
    static constexpr int PhoneRegisters = 8; // 16 bytes
    static constexpr int MessageRegisters = 30; // 60 bytes

    // `client` is not owned and may be nullptr; the constructor does not touch the device.
    GsmModemWidget(ModbusClient *client, QWidget *parent = nullptr);

    void readFromDevice() override;
    void writeToDevice() override;

    // One byte of the device's character set to UTF-16. 0x98, which the code page
    // leaves unassigned, and 0 give U+0000.
    static QChar win1251ToUnicode(uchar byte);
    // One UTF-16 code unit to a byte; what the device cannot show becomes '?'.
    // U+0000 becomes 0x98, the byte it was read from, so that it cannot end a text early.
    static char unicodeToWin1251(QChar c);
    // `text` as a packed field of `count` registers: cut to 2 * count bytes, or ended
    // by a zero byte and padded with zeros.
    QList<ushort> toWindows1251(const QString &text, int count);
    // The text a packed field holds, at most `maxChars` characters.
    QString fromWindows1251(const QList<ushort> &registers, int maxChars);

    // The file halves of onExportSms() and onImportSms() for a file already chosen;
    // they show the same error boxes. Import changes no message unless the whole file
    // could be read. True on success.
    bool exportSmsFile(const QString &fileName);
    bool importSmsFile(const QString &fileName);

private slots:
    void onRefreshStatus();
    void onSendSms();
    void onExportSms();
    void onImportSms();

private:
    QWidget *createPhonesTab();
    QWidget *createSmsInputsTab();
    QWidget *createSmsRegistersTab();
    QWidget *createStatusTab();
    // Each loop stops at its first failed transfer; true when every transfer succeeded.
    bool readPhones();
    bool readSmsMessages();
    bool writePhones();
    bool writeSmsMessages();
    void updateStatusIndicators();
    // The edit of message k, 1 to 36.
    QLineEdit *messageEdit(int k) const;

    std::array<QLineEdit *, PhoneCount> m_phoneEdits{};
    std::array<QLineEdit *, 12> m_smsInputEdits{};
    std::array<QLineEdit *, 24> m_smsRegisterEdits{};
    QLabel *m_signalLabel = nullptr;
    QLabel *m_firmwareLabel = nullptr;
    std::array<QCheckBox *, PhoneCount> m_phoneStatusChecks{};
    QCheckBox *m_framErrorCheck = nullptr;
    QCheckBox *m_modemErrorCheck = nullptr;
    QSpinBox *m_smsNumberSpin = nullptr;
    QPushButton *m_sendSmsButton = nullptr;
    QPushButton *m_refreshButton = nullptr;
};
