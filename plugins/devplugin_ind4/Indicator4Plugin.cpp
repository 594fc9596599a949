#include "Indicator4Plugin.h"

Indicator4Plugin::Indicator4Plugin(QObject *parent)
    : EditorPlugin(parent,
                   {9, "indicator4",
                    QT_TRANSLATE_NOOP("Indicator4Plugin", "4-channel LED indicator display"), 4})
{
}

QList<ConfigurationBlock> Indicator4Plugin::configurationBlocks() const
{
    ConfigurationBlock perInput =
        ConfigurationBlock::holding(11).addNumbered(QT_TR_NOOP("Input %1 ramp"), 4);
    for (int n = 1; n <= 4; ++n) {
        perInput.add(QString(QT_TR_NOOP("Input %1 begin mA")).arg(n))
            .add(QString(QT_TR_NOOP("Input %1 scale begin")).arg(n), true)
            .add(QString(QT_TR_NOOP("Input %1 scale end")).arg(n), true);
    }
    perInput.add(QT_TR_NOOP("Modbus input"))
        .add(QT_TR_NOOP("Switch period"))
        .add(QT_TR_NOOP("Postfix/prefix"))
        .addNumbered(QT_TR_NOOP("Input %1 symbol"), 4)
        .add(QT_TR_NOOP("Invert matrix"))
        .addNumbered(QT_TR_NOOP("Input %1 decimals"), 4);
    return {
        ConfigurationBlock::holding(0).add(QT_TR_NOOP("Samples per second")).addSerial(),
        ConfigurationBlock::holding(5).addNumbered(QT_TR_NOOP("Input %1 type"), 4),
        perInput,
    };
}

SerialRegisters Indicator4Plugin::serialRegisters() const
{
    return {1, 2, 3};
}
