#include "BusScanDialog.h"

#include "DevicePlugin.h"
#include "I18n.h"
#include "ModbusClient.h"
#include "PluginManager.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QTableWidget>
#include <QTime>
#include <QVBoxLayout>

namespace {

constexpr char Parities[] = {'N', 'E', 'O'};

enum Column {
    NodeColumn,
    BaudColumn,
    ParityColumn,
    SignatureColumn,
    DeviceColumn,
    VersionColumn,
    ReplyColumn,
    ColumnCount
};

QString parityName(char parity)
{
    if (parity == 'E')
        return str(Str::ParityEven);
    if (parity == 'O')
        return str(Str::ParityOdd);
    return str(Str::ParityNone);
}

QString settingText(const BusScanner::Setting &setting)
{
    return QStringLiteral("%1 %2").arg(setting.baudRate).arg(QChar::fromLatin1(setting.parity));
}

} // namespace

BusScanDialog::BusScanDialog(const QString &port, const BusScanner::Setting &current,
                             QWidget *parent)
    : QDialog(parent)
    , m_current(current)
{
    setWindowTitle(tr("Scan Bus"));
    resize(720, 600);
    auto *layout = new QVBoxLayout(this);

    auto *what = new QGroupBox(tr("What to scan"));
    auto *form = new QFormLayout(what);
    m_portEdit = new QLineEdit(port);
    m_portEdit->setObjectName(QStringLiteral("scanPortEdit"));
    form->addRow(tr("Port:"), m_portEdit);

    auto *nodes = new QHBoxLayout;
    m_firstNode = new QSpinBox;
    m_firstNode->setObjectName(QStringLiteral("firstNodeSpin"));
    m_lastNode = new QSpinBox;
    m_lastNode->setObjectName(QStringLiteral("lastNodeSpin"));
    for (QSpinBox *spin : {m_firstNode, m_lastNode})
        spin->setRange(1, 247);
    m_firstNode->setValue(1);
    m_lastNode->setValue(247);
    nodes->addWidget(m_firstNode);
    nodes->addWidget(new QLabel(tr("to")));
    nodes->addWidget(m_lastNode);
    nodes->addStretch();
    form->addRow(tr("Nodes:"), nodes);

    auto *bauds = new QHBoxLayout;
    for (int baudRate : ModbusClient::baudRates()) {
        auto *check = new QCheckBox(QString::number(baudRate));
        check->setObjectName(QStringLiteral("baud%1Check").arg(baudRate));
        check->setChecked(baudRate == current.baudRate);
        m_baudChecks.append(check);
        bauds->addWidget(check);
    }
    bauds->addStretch();
    form->addRow(tr("Baud rates:"), bauds);

    auto *parities = new QHBoxLayout;
    for (std::size_t i = 0; i < m_parityChecks.size(); ++i) {
        auto *check = new QCheckBox(parityName(Parities[i]));
        check->setObjectName(QStringLiteral("parity%1Check").arg(QChar::fromLatin1(Parities[i])));
        check->setChecked(Parities[i] == current.parity);
        m_parityChecks[i] = check;
        parities->addWidget(check);
    }
    auto *allButton = new QPushButton(tr("All settings"));
    allButton->setObjectName(QStringLiteral("allSettingsButton"));
    connect(allButton, &QPushButton::clicked, this, &BusScanDialog::chooseAllSettings);
    parities->addStretch();
    parities->addWidget(allButton);
    form->addRow(tr("Parities:"), parities);

    m_allowanceSpin = new QSpinBox;
    m_allowanceSpin->setObjectName(QStringLiteral("allowanceSpin"));
    m_allowanceSpin->setRange(BusScanner::MinAllowanceMs, BusScanner::MaxAllowanceMs);
    m_allowanceSpin->setValue(BusScanner::DefaultAllowanceMs);
    m_allowanceSpin->setSuffix(QStringLiteral(" ms"));
    m_allowanceSpin->setToolTip(
        tr("How long a device may take to answer beyond the time its frames need."));
    form->addRow(tr("Reply allowance:"), m_allowanceSpin);
    m_reprobeCheck = new QCheckBox(tr("Ask silent nodes once more at the end, with a longer "
                                      "allowance"));
    form->addRow(QString(), m_reprobeCheck);
    m_firstOnlyCheck = new QCheckBox(tr("Stop at the first device found"));
    m_firstOnlyCheck->setObjectName(QStringLiteral("firstOnlyCheck"));
    form->addRow(QString(), m_firstOnlyCheck);
    layout->addWidget(what);

    auto *run = new QHBoxLayout;
    m_startButton = new QPushButton(tr("Start"));
    m_startButton->setObjectName(QStringLiteral("startScanButton"));
    m_cancelButton = new QPushButton(tr("Cancel"));
    m_cancelButton->setObjectName(QStringLiteral("cancelScanButton"));
    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("scanProgress"));
    m_progress->setValue(0);
    m_timeLeft = new QLabel;
    m_timeLeft->setObjectName(QStringLiteral("timeLeftLabel"));
    run->addWidget(m_startButton);
    run->addWidget(m_cancelButton);
    run->addWidget(m_progress, 1);
    run->addWidget(m_timeLeft);
    layout->addLayout(run);
    connect(m_startButton, &QPushButton::clicked, this, &BusScanDialog::onStart);
    connect(m_cancelButton, &QPushButton::clicked, &m_scanner, &BusScanner::cancel);

    m_table = new QTableWidget(0, ColumnCount);
    m_table->setObjectName(QStringLiteral("resultsTable"));
    m_table->setHorizontalHeaderLabels({tr("Node"), tr("Baud rate"), tr("Parity"), tr("Signature"),
                                        tr("Device"), tr("Version"), tr("Reply time")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(DeviceColumn, QHeaderView::ResizeToContents);
    connect(m_table, &QTableWidget::cellDoubleClicked, this, &BusScanDialog::onConnectToRow);
    layout->addWidget(m_table, 2);

    m_log = new QPlainTextEdit;
    m_log->setObjectName(QStringLiteral("scanLog"));
    m_log->setReadOnly(true);
    m_log->setMaximumBlockCount(1000);
    layout->addWidget(m_log, 1);

    auto *buttons = new QHBoxLayout;
    m_connectButton = new QPushButton(tr("Connect"));
    m_connectButton->setObjectName(QStringLiteral("connectToDeviceButton"));
    m_copyButton = new QPushButton(tr("Copy"));
    m_copyButton->setObjectName(QStringLiteral("copyResultsButton"));
    m_saveButton = new QPushButton(tr("Save as CSV..."));
    m_saveButton->setObjectName(QStringLiteral("saveResultsButton"));
    auto *closeButton = new QPushButton(tr("Close"));
    buttons->addWidget(m_connectButton);
    buttons->addWidget(m_copyButton);
    buttons->addWidget(m_saveButton);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);
    connect(m_connectButton, &QPushButton::clicked, this, &BusScanDialog::onConnectToRow);
    connect(m_copyButton, &QPushButton::clicked, this, &BusScanDialog::onCopy);
    connect(m_saveButton, &QPushButton::clicked, this, &BusScanDialog::onSave);
    connect(closeButton, &QPushButton::clicked, this, &BusScanDialog::reject);
    // Enter in a field must not start or end anything by itself.
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(false);

    connect(&m_scanner, &BusScanner::deviceFound, this, &BusScanDialog::addDevice);
    connect(&m_scanner, &BusScanner::progress, this, &BusScanDialog::showProgress);
    connect(
        &m_scanner, &BusScanner::settingFinished, this,
        [this](const BusScanner::Setting &setting, int noise) {
            if (noise > 0) {
                log(tr("Noise at %1: %n probe(s) got bytes that were no reply.", nullptr, noise)
                        .arg(settingText(setting)));
            }
        });
    setRunning(false);
}

QString BusScanDialog::port() const
{
    return m_portEdit->text().trimmed();
}

QList<BusScanner::Setting> BusScanDialog::chosenSettings() const
{
    QList<BusScanner::Setting> chosen;
    for (const QCheckBox *baud : m_baudChecks) {
        if (!baud->isChecked())
            continue;
        for (std::size_t i = 0; i < m_parityChecks.size(); ++i) {
            if (m_parityChecks[i]->isChecked())
                chosen.append({baud->text().toInt(), Parities[i]});
        }
    }
    return BusScanner::order(chosen, m_current);
}

void BusScanDialog::chooseAllSettings()
{
    for (QCheckBox *check : std::as_const(m_baudChecks))
        check->setChecked(true);
    for (QCheckBox *check : m_parityChecks)
        check->setChecked(true);
}

void BusScanDialog::onStart()
{
    if (m_scanner.isRunning())
        return;
    const QList<BusScanner::Setting> settings = chosenSettings();
    if (port().isEmpty() || settings.isEmpty() || m_firstNode->value() > m_lastNode->value()) {
        QMessageBox::warning(this, windowTitle(),
                             tr("Choose a port, at least one baud rate and parity, and a first "
                                "node no higher than the last."));
        return;
    }
    QList<int> nodes;
    for (int node = m_firstNode->value(); node <= m_lastNode->value(); ++node)
        nodes.append(node);

    m_table->setRowCount(0);
    m_devices.clear();
    m_log->clear();
    m_scanner.setPort(port());
    m_scanner.setNodes(nodes);
    m_scanner.setSettings(settings);
    m_scanner.setAllowanceMs(m_allowanceSpin->value());
    m_scanner.setReprobeSilent(m_reprobeCheck->isChecked());
    m_scanner.setStopAtFirst(m_firstOnlyCheck->isChecked());
    log(tr("Scanning nodes %1 to %2 at %n line setting(s)...", nullptr, int(settings.size()))
            .arg(m_firstNode->value())
            .arg(m_lastNode->value()));

    setRunning(true);
    const QPointer<BusScanDialog> self(this);
    const BusScanner::Result result = m_scanner.run();
    if (!self)
        return;
    setRunning(false);
    switch (result) {
    case BusScanner::Result::Finished:
        log(tr("Scan finished: %n device(s) found.", nullptr, int(m_devices.size())));
        break;
    case BusScanner::Result::Cancelled:
        log(tr("Scan cancelled: %n device(s) found so far.", nullptr, int(m_devices.size())));
        break;
    case BusScanner::Result::PortFailed:
        log(m_scanner.errorString());
        if (!m_closeWhenDone)
            QMessageBox::critical(this, windowTitle(), m_scanner.errorString());
        break;
    }
    m_timeLeft->clear();
    if (m_closeWhenDone)
        QDialog::reject();
}

void BusScanDialog::reject()
{
    // A close during a scan cancels it; the dialog goes once the scan has ended.
    if (m_scanner.isRunning()) {
        m_closeWhenDone = true;
        m_scanner.cancel();
        return;
    }
    QDialog::reject();
}

void BusScanDialog::addDevice(const BusScanner::Device &device)
{
    QString name;
    if (device.refused) {
        name = tr("answers with an exception");
    } else if (const DevicePlugin *plugin =
                   PluginManager::instance()->pluginForSignature(device.signature)) {
        name = plugin->deviceName();
    } else {
        name = tr("unknown");
    }
    const QStringList texts{
        QString::number(device.node),
        QString::number(device.setting.baudRate),
        parityName(device.setting.parity),
        device.refused ? QStringLiteral("-") : QString::number(device.signature),
        name,
        device.versionMajor < 0
            ? QStringLiteral("-")
            : QStringLiteral("%1.%2").arg(device.versionMajor).arg(device.versionMinor),
        tr("%1 ms").arg(device.replyMs)};
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    for (int column = 0; column < ColumnCount; ++column)
        m_table->setItem(row, column, new QTableWidgetItem(texts.at(column)));
    m_devices.append(device);
    log(tr("Found node %1 at %2: %3.").arg(device.node).arg(settingText(device.setting), name));
    m_copyButton->setEnabled(true);
    m_saveButton->setEnabled(true);
    m_connectButton->setEnabled(!m_scanner.isRunning());
}

void BusScanDialog::showProgress(int done, int total, int msLeft)
{
    m_progress->setMaximum(total);
    m_progress->setValue(done);
    const QTime left = QTime(0, 0).addMSecs(msLeft);
    m_timeLeft->setText(msLeft >= 60000 ? tr("about %1 min left").arg(left.toString("m:ss"))
                                        : tr("about %1 s left").arg(left.second()));
}

void BusScanDialog::log(const QString &line)
{
    m_log->appendPlainText(line);
}

void BusScanDialog::setRunning(bool running)
{
    for (QWidget *input : findChildren<QWidget *>()) {
        if (qobject_cast<QCheckBox *>(input) || qobject_cast<QSpinBox *>(input)
            || qobject_cast<QLineEdit *>(input)) {
            input->setEnabled(!running);
        }
    }
    findChild<QPushButton *>(QStringLiteral("allSettingsButton"))->setEnabled(!running);
    m_startButton->setEnabled(!running);
    m_cancelButton->setEnabled(running);
    const bool found = !m_devices.isEmpty();
    m_connectButton->setEnabled(!running && found);
    m_copyButton->setEnabled(found);
    m_saveButton->setEnabled(found);
}

void BusScanDialog::onConnectToRow()
{
    const int row = m_table->currentRow();
    if (m_scanner.isRunning() || row < 0 || row >= m_devices.size())
        return;
    m_chosen = m_devices.at(row);
    accept();
}

QStringList BusScanDialog::rowTexts(int row) const
{
    const BusScanner::Device &device = m_devices.at(row);
    return {QString::number(device.node),
            QString::number(device.setting.baudRate),
            QString(QChar::fromLatin1(device.setting.parity)),
            device.refused ? QString() : QString::number(device.signature),
            m_table->item(row, DeviceColumn)->text(),
            device.versionMajor < 0
                ? QString()
                : QStringLiteral("%1.%2").arg(device.versionMajor).arg(device.versionMinor),
            QString::number(device.replyMs)};
}

QString BusScanDialog::csv() const
{
    QString text = QStringLiteral("node,baud,parity,signature,device,version,reply_ms\n");
    for (int row = 0; row < m_devices.size(); ++row) {
        QStringList fields = rowTexts(row);
        for (QString &field : fields) {
            if (field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')))
                field = QLatin1Char('"')
                    + field.replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
        }
        text += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return text;
}

void BusScanDialog::onCopy()
{
    QApplication::clipboard()->setText(csv());
}

void BusScanDialog::onSave()
{
    const QString fileName = QFileDialog::getSaveFileName(
        this, tr("Save Devices Found"), QStringLiteral("bus-scan.csv"), tr("CSV files (*.csv)"));
    if (fileName.isEmpty())
        return;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text) || file.write(csv().toUtf8()) < 0
        || !file.commit()) {
        QMessageBox::critical(
            this, windowTitle(),
            tr("The file %1 could not be written: %2").arg(fileName, file.errorString()));
    }
}
