#include "RestartVerifier.h"

#include "ModbusClient.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace {

constexpr int RetryPauseMs = 250;

} // namespace

RestartVerifier::RestartVerifier(QObject *parent)
    : QObject(parent)
{
}

RestartVerifier::Answer RestartVerifier::wait(const QString &port, int baudRate, char parity,
                                              int node, int timeoutMs)
{
    m_cancelled = false;
    QElapsedTimer clock;
    clock.start();
    ModbusClient client;
    Answer answer;
    QString lastError;
    while (!m_cancelled) {
        quint16 signature = 0;
        if ((client.isConnected() || client.connect(port, baudRate, parity, 8, 1, node))
            && client.readSignature(signature)) {
            answer.answered = true;
            answer.signature = signature;
            quint16 major = 0;
            quint16 minor = 0;
            if (client.readVersion(major, minor))
                answer.version = QStringLiteral("%1.%2").arg(major).arg(minor);
            break;
        }
        lastError = client.lastError();
        if (clock.elapsed() + RetryPauseMs >= timeoutMs)
            break;
        QEventLoop pause;
        QTimer::singleShot(RetryPauseMs, &pause, &QEventLoop::quit);
        pause.exec();
    }
    answer.waitedMs = int(clock.elapsed());
    if (!answer.answered) {
        answer.error = m_cancelled ? tr("Cancelled.")
                                   : tr("No answer at node %1, %2 baud, parity %3 within %4 s: %5")
                                         .arg(node)
                                         .arg(baudRate)
                                         .arg(QLatin1Char(parity))
                                         .arg(timeoutMs / 1000)
                                         .arg(lastError);
    }
    return answer;
}
