#pragma once

#include "TavrolixCoreExport.h"

#include <QMap>
#include <QString>

// Identifiers of the user-visible texts of the program and of the firmware window.
// The core library and the program are built against the same values, so an
// identifier never changes its number.
enum class Str : int {
    AppTitle = 0,
    PortLabel,
    BaudLabel,
    ParityLabel,
    NodeLabel,
    Connect,
    Disconnect,
    StatusLabel,
    VersionLabel,
    StatusDisconnected,
    StatusConnected,
    StatusConnecting,
    ParityNone,
    ParityEven,
    ParityOdd,
    Refresh,
    SaveToFlash,
    ReadAll,
    AppTitleVersion,
    SelectPortHint,
    PortsRefreshed,
    ConnectingTo,
    ConnectedTo,
    Disconnected,
    ConnectionFailed,
    SettingsLoaded,
    SavedToFlash,
    SignatureReadFailed,
    UnknownDeviceSignature,
    PluginLoaded,
    NoPluginsFound,
    TitleError,
    TitleWarning,
    TitleConfirm,
    TitleSuccess,
    SelectPortPrompt,
    NodeRangeError,
    NotConnected,
    ConfirmSaveToFlash,
    SavedSuccessfully,
    DeviceSignatureReadFailed,
    UnknownDeviceNoPlugin,
    MenuFile,
    MenuExit,
    MenuHelp,
    MenuAbout,
    MenuAboutQt,
    AboutTitle,
    AboutText,
    AboutQtLicense,
    ConnectHint,
    Defaults,
    DefaultsHint,
    DefaultsRestored,
    MenuTools,
    MenuFirmwareUpdate,
    FwWindowTitle,
    FwDescription,
    FwGroupSerialPort,
    FwGroupFirmwareFile,
    FwGroupProgress,
    FwGroupLog,
    FwSelectFile,
    FwNoFileSelected,
    FwFileFilter,
    FwOpenFileFailed,
    FwUpload,
    FwCancel,
    FwClear,
    FwFileSelected,
    FwErrNoPort,
    FwErrNoFile,
    FwErrPortOpen,
    FwOkConnected,
    FwInfoReboot,
    FwInfoCancelled,
    FwOkBootloader,
    FwWarnVersion,
    FwErrNoChecksum,
    FwErrChecksumMismatch,
    FwOkChecksum,
    FwInfoStarting,
    FwWarnCancelled,
    FwErrChunk,
    FwErrCommand,
    FwErrStatus,
    FwErrFlashWrite,
    FwErrExit,
    FwSuccess,
};

enum class Lang : qint32 {
    English = 0,
    Russian = 1,
};

// Process-wide table of the texts of the current language. Callers go through
// instance()->tr(...) and fill the placeholders with QString::arg themselves.
class TAVROLIX_CORE_EXPORT I18n
{
public:
    static I18n *instance();

    I18n();

    void detectLanguage();
    void setLanguage(Lang lang);
    void loadStrings();

    QString tr(Str id) const;
    Lang language() const;

private:
    Lang m_language;
    QMap<Str, QString> m_strings;
};

// The text `id` in the current language: I18n::instance()->tr(id).
inline QString str(Str id)
{
    return I18n::instance()->tr(id);
}
