#pragma once

#include "TavrolixCoreExport.h"

#include <QList>
#include <QString>
#include <QStringList>

class ModbusClient;

// A range of one kind of a device's addresses as general Modbus tools show it: read in
// one request, each row with its value or the error that kept it from the device. Needs
// no widgets: the register view shows it, a command-line program can print it.
class TAVROLIX_CORE_EXPORT RegisterTable
{
public:
    enum class Kind { Coils, DiscreteInputs, HoldingRegisters, InputRegisters };
    // How registers are shown; the 32-bit forms give one row to each pair of registers.
    enum class Format { Unsigned, Signed, Hex, Int32HighFirst, Int32LowFirst };

    // What one request carries: 2000 bits or 125 registers.
    static int maxCount(Kind kind);
    static bool isWritable(Kind kind)
    {
        return kind == Kind::Coils || kind == Kind::HoldingRegisters;
    }
    static bool isBits(Kind kind) { return kind == Kind::Coils || kind == Kind::DiscreteInputs; }
    // One text per row: per register, or per pair for the 32-bit forms (an odd register
    // at the end stays unpaired and is left out).
    static QStringList format(const QList<quint16> &words, Format format);
    // The register value `text` stands for in `format` (16-bit forms only); false when it
    // stands for none.
    static bool parse(const QString &text, Format format, quint16 &value);

    // `count` is cut to what one request carries and to the end of the address space.
    void setRange(Kind kind, quint16 start, int count);
    Kind kind() const { return m_kind; }
    quint16 start() const { return m_start; }
    int count() const { return m_count; }
    // Changes with every setRange().
    quint64 generation() const { return m_generation; }

    // Reads the range from node `node` (the client's node is restored afterwards). When
    // the device refuses the whole range, each address is read on its own so that every
    // row shows its value or its own refusal. True when every value arrived.
    bool read(ModbusClient *client, int node);
    // Writes `value` (0 or 1 for a coil) to the address of `index` (0 for `start`); the
    // index's error holds the refusal.
    bool write(ModbusClient *client, int node, int index, quint16 value);

    // Per address: the last value read and whether it is valid, and the error text that
    // kept it from the device (empty when none).
    QList<quint16> values() const { return m_values; }
    bool hasValue(int index) const { return m_valid.value(index); }
    QString error(int index) const { return m_errors.value(index); }

private:
    bool readRange(ModbusClient *client, quint16 start, int count, QList<quint16> &values);
    void clear();

    Kind m_kind = Kind::HoldingRegisters;
    quint16 m_start = 0;
    int m_count = 1;
    // Counts range changes: a read that finds it changed after a request stops there,
    // so that values of one range never land in another.
    quint64 m_generation = 0;
    QList<quint16> m_values;
    QList<bool> m_valid;
    QStringList m_errors;
};
