#pragma once

#include "TavrolixCoreExport.h"

#include <QObject>
#include <QString>

// After a firmware upload: waits for the application to answer at its own line setting
// and reads what it reports, on a connection of its own.
class TAVROLIX_CORE_EXPORT RestartVerifier : public QObject
{
    Q_OBJECT

public:
    struct Answer
    {
        bool answered = false;
        quint16 signature = 0;
        QString version; // "major.minor", or empty when the device did not tell it
        QString error; // why nothing answered; empty when answered
        int waitedMs = 0;
    };

    static constexpr int DefaultTimeoutMs = 10000;

    explicit RestartVerifier(QObject *parent = nullptr);

    // Asks for the signature until the device answers or `timeoutMs` has passed; the
    // port may still be held by the bootloader link for a moment. cancel() ends it.
    Answer wait(const QString &port, int baudRate, char parity, int node,
                int timeoutMs = DefaultTimeoutMs);
    void cancel() { m_cancelled = true; }

private:
    bool m_cancelled = false;
};
