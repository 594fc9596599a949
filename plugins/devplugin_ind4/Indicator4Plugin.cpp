#include "Indicator4Plugin.h"

Indicator4Plugin::Indicator4Plugin(QObject *parent)
    : EditorPlugin(parent,
                   {9, "indicator4",
                    QT_TRANSLATE_NOOP("Indicator4Plugin", "4-channel LED indicator display"), 4})
{
}
