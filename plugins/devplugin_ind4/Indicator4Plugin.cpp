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
        ConfigurationBlock::holding(11).addNumbered(QStringLiteral("Input %1 ramp"), 4);
    for (int n = 1; n <= 4; ++n) {
        perInput.add(QStringLiteral("Input %1 begin mA").arg(n))
            .add(QStringLiteral("Input %1 scale begin").arg(n), true)
            .add(QStringLiteral("Input %1 scale end").arg(n), true);
    }
    perInput.add(QStringLiteral("Modbus input"))
        .add(QStringLiteral("Switch period"))
        .add(QStringLiteral("Postfix/prefix"))
        .addNumbered(QStringLiteral("Input %1 symbol"), 4)
        .add(QStringLiteral("Invert matrix"))
        .addNumbered(QStringLiteral("Input %1 decimals"), 4);
    return {
        ConfigurationBlock::holding(0).add(QStringLiteral("Samples per second")).addSerial(),
        ConfigurationBlock::holding(5).addNumbered(QStringLiteral("Input %1 type"), 4),
        perInput,
    };
}

SerialRegisters Indicator4Plugin::serialRegisters() const
{
    return {1, 2, 3};
}
