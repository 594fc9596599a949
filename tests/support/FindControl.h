#pragma once

#include <QString>
#include <QTest>
#include <QWidget>

// The child of `parent` named `name`, of type T; a missing control ends the test
// program at once with its name, rather than crashing later on a null pointer.
template<typename T = QWidget>
T *findControl(const QWidget *parent, const QString &name)
{
    T *found = parent ? parent->findChild<T *>(name) : nullptr;
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}
