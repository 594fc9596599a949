#include "CloneDialog.h"

#include "DevicePlugin.h"
#include "ModbusClient.h"
#include "NodeList.h"
#include "PluginManager.h"

#include <QCheckBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

CloneDialog::CloneDialog(const ConfigurationFile &file, const QString &path, const QString &port,
                         const BusScanner::Setting &setting, QWidget *parent)
    : QDialog(parent)
    , m_file(file)
    , m_port(port)
    , m_setting(setting)
    , m_client(new ModbusClient(this))
{
    setWindowTitle(tr("Clone Configuration"));
    resize(600, 520);
    auto *layout = new QVBoxLayout(this);

    auto *form = new QFormLayout;
    form->addRow(tr("File:"), new QLabel(QDir::toNativeSeparators(path), this));
    form->addRow(tr("Device type:"), new QLabel(file.deviceName, this));
    form->addRow(tr("Line:"),
                 new QLabel(tr("%1, %2 baud, parity %3")
                                .arg(port)
                                .arg(setting.baudRate)
                                .arg(QLatin1Char(setting.parity)),
                            this));
    auto *nodesRow = new QHBoxLayout;
    m_nodesEdit = new QLineEdit(this);
    m_nodesEdit->setObjectName(QStringLiteral("nodesEdit"));
    m_nodesEdit->setPlaceholderText(tr("for example 2-9, 12"));
    nodesRow->addWidget(m_nodesEdit, 1);
    m_findButton = new QPushButton(tr("Find Devices of This Type"), this);
    m_findButton->setObjectName(QStringLiteral("findButton"));
    nodesRow->addWidget(m_findButton);
    form->addRow(tr("Nodes:"), nodesRow);
    layout->addLayout(form);

    m_saveCheck = new QCheckBox(tr("Save to flash on each device"), this);
    m_saveCheck->setChecked(true);
    layout->addWidget(m_saveCheck);

    m_progress = new QProgressBar(this);
    m_progress->setValue(0);
    layout->addWidget(m_progress);
    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));
    layout->addWidget(m_statusLabel);

    m_table = new QTableWidget(0, 3, this);
    m_table->setObjectName(QStringLiteral("resultTable"));
    m_table->setHorizontalHeaderLabels({tr("Node"), tr("Result"), tr("Details")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->setVisible(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    m_startButton = new QPushButton(tr("Start"), this);
    m_startButton->setObjectName(QStringLiteral("startButton"));
    m_closeButton = new QPushButton(tr("Close"), this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    buttons->addWidget(m_startButton);
    buttons->addWidget(m_closeButton);
    layout->addLayout(buttons);

    connect(m_findButton, &QPushButton::clicked, this, &CloneDialog::findDevices);
    connect(m_startButton, &QPushButton::clicked, this, &CloneDialog::start);
    connect(m_closeButton, &QPushButton::clicked, this, &CloneDialog::reject);
}

CloneDialog::~CloneDialog() = default;

bool CloneDialog::start()
{
    QString error;
    const QList<int> nodes = NodeList::parse(m_nodesEdit->text(), &error);
    const DevicePlugin *plugin = PluginManager::instance()->pluginForSignature(m_file.signature);
    const DeviceConfiguration *configuration =
        PluginManager::instance()->configurationForSignature(m_file.signature);
    if (nodes.isEmpty() || !plugin || !configuration) {
        QMessageBox::warning(
            this, windowTitle(),
            nodes.isEmpty() ? error
                            : tr("No plug-in serves devices of type %1.").arg(m_file.signature));
        return false;
    }
    if (!openClient())
        return false;

    m_table->setRowCount(0);
    m_progress->setRange(0, int(nodes.size()));
    m_progress->setValue(0);
    setRunning(true);
    ConfigurationCloner cloner(m_client, plugin, configuration);
    m_cloner = &cloner;
    connect(&cloner, &ConfigurationCloner::nodeStarted, this, [this](int node, int index, int) {
        m_progress->setValue(index);
        m_statusLabel->setText(tr("Restoring node %1...").arg(node));
    });
    connect(&cloner, &ConfigurationCloner::nodeFinished, this, &CloneDialog::showResult);
    m_results = cloner.run(m_file, nodes, {false, m_saveCheck->isChecked()});
    m_client->disconnect();

    int done = 0;
    for (const ConfigurationCloner::NodeResult &result : std::as_const(m_results)) {
        if (result.outcome == ConfigurationCloner::Outcome::Done)
            ++done;
        else if (result.outcome == ConfigurationCloner::Outcome::Cancelled)
            showResult(result);
    }
    m_progress->setValue(int(nodes.size()));
    const QString summary = tr("Clone of %1: %2 of %3 devices done.")
                                .arg(m_file.deviceName)
                                .arg(done)
                                .arg(nodes.size());
    m_statusLabel->setText(summary);
    emit logLine(summary);
    setRunning(false);
    return true;
}

void CloneDialog::reject()
{
    // Cancel first; the dialog closes once the device being restored is done.
    if (m_cloner) {
        m_cloner->cancel();
        m_statusLabel->setText(tr("Cancelling after the device being restored..."));
        return;
    }
    if (m_scanner) {
        m_scanner->cancel();
        return;
    }
    QDialog::reject();
}

void CloneDialog::findDevices()
{
    BusScanner scanner;
    m_scanner = &scanner;
    scanner.setPort(m_port);
    scanner.setSettings({m_setting});
    QList<int> all;
    for (int node = NodeList::FirstNode; node <= NodeList::LastNode; ++node)
        all.append(node);
    scanner.setNodes(all);
    QList<int> found;
    connect(&scanner, &BusScanner::progress, this, [this](int done, int total, int) {
        m_progress->setRange(0, total);
        m_progress->setValue(done);
    });
    connect(&scanner, &BusScanner::deviceFound, this, [&](const BusScanner::Device &device) {
        if (!device.refused && device.signature == m_file.signature)
            found.append(device.node);
        m_statusLabel->setText(tr("Found so far: %1").arg(NodeList::format(found)));
    });
    setRunning(true);
    m_findButton->setEnabled(false);
    const BusScanner::Result result = scanner.run();
    setRunning(false);
    if (result == BusScanner::Result::PortFailed) {
        m_statusLabel->setText(scanner.errorString());
        return;
    }
    m_nodesEdit->setText(NodeList::format(found));
    m_statusLabel->setText(found.isEmpty()
                               ? tr("No %1 answers on this line.").arg(m_file.deviceName)
                               : tr("Devices of this type found: %1.").arg(found.size()));
}

void CloneDialog::showResult(const ConfigurationCloner::NodeResult &result)
{
    static const QMap<ConfigurationCloner::Outcome, const char *> texts = {
        {ConfigurationCloner::Outcome::Done, QT_TR_NOOP("Done")},
        {ConfigurationCloner::Outcome::Skipped, QT_TR_NOOP("Skipped")},
        {ConfigurationCloner::Outcome::Failed, QT_TR_NOOP("Failed")},
        {ConfigurationCloner::Outcome::Cancelled, QT_TR_NOOP("Cancelled")},
    };
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    m_table->setItem(row, 0, new QTableWidgetItem(QString::number(result.node)));
    auto *outcome = new QTableWidgetItem(tr(texts.value(result.outcome)));
    if (result.outcome == ConfigurationCloner::Outcome::Done)
        outcome->setForeground(Qt::darkGreen);
    else if (result.outcome == ConfigurationCloner::Outcome::Failed)
        outcome->setForeground(Qt::red);
    m_table->setItem(row, 1, outcome);
    m_table->setItem(row, 2, new QTableWidgetItem(result.detail));
    if (result.outcome != ConfigurationCloner::Outcome::Cancelled) {
        emit logLine(result.detail.isEmpty()
                         ? tr("Clone to node %1: %2").arg(result.node).arg(outcome->text())
                         : tr("Clone to node %1: %2 (%3)")
                               .arg(result.node)
                               .arg(outcome->text(), result.detail));
    }
}

void CloneDialog::setRunning(bool running)
{
    m_startButton->setEnabled(!running);
    m_findButton->setEnabled(!running);
    m_nodesEdit->setEnabled(!running);
    m_closeButton->setText(running ? tr("Cancel") : tr("Close"));
}

bool CloneDialog::openClient()
{
    if (m_client->connect(m_port, m_setting.baudRate, m_setting.parity, 8, 1, 1))
        return true;
    QMessageBox::critical(this, windowTitle(), m_client->lastError());
    return false;
}
