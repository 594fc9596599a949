#include "InputModule40Plugin.h"

InputModule40Plugin::InputModule40Plugin(QObject *parent)
    : EditorPlugin(parent,
                   {3, "inputModule40",
                    QT_TRANSLATE_NOOP("InputModule40Plugin", "40 digital inputs with debouncing"),
                    103})
{
}

QList<ConfigurationBlock> InputModule40Plugin::configurationBlocks() const
{
    return {
        ConfigurationBlock::holding(12).addNumbered(QT_TR_NOOP("Input %1 delay"), 40),
        ConfigurationBlock::holding(100).addSerial(),
    };
}

SerialRegisters InputModule40Plugin::serialRegisters() const
{
    return {100, 101, 102};
}
