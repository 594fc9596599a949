<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>BusScanDialog</name>
    <message>
        <source>Scan Bus</source>
        <translation>Сканирование шины</translation>
    </message>
    <message>
        <source>What to scan</source>
        <translation>Что сканировать</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Порт:</translation>
    </message>
    <message>
        <source>to</source>
        <translation>по</translation>
    </message>
    <message>
        <source>Nodes:</source>
        <translation>Адреса:</translation>
    </message>
    <message>
        <source>Baud rates:</source>
        <translation>Скорости:</translation>
    </message>
    <message>
        <source>All settings</source>
        <translation>Все варианты</translation>
    </message>
    <message>
        <source>Parities:</source>
        <translation>Чётность:</translation>
    </message>
    <message>
        <source>How long a device may take to answer beyond the time its frames need.</source>
        <translation>Сколько устройство может задержать ответ сверх времени передачи кадров.</translation>
    </message>
    <message>
        <source>Reply allowance:</source>
        <translation>Запас на ответ:</translation>
    </message>
    <message>
        <source>Ask silent nodes once more at the end, with a longer allowance</source>
        <translation>В конце повторно опросить молчащие адреса с увеличенным запасом</translation>
    </message>
    <message>
        <source>Stop at the first device found</source>
        <translation>Остановиться на первом найденном устройстве</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Пуск</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Node</source>
        <translation>Адрес</translation>
    </message>
    <message>
        <source>Baud rate</source>
        <translation>Скорость</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>Чётность</translation>
    </message>
    <message>
        <source>Signature</source>
        <translation>Сигнатура</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Устройство</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Версия</translation>
    </message>
    <message>
        <source>Reply time</source>
        <translation>Время ответа</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Подключить</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Копировать</translation>
    </message>
    <message>
        <source>Save as CSV...</source>
        <translation>Сохранить в CSV...</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
    <message numerus="yes">
        <source>Noise at %1: %n probe(s) got bytes that were no reply.</source>
        <translation>
            <numerusform>Помехи на %1: на %n запрос пришли байты, не являющиеся ответом.</numerusform>
            <numerusform>Помехи на %1: на %n запроса пришли байты, не являющиеся ответом.</numerusform>
            <numerusform>Помехи на %1: на %n запросов пришли байты, не являющиеся ответом.</numerusform>
        </translation>
    </message>
    <message>
        <source>Choose a port, at least one baud rate and parity, and a first node no higher than the last.</source>
        <translation>Выберите порт, хотя бы одну скорость и одну чётность, а первый адрес задайте не больше последнего.</translation>
    </message>
    <message numerus="yes">
        <source>Scanning nodes %1 to %2 at %n line setting(s)...</source>
        <translation>
            <numerusform>Сканирование адресов с %1 по %2 при %n настройке линии...</numerusform>
            <numerusform>Сканирование адресов с %1 по %2 при %n настройках линии...</numerusform>
            <numerusform>Сканирование адресов с %1 по %2 при %n настройках линии...</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Scan finished: %n device(s) found.</source>
        <translation>
            <numerusform>Сканирование завершено: найдено %n устройство.</numerusform>
            <numerusform>Сканирование завершено: найдено %n устройства.</numerusform>
            <numerusform>Сканирование завершено: найдено %n устройств.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Scan cancelled: %n device(s) found so far.</source>
        <translation>
            <numerusform>Сканирование отменено: к этому моменту найдено %n устройство.</numerusform>
            <numerusform>Сканирование отменено: к этому моменту найдено %n устройства.</numerusform>
            <numerusform>Сканирование отменено: к этому моменту найдено %n устройств.</numerusform>
        </translation>
    </message>
    <message>
        <source>answers with an exception</source>
        <translation>отвечает исключением</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>неизвестно</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 ms</translation>
    </message>
    <message>
        <source>Found node %1 at %2: %3.</source>
        <translation>Найден адрес %1 при %2: %3.</translation>
    </message>
    <message>
        <source>about %1 min left</source>
        <translation>осталось около %1 мин</translation>
    </message>
    <message>
        <source>about %1 s left</source>
        <translation>осталось около %1 s</translation>
    </message>
    <message>
        <source>Save Devices Found</source>
        <translation>Сохранить найденные устройства</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>Файлы CSV (*.csv)</translation>
    </message>
    <message>
        <source>The file %1 could not be written: %2</source>
        <translation>Не удалось записать файл %1: %2</translation>
    </message>
</context>
<context>
    <name>CloneDialog</name>
    <message>
        <source>Clone Configuration</source>
        <translation>Клонирование конфигурации</translation>
    </message>
    <message>
        <source>File:</source>
        <translation>Файл:</translation>
    </message>
    <message>
        <source>Device type:</source>
        <translation>Тип устройства:</translation>
    </message>
    <message>
        <source>Line:</source>
        <translation>Линия:</translation>
    </message>
    <message>
        <source>%1, %2 baud, parity %3</source>
        <translation>%1, %2 бод, чётность %3</translation>
    </message>
    <message>
        <source>for example 2-9, 12</source>
        <translation>например, 2-9, 12</translation>
    </message>
    <message>
        <source>Find Devices of This Type</source>
        <translation>Найти устройства этого типа</translation>
    </message>
    <message>
        <source>Nodes:</source>
        <translation>Адреса:</translation>
    </message>
    <message>
        <source>Save to flash on each device</source>
        <translation>Сохранить во флеш на каждом устройстве</translation>
    </message>
    <message>
        <source>Node</source>
        <translation>Адрес</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Результат</translation>
    </message>
    <message>
        <source>Details</source>
        <translation>Подробности</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Пуск</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
    <message>
        <source>No plug-in serves devices of type %1.</source>
        <translation>Нет плагина для устройств типа %1.</translation>
    </message>
    <message>
        <source>Restoring node %1...</source>
        <translation>Восстановление на адресе %1...</translation>
    </message>
    <message>
        <source>Clone of %1: %2 of %3 devices done.</source>
        <translation>Клонирование %1 завершено: успешно — %2 из %3.</translation>
    </message>
    <message>
        <source>Cancelling after the device being restored...</source>
        <translation>Отмена после завершения текущего устройства...</translation>
    </message>
    <message>
        <source>Found so far: %1</source>
        <translation>Найдено на данный момент: %1</translation>
    </message>
    <message>
        <source>No %1 answers on this line.</source>
        <translation>На этой линии не отвечает ни один %1.</translation>
    </message>
    <message>
        <source>Devices of this type found: %1.</source>
        <translation>Найдено устройств этого типа: %1.</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Выполнено</translation>
    </message>
    <message>
        <source>Skipped</source>
        <translation>Пропущено</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Ошибка</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Отменено</translation>
    </message>
    <message>
        <source>Clone to node %1: %2</source>
        <translation>Клонирование на адрес %1: %2</translation>
    </message>
    <message>
        <source>Clone to node %1: %2 (%3)</source>
        <translation>Клонирование на адрес %1: %2 (%3)</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
</context>
<context>
    <name>ConfigurationCompareDialog</name>
    <message>
        <source>Restore from File</source>
        <translation>Восстановление из файла</translation>
    </message>
    <message>
        <source>Compare with File</source>
        <translation>Сравнение с файлом</translation>
    </message>
    <message>
        <source>File: %1 (firmware %2), saved %3.</source>
        <translation>Файл: %1 (прошивка %2), сохранён %3.</translation>
    </message>
    <message>
        <source>Note: %1</source>
        <translation>Примечание: %1</translation>
    </message>
    <message>
        <source>The device holds the file&apos;s settings.</source>
        <translation>Настройки устройства совпадают с файлом.</translation>
    </message>
    <message>
        <source>Fields that differ from the file: %1.</source>
        <translation>Параметров, отличающихся от файла: %1.</translation>
    </message>
    <message>
        <source>Field</source>
        <translation>Параметр</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Устройство</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Файл</translation>
    </message>
    <message>
        <source>%1 (line setting)</source>
        <translation>%1 (настройка линии)</translation>
    </message>
    <message>
        <source>Show only the fields that differ</source>
        <translation>Показывать только отличающиеся параметры</translation>
    </message>
    <message>
        <source>Also apply the file&apos;s node address, baud rate and parity</source>
        <translation>Применить также адрес, скорость и чётность из файла</translation>
    </message>
    <message>
        <source>Leave this off when the file goes to several devices on one line: they would all take the same node address.</source>
        <translation>Не включайте, если файл записывается в несколько устройств на одной линии: все они получат один и тот же адрес.</translation>
    </message>
    <message>
        <source>Restore and Save to Flash</source>
        <translation>Восстановить и сохранить во флеш</translation>
    </message>
</context>
<context>
    <name>ConfigurationMenu</name>
    <message>
        <source>Save Configuration As...</source>
        <translation>Сохранить конфигурацию как...</translation>
    </message>
    <message>
        <source>Save Configuration As</source>
        <translation>Сохранить конфигурацию как</translation>
    </message>
    <message>
        <source>Note to keep with the file (optional):</source>
        <translation>Примечание к файлу (необязательно):</translation>
    </message>
    <message>
        <source>Compare with File...</source>
        <translation>Сравнить с файлом...</translation>
    </message>
    <message>
        <source>Compare with File</source>
        <translation>Сравнение с файлом</translation>
    </message>
    <message>
        <source>Restore from File...</source>
        <translation>Восстановить из файла...</translation>
    </message>
    <message>
        <source>Restore from File</source>
        <translation>Восстановление из файла</translation>
    </message>
    <message>
        <source>Clone to Devices...</source>
        <translation>Клонировать на устройства...</translation>
    </message>
    <message>
        <source>Clone Configuration</source>
        <translation>Клонирование конфигурации</translation>
    </message>
    <message>
        <source>Save Configuration</source>
        <translation>Сохранение конфигурации</translation>
    </message>
    <message>
        <source>The configuration could not be read: %1</source>
        <translation>Не удалось прочитать конфигурацию: %1</translation>
    </message>
    <message>
        <source>Configuration of %1 saved to %2.</source>
        <translation>Конфигурация %1 сохранена в %2.</translation>
    </message>
    <message>
        <source>Compared with %1: fields that differ: %2.</source>
        <translation>Сравнение с %1: отличающихся параметров: %2.</translation>
    </message>
    <message>
        <source>The restore stopped: %1
Nothing was saved to flash; the device keeps what was written only until it restarts.</source>
        <translation>Восстановление прервано: %1
Во флеш ничего не сохранено; записанные значения действуют в устройстве только до его перезапуска.</translation>
    </message>
    <message>
        <source>Configuration restored from %1 and saved to flash; blocks written: %2.</source>
        <translation>Конфигурация восстановлена из %1 и сохранена во флеш; записано блоков: %2.</translation>
    </message>
    <message>
        <source>The device holds the file&apos;s settings and has saved them.</source>
        <translation>Настройки из файла записаны в устройство и сохранены во флеш.</translation>
    </message>
    <message>
        <source>No plug-in serves devices of type %1.</source>
        <translation>Нет плагина для устройств типа %1.</translation>
    </message>
    <message>
        <source>The clone needs the port: the connection to the device ends, and changes not written to it are lost. Disconnect and go on?</source>
        <translation>Для клонирования нужен порт: подключение к устройству будет закрыто, а незаписанные в него изменения пропадут. Отключить и продолжить?</translation>
    </message>
    <message>
        <source>Tavrolix configuration (*.%1)</source>
        <translation>Конфигурация Tavrolix (*.%1)</translation>
    </message>
    <message>
        <source>Configuration File</source>
        <translation>Файл конфигурации</translation>
    </message>
</context>
<context>
    <name>LinkHealthButton</name>
    <message>
        <source>Requests on this connection. Click to reset.</source>
        <translation>Запросы по текущему подключению. Нажмите, чтобы сбросить.</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>&amp;Device</source>
        <translation>&amp;Устройство</translation>
    </message>
    <message>
        <source>View</source>
        <translation>Вид</translation>
    </message>
    <message>
        <source>Scan Bus...</source>
        <translation>Сканирование шины...</translation>
    </message>
    <message>
        <source>Register View...</source>
        <translation>Просмотр регистров...</translation>
    </message>
    <message>
        <source>Unsaved Changes</source>
        <translation>Несохранённые изменения</translation>
    </message>
    <message>
        <source>The device has changes that are not saved to its flash; a power cycle loses them. Disconnect anyway?</source>
        <translation>В устройстве есть изменения, не сохранённые во флеш; при отключении питания они пропадут. Всё равно отключить?</translation>
    </message>
    <message>
        <source>Port %1 did not open: check that the adapter is plugged in and that no other program uses it; Refresh lists the ports there are.</source>
        <translation>Порт %1 не открылся: проверьте, что адаптер подключён и порт не занят другой программой; кнопка «Обновить» покажет доступные порты.</translation>
    </message>
    <message>
        <source>Node %1 at %2 baud, parity %3 did not answer: check wiring, node, baud rate and parity, or use Scan Bus.</source>
        <translation>Адрес %1 (%2 бод, чётность %3) не ответил: проверьте проводку, адрес, скорость и чётность или выполните «Сканирование шины».</translation>
    </message>
    <message>
        <source>Open Register View</source>
        <translation>Открыть просмотр регистров</translation>
    </message>
    <message>
        <source>Connection lost: %1 (%2)</source>
        <translation>Связь потеряна: %1 (%2)</translation>
    </message>
    <message>
        <source>The device has changes that are not saved to its flash; a power cycle loses them. Quit anyway?</source>
        <translation>В устройстве есть изменения, не сохранённые во флеш; при отключении питания они пропадут. Всё равно выйти?</translation>
    </message>
    <message>
        <source>Save to flash failed: %1</source>
        <translation>Ошибка сохранения во флеш: %1</translation>
    </message>
    <message>
        <source>Read All replaces your changes with the device&apos;s values. Read anyway?</source>
        <translation>«Прочитать всё» заменит ваши изменения значениями из устройства. Всё равно прочитать?</translation>
    </message>
    <message>
        <source>Scan Bus</source>
        <translation>Сканирование шины</translation>
    </message>
    <message>
        <source>The scan needs the port: the connection to the device ends, and changes not written to it are lost. Disconnect and scan?</source>
        <translation>Для сканирования нужен порт: подключение к устройству будет закрыто, а незаписанные в него изменения пропадут. Отключить и сканировать?</translation>
    </message>
</context>
<context>
    <name>ReconnectOffer</name>
    <message>
        <source>Reconnect</source>
        <translation>Переподключить</translation>
    </message>
</context>
<context>
    <name>RegisterView</name>
    <message>
        <source>Register View</source>
        <translation>Просмотр регистров</translation>
    </message>
    <message>
        <source>Choose a port in the main window first.</source>
        <translation>Сначала выберите порт в главном окне.</translation>
    </message>
    <message>
        <source>Could not open %1: %2</source>
        <translation>Не удалось открыть %1: %2</translation>
    </message>
    <message>
        <source>Port %1 opened at %2 baud, parity %3.</source>
        <translation>Порт %1 открыт: %2 бод, чётность %3.</translation>
    </message>
    <message>
        <source>Node:</source>
        <translation>Адрес:</translation>
    </message>
    <message>
        <source>Holding registers (03)</source>
        <translation>Регистры хранения (03)</translation>
    </message>
    <message>
        <source>Input registers (04)</source>
        <translation>Регистры ввода (04)</translation>
    </message>
    <message>
        <source>Coils (01)</source>
        <translation>Дискретные выходы (01)</translation>
    </message>
    <message>
        <source>Discrete inputs (02)</source>
        <translation>Дискретные входы (02)</translation>
    </message>
    <message>
        <source>Table:</source>
        <translation>Таблица:</translation>
    </message>
    <message>
        <source>Count:</source>
        <translation>Количество:</translation>
    </message>
    <message>
        <source>Start address:</source>
        <translation>Начальный адрес:</translation>
    </message>
    <message>
        <source>Unsigned</source>
        <translation>Беззнаковое</translation>
    </message>
    <message>
        <source>Signed</source>
        <translation>Знаковое</translation>
    </message>
    <message>
        <source>Hex</source>
        <translation>Hex</translation>
    </message>
    <message>
        <source>32-bit, high word first</source>
        <translation>32 бита, старшее слово первым</translation>
    </message>
    <message>
        <source>32-bit, low word first</source>
        <translation>32 бита, младшее слово первым</translation>
    </message>
    <message>
        <source>Format:</source>
        <translation>Формат:</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Выкл.</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 ms</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>Read</source>
        <translation>Прочитать</translation>
    </message>
    <message>
        <source>Poll:</source>
        <translation>Опрос:</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>Адрес</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Значение</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
    <message>
        <source>Not connected: close the view and connect again.</source>
        <translation>Нет подключения: закройте окно и подключитесь снова.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a value for address %2.</source>
        <translation>«%1» — недопустимое значение для адреса %2.</translation>
    </message>
    <message>
        <source>Wrote %1 to address %2.</source>
        <translation>Значение %1 записано по адресу %2.</translation>
    </message>
    <message>
        <source>Address %1 was not written: %2</source>
        <translation>Не удалось записать адрес %1: %2</translation>
    </message>
</context>
<context>
    <name>RestartCheck</name>
    <message>
        <source>Verify after restart (node %1, %2 baud, parity %3)</source>
        <translation>Проверить после перезапуска (адрес %1, %2 бод, чётность %3)</translation>
    </message>
    <message>
        <source>After a successful upload, wait up to %1 s for the application to answer at the main window&apos;s connection settings.</source>
        <translation>После успешной загрузки ждать до %1 s ответа основной программы при настройках подключения главного окна.</translation>
    </message>
    <message>
        <source>Waiting for the application at node %1, %2 baud, parity %3...</source>
        <translation>Ожидание ответа основной программы: адрес %1, %2 бод, чётность %3...</translation>
    </message>
    <message>
        <source>The application did not answer: %1</source>
        <translation>Основная программа не ответила: %1</translation>
    </message>
    <message>
        <source>The application answers after %1 s: %2 (signature %3), firmware %4.</source>
        <translation>Основная программа ответила через %1 s: %2 (сигнатура %3), прошивка %4.</translation>
    </message>
    <message>
        <source>unknown device</source>
        <translation>неизвестное устройство</translation>
    </message>
</context>
<context>
    <name>TrafficView</name>
    <message>
        <source>Traffic</source>
        <translation>Трафик</translation>
    </message>
    <message>
        <source>All results</source>
        <translation>Все результаты</translation>
    </message>
    <message>
        <source>All functions</source>
        <translation>Все функции</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Пауза</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Очистить</translation>
    </message>
    <message>
        <source>Save As...</source>
        <translation>Сохранить как...</translation>
    </message>
    <message>
        <source>Save Traffic</source>
        <translation>Сохранение трафика</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>Файлы CSV (*.csv)</translation>
    </message>
    <message>
        <source>Unable to save %1: %2.</source>
        <translation>Не удалось сохранить %1: %2.</translation>
    </message>
</context>
</TS>
