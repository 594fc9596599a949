<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>Indicator4Plugin</name>
    <message>
        <source>4-channel LED indicator display</source>
        <translation>4-канальный светодиодный индикатор</translation>
    </message>
    <message>
        <source>Input %1 ramp</source>
        <translation>Вход %1 — плавность</translation>
    </message>
    <message>
        <source>Input %1 begin mA</source>
        <translation>Вход %1 — начало, mA</translation>
    </message>
    <message>
        <source>Input %1 scale begin</source>
        <translation>Вход %1 — начало шкалы</translation>
    </message>
    <message>
        <source>Input %1 scale end</source>
        <translation>Вход %1 — конец шкалы</translation>
    </message>
    <message>
        <source>Modbus input</source>
        <translation>Вход Modbus</translation>
    </message>
    <message>
        <source>Switch period</source>
        <translation>Период переключения</translation>
    </message>
    <message>
        <source>Postfix/prefix</source>
        <translation>Постфикс/префикс</translation>
    </message>
    <message>
        <source>Input %1 symbol</source>
        <translation>Вход %1 — символ</translation>
    </message>
    <message>
        <source>Invert matrix</source>
        <translation>Инверсия матрицы</translation>
    </message>
    <message>
        <source>Input %1 decimals</source>
        <translation>Вход %1 — знаков после точки</translation>
    </message>
    <message>
        <source>Samples per second</source>
        <translation>Выборок в секунду</translation>
    </message>
    <message>
        <source>Input %1 type</source>
        <translation>Вход %1 — тип</translation>
    </message>
</context>
<context>
    <name>Indicator4Widget</name>
    <message>
        <source>Configuration</source>
        <translation>Конфигурация</translation>
    </message>
    <message>
        <source>Device Settings</source>
        <translation>Настройки устройства</translation>
    </message>
    <message>
        <source>Input Statuses</source>
        <translation>Состояния входов</translation>
    </message>
    <message>
        <source>Monitor</source>
        <translation>Опрос</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Выкл</translation>
    </message>
    <message>
        <source>String</source>
        <translation>Строка</translation>
    </message>
    <message>
        <source>Modbus input</source>
        <translation>Вход Modbus</translation>
    </message>
    <message>
        <source>Invert matrix</source>
        <translation>Инверсия матрицы</translation>
    </message>
    <message>
        <source>Postfix/Prefix</source>
        <translation>Постфикс/префикс</translation>
    </message>
    <message>
        <source>Switch period, ms</source>
        <translation>Период переключения, ms</translation>
    </message>
    <message>
        <source>Samples/sec</source>
        <translation>Выборок/sec</translation>
    </message>
    <message>
        <source>Input %1</source>
        <translation>Вход %1</translation>
    </message>
    <message>
        <source>Input type</source>
        <translation>Тип входа</translation>
    </message>
    <message>
        <source>Pre/Postfix</source>
        <translation>Префикс/постфикс</translation>
    </message>
    <message>
        <source>Symbols after dot</source>
        <translation>Знаков после точки</translation>
    </message>
    <message>
        <source>Ramp, ms per unit</source>
        <translation>Плавность, ms на ед.</translation>
    </message>
    <message>
        <source>Begin mA</source>
        <translation>Начало, mA</translation>
    </message>
    <message>
        <source>Begin of scale</source>
        <translation>Начало шкалы</translation>
    </message>
    <message>
        <source>End of scale</source>
        <translation>Конец шкалы</translation>
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
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
</context>
</TS>
