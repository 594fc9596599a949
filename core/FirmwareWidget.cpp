#include "FirmwareWidget.h"

#include "FirmwareImage.h"
#include "I18n.h"

#include <QColor>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSerialPortInfo>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

QString colourOf(FirmwareUploader::Level level)
{
    switch (level) {
    case FirmwareUploader::Level::Info:
        return QStringLiteral("#4488ff");
    case FirmwareUploader::Level::Warning:
        return QStringLiteral("orange");
    case FirmwareUploader::Level::Error:
        return QStringLiteral("red");
    case FirmwareUploader::Level::Ok:
    case FirmwareUploader::Level::Success:
        break;
    }
    return QStringLiteral("green");
}

} // namespace

FirmwareWidget::FirmwareWidget(QWidget *parent)
    : QWidget(parent)
    , m_uploader(new FirmwareUploader(this))
{
    createUI();
    connect(m_uploader, &FirmwareUploader::logLine, this, &FirmwareWidget::showUploaderLine);
    connect(m_uploader, &FirmwareUploader::progressChanged, m_progressBar,
            &QProgressBar::setValue);
    connect(m_uploader, &FirmwareUploader::started, this, [this] { setUploading(true); });
    connect(m_uploader, &FirmwareUploader::finished, this, [this] { setUploading(false); });
    onRefreshPorts();
    // The window holding this widget may change until it is shown.
    installEventFilter(this);
    watchWindow();
}

FirmwareWidget::~FirmwareWidget()
{
    if (m_firmwareFile.isOpen())
        m_firmwareFile.close();
    fwCloseLink();
}

bool FirmwareWidget::requestClose()
{
    if (!m_busy)
        return true;
    onCancel();
    return false;
}

void FirmwareWidget::createUI()
{
    auto *layout = new QVBoxLayout(this);

    auto *description = new QLabel(str(Str::FwDescription), this);
    description->setWordWrap(true);
    description->setStyleSheet(QStringLiteral("color: gray; padding: 4px;"));
    layout->addWidget(description);

    auto *portGroup = new QGroupBox(str(Str::FwGroupSerialPort), this);
    auto *portLayout = new QHBoxLayout(portGroup);
    portLayout->addWidget(new QLabel(str(Str::PortLabel), portGroup));
    m_portCombo = new QComboBox(portGroup);
    m_portCombo->setObjectName(QStringLiteral("portCombo"));
    m_portCombo->setMinimumWidth(150);
    // Ports the system does not list (a /dev/serial/by-id link, a pseudo-terminal) are
    // typed in; they are not added to the list.
    m_portCombo->setEditable(true);
    m_portCombo->setInsertPolicy(QComboBox::NoInsert);
    portLayout->addWidget(m_portCombo);
    m_refreshButton = new QPushButton(str(Str::Refresh), portGroup);
    m_refreshButton->setObjectName(QStringLiteral("refreshButton"));
    connect(m_refreshButton, &QPushButton::clicked, this, &FirmwareWidget::onRefreshPorts);
    portLayout->addWidget(m_refreshButton);
    portLayout->addStretch();
    layout->addWidget(portGroup);

    auto *fileGroup = new QGroupBox(str(Str::FwGroupFirmwareFile), this);
    auto *fileLayout = new QHBoxLayout(fileGroup);
    m_selectFileButton = new QPushButton(str(Str::FwSelectFile), fileGroup);
    m_selectFileButton->setObjectName(QStringLiteral("selectFileButton"));
    connect(m_selectFileButton, &QPushButton::clicked, this, &FirmwareWidget::onSelectFile);
    fileLayout->addWidget(m_selectFileButton);
    m_fileLabel = new QLabel(str(Str::FwNoFileSelected), fileGroup);
    m_fileLabel->setObjectName(QStringLiteral("fileLabel"));
    m_fileLabel->setTextFormat(Qt::PlainText);
    m_fileLabel->setStyleSheet(QStringLiteral("color: gray;"));
    fileLayout->addWidget(m_fileLabel, 1);
    layout->addWidget(fileGroup);

    auto *progressGroup = new QGroupBox(str(Str::FwGroupProgress), this);
    auto *progressLayout = new QVBoxLayout(progressGroup);
    m_progressBar = new QProgressBar(progressGroup);
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    progressLayout->addWidget(m_progressBar);
    m_nextUploadLabel = new QLabel(progressGroup);
    m_nextUploadLabel->setObjectName(QStringLiteral("nextUploadLabel"));
    m_nextUploadLabel->setTextFormat(Qt::PlainText);
    m_nextUploadLabel->setWordWrap(true);
    progressLayout->addWidget(m_nextUploadLabel);
    showNextUpload();
    auto *buttons = new QHBoxLayout;
    m_uploadButton = new QPushButton(str(Str::FwUpload), progressGroup);
    m_uploadButton->setObjectName(QStringLiteral("uploadButton"));
    m_uploadButton->setStyleSheet(QStringLiteral(
        "background-color: #40a02b; color: white; font-weight: bold; padding: 8px 16px;"));
    connect(m_uploadButton, &QPushButton::clicked, this, &FirmwareWidget::onStartUpload);
    buttons->addWidget(m_uploadButton);
    m_cancelButton = new QPushButton(str(Str::FwCancel), progressGroup);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setEnabled(false);
    connect(m_cancelButton, &QPushButton::clicked, this, &FirmwareWidget::onCancel);
    buttons->addWidget(m_cancelButton);
    buttons->addStretch();
    progressLayout->addLayout(buttons);
    layout->addWidget(progressGroup);

    auto *logGroup = new QGroupBox(str(Str::FwGroupLog), this);
    auto *logLayout = new QVBoxLayout(logGroup);
    m_logEdit = new QTextEdit(logGroup);
    m_logEdit->setObjectName(QStringLiteral("firmwareLog"));
    m_logEdit->setReadOnly(true);
    m_logEdit->setMinimumHeight(150);
    m_logEdit->setFont(QFont(QStringLiteral("Monospace"), 9));
    logLayout->addWidget(m_logEdit);
    auto *clearRow = new QHBoxLayout;
    clearRow->addStretch();
    auto *clearButton = new QPushButton(str(Str::FwClear), logGroup);
    clearButton->setObjectName(QStringLiteral("clearButton"));
    clearButton->setFixedWidth(80);
    connect(clearButton, &QPushButton::clicked, m_logEdit, &QTextEdit::clear);
    clearRow->addWidget(clearButton);
    logLayout->addLayout(clearRow);
    layout->addWidget(logGroup, 1);

    // In a dialog the button after the port box would become the default one, and
    // Enter in the port box would click it: no button here is a default.
    const QList<QPushButton *> pushButtons = findChildren<QPushButton *>();
    for (QPushButton *button : pushButtons)
        button->setAutoDefault(false);
}

void FirmwareWidget::setPort(const QString &location)
{
    const int index = m_portCombo->findData(location);
    if (index >= 0)
        m_portCombo->setCurrentIndex(index);
    else
        m_portCombo->setEditText(location);
}

void FirmwareWidget::showNextUpload()
{
    m_nextUploadLabel->setText(m_firmwareFile.isOpen()
                                   ? tr("The next upload sends %1.")
                                         .arg(QDir::toNativeSeparators(m_firmwareFile.fileName()))
                                   : tr("No image file chosen yet: Upload asks for one."));
}

void FirmwareWidget::fwLog(const QString &message, const QString &colour)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("[hh:mm:ss] "));
    QScrollBar *scrollBar = m_logEdit->verticalScrollBar();
    const bool following = scrollBar->value() >= scrollBar->maximum();

    // Every line starts from the default format, so an uncoloured line never takes
    // on the colour of the line before it.
    QTextCursor cursor(m_logEdit->document());
    cursor.movePosition(QTextCursor::End);
    if (!m_logEdit->document()->isEmpty())
        cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    // The text goes in as it is, never as markup: file names and the toolkit's error
    // texts may hold '<', '&', runs of blanks or "%1".
    QTextCharFormat format;
    if (!colour.isEmpty())
        format.setForeground(QColor(colour));
    cursor.insertText(stamp + message, format);

    if (following)
        scrollBar->setValue(scrollBar->maximum());
}

void FirmwareWidget::onRefreshPorts()
{
    // A path the user typed is not in the system's list; a refresh must not wipe it.
    const int selected = m_portCombo->currentIndex();
    const QString typed = m_portCombo->currentText();
    const bool keepTyped =
        !typed.isEmpty() && (selected < 0 || typed != m_portCombo->itemText(selected));

    m_portCombo->clear();
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : ports)
        m_portCombo->addItem(port.portName(), port.systemLocation());
    if (keepTyped)
        m_portCombo->setEditText(typed);
}

QString FirmwareWidget::fwPortName() const
{
    const QString text = m_portCombo->currentText().trimmed();
    const int index = m_portCombo->currentIndex();
    if (index >= 0 && m_portCombo->itemText(index) == text) {
        const QString location = m_portCombo->itemData(index, Qt::UserRole).toString();
        if (!location.isEmpty())
            return location;
    }
    if (text.isEmpty())
        return QString();
#ifdef Q_OS_WIN
    if (!text.startsWith(QLatin1String("\\\\")))
        return QStringLiteral("\\\\.\\") + text;
#endif
    return text;
}

void FirmwareWidget::onSelectFile()
{
    const QString path = QFileDialog::getOpenFileName(this, str(Str::FwSelectFile),
                                                      QDir::homePath(), str(Str::FwFileFilter));
    if (path.isEmpty())
        return;
    openFirmwareFile(path);
}

void FirmwareWidget::openFirmwareFile(const QString &path)
{
    if (m_firmwareFile.isOpen())
        m_firmwareFile.close();
    m_firmwareFile.setFileName(path);
    if (!m_firmwareFile.open(QIODevice::ReadOnly)) {
        m_fileLabel->setText(str(Str::FwOpenFileFailed));
        m_fileLabel->setStyleSheet(QStringLiteral("color: red;"));
        showNextUpload();
        return;
    }
    m_fileLabel->setText(QFileInfo(path).fileName()
                         + QStringLiteral(" (%1 bytes)").arg(m_firmwareFile.size()));
    m_fileLabel->setStyleSheet(QStringLiteral("color: green;"));
    showNextUpload();
    fwLog(str(Str::FwFileSelected).arg(path), QString());
}

quint32 FirmwareWidget::fwCrc32(const uchar *data, uint len)
{
    return FirmwareImage::crc32(data, len);
}

bool FirmwareWidget::fwVerifyChecksum(QFile &file)
{
    return m_uploader->verifyImage(file);
}

quint8 FirmwareWidget::fwReadInputRegs(unsigned short *dst, unsigned short start,
                                       unsigned short count, int serverAddress, int timeoutMs)
{
    return m_uploader->readInputRegisters(dst, start, count, serverAddress, timeoutMs);
}

quint8 FirmwareWidget::fwReadHoldingRegs(unsigned short *dst, unsigned short start,
                                         unsigned short count, int serverAddress, int timeoutMs)
{
    return m_uploader->readHoldingRegisters(dst, start, count, serverAddress, timeoutMs);
}

quint8 FirmwareWidget::fwWriteMultipleRegs(unsigned short *src, unsigned short start,
                                           unsigned short count, int serverAddress, int timeoutMs)
{
    return m_uploader->writeRegisters(src, start, count, serverAddress, timeoutMs);
}

quint8 FirmwareWidget::fwWriteSingleReg(short value, unsigned short address, int serverAddress,
                                        int timeoutMs)
{
    return m_uploader->writeRegister(value, address, serverAddress, timeoutMs);
}

bool FirmwareWidget::fwOpenLink(const QString &portName)
{
    return m_uploader->openLink(portName);
}

void FirmwareWidget::fwCloseLink()
{
    m_uploader->closeLink();
}

void FirmwareWidget::onStartUpload()
{
    if (m_busy)
        return;
    const QPointer<FirmwareWidget> self(this);
    m_busy = true;
    m_progressBar->setValue(0);

    // The port is checked before the file dialog opens and before any button changes;
    // the uploader reports a missing port or file itself.
    const QString portName = fwPortName();
    if (!portName.isEmpty() && !m_firmwareFile.isOpen())
        onSelectFile();
    if (!self)
        return;
    m_uploader->upload(portName, m_firmwareFile);
    // Destroyed from a nested event loop although its window waits for the upload.
    if (!self)
        return;
    m_busy = false;
    emit uploadEnded(m_lastUploaderLine);
}

void FirmwareWidget::onCancel()
{
    m_uploader->cancel();
}

void FirmwareWidget::showUploaderLine(FirmwareUploader::Level level, const QString &message)
{
    m_lastUploaderLine = message;
    fwLog(message, colourOf(level));
}

void FirmwareWidget::setUploading(bool uploading)
{
    m_uploadButton->setEnabled(!uploading);
    m_selectFileButton->setEnabled(!uploading);
    m_cancelButton->setEnabled(uploading);
}

void FirmwareWidget::watchWindow()
{
    QWidget *top = window();
    if (top == m_watchedWindow)
        return;
    if (m_watchedWindow && m_watchedWindow != this)
        m_watchedWindow->removeEventFilter(this);
    m_watchedWindow = top;
    if (top != this)
        top->installEventFilter(this);
}

bool FirmwareWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == this
        && (event->type() == QEvent::ParentChange || event->type() == QEvent::Show)) {
        watchWindow();
    }
    // Destroying the widget in the middle of an upload would pull its state from under
    // the running procedure: closing becomes a cancel request instead, and the window
    // stays open so that its log tells how the upload ended.
    if (m_busy && watched == m_watchedWindow) {
        if (event->type() == QEvent::Close) {
            requestClose();
            event->ignore();
            return true;
        }
        // A dialog takes Escape for a close that no close event announces; a stray one
        // must neither end the upload nor hide its log.
        if (event->type() == QEvent::KeyPress
            && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Cancel)) {
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
