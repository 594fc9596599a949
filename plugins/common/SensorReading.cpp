#include "SensorReading.h"

#include <QLabel>

void SensorReading::show(QLabel *box, quint16 raw, const QString &text, const QString &style)
{
    if (!isError(raw)) {
        box->setText(text);
        box->setStyleSheet(style);
        return;
    }
    box->setText(errorText());
    // The later colour wins over one in `style`.
    box->setStyleSheet(style + QStringLiteral(" color: #cc0000;"));
}

void SensorReading::fixWidth(QLabel *box, const QStringList &texts)
{
    // The size hint holds the style's font, padding and frame once the box is polished.
    box->ensurePolished();
    const QString shown = box->text();
    int widest = box->minimumWidth();
    for (const QString &text : texts + QStringList{errorText()}) {
        box->setText(text);
        widest = qMax(widest, box->sizeHint().width());
    }
    box->setText(shown);
    box->setMinimumWidth(widest);
}
