#include "GsmModemPlugin.h"

GsmModemPlugin::GsmModemPlugin(QObject *parent)
    : EditorPlugin(
        parent, {5, "gsmmodem", QT_TRANSLATE_NOOP("GsmModemPlugin", "GSM Modem SMS Gateway"), 0})
{
}

QList<ConfigurationBlock> GsmModemPlugin::configurationBlocks() const
{
    // One block per text: a restore writes only the texts that changed.
    QList<ConfigurationBlock> blocks = {ConfigurationBlock::holding(1).addSerial()};
    for (int p = 1; p <= 5; ++p) {
        blocks.append(ConfigurationBlock::holding(quint16(4 + 8 * (p - 1)))
                          .addText(QString(QT_TR_NOOP("Telephone %1")).arg(p), 8));
    }
    for (int k = 1; k <= 36; ++k) {
        blocks.append(ConfigurationBlock::holding(quint16(44 + 30 * (k - 1)))
                          .addText(QString(QT_TR_NOOP("Message %1")).arg(k), 30));
    }
    return blocks;
}

SerialRegisters GsmModemPlugin::serialRegisters() const
{
    return {1, 2, 3};
}
