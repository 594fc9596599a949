#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QProcess;
class QTemporaryDir;

// A virtual null-modem cable: two pseudo-terminals joined by socat. What is
// written to one end is read at the other, as over a real RS-485 adapter pair.
class VirtualSerialPair : public QObject
{
    Q_OBJECT

public:
    explicit VirtualSerialPair(QObject *parent = nullptr);
    ~VirtualSerialPair() override;

    // Makes the pair with its two links in `directory` (a fresh temporary folder
    // when empty). Blocks until socat has both ends ready or timeoutMs has passed.
    bool open(const QString &directory = QString(), int timeoutMs = 5000);
    // Ends socat: both ports go away, as when a cable or adapter is pulled.
    void close();
    bool isOpen() const;

    QString clientPath() const { return m_clientPath; } // the configurator's end
    QString devicePath() const { return m_devicePath; } // the simulated device's end
    QString errorString() const { return m_errorString; }

private:
    QProcess *m_process = nullptr;
    std::unique_ptr<QTemporaryDir> m_tempDir;
    QString m_clientPath;
    QString m_devicePath;
    QString m_errorString;
};
