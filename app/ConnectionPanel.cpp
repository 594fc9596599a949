#include "ConnectionPanel.h"

#include "I18n.h"
#include "ModbusClient.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

const QString settingsGroup = QStringLiteral("connection");

constexpr int defaultBaudIndex = 2; // 9600

} // namespace

ConnectionPanel::ConnectionPanel(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);

    auto *firstRow = new QHBoxLayout;
    firstRow->addWidget(new QLabel(str(Str::PortLabel), this));
    m_portCombo = new QComboBox(this);
    m_portCombo->setObjectName(QStringLiteral("portCombo"));
    m_portCombo->setMinimumWidth(150);
    // Engineers type paths the system does not enumerate (pseudo-terminals,
    // /dev/serial/by-id links); a typed path must not become a list item.
    m_portCombo->setEditable(true);
    m_portCombo->setInsertPolicy(QComboBox::NoInsert);
    firstRow->addWidget(m_portCombo);
    auto *refreshButton = new QPushButton(str(Str::Refresh), this);
    refreshButton->setObjectName(QStringLiteral("refreshButton"));
    connect(refreshButton, &QPushButton::clicked, this, &ConnectionPanel::refreshClicked);
    firstRow->addWidget(refreshButton);
    firstRow->addSpacing(15);

    firstRow->addWidget(new QLabel(str(Str::BaudLabel), this));
    m_baudCombo = new QComboBox(this);
    m_baudCombo->setObjectName(QStringLiteral("baudCombo"));
    m_baudCombo->setMinimumWidth(80);
    m_baudCombo->setMaximumWidth(100);
    for (int rate : ModbusClient::baudRates())
        m_baudCombo->addItem(QString::number(rate), rate);
    m_baudCombo->setCurrentIndex(defaultBaudIndex);
    firstRow->addWidget(m_baudCombo);

    firstRow->addWidget(new QLabel(str(Str::ParityLabel), this));
    m_parityCombo = new QComboBox(this);
    m_parityCombo->setObjectName(QStringLiteral("parityCombo"));
    m_parityCombo->setMinimumWidth(60);
    m_parityCombo->setMaximumWidth(80);
    m_parityCombo->addItem(str(Str::ParityNone), int('N'));
    m_parityCombo->addItem(str(Str::ParityEven), int('E'));
    m_parityCombo->addItem(str(Str::ParityOdd), int('O'));
    firstRow->addWidget(m_parityCombo);

    firstRow->addWidget(new QLabel(str(Str::NodeLabel), this));
    m_nodeSpin = new QSpinBox(this);
    m_nodeSpin->setObjectName(QStringLiteral("nodeSpin"));
    m_nodeSpin->setRange(1, 247);
    m_nodeSpin->setValue(1);
    firstRow->addWidget(m_nodeSpin);

    m_connectButton = new QPushButton(str(Str::Connect), this);
    m_connectButton->setObjectName(QStringLiteral("connectButton"));
    m_connectButton->setMinimumWidth(100);
    connect(m_connectButton, &QPushButton::clicked, this, &ConnectionPanel::connectClicked);
    firstRow->addWidget(m_connectButton);

    auto *defaultsButton = new QPushButton(str(Str::Defaults), this);
    defaultsButton->setObjectName(QStringLiteral("defaultsButton"));
    defaultsButton->setToolTip(str(Str::DefaultsHint));
    connect(defaultsButton, &QPushButton::clicked, this, &ConnectionPanel::defaultsClicked);
    firstRow->addWidget(defaultsButton);
    firstRow->addStretch();
    layout->addLayout(firstRow);

    auto *secondRow = new QHBoxLayout;
    secondRow->addWidget(new QLabel(str(Str::StatusLabel), this));
    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));
    secondRow->addWidget(m_statusLabel);
    showStatus(Status::Disconnected);
    secondRow->addSpacing(20);
    m_deviceLabel = new QLabel(this);
    m_deviceLabel->setObjectName(QStringLiteral("deviceLabel"));
    m_deviceLabel->setStyleSheet(QStringLiteral("font-weight: bold; color: #0066cc;"));
    secondRow->addWidget(m_deviceLabel);
    secondRow->addSpacing(20);
    secondRow->addWidget(new QLabel(str(Str::VersionLabel), this));
    m_versionLabel = new QLabel(QStringLiteral("-"), this);
    m_versionLabel->setObjectName(QStringLiteral("versionLabel"));
    secondRow->addWidget(m_versionLabel);
    secondRow->addStretch();
    layout->addLayout(secondRow);
}

ConnectionPanel::PortChoice ConnectionPanel::chosenPort() const
{
    const QString text = m_portCombo->currentText();
    const int selected = m_portCombo->currentIndex();
    if (selected >= 0 && text == m_portCombo->itemText(selected))
        return {m_portCombo->itemData(selected).toString(), text};
    for (int i = 0; i < m_portCombo->count(); ++i) {
        const QString location = m_portCombo->itemData(i).toString();
        if (text == m_portCombo->itemText(i) || text == location)
            return {location, m_portCombo->itemText(i)};
    }
    return {text, text};
}

int ConnectionPanel::baudRate() const
{
    return m_baudCombo->currentData().toInt();
}

char ConnectionPanel::parity() const
{
    return QChar(m_parityCombo->currentData().toInt()).toLatin1();
}

int ConnectionPanel::node() const
{
    return m_nodeSpin->value();
}

void ConnectionPanel::refreshPortList()
{
    const int selected = m_portCombo->currentIndex();
    const QString location =
        selected >= 0 ? m_portCombo->itemData(selected).toString() : QString();
    const QString name = selected >= 0 ? m_portCombo->itemText(selected) : QString();
    const QString typed = m_portCombo->currentText();
    // A path the user typed is not in the system's list; a refresh must not wipe it.
    const bool keepTyped = !typed.isEmpty() && typed != name;

    m_portCombo->clear();
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : ports)
        m_portCombo->addItem(port.portName(), port.systemLocation());

    int index = location.isEmpty() ? -1 : m_portCombo->findData(location);
    if (index < 0 && !name.isEmpty())
        index = m_portCombo->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        m_portCombo->setCurrentIndex(index);
    if (keepTyped)
        m_portCombo->setEditText(typed);
}

void ConnectionPanel::restoreDefaults()
{
    m_baudCombo->setCurrentIndex(defaultBaudIndex);
    m_parityCombo->setCurrentIndex(0);
    m_nodeSpin->setValue(1);
}

void ConnectionPanel::setConnection(const QString &port, int baudRate, char parity, int node)
{
    const int listed = m_portCombo->findData(port);
    if (listed >= 0)
        m_portCombo->setCurrentIndex(listed);
    else
        m_portCombo->setEditText(port);
    const int baud = m_baudCombo->findText(QString::number(baudRate));
    if (baud >= 0)
        m_baudCombo->setCurrentIndex(baud);
    const int parityIndex = m_parityCombo->findData(int(parity));
    if (parityIndex >= 0)
        m_parityCombo->setCurrentIndex(parityIndex);
    m_nodeSpin->setValue(node);
}

void ConnectionPanel::loadSettings()
{
    QSettings settings;
    settings.beginGroup(settingsGroup);

    const QString port = settings.value(QStringLiteral("port")).toString();
    const QString portName = settings.value(QStringLiteral("portName")).toString();
    int index = port.isEmpty() ? -1 : m_portCombo->findData(port);
    if (index < 0 && !portName.isEmpty())
        index = m_portCombo->findText(portName, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        m_portCombo->setCurrentIndex(index);
    else if (QDir::isAbsolutePath(port) && QFileInfo::exists(port))
        m_portCombo->setEditText(port);

    index = m_baudCombo->findData(settings.value(QStringLiteral("baud"), 9600).toInt());
    if (index >= 0)
        m_baudCombo->setCurrentIndex(index);

    const QString parity =
        settings.value(QStringLiteral("parity"), QStringLiteral("N")).toString();
    const QChar parityChar = parity.isEmpty() ? QLatin1Char('N') : parity.at(0);
    index = m_parityCombo->findData(int(parityChar.unicode()));
    if (index >= 0)
        m_parityCombo->setCurrentIndex(index);

    m_nodeSpin->setValue(settings.value(QStringLiteral("node"), 1).toInt());
}

void ConnectionPanel::saveSettings() const
{
    QSettings settings;
    settings.beginGroup(settingsGroup);

    // With the adapter unplugged there is nothing to store; keep the port that
    // was last used so it is selected again once the adapter is back.
    const PortChoice port = chosenPort();
    if (!port.location.isEmpty()) {
        settings.setValue(QStringLiteral("port"), port.location);
        settings.setValue(QStringLiteral("portName"), port.name);
    }
    settings.setValue(QStringLiteral("baud"), m_baudCombo->currentData().toInt());
    settings.setValue(QStringLiteral("parity"),
                      QString(QChar(m_parityCombo->currentData().toInt())));
    settings.setValue(QStringLiteral("node"), m_nodeSpin->value());
}

void ConnectionPanel::showStatus(Status status)
{
    switch (status) {
    case Status::Disconnected:
        m_statusLabel->setText(str(Str::StatusDisconnected));
        m_statusLabel->setStyleSheet(QStringLiteral("color: orange; font-weight: bold;"));
        break;
    case Status::Connecting:
        m_statusLabel->setText(str(Str::StatusConnecting));
        m_statusLabel->setStyleSheet(QStringLiteral("color: blue; font-weight: bold;"));
        break;
    case Status::Connected:
        m_statusLabel->setText(str(Str::StatusConnected));
        m_statusLabel->setStyleSheet(QStringLiteral("color: #00b000; font-weight: bold;"));
        break;
    }
}

void ConnectionPanel::showSession(const QString &version)
{
    m_connectButton->setText(str(Str::Disconnect));
    showStatus(Status::Connected);
    m_versionLabel->setText(version.isEmpty() ? QStringLiteral("-") : version);
}

void ConnectionPanel::showNoSession()
{
    m_connectButton->setText(str(Str::Connect));
    showStatus(Status::Disconnected);
    m_versionLabel->setText(QStringLiteral("-"));
}

void ConnectionPanel::setDeviceName(const QString &name)
{
    m_deviceLabel->setText(name);
}
