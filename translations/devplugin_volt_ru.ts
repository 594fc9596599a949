<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>VoltmeterPlugin</name>
    <message>
        <source>4 configurable analog inputs + 4 fixed voltage inputs</source>
        <translation>4 настраиваемых аналоговых входа + 4 фиксированных входа напряжения</translation>
    </message>
    <message>
        <source>Input %1 type</source>
        <translation>Вход %1 — тип</translation>
    </message>
    <message>
        <source>Input %1 ramp</source>
        <translation>Вход %1 — плавность</translation>
    </message>
    <message>
        <source>Input %1 multiplier</source>
        <translation>Вход %1 — множитель</translation>
    </message>
    <message>
        <source>Samples per second</source>
        <translation>Выборок в секунду</translation>
    </message>
</context>
<context>
    <name>VoltmeterWidget</name>
    <message>
        <source>Defaults</source>
        <translation>По умолчанию</translation>
    </message>
    <message>
        <source>Monitor</source>
        <translation>Опрос</translation>
    </message>
    <message>
        <source>Configuration</source>
        <translation>Конфигурация</translation>
    </message>
    <message>
        <source>Device Settings</source>
        <translation>Настройки устройства</translation>
    </message>
    <message>
        <source>Monitoring</source>
        <translation>Мониторинг</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>Канал</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Тип</translation>
    </message>
    <message>
        <source>Ramp (ms/unit)</source>
        <translation>Плавность (ms/ед.)</translation>
    </message>
    <message>
        <source>Multiplier</source>
        <translation>Множитель</translation>
    </message>
    <message>
        <source>Raw</source>
        <translation>Сырое знач.</translation>
    </message>
    <message>
        <source>Input %1</source>
        <translation>Вход %1</translation>
    </message>
    <message>
        <source>Disabled</source>
        <translation>Отключён</translation>
    </message>
    <message>
        <source>Pt100 0.00385</source>
        <translation>Pt100 0.00385</translation>
    </message>
    <message>
        <source>0-20mA (4-20mA)</source>
        <translation>0-20 mA (4-20 mA)</translation>
    </message>
    <message>
        <source>100P 0.00391</source>
        <translation>100П 0.00391</translation>
    </message>
    <message>
        <source>Pt1000 0.00385</source>
        <translation>Pt1000 0.00385</translation>
    </message>
    <message>
        <source>Voltage</source>
        <translation>Напряжение</translation>
    </message>
    <message>
        <source>Inputs 5-8 are fixed voltage channels in firmware</source>
        <translation>Входы 5-8 в прошивке жёстко заданы как каналы напряжения</translation>
    </message>
    <message>
        <source>Voltage channels do not use multiplier registers</source>
        <translation>Каналы напряжения не используют регистры множителя</translation>
    </message>
    <message>
        <source>Inputs 5-8: fixed voltage measurement, divider is configured in firmware.</source>
        <translation>Входы 5-8: фиксированное измерение напряжения, делитель задан в прошивке.</translation>
    </message>
    <message>
        <source>Sample Rate (SPS):</source>
        <translation>Частота выборки (SPS):</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Значение</translation>
    </message>
    <message>
        <source>Values update every 100 ms while Monitor is enabled.</source>
        <translation>Значения обновляются каждые 100 ms, пока включён «Опрос».</translation>
    </message>
</context>
</TS>
