#include "MainWindow.h"

#include "DevicePlugin.h"
#include "FirmwareWidget.h"
#include "I18n.h"
#include "ModbusClient.h"
#include "PluginManager.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSerialPortInfo>
#include <QSettings>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTextCursor>
#include <QTextEdit>
#include <QTime>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <utility>

namespace {

QString str(Str id)
{
    return I18n::instance()->tr(id);
}

const QString iconPath = QStringLiteral(":/icons/favicon.png");
const QString settingsGroup = QStringLiteral("connection");
const QString qtLicensingUrl = QStringLiteral("https://www.qt.io/licensing/");

const QString disconnectedStyle = QStringLiteral("color: orange; font-weight: bold;");
const QString connectingStyle = QStringLiteral("color: blue; font-weight: bold;");
const QString connectedStyle = QStringLiteral("color: #00b000; font-weight: bold;");

constexpr int defaultBaudIndex = 2; // 9600
constexpr quint16 saveCommand = 0x0300;

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , m_client(new ModbusClient(this))
{
    // The icon is compiled into this static library; naming its initialiser keeps
    // the linker from dropping it from programs that link the library.
    Q_INIT_RESOURCE(resources);

    setWindowTitle(str(Str::AppTitle));
    setWindowIcon(QIcon(iconPath));
    setMinimumSize(900, 700);
    resize(950, 750);

    createMenus();
    createCentralWidget();

    refreshPortList();
    loadSettings();

    appendLog(str(Str::AppTitleVersion).arg(QCoreApplication::applicationVersion()));
    logPlugins();
    appendLog(str(Str::SelectPortHint));

    connect(m_client, &ModbusClient::waitsFinished, this, [this] {
        if (!m_retiredPages.isEmpty()) {
            // The caller that just got its answer is still on its way out of the
            // page's code; look again once control is back in the event loop.
            QTimer::singleShot(0, this, &MainWindow::destroyRetiredPages);
        }
    });
}

MainWindow::~MainWindow()
{
    saveSettings();
    delete m_client;
    m_client = nullptr;
}

void MainWindow::logPlugins()
{
    const QList<DevicePlugin *> plugins = PluginManager::instance()->allPlugins();
    if (plugins.isEmpty()) {
        appendLog(str(Str::NoPluginsFound));
        return;
    }
    for (const DevicePlugin *plugin : plugins)
        appendLog(str(Str::PluginLoaded).arg(plugin->deviceName()));
}

void MainWindow::createMenus()
{
    QMenu *fileMenu = menuBar()->addMenu(str(Str::MenuFile));
    QAction *exitAction = fileMenu->addAction(str(Str::MenuExit));
    exitAction->setObjectName(QStringLiteral("exitAction"));
    connect(exitAction, &QAction::triggered, this, &QWidget::close);

    QMenu *toolsMenu = menuBar()->addMenu(str(Str::MenuTools));
    QAction *firmwareAction = toolsMenu->addAction(str(Str::MenuFirmwareUpdate));
    firmwareAction->setObjectName(QStringLiteral("firmwareUpdateAction"));
    connect(firmwareAction, &QAction::triggered, this, &MainWindow::onFirmwareUpdate);

    QMenu *helpMenu = menuBar()->addMenu(str(Str::MenuHelp));
    QAction *aboutAction = helpMenu->addAction(str(Str::MenuAbout));
    aboutAction->setObjectName(QStringLiteral("aboutAction"));
    connect(aboutAction, &QAction::triggered, this, &MainWindow::onAbout);
    QAction *aboutQtAction = helpMenu->addAction(str(Str::MenuAboutQt));
    aboutQtAction->setObjectName(QStringLiteral("aboutQtAction"));
    connect(aboutQtAction, &QAction::triggered, this, [this] { QMessageBox::aboutQt(this); });
}

void MainWindow::createCentralWidget()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);

    layout->addWidget(createConnectionPanel(), 0);

    m_pageStack = new QStackedWidget(central);
    m_pageStack->setObjectName(QStringLiteral("pageStack"));
    m_placeholderPage = new QWidget(m_pageStack);
    m_placeholderPage->setObjectName(QStringLiteral("placeholderPage"));
    auto *placeholderLayout = new QVBoxLayout(m_placeholderPage);
    auto *hint = new QLabel(str(Str::ConnectHint), m_placeholderPage);
    hint->setAlignment(Qt::AlignCenter);
    hint->setStyleSheet(QStringLiteral("color: gray; font-size: 16px;"));
    placeholderLayout->addWidget(hint);
    m_pageStack->addWidget(m_placeholderPage);
    layout->addWidget(m_pageStack, 1);

    layout->addWidget(createBottomPanel(), 0);
    setCentralWidget(central);
}

QWidget *MainWindow::createConnectionPanel()
{
    auto *panel = new QWidget(this);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(5, 5, 5, 5);

    auto *firstRow = new QHBoxLayout;
    firstRow->addWidget(new QLabel(str(Str::PortLabel), panel));
    m_portCombo = new QComboBox(panel);
    m_portCombo->setObjectName(QStringLiteral("portCombo"));
    m_portCombo->setMinimumWidth(150);
    // Engineers type paths the system does not enumerate (pseudo-terminals,
    // /dev/serial/by-id links); a typed path must not become a list item.
    m_portCombo->setEditable(true);
    m_portCombo->setInsertPolicy(QComboBox::NoInsert);
    firstRow->addWidget(m_portCombo);
    auto *refreshButton = new QPushButton(str(Str::Refresh), panel);
    refreshButton->setObjectName(QStringLiteral("refreshButton"));
    connect(refreshButton, &QPushButton::clicked, this, &MainWindow::onRefreshPorts);
    firstRow->addWidget(refreshButton);
    firstRow->addSpacing(15);

    firstRow->addWidget(new QLabel(str(Str::BaudLabel), panel));
    m_baudCombo = new QComboBox(panel);
    m_baudCombo->setObjectName(QStringLiteral("baudCombo"));
    m_baudCombo->setMinimumWidth(80);
    m_baudCombo->setMaximumWidth(100);
    for (int rate : ModbusClient::baudRates())
        m_baudCombo->addItem(QString::number(rate), rate);
    m_baudCombo->setCurrentIndex(defaultBaudIndex);
    firstRow->addWidget(m_baudCombo);

    firstRow->addWidget(new QLabel(str(Str::ParityLabel), panel));
    m_parityCombo = new QComboBox(panel);
    m_parityCombo->setObjectName(QStringLiteral("parityCombo"));
    m_parityCombo->setMinimumWidth(60);
    m_parityCombo->setMaximumWidth(80);
    m_parityCombo->addItem(str(Str::ParityNone), int('N'));
    m_parityCombo->addItem(str(Str::ParityEven), int('E'));
    m_parityCombo->addItem(str(Str::ParityOdd), int('O'));
    firstRow->addWidget(m_parityCombo);

    firstRow->addWidget(new QLabel(str(Str::NodeLabel), panel));
    m_nodeSpin = new QSpinBox(panel);
    m_nodeSpin->setObjectName(QStringLiteral("nodeSpin"));
    m_nodeSpin->setRange(1, 247);
    m_nodeSpin->setValue(1);
    firstRow->addWidget(m_nodeSpin);

    m_connectButton = new QPushButton(str(Str::Connect), panel);
    m_connectButton->setObjectName(QStringLiteral("connectButton"));
    m_connectButton->setMinimumWidth(100);
    connect(m_connectButton, &QPushButton::clicked, this, &MainWindow::onConnect);
    firstRow->addWidget(m_connectButton);

    auto *defaultsButton = new QPushButton(str(Str::Defaults), panel);
    defaultsButton->setObjectName(QStringLiteral("defaultsButton"));
    defaultsButton->setToolTip(str(Str::DefaultsHint));
    connect(defaultsButton, &QPushButton::clicked, this, &MainWindow::onDefaults);
    firstRow->addWidget(defaultsButton);
    firstRow->addStretch();
    layout->addLayout(firstRow);

    auto *secondRow = new QHBoxLayout;
    secondRow->addWidget(new QLabel(str(Str::StatusLabel), panel));
    m_statusLabel = new QLabel(panel);
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));
    secondRow->addWidget(m_statusLabel);
    setStatus(str(Str::StatusDisconnected), disconnectedStyle);
    secondRow->addSpacing(20);
    m_deviceLabel = new QLabel(panel);
    m_deviceLabel->setObjectName(QStringLiteral("deviceLabel"));
    m_deviceLabel->setStyleSheet(QStringLiteral("font-weight: bold; color: #0066cc;"));
    secondRow->addWidget(m_deviceLabel);
    secondRow->addSpacing(20);
    secondRow->addWidget(new QLabel(str(Str::VersionLabel), panel));
    m_versionLabel = new QLabel(QStringLiteral("-"), panel);
    m_versionLabel->setObjectName(QStringLiteral("versionLabel"));
    secondRow->addWidget(m_versionLabel);
    secondRow->addStretch();
    layout->addLayout(secondRow);

    return panel;
}

QWidget *MainWindow::createBottomPanel()
{
    auto *panel = new QWidget(this);
    auto *layout = new QHBoxLayout(panel);

    m_log = new QTextEdit(panel);
    m_log->setObjectName(QStringLiteral("log"));
    m_log->setReadOnly(true);
    m_log->setMaximumHeight(100);
    m_log->setFont(QFont(QStringLiteral("Monospace"), 9));
    layout->addWidget(m_log, 1);

    auto *buttons = new QVBoxLayout;
    auto *saveButton = new QPushButton(str(Str::SaveToFlash), panel);
    saveButton->setObjectName(QStringLiteral("saveToFlashButton"));
    saveButton->setMinimumSize(130, 40);
    saveButton->setStyleSheet(QStringLiteral("background-color: orange; font-weight: bold;"));
    connect(saveButton, &QPushButton::clicked, this, &MainWindow::onSaveToFlash);
    buttons->addWidget(saveButton);
    auto *readButton = new QPushButton(str(Str::ReadAll), panel);
    readButton->setObjectName(QStringLiteral("readAllButton"));
    readButton->setMinimumSize(130, 40);
    connect(readButton, &QPushButton::clicked, this, &MainWindow::onReadAll);
    buttons->addWidget(readButton);
    buttons->addStretch();
    layout->addLayout(buttons);

    return panel;
}

void MainWindow::refreshPortList()
{
    const int selected = m_portCombo->currentIndex();
    const QString location = selected >= 0 ? m_portCombo->itemData(selected).toString()
                                           : QString();
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

MainWindow::PortChoice MainWindow::chosenPort() const
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

void MainWindow::loadSettings()
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

void MainWindow::saveSettings()
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

void MainWindow::onRefreshPorts()
{
    refreshPortList();
    appendLog(str(Str::PortsRefreshed));
}

void MainWindow::onConnect()
{
    if (m_client->isConnected()) {
        endConnection();
        return;
    }

    const PortChoice port = chosenPort();
    if (port.location.isEmpty()) {
        QMessageBox::warning(this, str(Str::TitleWarning), str(Str::SelectPortPrompt));
        return;
    }
    const int baud = m_baudCombo->currentData().toInt();
    const char parity = QChar(m_parityCombo->currentData().toInt()).toLatin1();
    const int node = m_nodeSpin->value();

    ++m_connectionId;
    appendLog(str(Str::ConnectingTo)
                  .arg(port.location, QString::number(baud), QString(QChar::fromLatin1(parity))));
    setStatus(str(Str::StatusConnecting), connectingStyle);
    QCoreApplication::processEvents();

    if (!m_client->connect(port.location, baud, parity, 8, 1, node)) {
        // The log line brings its own "Connection failed" in the user's language.
        appendLog(str(Str::ConnectionFailed).arg(m_client->lastErrorReason()));
        setStatus(str(Str::StatusDisconnected), disconnectedStyle);
        QMessageBox::critical(this, str(Str::TitleError), m_client->lastError());
        return;
    }
    identifyDevice();
}

bool MainWindow::stillConnected(quint64 connectionId) const
{
    return connectionId == m_connectionId && m_client->isConnected();
}

void MainWindow::identifyDevice()
{
    // Each request below lets the user click on; a click on the connection button
    // closes the port, and then this attempt simply stops.
    const quint64 connectionId = m_connectionId;

    quint16 signature = 0;
    const bool signatureRead = m_client->readSignature(signature);
    if (!stillConnected(connectionId))
        return;
    if (!signatureRead) {
        appendLog(str(Str::SignatureReadFailed));
        m_client->disconnect();
        setStatus(str(Str::StatusDisconnected), disconnectedStyle);
        QMessageBox::critical(this, str(Str::TitleError), str(Str::DeviceSignatureReadFailed));
        return;
    }

    DevicePlugin *plugin = PluginManager::instance()->pluginForSignature(signature);
    if (!plugin) {
        appendLog(str(Str::UnknownDeviceSignature).arg(signature));
        m_client->disconnect();
        setStatus(str(Str::StatusDisconnected), disconnectedStyle);
        QMessageBox::warning(this, str(Str::TitleWarning),
                             str(Str::UnknownDeviceNoPlugin)
                                 + QStringLiteral("\n\nSignature: %1").arg(signature));
        return;
    }

    quint16 major = 0;
    quint16 minor = 0;
    const bool versionRead = m_client->readVersion(major, minor);
    if (!stillConnected(connectionId))
        return;

    m_connectButton->setText(str(Str::Disconnect));
    setStatus(str(Str::StatusConnected), connectedStyle);
    // A version that could not be read is not shown as if it had been.
    m_versionLabel->setText(versionRead ? QStringLiteral("%1.%2").arg(major).arg(minor)
                                        : QStringLiteral("-"));
    appendLog(str(Str::ConnectedTo).arg(plugin->deviceName()));
    saveSettings();
    setActivePlugin(plugin);
    plugin->readFromDevice();
}

void MainWindow::endConnection()
{
    ++m_connectionId;
    m_client->disconnect();
    m_connectButton->setText(str(Str::Connect));
    setStatus(str(Str::StatusDisconnected), disconnectedStyle);
    m_versionLabel->setText(QStringLiteral("-"));
    setActivePlugin(nullptr);
    appendLog(str(Str::Disconnected));
}

void MainWindow::setActivePlugin(DevicePlugin *plugin)
{
    if (plugin == m_currentPlugin)
        return;

    if (m_currentPlugin) {
        QWidget *page = m_pageStack->widget(1);
        if (page && page != m_placeholderPage)
            retirePage(page);
    }
    m_currentPlugin = plugin;

    if (!plugin) {
        m_pageStack->setCurrentWidget(m_placeholderPage);
        m_deviceLabel->clear();
        return;
    }
    QWidget *page = plugin->createWidget(m_client, this);
    m_pageStack->addWidget(page);
    m_pageStack->setCurrentWidget(page);
    m_deviceLabel->setText(plugin->deviceName());
}

void MainWindow::retirePage(QWidget *page)
{
    m_pageStack->removeWidget(page);
    // The page may be waiting inside one of its own requests: it leaves the window
    // and its live updates stop now, but it is destroyed only once that code is done.
    page->hide();
    page->setEnabled(false);
    const QList<QTimer *> timers = page->findChildren<QTimer *>();
    for (QTimer *timer : timers)
        timer->stop();
    m_retiredPages.append(page);
    destroyRetiredPages();
}

void MainWindow::destroyRetiredPages()
{
    if (m_client->pendingWaits() > 0)
        return; // waitsFinished brings us back
    const QList<QPointer<QWidget>> pages = std::exchange(m_retiredPages, {});
    for (const QPointer<QWidget> &page : pages)
        delete page.data();
}

void MainWindow::onDefaults()
{
    m_baudCombo->setCurrentIndex(defaultBaudIndex);
    m_parityCombo->setCurrentIndex(0);
    m_nodeSpin->setValue(1);
    appendLog(str(Str::DefaultsRestored));
}

DevicePlugin *MainWindow::commandPlugin()
{
    if (!m_client->isConnected()) {
        QMessageBox::warning(this, str(Str::TitleWarning), str(Str::NotConnected));
        return nullptr;
    }
    return m_currentPlugin;
}

void MainWindow::onSaveToFlash()
{
    // The plug-in and connection this save started with; the user may disconnect or
    // connect elsewhere while the editor's requests wait.
    DevicePlugin *plugin = commandPlugin();
    if (!plugin)
        return;
    const quint64 connectionId = m_connectionId;

    if (QMessageBox::question(this, str(Str::TitleConfirm), str(Str::ConfirmSaveToFlash),
                              QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes) {
        return;
    }
    if (!stillConnected(connectionId) || m_currentPlugin != plugin)
        return;

    // The editor reports nothing back: a failed request shows in the client's count.
    // Flashing after a failed write would store half-written settings in the device.
    const quint64 failuresBefore = m_client->failureCount();
    plugin->writeToDevice();
    if (m_client->failureCount() != failuresBefore || !stillConnected(connectionId)) {
        QMessageBox::critical(this, str(Str::TitleError), m_client->lastError());
        return;
    }

    if (!m_client->writeRegister(plugin->saveRegisterAddress(), saveCommand)) {
        QMessageBox::critical(this, str(Str::TitleError), m_client->lastError());
        return;
    }
    appendLog(str(Str::SavedToFlash));
    QMessageBox::information(this, str(Str::TitleSuccess), str(Str::SavedSuccessfully));
}

void MainWindow::onReadAll()
{
    DevicePlugin *plugin = commandPlugin();
    if (!plugin)
        return;
    const quint64 connectionId = m_connectionId;
    plugin->readFromDevice();
    if (stillConnected(connectionId))
        appendLog(str(Str::SettingsLoaded));
}

void MainWindow::onAbout()
{
    QMessageBox box(this);
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(str(Str::AboutTitle));
    box.setTextFormat(Qt::RichText);
    box.setText(aboutText());
    box.setStandardButtons(QMessageBox::Ok);
    box.setIconPixmap(windowIcon().pixmap(64, 64));
    box.exec();
}

void MainWindow::onFirmwareUpdate()
{
    // A new dialog and window for every use: nothing of an earlier upload survives.
    // The firmware window turns a close during an upload into a cancel request and
    // keeps the dialog open until the upload has ended, so it is never destroyed while
    // its procedure runs. How each upload ended stays in this log after the dialog.
    QDialog dialog(this);
    dialog.setWindowTitle(str(Str::FwWindowTitle));
    dialog.setMinimumSize(600, 500);
    dialog.resize(650, 550);
    auto *layout = new QVBoxLayout(&dialog);
    auto *firmware = new FirmwareWidget(&dialog);
    connect(firmware, &FirmwareWidget::uploadEnded, this, &MainWindow::appendLog);
    layout->addWidget(firmware);
    dialog.exec();
}

QString MainWindow::aboutText() const
{
    const QString licenseDir =
        QCoreApplication::applicationDirPath() + QStringLiteral("/licenses");
    QString licenseLink = QStringLiteral("licenses");
    if (QFileInfo(licenseDir).isDir()) {
        licenseLink = QStringLiteral("<a href=\"%1\">%2</a>")
                          .arg(QString::fromUtf8(QUrl::fromLocalFile(licenseDir).toEncoded()),
                               QDir::toNativeSeparators(licenseDir).toHtmlEscaped());
    }
    const QString qtLink = QStringLiteral("<a href=\"%1\">%1</a>").arg(qtLicensingUrl);

    // Escape the templates, not the links: the links are markup of our own.
    const QString toolkit = str(Str::AboutQtLicense)
                                .toHtmlEscaped()
                                .arg(QString::fromLatin1(qVersion()), licenseLink, qtLink);
    const QString program =
        str(Str::AboutText).arg(QCoreApplication::applicationVersion()).toHtmlEscaped();

    QString text = program + QStringLiteral("\n\n") + toolkit;
    text.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    return text;
}

void MainWindow::setStatus(const QString &text, const QString &styleSheet)
{
    m_statusLabel->setText(text);
    m_statusLabel->setStyleSheet(styleSheet);
}

void MainWindow::appendLog(const QString &message)
{
    // Inserted as text, never as markup: port paths and device texts may hold
    // "<" or "&".
    QTextCursor cursor(m_log->document());
    cursor.movePosition(QTextCursor::End);
    if (!m_log->document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(QTime::currentTime().toString(QStringLiteral("[hh:mm:ss] ")) + message);
    m_log->verticalScrollBar()->setValue(m_log->verticalScrollBar()->maximum());
}
