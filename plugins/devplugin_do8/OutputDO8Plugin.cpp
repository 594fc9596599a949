#include "OutputDO8Plugin.h"

OutputDO8Plugin::OutputDO8Plugin(QObject *parent)
    : EditorPlugin(parent,
                   {4, "outputModuleDO8",
                    QT_TRANSLATE_NOOP("OutputDO8Plugin", "8 relay digital outputs"), 99})
{
}
