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
                                       .add(QStringLiteral("Safe period"))
                                       .addNumbered(QStringLiteral("Column %1 slave value"), 4);
    ConfigurationBlock coils = ConfigurationBlock::coils(0)
                                   .add(QStringLiteral("Slave mode"))
                                   .add(QStringLiteral("Use safe period"));
    static const char *const ranges[] = {"red begin",   "red end",   "yellow begin", "yellow end",
                                         "green begin", "green end", "blue"};
    for (int n = 1; n <= 4; ++n) {
        registers.add(QStringLiteral("Column %1 remote node").arg(n))
            .add(QStringLiteral("Column %1 input register").arg(n));
        for (const char *range : ranges)
            registers.add(QStringLiteral("Column %1 %2").arg(n).arg(QLatin1String(range)));
        coils.add(QStringLiteral("Column %1 active").arg(n))
            .add(QStringLiteral("Column %1 hide previous").arg(n));
    }
    return {registers, coils};
}

SerialRegisters ColumnIndicatorPlugin::serialRegisters() const
{
    return {1, 2, 3};
}
