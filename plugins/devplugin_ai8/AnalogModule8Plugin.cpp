#include "AnalogModule8Plugin.h"

AnalogModule8Plugin::AnalogModule8Plugin(QObject *parent)
    : EditorPlugin(parent,
                   {2, "analogModule8",
                    QT_TRANSLATE_NOOP("AnalogModule8Plugin", "8 analog inputs (PT100 / 0-20mA)"),
                    28})
{
}

QList<ConfigurationBlock> AnalogModule8Plugin::configurationBlocks() const
{
    return {ConfigurationBlock::holding(0)
                .addNumbered(QT_TR_NOOP("Channel %1 sensor type"), 8)
                .addNumbered(QT_TR_NOOP("Channel %1 ramp"), 8)
                .addNumbered(QT_TR_NOOP("Channel %1 multiplier"), 8)
                .add(QT_TR_NOOP("Samples per second"))
                .addSerial()};
}

SerialRegisters AnalogModule8Plugin::serialRegisters() const
{
    return {25, 26, 27};
}
