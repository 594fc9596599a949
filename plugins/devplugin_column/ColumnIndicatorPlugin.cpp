#include "ColumnIndicatorPlugin.h"

// Its save command goes to register 0, the first of its settings block.
ColumnIndicatorPlugin::ColumnIndicatorPlugin(QObject *parent)
    : EditorPlugin(parent,
                   {18, "columnIndicator",
                    QT_TRANSLATE_NOOP("ColumnIndicatorPlugin", "4-channel column indicator"), 0})
{
}
