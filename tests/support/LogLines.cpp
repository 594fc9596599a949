#include "LogLines.h"

#include <QRegularExpression>
#include <QTextEdit>

QStringList logLines(const QWidget *window)
{
    static const QRegularExpression stamp(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] "));
    QStringList messages;
    const auto *log = window->findChild<QTextEdit *>(QStringLiteral("log"));
    if (!log || log->document()->isEmpty())
        return messages;
    for (const QString &line : log->toPlainText().split(QLatin1Char('\n')))
        messages << (stamp.match(line).hasMatch() ? line.mid(11) : QStringLiteral("?") + line);
    return messages;
}
