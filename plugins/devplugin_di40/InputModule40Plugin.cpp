#include "InputModule40Plugin.h"

InputModule40Plugin::InputModule40Plugin(QObject *parent)
    : EditorPlugin(parent,
                   {3, "inputModule40",
                    QT_TRANSLATE_NOOP("InputModule40Plugin", "40 digital inputs with debouncing"),
                    103})
{
}
