<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>CliCommands</name>
    <message>
        <source>Cancelling...</source>
        <translation>Отмена...</translation>
    </message>
    <message>
        <source>node %1, %2: %3 (signature %4), firmware %5</source>
        <translation>адрес %1, %2: %3 (сигнатура %4), прошивка %5</translation>
    </message>
    <message>
        <source>Found node %1 at %2 baud, parity %3.</source>
        <translation>Найден адрес %1: скорость %2, чётность %3.</translation>
    </message>
    <message>
        <source>node %1, %2: answers with exceptions only, %3 ms</source>
        <translation>адрес %1, %2: отвечает только исключениями, %3 ms</translation>
    </message>
    <message>
        <source>node %1, %2: %3 (signature %4), firmware %5, %6 ms</source>
        <translation>адрес %1, %2: %3 (сигнатура %4), прошивка %5, %6 ms</translation>
    </message>
    <message>
        <source>No device answered.</source>
        <translation>Ни одно устройство не ответило.</translation>
    </message>
    <message>
        <source>No plug-in keeps the configuration of device type %1.</source>
        <translation>Нет плагина, который работает с конфигурацией устройств типа %1.</translation>
    </message>
    <message>
        <source>Configuration of %1 at node %2 saved to %3.</source>
        <translation>Конфигурация %1 (адрес %2) сохранена в %3.</translation>
    </message>
    <message>
        <source>%1: device %2, file %3</source>
        <translation>%1: в устройстве %2, в файле %3</translation>
    </message>
    <message>
        <source>The device holds the file&apos;s settings.</source>
        <translation>Настройки устройства совпадают с файлом.</translation>
    </message>
    <message>
        <source>Restored to node %1 and saved to flash; blocks written: %2.</source>
        <translation>Адрес %1: конфигурация восстановлена и сохранена во флеш; записано блоков: %2.</translation>
    </message>
    <message>
        <source>Restored to node %1, not saved to flash; blocks written: %2.</source>
        <translation>Адрес %1: конфигурация восстановлена, но не сохранена во флеш; записано блоков: %2.</translation>
    </message>
    <message>
        <source>node %1: %2</source>
        <translation>адрес %1: %2</translation>
    </message>
    <message>
        <source>node %1: %2 (%3)</source>
        <translation>адрес %1: %2 (%3)</translation>
    </message>
    <message>
        <source>Could not read %1: %2</source>
        <translation>Не удалось прочитать %1: %2</translation>
    </message>
    <message>
        <source>%1 is not a sound firmware image; nothing was uploaded.</source>
        <translation>%1 — повреждённый или неверный файл прошивки; ничего не загружено.</translation>
    </message>
    <message>
        <source>Firmware uploaded.</source>
        <translation>Прошивка загружена.</translation>
    </message>
    <message>
        <source>Waiting for the application at node %1, %2...</source>
        <translation>Ожидание ответа основной программы: адрес %1, %2...</translation>
    </message>
    <message>
        <source>Firmware uploaded; the application answers: %1 (signature %2), firmware %3.</source>
        <translation>Прошивка загружена; основная программа отвечает: %1 (сигнатура %2), прошивка %3.</translation>
    </message>
    <message>
        <source>configuration files</source>
        <translation>файлы конфигурации</translation>
    </message>
    <message>
        <source>no configuration files</source>
        <translation>без файлов конфигурации</translation>
    </message>
    <message>
        <source>No plug-ins found.</source>
        <translation>Плагины не найдены.</translation>
    </message>
    <message>
        <source>No answer from node %1 at %2: %3</source>
        <translation>Нет ответа от адреса %1 (%2): %3</translation>
    </message>
    <message>
        <source>done</source>
        <translation>выполнено</translation>
    </message>
    <message>
        <source>skipped</source>
        <translation>пропущено</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>ошибка</translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation>отменено</translation>
    </message>
</context>
<context>
    <name>CliOptions</name>
    <message>
        <source>Reads the device&apos;s signature and firmware version.</source>
        <translation>Читает сигнатуру и версию прошивки устройства.</translation>
    </message>
    <message>
        <source>Finds the devices on the line.</source>
        <translation>Ищет устройства на линии.</translation>
    </message>
    <message>
        <source>Reads the device&apos;s configuration into FILE.</source>
        <translation>Читает конфигурацию устройства и сохраняет её в FILE.</translation>
    </message>
    <message>
        <source>Prints the fields in which the device differs from FILE.</source>
        <translation>Выводит параметры, в которых устройство отличается от FILE.</translation>
    </message>
    <message>
        <source>Writes what differs from FILE, verifies it and saves it to flash.</source>
        <translation>Записывает отличия от FILE, проверяет их и сохраняет во флеш.</translation>
    </message>
    <message>
        <source>Restores FILE to each node of --nodes in turn.</source>
        <translation>Восстанавливает FILE по очереди на каждом адресе из --nodes.</translation>
    </message>
    <message>
        <source>Uploads the firmware image FILE through the bootloader (unit 16, 115200 8N1 on --port).</source>
        <translation>Загружает прошивку FILE через бутлоадер (адрес 16, 115200 8N1 на --port).</translation>
    </message>
    <message>
        <source>Lists the device plug-ins.</source>
        <translation>Выводит список плагинов устройств.</translation>
    </message>
    <message>
        <source>Usage: tavrolix-cli COMMAND [options]

Commands:
</source>
        <translation>Использование: tavrolix-cli COMMAND [options]

Команды:
</translation>
    </message>
    <message>
        <source>
&quot;tavrolix-cli COMMAND --help&quot; shows the options of a command.
Exit codes: 0 done; 1 done with a negative answer; 2 bad usage or a bad file; 3 the port could not be opened or was lost; 4 the device did not answer, answered with the wrong signature, or refused or failed verification; 5 cancelled.
</source>
        <translation>
&quot;tavrolix-cli COMMAND --help&quot; показывает параметры команды.
Коды завершения: 0 — выполнено; 1 — выполнено, ответ отрицательный; 2 — неверный вызов или неверный файл; 3 — не удалось открыть порт или связь с портом потеряна; 4 — устройство не ответило, ответило с неверной сигнатурой, отказало или не прошло проверку; 5 — отменено.
</translation>
    </message>
    <message>
        <source>Unknown command &quot;%1&quot;.</source>
        <translation>Неизвестная команда &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>The serial port (required).</source>
        <translation>Последовательный порт (обязательно).</translation>
    </message>
    <message>
        <source>Baud rate (default 9600).</source>
        <translation>Скорость (по умолчанию 9600).</translation>
    </message>
    <message>
        <source>Parity: N, E or O (default N).</source>
        <translation>Чётность: N, E или O (по умолчанию N).</translation>
    </message>
    <message>
        <source>Node address (default 1).</source>
        <translation>Адрес устройства (по умолчанию 1).</translation>
    </message>
    <message>
        <source>Every exchange decoded on standard error.</source>
        <translation>Расшифровка каждого обмена в стандартный поток ошибок.</translation>
    </message>
    <message>
        <source>Machine-readable result on standard output.</source>
        <translation>Машиночитаемый результат в стандартный вывод.</translation>
    </message>
    <message>
        <source>Nodes to probe, e.g. 1-247 (default) or 2-9,12.</source>
        <translation>Опрашиваемые адреса, например 1-247 (по умолчанию) или 2-9,12.</translation>
    </message>
    <message>
        <source>Nodes to restore, e.g. 2-9,12 (required).</source>
        <translation>Адреса для восстановления, например 2-9,12 (обязательно).</translation>
    </message>
    <message>
        <source>Baud rates to try, e.g. 9600,19200, or all (default: --baud).</source>
        <translation>Проверяемые скорости, например 9600,19200, или all (по умолчанию: --baud).</translation>
    </message>
    <message>
        <source>Parities to try, e.g. N,E, or all (default: --parity).</source>
        <translation>Проверяемые чётности, например N,E, или all (по умолчанию: --parity).</translation>
    </message>
    <message>
        <source>Milliseconds a device may take beyond its frames (%1 to %2, default %3).</source>
        <translation>Запас времени на ответ сверх длительности кадров, ms (от %1 до %2, по умолчанию %3).</translation>
    </message>
    <message>
        <source>Also write the file&apos;s node, baud rate and parity.</source>
        <translation>Записать также адрес, скорость и чётность из файла.</translation>
    </message>
    <message>
        <source>Do not send the save command.</source>
        <translation>Не отправлять команду сохранения во флеш.</translation>
    </message>
    <message>
        <source>After the upload, wait for the application at this node.</source>
        <translation>После загрузки ждать ответа основной программы по этому адресу.</translation>
    </message>
    <message>
        <source>... at this baud rate (default 9600).</source>
        <translation>... на этой скорости (по умолчанию 9600).</translation>
    </message>
    <message>
        <source>... with this parity (default N).</source>
        <translation>... с этой чётностью (по умолчанию N).</translation>
    </message>
    <message>
        <source>The file.</source>
        <translation>Файл.</translation>
    </message>
    <message>
        <source>%1 needs one FILE.</source>
        <translation>Команде %1 нужен один FILE.</translation>
    </message>
    <message>
        <source>%1 takes no file.</source>
        <translation>Команде %1 файл не нужен.</translation>
    </message>
    <message>
        <source>--port is required.</source>
        <translation>Параметр --port обязателен.</translation>
    </message>
    <message>
        <source>--baud %1 is not one of %2.</source>
        <translation>--baud %1: недопустимое значение; допустимы: %2.</translation>
    </message>
    <message>
        <source>--parity must be N, E or O.</source>
        <translation>Значение --parity должно быть N, E или O.</translation>
    </message>
    <message>
        <source>--node must be from %1 to %2.</source>
        <translation>Значение --node должно быть от %1 до %2.</translation>
    </message>
    <message>
        <source>clone needs --nodes.</source>
        <translation>Команде clone нужен параметр --nodes.</translation>
    </message>
    <message>
        <source>--bauds: %1 is not one of %2.</source>
        <translation>--bauds: %1 — недопустимое значение; допустимы: %2.</translation>
    </message>
    <message>
        <source>--parities: %1 is not N, E or O.</source>
        <translation>--parities: %1 — не N, E и не O.</translation>
    </message>
    <message>
        <source>--allowance must be from %1 to %2 ms.</source>
        <translation>Значение --allowance должно быть от %1 до %2 ms.</translation>
    </message>
    <message>
        <source>--verify-node must be from %1 to %2.</source>
        <translation>Значение --verify-node должно быть от %1 до %2.</translation>
    </message>
    <message>
        <source>--verify-baud %1 is not one of %2.</source>
        <translation>--verify-baud %1: недопустимое значение; допустимы: %2.</translation>
    </message>
    <message>
        <source>--verify-parity must be N, E or O.</source>
        <translation>Значение --verify-parity должно быть N, E или O.</translation>
    </message>
</context>
</TS>
