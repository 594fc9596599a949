#include "NodeList.h"

#include <QRegularExpression>
#include <QStringList>

QList<int> NodeList::parse(const QString &text, QString *error)
{
    static const QRegularExpression item(QStringLiteral("^\\s*(\\d+)\\s*(?:-\\s*(\\d+)\\s*)?$"));
    QList<int> nodes;
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString &part : parts) {
        const QRegularExpressionMatch match = item.match(part);
        if (!match.hasMatch()) {
            *error =
                tr("\"%1\" is not a node or a range of nodes such as 2-9.").arg(part.trimmed());
            return {};
        }
        const int first = match.captured(1).toInt();
        const int last = match.captured(2).isEmpty() ? first : match.captured(2).toInt();
        if (first < FirstNode || last > LastNode || first > last) {
            *error = tr("Nodes go from %1 to %2; \"%3\" is outside.")
                         .arg(FirstNode)
                         .arg(LastNode)
                         .arg(part.trimmed());
            return {};
        }
        for (int node = first; node <= last; ++node) {
            if (!nodes.contains(node))
                nodes.append(node);
        }
    }
    return nodes;
}

QString NodeList::format(const QList<int> &nodes)
{
    QStringList runs;
    for (int i = 0; i < nodes.size();) {
        int j = i;
        while (j + 1 < nodes.size() && nodes.at(j + 1) == nodes.at(j) + 1)
            ++j;
        runs.append(j > i ? QStringLiteral("%1-%2").arg(nodes.at(i)).arg(nodes.at(j))
                          : QString::number(nodes.at(i)));
        i = j + 1;
    }
    return runs.join(QStringLiteral(", "));
}
