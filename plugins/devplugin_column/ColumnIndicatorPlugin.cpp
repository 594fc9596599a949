#include "ColumnIndicatorPlugin.h"

// Its save command goes to register 0, the first of its settings block.
ColumnIndicatorPlugin::ColumnIndicatorPlugin(QObject *parent)
    : EditorPlugin(parent,
                   {18, "columnIndicator",
                    QT_TRANSLATE_NOOP("ColumnIndicatorPlugin", "4-channel column indicator"), 0})
{
}

QList<ConfigurationBlock> ColumnIndicatorPlugin::configurationBlocks() const
{
    // The slave values are stored too: the device shows them after a restart.
    ConfigurationBlock registers = ConfigurationBlock::holding(1)
                                       .addSerial()
                                       .add(QT_TR_NOOP("Safe period"))
                                       .addNumbered(QT_TR_NOOP("Column %1 slave value"), 4);
    ConfigurationBlock coils = ConfigurationBlock::coils(0)
                                   .add(QT_TR_NOOP("Slave mode"))
                                   .add(QT_TR_NOOP("Use safe period"));
    static const char *const ranges[] = {
        QT_TR_NOOP("Column %1 red begin"),    QT_TR_NOOP("Column %1 red end"),
        QT_TR_NOOP("Column %1 yellow begin"), QT_TR_NOOP("Column %1 yellow end"),
        QT_TR_NOOP("Column %1 green begin"),  QT_TR_NOOP("Column %1 green end"),
        QT_TR_NOOP("Column %1 blue")};
    for (int n = 1; n <= 4; ++n) {
        registers.add(QString(QT_TR_NOOP("Column %1 remote node")).arg(n))
            .add(QString(QT_TR_NOOP("Column %1 input register")).arg(n));
        for (const char *range : ranges)
            registers.add(QString(range).arg(n));
        coils.add(QString(QT_TR_NOOP("Column %1 active")).arg(n))
            .add(QString(QT_TR_NOOP("Column %1 hide previous")).arg(n));
    }
    return {registers, coils};
}

SerialRegisters ColumnIndicatorPlugin::serialRegisters() const
{
    return {1, 2, 3};
}
