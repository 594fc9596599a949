#pragma once

#include "FirmwareUploader.h"
#include "TavrolixCoreExport.h"

#include <QFile>
#include <QPointer>
#include <QWidget>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTextEdit;

// The firmware update window: pick a serial port and an image file (".enc"), upload it
// to the device's bootloader (FirmwareUploader, on a link of its own), follow it on a
// progress bar and in a coloured, time-stamped log. Knows nothing of the main window's
// connection.
//
// The upload runs on the GUI thread in nested event loops. The window that holds this
// widget must not destroy it meanwhile (isBusy()): closing that window during an upload
// is turned into a cancel request and the window stays open, so that its log shows how
// the upload ended; Escape is ignored until then.
class TAVROLIX_CORE_EXPORT FirmwareWidget : public QWidget
{
    Q_OBJECT

public:
    explicit FirmwareWidget(QWidget *parent = nullptr);
    ~FirmwareWidget() override;

    // True from the click on Upload until the upload has ended in any way.
    bool isBusy() const { return m_busy; }
    // Idle: returns true, the caller may close at once. During an upload: requests its
    // cancellation and returns false.
    bool requestClose();
    // Chooses the port `location` (a system location): its entry in the list, or the
    // location typed in when the system does not list it.
    void setPort(const QString &location);
    // The port the next upload opens; empty when none is chosen.
    QString portName() const { return fwPortName(); }

    // CRC-32/MPEG-2 of `len` bytes at `data`: 0xFFFFFFFF for no data.
    static quint32 fwCrc32(const uchar *data, uint len);
    // Checks the image's "#CRC32:" record against its data records, logs one line with
    // the verdict and leaves `file` (open, not closed here) positioned at its start.
    bool fwVerifyChecksum(QFile &file);

    // Bootloader register operations: 0 success, 3 no link, 5 no valid reply after
    // four attempts. Reads write to `dst` only on success, at most `count` values.
    quint8 fwReadInputRegs(unsigned short *dst, unsigned short start, unsigned short count,
                           int serverAddress, int timeoutMs);
    quint8 fwReadHoldingRegs(unsigned short *dst, unsigned short start, unsigned short count,
                             int serverAddress, int timeoutMs);
    quint8 fwWriteMultipleRegs(unsigned short *src, unsigned short start, unsigned short count,
                               int serverAddress, int timeoutMs);
    quint8 fwWriteSingleReg(short value, unsigned short address, int serverAddress, int timeoutMs);

signals:
    // An upload attempt has ended; `finalLine` is its last log message, without the
    // time stamp.
    void uploadEnded(const QString &finalLine);

protected:
    // One log line "[hh:mm:ss] message"; coloured lines as rich text, the message shown
    // literally either way.
    void fwLog(const QString &message, const QString &colour);
    // The port the upload opens: the selected entry's system location, or the text in
    // the port box as it stands; empty when there is none.
    QString fwPortName() const;
    // Opens the bootloader link on `portName`; on failure logs why and returns false.
    bool fwOpenLink(const QString &portName);
    void fwCloseLink();

    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void onRefreshPorts();
    void onSelectFile();
    void onStartUpload();
    void onCancel();

private:
    void createUI();
    void openFirmwareFile(const QString &path);
    void watchWindow();
    void showUploaderLine(FirmwareUploader::Level level, const QString &message);
    void setUploading(bool uploading);
    void showNextUpload();

    QComboBox *m_portCombo = nullptr;
    QPushButton *m_refreshButton = nullptr;
    QPushButton *m_selectFileButton = nullptr;
    QLabel *m_fileLabel = nullptr;
    QLabel *m_nextUploadLabel = nullptr;
    QPushButton *m_uploadButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QTextEdit *m_logEdit = nullptr;
    QFile m_firmwareFile;
    FirmwareUploader *m_uploader = nullptr;

    bool m_busy = false;
    QString m_lastUploaderLine;
    // The window that holds this widget, whose closing waits for the upload to end.
    QPointer<QWidget> m_watchedWindow;
};
