<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>OutputDO8Plugin</name>
    <message>
        <source>8 relay digital outputs</source>
        <translation>8 дискретных релейных выходов</translation>
    </message>
    <message>
        <source>Node address</source>
        <translation>Адрес устройства</translation>
    </message>
    <message>
        <source>Safe state timeout</source>
        <translation>Тайм-аут безопасного состояния</translation>
    </message>
    <message>
        <source>Relay safe state</source>
        <translation>Безопасное состояние реле</translation>
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
    <name>OutputDO8Widget</name>
    <message>
        <source>Digital Outputs</source>
        <translation>Дискретные выходы</translation>
    </message>
    <message>
        <source>Safe State</source>
        <translation>Безопасное состояние</translation>
    </message>
    <message>
        <source>Device Settings</source>
        <translation>Настройки устройства</translation>
    </message>
    <message>
        <source>Relay Outputs (8)</source>
        <translation>Релейные выходы (8)</translation>
    </message>
    <message>
        <source>OUT %1</source>
        <translation>Выход %1</translation>
    </message>
    <message>
        <source>Outputs switch to safe state if no Modbus
communication within timeout period.</source>
        <translation>Выходы переходят в безопасное состояние, если в течение
тайм-аута нет обмена по Modbus.</translation>
    </message>
    <message>
        <source>Timeout:</source>
        <translation>Тайм-аут:</translation>
    </message>
    <message>
        <source>Safe state outputs (checked = ON):</source>
        <translation>Безопасное состояние выходов (отмечен = ВКЛ):</translation>
    </message>
</context>
</TS>
