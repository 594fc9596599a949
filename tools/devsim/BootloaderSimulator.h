#pragma once

#include "DeviceSimulator.h"

#include <QByteArray>
#include <QHash>
#include <QList>

// A device sitting in its serial bootloader: unit 16 at 115200 baud 8N1, identity 12
// and the bootloader version in input registers 0 to 2, the line buffer in holding
// registers 0 and up, the line length in holding register 101 and the command and its
// status in holding register 102. Every line that the program-line command (0x1A80)
// takes is rebuilt from the packed registers and kept, so the image received can be
// compared byte for byte with the file that was sent. The exit command (2) ends the
// image; the next upload starts a new one.
class BootloaderSimulator : public DeviceSimulator
{
    Q_OBJECT

public:
    static constexpr int UnitAddress = 16;
    static constexpr int BaudRate = 115200;
    static constexpr quint16 Signature = 12;
    static constexpr quint16 LineLengthRegister = 101;
    static constexpr quint16 CommandRegister = 102;
    static constexpr quint16 ProgramLineCommand = 0x1A80;
    static constexpr quint16 ExitCommand = 2;
    static constexpr quint16 LineWritten = 1;

    // The requests of an upload, told apart by function and address.
    enum class Exchange { Identity, LineWrite, Command, StatusRead, Exit, Other };
    Q_ENUM(Exchange)

    explicit BootloaderSimulator(QObject *parent = nullptr);

    // Listens on `portPath` with the bootloader's fixed line setting.
    bool start(const QString &portPath);
    void setVersion(quint16 major, quint16 minor);

    // The module is still restarting: the first `polls` identity reads go unanswered,
    // or, with an application signature, are answered by the application still running.
    void setBootDelay(int polls, quint16 applicationSignature = 0);
    // The first `attempts` requests of `exchange` for line `line` (counted from 1; 0 for
    // any line) meet `fault`; a negative count means all of them. The line of a status
    // read is the line just programmed. Each such fault replaces one set by setFault().
    void setExchangeFault(Exchange exchange, int line, int attempts,
                          Fault fault = Fault::Exception, int parameter = 4);
    // The status read after the program-line command of line `line` gives `status`.
    void setStatusAtLine(int line, quint16 status);
    void clearExchangeFaults();

    static Exchange exchangeOf(const SimulatedRequest &request);

    // The lines of the current (or last) image, without their terminating zero.
    QList<QByteArray> receivedLines() const { return m_lines; }
    int exitCommands() const { return m_exitCommands; }

signals:
    // `line` counts from 1 within the image; `status` is what the status read will give.
    void lineProgrammed(int line, const QByteArray &text, quint16 status);
    void exitCommandReceived();

protected:
    QModbusResponse processRequest(const QModbusPdu &request) override;

private:
    struct ExchangeFault
    {
        Exchange exchange;
        int line;
        int remaining;
        Fault fault;
        int parameter;
    };

    void takeExchangeFault(Exchange exchange, int line);
    void programLine();

    quint16 m_major = 2;
    quint16 m_minor = 0;
    int m_bootPolls = 0;
    quint16 m_applicationSignature = 0;
    QList<ExchangeFault> m_faults;
    QHash<int, quint16> m_statusAtLine;
    QList<QByteArray> m_lines;
    bool m_newImage = true;
    int m_exitCommands = 0;
};
