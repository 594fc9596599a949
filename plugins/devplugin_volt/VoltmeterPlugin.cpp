#include "VoltmeterPlugin.h"

VoltmeterPlugin::VoltmeterPlugin(QObject *parent)
    : EditorPlugin(parent,
                   {24, "voltmeter",
                    QT_TRANSLATE_NOOP("VoltmeterPlugin",
                                      "4 configurable analog inputs + 4 fixed voltage inputs"),
                    20})
{
}

QList<ConfigurationBlock> VoltmeterPlugin::configurationBlocks() const
{
    return {ConfigurationBlock::holding(0)
                .addNumbered(QT_TR_NOOP("Input %1 type"), 4)
                .addNumbered(QT_TR_NOOP("Input %1 ramp"), 8)
                .addNumbered(QT_TR_NOOP("Input %1 multiplier"), 4)
                .add(QT_TR_NOOP("Samples per second"))
                .addSerial()};
}

SerialRegisters VoltmeterPlugin::serialRegisters() const
{
    return {17, 18, 19};
}
