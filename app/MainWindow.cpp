#include "MainWindow.h"

#include "BusScanDialog.h"
#include "ConfigurationMenu.h"
#include "ConnectionPanel.h"
#include "DevicePlugin.h"
#include "DeviceSession.h"
#include "FirmwareWidget.h"
#include "I18n.h"
#include "LinkHealth.h"
#include "LinkHealthButton.h"
#include "ModbusClient.h"
#include "PluginManager.h"
#include "ReconnectOffer.h"
#include "RegisterView.h"
#include "RestartCheck.h"
#include "TrafficLog.h"
#include "TrafficView.h"
#include "UnsavedChangesGuard.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
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
#include <QScreen>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QTime>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int DefaultWidth = 950;
constexpr int DefaultHeight = 750;
const QString iconPath = QStringLiteral(":/icons/favicon.png");
const QString qtLicensingUrl = QStringLiteral("https://www.qt.io/licensing/");

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , m_client(new ModbusClient(this))
    , m_session(new DeviceSession(m_client, this))
{
    // The icon is compiled into this static library; naming its initialiser keeps
    // the linker from dropping it from programs that link the library.
    Q_INIT_RESOURCE(resources);

    setWindowTitle(str(Str::AppTitle) + QStringLiteral("[*]"));
    setWindowIcon(QIcon(iconPath));
    setMinimumSize(900, 700);
    resize(DefaultWidth, DefaultHeight);

    createMonitoring();
    createCentralWidget();
    createMenus(); // the device menu works on the connection panel

    m_panel->refreshPortList();
    m_panel->loadSettings();

    appendLog(str(Str::AppTitleVersion).arg(QCoreApplication::applicationVersion()));
    logPlugins();
    appendLog(str(Str::SelectPortHint));

    connect(m_session, &DeviceSession::deviceIdentified, this, [this](DevicePlugin *plugin) {
        m_panel->showSession(m_session->firmwareVersion());
        appendLog(str(Str::ConnectedTo).arg(plugin->deviceName()));
        m_panel->saveSettings();
    });
    connect(m_session, &DeviceSession::pageOpened, this, [this](QWidget *page) {
        m_pageStack->addWidget(page);
        m_pageStack->setCurrentWidget(page);
        m_panel->setDeviceName(m_session->plugin()->deviceName());
        m_changes->setPage(page);
    });
    connect(m_session, &DeviceSession::pageRetired, this, [this](QWidget *page) {
        m_pageStack->removeWidget(page);
        m_changes->setPage(nullptr);
    });
}

MainWindow::~MainWindow()
{
    m_panel->saveSettings();
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

void MainWindow::createMonitoring()
{
    auto *traffic = new TrafficLog(this);
    connect(m_client, &ModbusClient::exchangeFinished, traffic, &TrafficLog::add);
    m_trafficView = new TrafficView(traffic, this);
    addDockWidget(Qt::BottomDockWidgetArea, m_trafficView);
    // The view takes its height from the window, not from the device page: the window
    // grows to make room where the screen has it.
    connect(m_trafficView, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        const QScreen *screen = this->screen();
        if (!visible || isMaximized() || !screen)
            return;
        const int room = screen->availableGeometry().bottom() - frameGeometry().bottom();
        const int wanted = m_trafficView->sizeHint().height();
        if (room > 0 && height() < DefaultHeight + wanted)
            resize(width(), height() + qMin(room, wanted));
    });
    m_trafficView->restoreVisibility();

    auto *health = new LinkHealth(this);
    connect(m_client, &ModbusClient::exchangeFinished, health, &LinkHealth::add);
    connect(m_client, &ModbusClient::connected, health, &LinkHealth::reset);
    m_reconnect = new ReconnectOffer(this);
    connect(m_client, &ModbusClient::connected, m_reconnect, &ReconnectOffer::withdraw);
    connect(m_reconnect, &ReconnectOffer::reconnectClicked, this, &MainWindow::onConnect);
    connect(m_client, &ModbusClient::portLost, this, &MainWindow::onPortLost);
    statusBar()->addWidget(m_reconnect);
    statusBar()->addPermanentWidget(new LinkHealthButton(health, this));
}

void MainWindow::createMenus()
{
    QMenu *fileMenu = menuBar()->addMenu(str(Str::MenuFile));
    QAction *exitAction = fileMenu->addAction(str(Str::MenuExit));
    exitAction->setObjectName(QStringLiteral("exitAction"));
    connect(exitAction, &QAction::triggered, this, &QWidget::close);

    QMenu *deviceMenu = menuBar()->addMenu(tr("&Device"));
    deviceMenu->setObjectName(QStringLiteral("deviceMenu"));
    new ConfigurationMenu(
        deviceMenu, m_session, m_client, m_panel, [this](const QString &line) { appendLog(line); },
        [this](const QString &title, const QString &question) {
            return releasePort(title, question);
        },
        this);
    QMenu *viewMenu = menuBar()->addMenu(tr("View"));
    viewMenu->addAction(m_trafficView->toggleViewAction());

    QMenu *toolsMenu = menuBar()->addMenu(str(Str::MenuTools));
    QAction *firmwareAction = toolsMenu->addAction(str(Str::MenuFirmwareUpdate));
    firmwareAction->setObjectName(QStringLiteral("firmwareUpdateAction"));
    connect(firmwareAction, &QAction::triggered, this, &MainWindow::onFirmwareUpdate);
    QAction *scanAction = toolsMenu->addAction(tr("Scan Bus..."));
    scanAction->setObjectName(QStringLiteral("scanBusAction"));
    connect(scanAction, &QAction::triggered, this, &MainWindow::onScanBus);
    QAction *registerAction = toolsMenu->addAction(tr("Register View..."));
    registerAction->setObjectName(QStringLiteral("registerViewAction"));
    connect(registerAction, &QAction::triggered, this, &MainWindow::onRegisterView);

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

    m_panel = new ConnectionPanel(central);
    connect(m_panel, &ConnectionPanel::refreshClicked, this, &MainWindow::onRefreshPorts);
    connect(m_panel, &ConnectionPanel::connectClicked, this, &MainWindow::onConnect);
    connect(m_panel, &ConnectionPanel::defaultsClicked, this, &MainWindow::onDefaults);
    layout->addWidget(m_panel, 0);

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
    m_changes = new UnsavedChangesGuard(this, saveButton, str(Str::SaveToFlash));
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

void MainWindow::onRefreshPorts()
{
    m_panel->refreshPortList();
    appendLog(str(Str::PortsRefreshed));
}

void MainWindow::onConnect()
{
    if (m_session->isConnected()) {
        if (m_changes->mayDiscard(tr("Unsaved Changes"),
                                  tr("The device has changes that are not saved to its flash; "
                                     "a power cycle loses them. Disconnect anyway?"))) {
            endConnection();
        }
        return;
    }

    const ConnectionPanel::PortChoice port = m_panel->chosenPort();
    if (port.location.isEmpty()) {
        QMessageBox::warning(this, str(Str::TitleWarning), str(Str::SelectPortPrompt));
        return;
    }
    const int baud = m_panel->baudRate();
    const char parity = m_panel->parity();
    const int node = m_panel->node();

    appendLog(str(Str::ConnectingTo)
                  .arg(port.location, QString::number(baud), QString(QChar::fromLatin1(parity))));
    m_panel->showStatus(ConnectionPanel::Status::Connecting);
    QCoreApplication::processEvents();

    const DeviceSession::Result opened = m_session->open(port.location, baud, parity, node);
    if (!opened.ok()) {
        // The log line brings its own "Connection failed" in the user's language.
        appendLog(str(Str::ConnectionFailed).arg(m_client->lastErrorReason()));
        appendLog(tr("Port %1 did not open: check that the adapter is plugged in and that no "
                     "other program uses it; Refresh lists the ports there are.")
                      .arg(port.location));
        m_panel->showStatus(ConnectionPanel::Status::Disconnected);
        QMessageBox::critical(this, str(Str::TitleError), opened.reason);
        return;
    }
    identifyDevice(tr("Node %1 at %2 baud, parity %3 did not answer: check wiring, node, baud "
                      "rate and parity, or use Scan Bus.")
                       .arg(node)
                       .arg(baud)
                       .arg(QChar::fromLatin1(parity)));
}

void MainWindow::identifyDevice(const QString &hint)
{
    // The session reports a known device through its signals; what is left here are
    // the two refusals. Any other end needs no word: either the device is on its page,
    // or the user closed the port while a request waited.
    const DeviceSession::Result result = m_session->identify(this);
    if (result.status == DeviceSession::Status::SignatureUnanswered) {
        appendLog(str(Str::SignatureReadFailed));
        appendLog(hint);
        m_panel->showStatus(ConnectionPanel::Status::Disconnected);
        QMessageBox::critical(this, str(Str::TitleError), str(Str::DeviceSignatureReadFailed));
    } else if (result.status == DeviceSession::Status::UnknownDevice) {
        const quint16 signature = m_session->signature();
        appendLog(str(Str::UnknownDeviceSignature).arg(signature));
        m_panel->showStatus(ConnectionPanel::Status::Disconnected);
        QMessageBox box(QMessageBox::Warning, str(Str::TitleWarning),
                        str(Str::UnknownDeviceNoPlugin)
                            + QStringLiteral("\n\nSignature: %1").arg(signature),
                        QMessageBox::Ok, this);
        // No plug-in is needed to look at the device's registers; the refusal stays the
        // default.
        QAbstractButton *view = box.addButton(tr("Open Register View"), QMessageBox::ActionRole);
        box.setDefaultButton(QMessageBox::Ok);
        box.exec();
        if (box.clickedButton() == view)
            onRegisterView();
    }
}

void MainWindow::endConnection(const QString &message)
{
    m_session->close();
    m_panel->showNoSession();
    m_pageStack->setCurrentWidget(m_placeholderPage);
    m_panel->setDeviceName(QString());
    appendLog(message.isEmpty() ? str(Str::Disconnected) : message);
}

void MainWindow::onPortLost(const QString &reason)
{
    const QString port = m_client->portName();
    const QString message = tr("Connection lost: %1 (%2)").arg(port, reason);
    endConnection(message);
    m_reconnect->offer(port, message);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_session->isConnected()
        && !m_changes->mayDiscard(tr("Unsaved Changes"),
                                  tr("The device has changes that are not saved to its flash; "
                                     "a power cycle loses them. Quit anyway?"))) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::onDefaults()
{
    m_panel->restoreDefaults();
    appendLog(str(Str::DefaultsRestored));
}

void MainWindow::warnNotConnected()
{
    QMessageBox::warning(this, str(Str::TitleWarning), str(Str::NotConnected));
}

void MainWindow::onSaveToFlash()
{
    if (!m_session->isConnected()) {
        warnNotConnected();
        return;
    }
    if (!m_session->plugin())
        return;
    const quint64 connectionId = m_session->connectionId();

    if (QMessageBox::question(this, str(Str::TitleConfirm), str(Str::ConfirmSaveToFlash),
                              QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes) {
        return;
    }
    // The user may have disconnected or connected elsewhere while the question waited.
    if (!m_session->isCurrent(connectionId))
        return;

    const DeviceSession::Result result = m_session->saveToFlash();
    if (!result.ok()) {
        appendLog(tr("Save to flash failed: %1").arg(result.reason));
        QMessageBox::critical(this, str(Str::TitleError), result.reason);
        return;
    }
    m_changes->markSaved();
    appendLog(str(Str::SavedToFlash));
    QMessageBox::information(this, str(Str::TitleSuccess), str(Str::SavedSuccessfully));
}

void MainWindow::onReadAll()
{
    if (m_session->isConnected()
        && !m_changes->mayDiscard(tr("Unsaved Changes"),
                                  tr("Read All replaces your changes with the device's values. "
                                     "Read anyway?"))) {
        return;
    }
    switch (m_session->readAll().status) {
    case DeviceSession::Status::NotConnected:
        warnNotConnected();
        break;
    case DeviceSession::Status::Ok:
    case DeviceSession::Status::ReadFailed:
        // The editor reports its own failures; the line stands for the command.
        appendLog(str(Str::SettingsLoaded));
        break;
    default:
        break; // no device on the port yet, or the connection went away meanwhile
    }
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
    auto *layout = new QVBoxLayout(&dialog);
    auto *firmware = new FirmwareWidget(&dialog);
    firmware->setPort(m_panel->chosenPort().location);
    connect(firmware, &FirmwareWidget::uploadEnded, this, &MainWindow::appendLog);
    layout->addWidget(firmware);
    auto *restartCheck = new RestartCheck(firmware, m_panel->baudRate(), m_panel->parity(),
                                          m_panel->node(), &dialog);
    connect(restartCheck, &RestartCheck::logLine, this, &MainWindow::appendLog);
    layout->addWidget(restartCheck);
    // At least 600 x 500, at first 650 x 550, but never smaller than the contents need:
    // a set minimum size overrides the layout's, and the log would be cut off.
    const QSize needed = layout->totalMinimumSize();
    dialog.setMinimumSize(needed.expandedTo(QSize(600, 500)));
    dialog.resize(layout->totalSizeHint().expandedTo(QSize(650, 550)));
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

bool MainWindow::releasePort(const QString &title, const QString &question)
{
    if (m_session->isConnected()) {
        if (m_session->page() && QMessageBox::question(this, title, question) != QMessageBox::Yes)
            return false;
        endConnection();
    }
    return true;
}

void MainWindow::onScanBus()
{
    // The scan opens the port itself, so the session gives it up first.
    if (!releasePort(tr("Scan Bus"),
                     tr("The scan needs the port: the connection to the device ends, and "
                        "changes not written to it are lost. Disconnect and scan?"))) {
        return;
    }
    BusScanDialog dialog(m_panel->chosenPort().location, {m_panel->baudRate(), m_panel->parity()},
                         this);
    if (dialog.exec() != QDialog::Accepted || !dialog.chosenDevice())
        return;
    const BusScanner::Device device = *dialog.chosenDevice();
    m_panel->setConnection(dialog.port(), device.setting.baudRate, device.setting.parity,
                           device.node);
    onConnect();
}

void MainWindow::onRegisterView()
{
    // On the session's connection when there is one; otherwise the view opens the port
    // chosen in the panel itself, and closes it with itself.
    RegisterView view(
        m_session->isConnected() ? m_client : nullptr,
        {m_panel->chosenPort().location, m_panel->baudRate(), m_panel->parity(), m_panel->node()},
        this);
    view.exec();
}
