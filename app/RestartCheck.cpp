#include "RestartCheck.h"

#include "DevicePlugin.h"
#include "FirmwareWidget.h"
#include "PluginManager.h"
#include "RestartVerifier.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

RestartCheck::RestartCheck(FirmwareWidget *firmware, int baudRate, char parity, int node,
                           QWidget *parent)
    : QWidget(parent)
    , m_firmware(firmware)
    , m_baudRate(baudRate)
    , m_parity(parity)
    , m_node(node)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_check = new QCheckBox(tr("Verify after restart (node %1, %2 baud, parity %3)")
                                .arg(node)
                                .arg(baudRate)
                                .arg(QLatin1Char(parity)),
                            this);
    m_check->setObjectName(QStringLiteral("verifyAfterRestartCheck"));
    m_check->setToolTip(tr("After a successful upload, wait up to %1 s for the application to "
                           "answer at the main window's connection settings.")
                            .arg(RestartVerifier::DefaultTimeoutMs / 1000));
    layout->addWidget(m_check);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("restartStatusLabel"));
    m_status->setWordWrap(true);
    layout->addWidget(m_status);

    // The result arrives while the upload still holds the port; the check starts once
    // the upload has let it go.
    if (auto *uploader = firmware->findChild<FirmwareUploader *>()) {
        connect(uploader, &FirmwareUploader::finished, this,
                [this](FirmwareUploader::Result result) { m_lastResult = result; });
    }
    connect(firmware, &FirmwareWidget::uploadEnded, this, [this] {
        if (m_check->isChecked() && m_lastResult == FirmwareUploader::Result::Success)
            verify();
    });
}

void RestartCheck::verify()
{
    const QPointer<RestartCheck> self(this);
    report(tr("Waiting for the application at node %1, %2 baud, parity %3...")
               .arg(m_node)
               .arg(m_baudRate)
               .arg(QLatin1Char(m_parity)),
           "black");
    RestartVerifier verifier;
    const RestartVerifier::Answer answer = verifier.wait(
        m_firmware ? m_firmware->portName() : QString(), m_baudRate, m_parity, m_node);
    if (!self)
        return;
    if (!answer.answered) {
        report(tr("The application did not answer: %1").arg(answer.error), "red");
        return;
    }
    const DevicePlugin *plugin = PluginManager::instance()->pluginForSignature(answer.signature);
    report(tr("The application answers after %1 s: %2 (signature %3), firmware %4.")
               .arg(answer.waitedMs / 1000.0, 0, 'f', 1)
               .arg(plugin ? plugin->deviceName() : tr("unknown device"))
               .arg(answer.signature)
               .arg(answer.version.isEmpty() ? QStringLiteral("-") : answer.version),
           "green");
}

void RestartCheck::report(const QString &line, const char *colour)
{
    m_status->setStyleSheet(QStringLiteral("color: %1;").arg(QLatin1String(colour)));
    m_status->setText(line);
    emit logLine(line);
}
