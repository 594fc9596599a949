#include "OutputDO8Plugin.h"

OutputDO8Plugin::OutputDO8Plugin(QObject *parent)
    : EditorPlugin(parent,
                   {4, "outputModuleDO8",
                    QT_TRANSLATE_NOOP("OutputDO8Plugin", "8 relay digital outputs"), 99})
{
}

QList<ConfigurationBlock> OutputDO8Plugin::configurationBlocks() const
{
    // The blocks the editor writes: the safe-state mask has a request of its own.
    return {
        ConfigurationBlock::holding(100)
            .add(QT_TR_NOOP("Node address"))
            .add(QT_TR_NOOP("Safe state timeout")),
        ConfigurationBlock::holding(102).add(QT_TR_NOOP("Relay safe state")),
        ConfigurationBlock::holding(104)
            .add(QT_TR_NOOP("Baud rate index"))
            .add(QT_TR_NOOP("Parity")),
    };
}

SerialRegisters OutputDO8Plugin::serialRegisters() const
{
    return {100, 104, 105};
}
