<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>AnalogModule8Plugin</name>
    <message>
        <source>8 analog inputs (PT100 / 0-20mA)</source>
        <translation>8 аналоговых входов (PT100 / 0-20 mA)</translation>
    </message>
    <message>
        <source>Channel %1 sensor type</source>
        <translation>Канал %1 — тип датчика</translation>
    </message>
    <message>
        <source>Channel %1 ramp</source>
        <translation>Канал %1 — плавность</translation>
    </message>
    <message>
        <source>Channel %1 multiplier</source>
        <translation>Канал %1 — множитель</translation>
    </message>
    <message>
        <source>Samples per second</source>
        <translation>Выборок в секунду</translation>
    </message>
</context>
<context>
    <name>AnalogModule8Widget</name>
    <message>
        <source>Sensors</source>
        <translation>Датчики</translation>
    </message>
    <message>
        <source>Channel Settings</source>
        <translation>Настройки каналов</translation>
    </message>
    <message>
        <source>Device Settings</source>
        <translation>Настройки устройства</translation>
    </message>
    <message>
        <source>Live sensor readings from the device:</source>
        <translation>Текущие показания датчиков устройства:</translation>
    </message>
    <message>
        <source>Sensor Values</source>
        <translation>Показания датчиков</translation>
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
        <source>Value</source>
        <translation>Значение</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>Ед. изм.</translation>
    </message>
    <message>
        <source>CH %1</source>
        <translation>Канал %1</translation>
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
        <source>0-20 mA (4-20 mA)</source>
        <translation>0-20 mA (4-20 mA)</translation>
    </message>
    <message>
        <source>100P 0.00391</source>
        <translation>100П 0.00391</translation>
    </message>
    <message>
        <source>Auto Refresh</source>
        <translation>Автообновление</translation>
    </message>
    <message>
        <source>Enable auto-refresh (100ms)</source>
        <translation>Включить автообновление (100 ms)</translation>
    </message>
    <message>
        <source>Configure ramp time and multiplier for each channel:</source>
        <translation>Задайте плавность (время нарастания) и множитель для каждого канала:</translation>
    </message>
    <message>
        <source>Channel Configuration</source>
        <translation>Конфигурация каналов</translation>
    </message>
    <message>
        <source>Ramp (ms)</source>
        <translation>Плавность (ms)</translation>
    </message>
    <message>
        <source>Multiplier</source>
        <translation>Множитель</translation>
    </message>
    <message>
        <source>Sample Rate</source>
        <translation>Частота выборки</translation>
    </message>
    <message>
        <source>Samples per second:</source>
        <translation>Выборок в секунду:</translation>
    </message>
    <message>
        <source>(Higher = faster but noisier)</source>
        <translation>(больше = быстрее, но выше шум)</translation>
    </message>
</context>
</TS>
