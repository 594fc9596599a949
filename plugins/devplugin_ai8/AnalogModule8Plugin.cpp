#include "AnalogModule8Plugin.h"

AnalogModule8Plugin::AnalogModule8Plugin(QObject *parent)
    : EditorPlugin(parent,
                   {2, "analogModule8",
                    QT_TRANSLATE_NOOP("AnalogModule8Plugin", "8 analog inputs (PT100 / 0-20mA)"),
                    28})
{
}
