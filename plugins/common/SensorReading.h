#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

class QLabel;

// What the editors' live boxes share: the devices put the mark 0xD8F0 (-10000) in place
// of a reading whose sensor is faulty; a box shows it as "Error" in red, and keeps one
// width whatever it shows.
class SensorReading
{
    Q_DECLARE_TR_FUNCTIONS(SensorReading)

public:
    static constexpr quint16 ErrorMark = 0xD8F0;

    static bool isError(quint16 raw) { return raw == ErrorMark; }
    static QString errorText() { return tr("Error"); }
    // Shows `text` in `box` with the style `style`, or errorText() in red when `raw` is the
    // error mark.
    static void show(QLabel *box, quint16 raw, const QString &text, const QString &style);
    // Makes `box` as wide as the widest of `texts` and errorText() in its own font and
    // style, so that it keeps its width when its text changes.
    static void fixWidth(QLabel *box, const QStringList &texts);
};
