#pragma once

#include "FirmwareUploader.h"

#include <QPointer>
#include <QWidget>

class FirmwareWidget;
class QCheckBox;
class QLabel;

// "Verify after restart" under the firmware window: once an upload has succeeded, waits
// for the restarted application to answer at the main window's line setting and node,
// and says what it reports.
class RestartCheck : public QWidget
{
    Q_OBJECT

public:
    RestartCheck(FirmwareWidget *firmware, int baudRate, char parity, int node,
                 QWidget *parent = nullptr);

signals:
    void logLine(const QString &line);

private:
    void verify();
    void report(const QString &line, const char *colour);

    QPointer<FirmwareWidget> m_firmware;
    const int m_baudRate;
    const char m_parity;
    const int m_node;
    QCheckBox *m_check = nullptr;
    QLabel *m_status = nullptr;
    FirmwareUploader::Result m_lastResult = FirmwareUploader::Result::Cancelled;
};
