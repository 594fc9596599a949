<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>BusScanner</name>
    <message>
        <source>A scan is already running.</source>
        <translation>Сканирование уже выполняется.</translation>
    </message>
    <message>
        <source>The port %1 could not be opened: %2</source>
        <translation>Не удалось открыть порт %1: %2</translation>
    </message>
    <message>
        <source>The port %1 was lost.</source>
        <translation>Связь с портом %1 потеряна.</translation>
    </message>
    <message>
        <source>The port %1 was lost: %2</source>
        <translation>Связь с портом %1 потеряна: %2</translation>
    </message>
    <message>
        <source>The port %1 takes no more data.</source>
        <translation>Порт %1 больше не принимает данные.</translation>
    </message>
</context>
<context>
    <name>ConfigurationBlock</name>
    <message>
        <source>Node address</source>
        <translation>Адрес устройства</translation>
    </message>
    <message>
        <source>Baud rate index</source>
        <translation>Индекс скорости</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>Чётность</translation>
    </message>
</context>
<context>
    <name>ConfigurationCloner</name>
    <message>
        <source>No answer: %1</source>
        <translation>Нет ответа: %1</translation>
    </message>
    <message>
        <source>The device is %1, not %2.</source>
        <translation>Это устройство %1, а не %2.</translation>
    </message>
    <message>
        <source>of type %1</source>
        <translation>типа %1</translation>
    </message>
    <message>
        <source>Blocks written: %1</source>
        <translation>Записано блоков: %1</translation>
    </message>
</context>
<context>
    <name>ConfigurationFile</name>
    <message>
        <source>The file is damaged or incomplete: %1 at byte %2.</source>
        <translation>Файл повреждён или неполный: %1 (байт %2).</translation>
    </message>
    <message>
        <source>The file is not a Tavrolix configuration file.</source>
        <translation>Это не файл конфигурации Tavrolix.</translation>
    </message>
    <message>
        <source>The file does not say which format version it has.</source>
        <translation>В файле не указана версия формата.</translation>
    </message>
    <message>
        <source>The file has format version %1; this program reads version %2 and older.</source>
        <translation>Версия формата файла — %1; программа читает версии не новее %2.</translation>
    </message>
    <message>
        <source>The file has no device signature or no blocks.</source>
        <translation>В файле нет сигнатуры устройства или нет блоков.</translation>
    </message>
    <message>
        <source>Block %1 of the file has no table, start address or values.</source>
        <translation>В блоке %1 файла нет таблицы, начального адреса или значений.</translation>
    </message>
    <message>
        <source>The value at %1 %2 is not a number from 0 to %3.</source>
        <translation>Значение по адресу %1 %2 — не число от 0 до %3.</translation>
    </message>
    <message>
        <source>Could not write %1: %2</source>
        <translation>Не удалось записать %1: %2</translation>
    </message>
    <message>
        <source>Could not read %1: %2</source>
        <translation>Не удалось прочитать %1: %2</translation>
    </message>
    <message>
        <source>device type %1</source>
        <translation>устройства типа %1</translation>
    </message>
    <message>
        <source>%1 (device type %2)</source>
        <translation>%1 (тип устройства %2)</translation>
    </message>
    <message>
        <source>The file is for %1, not for the %2.</source>
        <translation>Файл предназначен для %1, а не для %2.</translation>
    </message>
    <message>
        <source>The file has %1 values at %2 %3, which the %4 does not keep.</source>
        <translation>В файле есть блок по адресу %2 %3 (значений: %1), которого нет у %4.</translation>
    </message>
</context>
<context>
    <name>ConfigurationTransfer</name>
    <message>
        <source>Reading %1 failed: %2</source>
        <translation>Не удалось прочитать «%1»: %2</translation>
    </message>
    <message>
        <source>Writing %1 failed: %2</source>
        <translation>Не удалось записать «%1»: %2</translation>
    </message>
    <message>
        <source>Reading %1 back failed: %2</source>
        <translation>Не удалось прочитать «%1» для проверки: %2</translation>
    </message>
    <message>
        <source>%1 was written as %2, but the device holds %3.</source>
        <translation>В «%1» записано %2, но в устройстве %3.</translation>
    </message>
    <message>
        <source>The device did not take the save command: %1</source>
        <translation>Устройство не приняло команду сохранения: %1</translation>
    </message>
</context>
<context>
    <name>DeviceSession</name>
    <message>
        <source>No device has been identified on this connection.</source>
        <translation>На этом подключении устройство не определено.</translation>
    </message>
</context>
<context>
    <name>ExchangeFormatter</name>
    <message>
        <source>node %1</source>
        <translation>адрес %1</translation>
    </message>
    <message>
        <source>Read Coils</source>
        <translation>Чтение флагов</translation>
    </message>
    <message>
        <source>Read Discrete Inputs</source>
        <translation>Чтение дискретных входов</translation>
    </message>
    <message>
        <source>Read Holding Registers</source>
        <translation>Чтение регистров хранения</translation>
    </message>
    <message>
        <source>Read Input Registers</source>
        <translation>Чтение входных регистров</translation>
    </message>
    <message>
        <source>Write Single Coil</source>
        <translation>Запись одного флага</translation>
    </message>
    <message>
        <source>Write Single Register</source>
        <translation>Запись одного регистра</translation>
    </message>
    <message>
        <source>Write Multiple Coils</source>
        <translation>Запись нескольких флагов</translation>
    </message>
    <message>
        <source>Write Multiple Registers</source>
        <translation>Запись нескольких регистров</translation>
    </message>
    <message>
        <source>Function %1</source>
        <translation>Функция %1</translation>
    </message>
    <message>
        <source>exception %1 (%2)</source>
        <extracomment>%1 is the exception code the device sent, %2 its name</extracomment>
        <translation>исключение %1 (%2)</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>успешно</translation>
    </message>
    <message>
        <source>exception</source>
        <translation>исключение</translation>
    </message>
    <message>
        <source>time-out</source>
        <translation>тайм-аут</translation>
    </message>
    <message>
        <source>invalid reply</source>
        <translation>неверный ответ</translation>
    </message>
    <message>
        <source>not connected</source>
        <translation>нет подключения</translation>
    </message>
    <message>
        <source>port lost</source>
        <translation>порт потерян</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 ms</translation>
    </message>
    <message>
        <source>illegal function</source>
        <translation>недопустимая функция</translation>
    </message>
    <message>
        <source>illegal data address</source>
        <translation>недопустимый адрес данных</translation>
    </message>
    <message>
        <source>illegal data value</source>
        <translation>недопустимое значение данных</translation>
    </message>
    <message>
        <source>server device failure</source>
        <translation>сбой ведомого устройства</translation>
    </message>
    <message>
        <source>acknowledge</source>
        <translation>подтверждение (запрос принят)</translation>
    </message>
    <message>
        <source>server device busy</source>
        <translation>ведомое устройство занято</translation>
    </message>
    <message>
        <source>memory parity error</source>
        <translation>ошибка чётности памяти</translation>
    </message>
    <message>
        <source>gateway path unavailable</source>
        <translation>путь через шлюз недоступен</translation>
    </message>
    <message>
        <source>gateway target device failed to respond</source>
        <translation>целевое устройство за шлюзом не ответило</translation>
    </message>
    <message>
        <source>unknown exception</source>
        <translation>неизвестное исключение</translation>
    </message>
</context>
<context>
    <name>FirmwareUploader</name>
    <message>
        <source>Still waiting for the bootloader: %1 s, %2 polls.</source>
        <translation>Ожидание бутлоадера: %1 s, опросов: %2.</translation>
    </message>
    <message>
        <source>Connection lost: %1</source>
        <translation>Связь потеряна: %1</translation>
    </message>
</context>
<context>
    <name>FirmwareWidget</name>
    <message>
        <source>The next upload sends %1.</source>
        <translation>При следующей загрузке будет отправлен файл %1.</translation>
    </message>
    <message>
        <source>No image file chosen yet: Upload asks for one.</source>
        <translation>Файл прошивки ещё не выбран: его запросит кнопка «Загрузить прошивку».</translation>
    </message>
</context>
<context>
    <name>LinkHealth</name>
    <message>
        <source>%1 requests, %2 failed, %3 timed out, reply %4 ms mean, %5 ms worst</source>
        <translation>запросов: %1, ошибок: %2, тайм-аутов: %3, ответ: в среднем %4 ms, макс. %5 ms</translation>
    </message>
</context>
<context>
    <name>ModbusClient</name>
    <message>
        <source>Connection failed: %1</source>
        <translation>Ошибка подключения: %1</translation>
    </message>
    <message>
        <source>Port lost: %1</source>
        <translation>Связь с портом потеряна: %1</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>Нет подключения</translation>
    </message>
    <message>
        <source>Invalid reply</source>
        <translation>Неверный ответ</translation>
    </message>
    <message>
        <source>Timeout</source>
        <translation>Тайм-аут</translation>
    </message>
    <message>
        <source>Modbus exception %1 (%2)</source>
        <extracomment>%1 is the exception code the device sent, %2 its name</extracomment>
        <translation>Исключение Modbus %1 (%2)</translation>
    </message>
</context>
<context>
    <name>NodeList</name>
    <message>
        <source>&quot;%1&quot; is not a node or a range of nodes such as 2-9.</source>
        <translation>«%1» — не адрес и не диапазон адресов вида 2-9.</translation>
    </message>
    <message>
        <source>Nodes go from %1 to %2; &quot;%3&quot; is outside.</source>
        <translation>Адреса допустимы от %1 до %2; «%3» вне диапазона.</translation>
    </message>
</context>
<context>
    <name>PortWatcher</name>
    <message>
        <source>The device node is gone.</source>
        <translation>Файл устройства порта исчез из системы.</translation>
    </message>
</context>
<context>
    <name>RestartVerifier</name>
    <message>
        <source>Cancelled.</source>
        <translation>Отменено.</translation>
    </message>
    <message>
        <source>No answer at node %1, %2 baud, parity %3 within %4 s: %5</source>
        <translation>Нет ответа от адреса %1 (скорость %2, чётность %3) за %4 s: %5</translation>
    </message>
</context>
<context>
    <name>TrafficLog</name>
    <message>
        <source>Time</source>
        <translation>Время</translation>
    </message>
    <message>
        <source>Node</source>
        <translation>Адрес</translation>
    </message>
    <message>
        <source>Function</source>
        <translation>Функция</translation>
    </message>
    <message>
        <source>Address+Count</source>
        <translation>Регистр+кол-во</translation>
    </message>
    <message>
        <source>Values</source>
        <translation>Значения</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Результат</translation>
    </message>
    <message>
        <source>Reply</source>
        <translation>Ответ</translation>
    </message>
</context>
</TS>
