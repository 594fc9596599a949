<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>InputModule40Plugin</name>
    <message>
        <source>40 digital inputs with debouncing</source>
        <translation>40 дискретных входов с подавлением дребезга</translation>
    </message>
    <message>
        <source>Input %1 delay</source>
        <translation>Вход %1 — задержка антидребезга</translation>
    </message>
</context>
<context>
    <name>InputModule40Widget</name>
    <message>
        <source>Inputs</source>
        <translation>Входы</translation>
    </message>
    <message>
        <source>Debounce Delays</source>
        <translation>Задержки антидребезга</translation>
    </message>
    <message>
        <source>Device Settings</source>
        <translation>Настройки устройства</translation>
    </message>
    <message>
        <source>Live digital input states (active = green):</source>
        <translation>Текущие состояния дискретных входов (активен = зелёный):</translation>
    </message>
    <message>
        <source>Input States</source>
        <translation>Состояния входов</translation>
    </message>
    <message>
        <source>Auto Refresh</source>
        <translation>Автообновление</translation>
    </message>
    <message>
        <source>Enable auto-refresh (500 ms)</source>
        <translation>Включить автообновление (500 ms)</translation>
    </message>
    <message>
        <source>Configure debounce delay for each input (milliseconds):</source>
        <translation>Задайте задержку антидребезга для каждого входа (в миллисекундах):</translation>
    </message>
    <message>
        <source>IN %1:</source>
        <translation>Вход %1:</translation>
    </message>
    <message>
        <source>Set All Delays</source>
        <translation>Задать для всех входов</translation>
    </message>
    <message>
        <source>Apply to All</source>
        <translation>Применить ко всем</translation>
    </message>
</context>
</TS>
