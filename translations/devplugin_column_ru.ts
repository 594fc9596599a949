<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>ColumnIndicatorPlugin</name>
    <message>
        <source>4-channel column indicator</source>
        <translation>4-канальный столбчатый индикатор</translation>
    </message>
    <message>
        <source>Safe period</source>
        <translation>Безопасный период</translation>
    </message>
    <message>
        <source>Column %1 slave value</source>
        <translation>Индикатор %1 — значение ведомого</translation>
    </message>
    <message>
        <source>Slave mode</source>
        <translation>Режим ведомого</translation>
    </message>
    <message>
        <source>Use safe period</source>
        <translation>Использовать безопасный период</translation>
    </message>
    <message>
        <source>Column %1 red begin</source>
        <translation>Индикатор %1 — красный от</translation>
    </message>
    <message>
        <source>Column %1 red end</source>
        <translation>Индикатор %1 — красный до</translation>
    </message>
    <message>
        <source>Column %1 yellow begin</source>
        <translation>Индикатор %1 — жёлтый от</translation>
    </message>
    <message>
        <source>Column %1 yellow end</source>
        <translation>Индикатор %1 — жёлтый до</translation>
    </message>
    <message>
        <source>Column %1 green begin</source>
        <translation>Индикатор %1 — зелёный от</translation>
    </message>
    <message>
        <source>Column %1 green end</source>
        <translation>Индикатор %1 — зелёный до</translation>
    </message>
    <message>
        <source>Column %1 blue</source>
        <translation>Индикатор %1 — синий</translation>
    </message>
    <message>
        <source>Column %1 remote node</source>
        <translation>Индикатор %1 — адрес источника</translation>
    </message>
    <message>
        <source>Column %1 input register</source>
        <translation>Индикатор %1 — входной регистр</translation>
    </message>
    <message>
        <source>Column %1 active</source>
        <translation>Индикатор %1 — активен</translation>
    </message>
    <message>
        <source>Column %1 hide previous</source>
        <translation>Индикатор %1 — скрывать предыдущие</translation>
    </message>
</context>
<context>
    <name>ColumnIndicatorWidget</name>
    <message>
        <source>Configuration</source>
        <translation>Конфигурация</translation>
    </message>
    <message>
        <source>Ranges</source>
        <translation>Диапазоны</translation>
    </message>
    <message>
        <source>Slave Test</source>
        <translation>Тест ведомого</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>Режим</translation>
    </message>
    <message>
        <source>Use as slave</source>
        <translation>Работать как ведомый</translation>
    </message>
    <message>
        <source>Use safe period</source>
        <translation>Использовать безопасный период</translation>
    </message>
    <message>
        <source>Safe period, s:</source>
        <translation>Безопасный период, s:</translation>
    </message>
    <message>
        <source>Master Mode Sources</source>
        <translation>Источники в режиме ведущего</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>Канал</translation>
    </message>
    <message>
        <source>Remote Node</source>
        <translation>Адрес источника</translation>
    </message>
    <message>
        <source>Input Register</source>
        <translation>Входной регистр</translation>
    </message>
    <message>
        <source>Indicator %1</source>
        <translation>Индикатор %1</translation>
    </message>
    <message>
        <source>Red Begin</source>
        <translation>Красный от</translation>
    </message>
    <message>
        <source>Red End</source>
        <translation>Красный до</translation>
    </message>
    <message>
        <source>Yellow Begin</source>
        <translation>Жёлтый от</translation>
    </message>
    <message>
        <source>Yellow End</source>
        <translation>Жёлтый до</translation>
    </message>
    <message>
        <source>Green Begin</source>
        <translation>Зелёный от</translation>
    </message>
    <message>
        <source>Green End</source>
        <translation>Зелёный до</translation>
    </message>
    <message>
        <source>Blue</source>
        <translation>Синий</translation>
    </message>
    <message>
        <source>Indicator Ranges</source>
        <translation>Диапазоны индикаторов</translation>
    </message>
    <message>
        <source>Active</source>
        <translation>Активен</translation>
    </message>
    <message>
        <source>Hide previous</source>
        <translation>Скрывать предыдущие</translation>
    </message>
    <message>
        <source>Slave test writes temporary values to regSl0..regSl3. Use Save to Flash only if you want to persist settings.</source>
        <translation>Тест ведомого записывает временные значения в regSl0..regSl3. Нажимайте «Сохранить во Flash», только если настройки нужно сохранить.</translation>
    </message>
    <message>
        <source>Test Values</source>
        <translation>Тестовые значения</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Значение</translation>
    </message>
    <message>
        <source>Enable slave mode when applying</source>
        <translation>Включить режим ведомого при применении</translation>
    </message>
    <message>
        <source>Apply test values</source>
        <translation>Применить тестовые значения</translation>
    </message>
    <message>
        <source>Failed to enable slave mode: %1</source>
        <translation>Не удалось включить режим ведомого: %1</translation>
    </message>
    <message>
        <source>Test values applied.</source>
        <translation>Тестовые значения применены.</translation>
    </message>
    <message>
        <source>Failed to apply test values: %1</source>
        <translation>Не удалось применить тестовые значения: %1</translation>
    </message>
</context>
<context>
    <name>ModbusClient</name>
    <message>
        <source>Not connected</source>
        <translation>Нет подключения</translation>
    </message>
</context>
</TS>
