#pragma once

#include "TavrolixCoreExport.h"

#include <QCoreApplication>
#include <QList>
#include <QString>

// Node addresses as a user types them: "2-9, 12".
class TAVROLIX_CORE_EXPORT NodeList
{
    Q_DECLARE_TR_FUNCTIONS(NodeList)

public:
    static constexpr int FirstNode = 1;
    static constexpr int LastNode = 247;

    // The nodes in the order typed, each once; empty with `error` set when the text is
    // not such a list or names a node outside 1 to 247.
    static QList<int> parse(const QString &text, QString *error);
    // Runs of consecutive nodes as ranges: {2, 3, 4, 9} gives "2-4, 9".
    static QString format(const QList<int> &nodes);
};
