<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>DeviceSettingsPage</name>
    <message>
        <source>None</source>
        <translation>Нет</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>Чётн.</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>Нечётн.</translation>
    </message>
    <message>
        <source>Changes take effect after saving to flash
and power cycling the device.</source>
        <translation>Изменения вступают в силу после сохранения во флеш
и повторной подачи питания на устройство.</translation>
    </message>
    <message>
        <source>(1-247)</source>
        <translation>(1-247)</translation>
    </message>
    <message>
        <source>Modbus Address:</source>
        <translation>Адрес Modbus:</translation>
    </message>
    <message>
        <source>Baud Rate:</source>
        <translation>Скорость:</translation>
    </message>
    <message>
        <source>Parity:</source>
        <translation>Чётность:</translation>
    </message>
    <message>
        <source>Changes take effect after saving to flash and reconnecting with new parameters.</source>
        <translation>Изменения вступают в силу после сохранения во флеш и повторного подключения с новыми параметрами.</translation>
    </message>
    <message>
        <source>Serial Port Settings</source>
        <translation>Настройки последовательного порта</translation>
    </message>
    <message>
        <source>Device Info</source>
        <translation>Информация об устройстве</translation>
    </message>
    <message>
        <source>Build Date/Time:</source>
        <translation>Дата/время сборки:</translation>
    </message>
    <message>
        <source>Device Port Settings</source>
        <translation>Настройки порта устройства</translation>
    </message>
</context>
<context>
    <name>SensorReading</name>
    <message>
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
</context>
</TS>
