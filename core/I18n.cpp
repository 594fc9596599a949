#include "I18n.h"

#include <QLocale>
#include <QStringView>

#include <cstddef>
#include <iterator>
#include <utility>

namespace {

struct Entry
{
    Str id;
    QStringView english;
    QStringView russian;
};

// UTF-16 constants in read-only data. They are wrapped, never copied, so filling the
// map allocates only its nodes and every string tr() hands out shares this storage.
// One text a block, each language on a line of its own.
// clang-format off
constexpr Entry kTexts[] = {
    {Str::AppTitle,
     u"Tavrolix Configurator",
     u"Tavrolix Конфигуратор"},
    {Str::PortLabel,
     u"Port:",
     u"Порт:"},
    {Str::BaudLabel,
     u"Baud:",
     u"Скорость:"},
    {Str::ParityLabel,
     u"Parity:",
     u"Чётность:"},
    {Str::NodeLabel,
     u"Node:",
     u"Адрес:"},
    {Str::Connect,
     u"Connect",
     u"Подключить"},
    {Str::Disconnect,
     u"Disconnect",
     u"Отключить"},
    {Str::StatusLabel,
     u"Status:",
     u"Статус:"},
    {Str::VersionLabel,
     u"Version:",
     u"Версия:"},
    {Str::StatusDisconnected,
     u"Disconnected",
     u"Отключено"},
    {Str::StatusConnected,
     u"Connected",
     u"Подключено"},
    {Str::StatusConnecting,
     u"Connecting...",
     u"Подключение..."},
    {Str::ParityNone,
     u"None",
     u"Нет"},
    {Str::ParityEven,
     u"Even",
     u"Чётн."},
    {Str::ParityOdd,
     u"Odd",
     u"Нечётн."},
    {Str::Refresh,
     u"Refresh",
     u"Обновить"},
    {Str::SaveToFlash,
     u"Save to Flash",
     u"Сохранить во Flash"},
    {Str::ReadAll,
     u"Read All",
     u"Прочитать всё"},
    {Str::AppTitleVersion,
     u"Tavrolix Configurator v%1",
     u"Tavrolix Конфигуратор v%1"},
    {Str::SelectPortHint,
     u"Select port and click Connect",
     u"Выберите порт и нажмите Подключить"},
    {Str::PortsRefreshed,
     u"Serial ports refreshed",
     u"Список портов обновлён"},
    {Str::ConnectingTo,
     u"Connecting to %1 @ %2 %3...",
     u"Подключение к %1 @ %2 %3..."},
    {Str::ConnectedTo,
     u"Connected: %1",
     u"Подключено: %1"},
    {Str::Disconnected,
     u"Disconnected",
     u"Отключено"},
    {Str::ConnectionFailed,
     u"Connection failed: %1",
     u"Ошибка подключения: %1"},
    {Str::SettingsLoaded,
     u"Settings loaded",
     u"Настройки загружены"},
    {Str::SavedToFlash,
     u"Saved to flash",
     u"Сохранено во флеш"},
    {Str::SignatureReadFailed,
     u"Failed to read signature",
     u"Не удалось прочитать сигнатуру"},
    {Str::UnknownDeviceSignature,
     u"Unknown device (signature %1)",
     u"Неизвестное устройство (сигнатура %1)"},
    {Str::PluginLoaded,
     u"Plugin loaded: %1",
     u"Загружен плагин: %1"},
    {Str::NoPluginsFound,
     u"No plugins found",
     u"Плагины не найдены"},
    {Str::TitleError,
     u"Error",
     u"Ошибка"},
    {Str::TitleWarning,
     u"Warning",
     u"Предупреждение"},
    {Str::TitleConfirm,
     u"Confirm",
     u"Подтверждение"},
    {Str::TitleSuccess,
     u"Success",
     u"Успех"},
    {Str::SelectPortPrompt,
     u"Select a port",
     u"Выберите порт"},
    {Str::NodeRangeError,
     u"Node must be 1-247",
     u"Адрес должен быть 1-247"},
    {Str::NotConnected,
     u"Not connected",
     u"Нет подключения"},
    {Str::ConfirmSaveToFlash,
     u"Save settings to flash?",
     u"Сохранить настройки во флеш?"},
    {Str::SavedSuccessfully,
     u"Saved successfully!",
     u"Успешно сохранено!"},
    {Str::DeviceSignatureReadFailed,
     u"Failed to read device signature",
     u"Не удалось прочитать сигнатуру устройства"},
    {Str::UnknownDeviceNoPlugin,
     u"Unknown device.\nNo plugin for this type.",
     u"Неизвестное устройство.\nДля этого типа нет плагина."},
    {Str::MenuFile,
     u"File",
     u"Файл"},
    {Str::MenuExit,
     u"Exit",
     u"Выход"},
    {Str::MenuHelp,
     u"Help",
     u"Справка"},
    {Str::MenuAbout,
     u"About",
     u"О программе"},
    {Str::MenuAboutQt,
     u"About Qt",
     u"О Qt"},
    {Str::AboutTitle,
     u"About",
     u"О программе"},
    {Str::AboutText,
     u"Tavrolix Configurator\nVersion %1\n\nUniversal configurator\nfor Tavrolix devices",
     u"Tavrolix Конфигуратор\nВерсия %1\n\nУниверсальный конфигуратор\nдля устройств Tavrolix"},
    {Str::AboutQtLicense,
     u"This program uses Qt %1 under the GNU LGPL v3.\nLicense texts: %2\nMore information: %3",
     u"Программа использует Qt %1 по лицензии GNU LGPL v3.\nТексты лицензий: %2\nПодробнее: %3"},
    {Str::ConnectHint,
     u"Connect to a device to configure it",
     u"Подключитесь к устройству для настройки"},
    {Str::Defaults,
     u"Defaults",
     u"По умолчанию"},
    {Str::DefaultsHint,
     u"Reset to 9600, None, Node 1",
     u"Сбросить на 9600, Нет, Адрес 1"},
    {Str::DefaultsRestored,
     u"Connection settings reset to defaults (9600, None, Node 1)",
     u"Настройки подключения сброшены (9600, Нет, Адрес 1)"},
    {Str::MenuTools,
     u"Tools",
     u"Инструменты"},
    {Str::MenuFirmwareUpdate,
     u"Firmware Update...",
     u"Обновление прошивки..."},
    {Str::FwWindowTitle,
     u"Firmware Update",
     u"Обновление прошивки"},
    {Str::FwDescription,
     u"Upload firmware to the device via bootloader. Select COM port and firmware file (.enc), "
     u"then click Upload. After clicking, reboot the module.",
     u"Загрузка прошивки в устройство через бутлоадер. Выберите COM-порт и файл прошивки "
     u"(.enc), затем нажмите Загрузить. После нажатия перезагрузите модуль."},
    {Str::FwGroupSerialPort,
     u"Serial Port",
     u"Последовательный порт"},
    {Str::FwGroupFirmwareFile,
     u"Firmware File",
     u"Файл прошивки"},
    {Str::FwGroupProgress,
     u"Progress",
     u"Прогресс"},
    {Str::FwGroupLog,
     u"Log",
     u"Журнал"},
    {Str::FwSelectFile,
     u"Select File...",
     u"Выбрать файл..."},
    {Str::FwNoFileSelected,
     u"No file selected",
     u"Файл не выбран"},
    {Str::FwFileFilter,
     u"Encrypted firmware (*.enc);;All files (*.*)",
     u"Зашифрованная прошивка (*.enc);;Все файлы (*.*)"},
    {Str::FwOpenFileFailed,
     u"Failed to open file",
     u"Не удалось открыть файл"},
    {Str::FwUpload,
     u"Upload Firmware",
     u"Загрузить прошивку"},
    {Str::FwCancel,
     u"Cancel",
     u"Отмена"},
    {Str::FwClear,
     u"Clear",
     u"Очистить"},
    {Str::FwFileSelected,
     u"File selected: %1",
     u"Файл выбран: %1"},
    {Str::FwErrNoPort,
     u"[ERROR] No serial port selected",
     u"[ОШИБКА] Не выбран последовательный порт"},
    {Str::FwErrNoFile,
     u"[ERROR] No firmware file selected",
     u"[ОШИБКА] Файл прошивки не выбран"},
    {Str::FwErrPortOpen,
     u"[ERROR] Can't open serial port: %1",
     u"[ОШИБКА] Не удалось открыть порт: %1"},
    {Str::FwOkConnected,
     u"[OK] Connected to %1",
     u"[OK] Подключено к %1"},
    {Str::FwInfoReboot,
     u"[INFO] REBOOT THE MODULE NOW!",
     u"[ИНФО] ПЕРЕЗАГРУЗИТЕ МОДУЛЬ СЕЙЧАС!"},
    {Str::FwInfoCancelled,
     u"[INFO] Cancelled by user",
     u"[ИНФО] Отменено пользователем"},
    {Str::FwOkBootloader,
     u"[OK] Bootloader detected (v%1.%2)",
     u"[OK] Бутлоадер обнаружен (v%1.%2)"},
    {Str::FwWarnVersion,
     u"[WARN] Bootloader major version %1 differs from expected %2",
     u"[ВНИМАНИЕ] Версия бутлоадера %1 отличается от ожидаемой %2"},
    {Str::FwErrNoChecksum,
     u"[ERROR] Checksum record (#CRC32) not found in firmware file",
     u"[ОШИБКА] Запись контрольной суммы (#CRC32) не найдена в файле"},
    {Str::FwErrChecksumMismatch,
     u"[ERROR] Checksum mismatch! Computed: %1, stored: %2",
     u"[ОШИБКА] Несовпадение контрольной суммы! Вычислено: %1, сохранено: %2"},
    {Str::FwOkChecksum,
     u"[OK] Checksum verified: %1",
     u"[OK] Контрольная сумма верна: %1"},
    {Str::FwInfoStarting,
     u"[INFO] Starting upload...",
     u"[ИНФО] Начинается загрузка..."},
    {Str::FwWarnCancelled,
     u"[WARN] Cancelled. Device may need re-flashing!",
     u"[ВНИМАНИЕ] Отменено. Устройство может потребовать перепрошивки!"},
    {Str::FwErrChunk,
     u"[ERROR] Failed to send data chunk",
     u"[ОШИБКА] Не удалось отправить блок данных"},
    {Str::FwErrCommand,
     u"[ERROR] Failed to send command",
     u"[ОШИБКА] Не удалось отправить команду"},
    {Str::FwErrStatus,
     u"[ERROR] Failed to read status",
     u"[ОШИБКА] Не удалось прочитать статус"},
    {Str::FwErrFlashWrite,
     u"[ERROR] Flash write error",
     u"[ОШИБКА] Ошибка записи во флеш"},
    {Str::FwErrExit,
     u"[ERROR] Failed to send exit command",
     u"[ОШИБКА] Не удалось отправить команду выхода"},
    {Str::FwSuccess,
     u"[SUCCESS] Firmware uploaded successfully!",
     u"[УСПЕХ] Прошивка успешно загружена!"},
};
// clang-format on

constexpr bool listedInIdOrder()
{
    for (std::size_t i = 0; i < std::size(kTexts); ++i) {
        if (static_cast<std::size_t>(kTexts[i].id) != i)
            return false;
    }
    return true;
}

static_assert(std::size(kTexts) == static_cast<std::size_t>(Str::FwSuccess) + 1,
              "every identifier needs exactly one entry");
static_assert(listedInIdOrder(), "entries must follow the identifier values");

QString wrapStatic(QStringView text)
{
    return QString::fromRawData(reinterpret_cast<const QChar *>(text.utf16()), text.size());
}

} // namespace

I18n *I18n::instance()
{
    static I18n s_instance;
    return &s_instance;
}

I18n::I18n()
    : m_language(Lang::English)
{
    detectLanguage();
}

void I18n::detectLanguage()
{
    // Only the language counts: Russian in any territory gets the Russian texts,
    // while Ukrainian, Belarusian, Kazakh and every other language get English.
    m_language = QLocale().language() == QLocale::Russian ? Lang::Russian : Lang::English;
    loadStrings();
}

void I18n::setLanguage(Lang lang)
{
    m_language = lang;
    loadStrings();
}

void I18n::loadStrings()
{
    // Let go of the old texts first: a copy held elsewhere keeps them, otherwise
    // the nodes are freed before the new ones are built.
    m_strings.clear();

    const bool russian = m_language == Lang::Russian;
    QMap<Str, QString> strings;
    for (const Entry &entry : kTexts)
        strings.insert(strings.cend(), entry.id,
                       wrapStatic(russian ? entry.russian : entry.english));
    m_strings = std::move(strings);
}

QString I18n::tr(Str id) const
{
    const auto it = m_strings.constFind(id);
    if (it == m_strings.cend())
        return QStringLiteral("???");
    return it.value();
}

Lang I18n::language() const
{
    return m_language;
}
