<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>GsmModemPlugin</name>
    <message>
        <source>GSM Modem SMS Gateway</source>
        <translation>GSM-модем, SMS-шлюз</translation>
    </message>
    <message>
        <source>Telephone %1</source>
        <translation>Телефон %1</translation>
    </message>
    <message>
        <source>Message %1</source>
        <translation>Сообщение %1</translation>
    </message>
</context>
<context>
    <name>GsmModemWidget</name>
    <message>
        <source>Phones</source>
        <translation>Телефоны</translation>
    </message>
    <message>
        <source>SMS Inputs</source>
        <translation>SMS по входам</translation>
    </message>
    <message>
        <source>SMS Registers</source>
        <translation>SMS по регистрам</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Статус</translation>
    </message>
    <message>
        <source>Device Settings</source>
        <translation>Настройки устройства</translation>
    </message>
    <message>
        <source>Phone Numbers</source>
        <translation>Номера телефонов</translation>
    </message>
    <message>
        <source>Phone number %1</source>
        <translation>Номер телефона %1</translation>
    </message>
    <message>
        <source>Phone %1:</source>
        <translation>Телефон %1:</translation>
    </message>
    <message>
        <source>SMS Messages for Inputs (1-12)</source>
        <translation>SMS-сообщения для входов (1-12)</translation>
    </message>
    <message>
        <source>Message for input %1</source>
        <translation>Сообщение для входа %1</translation>
    </message>
    <message>
        <source>Input %1:</source>
        <translation>Вход %1:</translation>
    </message>
    <message>
        <source>SMS Messages for Registers (13-36)</source>
        <translation>SMS-сообщения для регистров (13-36)</translation>
    </message>
    <message>
        <source>Message for register %1</source>
        <translation>Сообщение для регистра %1</translation>
    </message>
    <message>
        <source>Register %1:</source>
        <translation>Регистр %1:</translation>
    </message>
    <message>
        <source>Export SMS...</source>
        <translation>Экспорт SMS...</translation>
    </message>
    <message>
        <source>Import SMS...</source>
        <translation>Импорт SMS...</translation>
    </message>
    <message>
        <source>Device Info</source>
        <translation>Информация об устройстве</translation>
    </message>
    <message>
        <source>Firmware Version:</source>
        <translation>Версия прошивки:</translation>
    </message>
    <message>
        <source>Signal Level:</source>
        <translation>Уровень сигнала:</translation>
    </message>
    <message>
        <source>Phone Status</source>
        <translation>Состояние телефонов</translation>
    </message>
    <message>
        <source>Phone %1</source>
        <translation>Телефон %1</translation>
    </message>
    <message>
        <source>Errors</source>
        <translation>Ошибки</translation>
    </message>
    <message>
        <source>FRAM Error</source>
        <translation>Ошибка FRAM</translation>
    </message>
    <message>
        <source>Modem Error</source>
        <translation>Ошибка модема</translation>
    </message>
    <message>
        <source>Send SMS</source>
        <translation>Отправить SMS</translation>
    </message>
    <message>
        <source>SMS Number:</source>
        <translation>Номер SMS:</translation>
    </message>
    <message>
        <source>Refresh Status</source>
        <translation>Обновить статус</translation>
    </message>
    <message>
        <source>Export SMS Messages</source>
        <translation>Экспорт SMS-сообщений</translation>
    </message>
    <message>
        <source>Text Files (*.txt)</source>
        <translation>Текстовые файлы (*.txt)</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
    <message>
        <source>Failed to save file</source>
        <translation>Не удалось сохранить файл</translation>
    </message>
    <message>
        <source>Import SMS Messages</source>
        <translation>Импорт SMS-сообщений</translation>
    </message>
    <message>
        <source>Failed to open file</source>
        <translation>Не удалось открыть файл</translation>
    </message>
</context>
</TS>
