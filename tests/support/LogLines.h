#pragma once

#include <QStringList>

class QWidget;

// The messages of the main window's log, without their "[hh:mm:ss] " stamps; a line
// without a stamp comes back with a leading "?" so that it shows up as a mismatch.
QStringList logLines(const QWidget *window);
