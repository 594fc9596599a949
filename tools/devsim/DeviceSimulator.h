#pragma once

#include "SimulatedRequest.h"

#include <QElapsedTimer>
#include <QList>
#include <QModbusRtuSerialServer>
#include <QPointer>
#include <QSerialPort>

#include <functional>

// A simulated Tavrolix device: a real Modbus RTU server on a serial port.
// Input registers 0 to 2 hold the signature and the firmware version; holding
// registers, input registers, coils and discrete inputs exist from address 0 up
// to the counts set (the device answers exception 02 beyond them). Every request
// addressed to it is logged, and faults can be switched on for tests.
class DeviceSimulator : public QModbusRtuSerialServer
{
    Q_OBJECT

public:
    enum class Fault {
        None,
        NoReply, // the request goes unanswered
        Delay, // the reply leaves after `parameter` ms
        Exception, // exception reply with code `parameter`
        ShortReply, // reads: one value (register or byte of bits) less than asked
        LongReply, // reads: one value more than asked
        BadCrc, // the reply's checksum is broken
        Busy, // the reply leaves after `parameter` ms; requests meanwhile go unheard
        BusyQueues, // as Busy, but requests meanwhile are answered in turn right after
        WrongEcho, // writes: the echo names another value (single) or start (multiple)
    };
    Q_ENUM(Fault)

    static constexpr quint16 SaveCommand = 0x0300;

    explicit DeviceSimulator(QObject *parent = nullptr);

    void setIdentity(quint16 signature, quint16 major, quint16 minor);
    quint16 signature() const;
    // Number of addresses of each kind (from 0). Resets every value to 0 and
    // keeps the identity.
    void setRegisterCounts(int coils, int discreteInputs, int holdingRegisters,
                           int inputRegisters);
    // Holding register that takes the save command, or -1.
    void setSaveRegister(int address) { m_saveRegister = address; }
    // For devices whose addresses have gaps: a request is answered with exception 02
    // unless the filter accepts all `count` addresses of `table` from `start`.
    using AddressFilter =
        std::function<bool(QModbusDataUnit::RegisterType table, int start, int count)>;
    void setAddressFilter(AddressFilter filter) { m_addressFilter = std::move(filter); }

    bool start(const QString &portPath, int node = 1, int baudRate = 9600,
               QSerialPort::Parity parity = QSerialPort::NoParity);
    void stop();

    quint16 holdingRegister(int address) const;
    void setHoldingRegister(int address, quint16 value);
    quint16 inputRegister(int address) const;
    void setInputRegister(int address, quint16 value);
    bool coil(int address) const;
    void setCoil(int address, bool value);
    bool discreteInput(int address) const;
    void setDiscreteInput(int address, bool value);

    // The fault applies to the next `times` requests (all of them when negative).
    void setFault(Fault fault, int parameter = 0, int times = -1);
    // Back to a sound device: no fault, and replies still held back are never sent, so a
    // late reply meant for an earlier test cannot answer the next one.
    void clearFault();
    // Replies wait for the time request and reply take on the wire at the set
    // baud rate plus 3.5 character times, as a real device on a real line does.
    void setLineTiming(bool on) { m_lineTiming = on; }

    QList<SimulatedRequest> requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }

signals:
    void requestReceived(const SimulatedRequest &request);
    // A reply held back by a fault or by line timing has left.
    void replySent();
    void saveCommandReceived();

protected:
    QModbusResponse processRequest(const QModbusPdu &request) override;

private:
    Fault takeFault(int *parameter);
    QModbusResponse resized(const QModbusPdu &request, const QModbusResponse &response,
                            int delta) const;
    static QModbusResponse wrongEcho(const QModbusResponse &response);
    int wireTimeMs(int requestBytes, int replyBytes);
    void sendLater(const QModbusResponse &response, int delayMs, bool corruptCrc);
    void writeFrame(const QModbusResponse &response, bool corruptCrc);

    QList<SimulatedRequest> m_requests;
    QPointer<QSerialPort> m_port;
    quint16 m_identity[3] = {0x1234, 1, 0};
    int m_saveRegister = -1;
    AddressFilter m_addressFilter;
    Fault m_fault = Fault::None;
    int m_faultParameter = 0;
    int m_faultTimes = -1;
    bool m_lineTiming = false;
    double m_timingCarry = 0;
    int m_heldGeneration = 0;
    QElapsedTimer m_clock;
    qint64 m_busyUntilMs = 0;
    bool m_busyQueues = false;
};
