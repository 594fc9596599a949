#include "VirtualSerialPair.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <sys/prctl.h>

VirtualSerialPair::VirtualSerialPair(QObject *parent)
    : QObject(parent)
{
}

VirtualSerialPair::~VirtualSerialPair()
{
    close();
}

bool VirtualSerialPair::open(const QString &directory, int timeoutMs)
{
    close();

    const QString socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
    if (socat.isEmpty()) {
        m_errorString = tr("socat is not installed");
        return false;
    }

    QString dir = directory;
    if (dir.isEmpty()) {
        m_tempDir = std::make_unique<QTemporaryDir>(QDir::tempPath()
                                                    + QStringLiteral("/tavrolix-pty-XXXXXX"));
        if (!m_tempDir->isValid()) {
            m_errorString = m_tempDir->errorString();
            m_tempDir.reset();
            return false;
        }
        dir = m_tempDir->path();
    } else if (!QDir().mkpath(dir)) {
        m_errorString = tr("Cannot create %1").arg(dir);
        return false;
    }
    m_clientPath = QDir(dir).filePath(QStringLiteral("configurator"));
    m_devicePath = QDir(dir).filePath(QStringLiteral("device"));
    QFile::remove(m_clientPath);
    QFile::remove(m_devicePath);

    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->setReadChannel(QProcess::StandardError);
    // socat must not outlive its owner, even when the owner is killed.
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    const QString end = QStringLiteral("pty,raw,echo=0,link=%1");
    m_process->start(socat,
                     {QStringLiteral("-d"), QStringLiteral("-d"), end.arg(m_clientPath),
                      end.arg(m_devicePath)});

    // socat reports on standard error once both ends are made and it relays data.
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray diagnostics;
    while (!diagnostics.contains("starting data transfer loop")) {
        if (m_process->state() == QProcess::NotRunning
            || !m_process->waitForReadyRead(int(deadline.remainingTime()))) {
            m_errorString = tr("socat did not make the pair: %1")
                                .arg(QString::fromLocal8Bit(diagnostics.trimmed()));
            close();
            return false;
        }
        diagnostics += m_process->readAllStandardError();
    }
    if (!QFileInfo::exists(m_clientPath) || !QFileInfo::exists(m_devicePath)) {
        m_errorString = tr("socat made no links in %1").arg(dir);
        close();
        return false;
    }
    // Later diagnostics are not needed; keep the pipe from filling up.
    QObject::connect(m_process, &QProcess::readyReadStandardError, m_process,
                     [this] { m_process->readAllStandardError(); });
    return true;
}

void VirtualSerialPair::close()
{
    if (m_process) {
        m_process->terminate();
        if (!m_process->waitForFinished(3000)) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
        delete m_process;
        m_process = nullptr;
    }
    m_tempDir.reset();
}

bool VirtualSerialPair::isOpen() const
{
    return m_process && m_process->state() == QProcess::Running;
}
