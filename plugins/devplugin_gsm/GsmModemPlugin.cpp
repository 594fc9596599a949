#include "GsmModemPlugin.h"

GsmModemPlugin::GsmModemPlugin(QObject *parent)
    : EditorPlugin(
        parent, {5, "gsmmodem", QT_TRANSLATE_NOOP("GsmModemPlugin", "GSM Modem SMS Gateway"), 0})
{
}
