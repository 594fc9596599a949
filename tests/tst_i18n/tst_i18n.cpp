#include "I18n.h"

#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QTest>

#include <climits>

// The program and the library are built against these numbers; an identifier slipping
// out of place would shift every text after it.
static_assert(static_cast<int>(Str::AboutText) == 48);
static_assert(static_cast<int>(Str::FwDescription) == 57);
static_assert(static_cast<int>(Str::FwSuccess) == 88);

namespace {

constexpr int kIdCount = 89;

QSet<QString> placeholders(const QString &text)
{
    static const QRegularExpression marker(QStringLiteral("%\\d+"));
    QSet<QString> found;
    for (auto it = marker.globalMatch(text); it.hasNext();)
        found.insert(it.next().captured());
    return found;
}

bool hasCyrillic(const QString &text)
{
    for (const QChar ch : text) {
        if (ch.script() == QChar::Script_Cyrillic)
            return true;
    }
    return false;
}

void addTextRows(const char *name, Str id, const QString &english, const QString &russian)
{
    QTest::addRow("%s/en", name) << id << Lang::English << english;
    QTest::addRow("%s/ru", name) << id << Lang::Russian << russian;
}

} // namespace

class tst_I18n : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_initialLocale = QLocale(); }
    void cleanup() { QLocale::setDefault(m_initialLocale); }

    void localeRule_data();
    void localeRule();
    void instanceIsOneObject();
    void exactTexts_data();
    void exactTexts();
    void everyIdHasBothTexts();
    void aboutTextShape_data();
    void aboutTextShape();
    void unknownIdFallsBack_data();
    void unknownIdFallsBack();
    void setLanguage_data();
    void setLanguage();
    void loadStringsTwice();

private:
    QLocale m_initialLocale;
};

void tst_I18n::localeRule_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<Lang>("expected");

    QTest::newRow("Russian in Russia") << QLocale(QLocale::Russian, QLocale::Russia)
                                       << Lang::Russian;
    QTest::newRow("Russian in Ukraine") << QLocale(QLocale::Russian, QLocale::Ukraine)
                                        << Lang::Russian;
    QTest::newRow("Russian in Kazakhstan") << QLocale(QLocale::Russian, QLocale::Kazakhstan)
                                           << Lang::Russian;
    QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany) << Lang::English;
    QTest::newRow("Ukrainian") << QLocale(QLocale::Ukrainian, QLocale::Ukraine)
                               << Lang::English;
    QTest::newRow("Belarusian") << QLocale(QLocale::Belarusian, QLocale::Belarus)
                                << Lang::English;
    QTest::newRow("Kazakh") << QLocale(QLocale::Kazakh, QLocale::Kazakhstan) << Lang::English;
    QTest::newRow("C") << QLocale::c() << Lang::English;
}

void tst_I18n::localeRule()
{
    QFETCH(QLocale, locale);
    QFETCH(Lang, expected);
    const QString connect = expected == Lang::Russian ? QStringLiteral("Подключить")
                                                      : QStringLiteral("Connect");

    // An object made under the opposite language must follow the new default locale.
    QLocale::setDefault(expected == Lang::Russian ? QLocale::c()
                                                  : QLocale(QLocale::Russian, QLocale::Russia));
    I18n detected;
    QLocale::setDefault(locale);
    detected.detectLanguage();
    QCOMPARE(detected.language(), expected);
    QCOMPARE(detected.tr(Str::Connect), connect);

    const I18n constructed;
    QCOMPARE(constructed.language(), expected);
    QCOMPARE(constructed.tr(Str::Connect), connect);
}

void tst_I18n::instanceIsOneObject()
{
    I18n *first = I18n::instance();
    QVERIFY(first != nullptr);
    QCOMPARE(I18n::instance(), first);
    QVERIFY(first->tr(Str::AppTitle).startsWith(QStringLiteral("Tavrolix ")));
}

void tst_I18n::exactTexts_data()
{
    QTest::addColumn<Str>("id");
    QTest::addColumn<Lang>("lang");
    QTest::addColumn<QString>("text");

    addTextRows("AppTitle", Str::AppTitle, QStringLiteral("Tavrolix Configurator"),
                QStringLiteral("Tavrolix Конфигуратор"));
    addTextRows("ParityLabel", Str::ParityLabel, QStringLiteral("Parity:"),
                QStringLiteral("Чётность:"));
    addTextRows("ConnectingTo", Str::ConnectingTo,
                QStringLiteral("Connecting to %1 @ %2 %3..."),
                QStringLiteral("Подключение к %1 @ %2 %3..."));
    addTextRows("UnknownDeviceNoPlugin", Str::UnknownDeviceNoPlugin,
                QStringLiteral("Unknown device.\nNo plugin for this type."),
                QStringLiteral("Неизвестное устройство.\nДля этого типа нет плагина."));
    addTextRows("AboutText", Str::AboutText,
                QStringLiteral("Tavrolix Configurator\nVersion %1\n\n"
                               "Universal configurator\nfor Tavrolix devices"),
                QStringLiteral("Tavrolix Конфигуратор\nВерсия %1\n\n"
                               "Универсальный конфигуратор\nдля устройств Tavrolix"));
    addTextRows("FwFileFilter", Str::FwFileFilter,
                QStringLiteral("Encrypted firmware (*.enc);;All files (*.*)"),
                QStringLiteral("Зашифрованная прошивка (*.enc);;Все файлы (*.*)"));
    addTextRows("FwErrChecksumMismatch", Str::FwErrChecksumMismatch,
                QStringLiteral("[ERROR] Checksum mismatch! Computed: %1, stored: %2"),
                QStringLiteral("[ОШИБКА] Несовпадение контрольной суммы! "
                               "Вычислено: %1, сохранено: %2"));
    addTextRows("FwSuccess", Str::FwSuccess,
                QStringLiteral("[SUCCESS] Firmware uploaded successfully!"),
                QStringLiteral("[УСПЕХ] Прошивка успешно загружена!"));
}

void tst_I18n::exactTexts()
{
    QFETCH(Str, id);
    QFETCH(Lang, lang);
    QFETCH(QString, text);

    I18n i18n;
    i18n.setLanguage(lang);
    QCOMPARE(i18n.tr(id), text);
}

void tst_I18n::everyIdHasBothTexts()
{
    I18n english;
    english.setLanguage(Lang::English);
    I18n russian;
    russian.setLanguage(Lang::Russian);
    for (int raw = 0; raw < kIdCount; ++raw) {
        const Str id = static_cast<Str>(raw);
        const QString en = english.tr(id);
        const QString ru = russian.tr(id);
        const QByteArray where = "id " + QByteArray::number(raw);
        QVERIFY2(!en.isEmpty() && en != QStringLiteral("???"), where.constData());
        QVERIFY2(!ru.isEmpty() && ru != QStringLiteral("???"), where.constData());
        // Catches a cell taken from the wrong column or a placeholder lost in translation.
        QVERIFY2(!hasCyrillic(en) && hasCyrillic(ru), where.constData());
        QVERIFY2(placeholders(en) == placeholders(ru), where.constData());
    }
}

void tst_I18n::aboutTextShape_data()
{
    QTest::addColumn<Lang>("lang");
    QTest::addColumn<QString>("versionLine");
    QTest::newRow("English") << Lang::English << QStringLiteral("Version 1.0");
    QTest::newRow("Russian") << Lang::Russian << QStringLiteral("Версия 1.0");
}

void tst_I18n::aboutTextShape()
{
    QFETCH(Lang, lang);
    QFETCH(QString, versionLine);

    I18n i18n;
    i18n.setLanguage(lang);
    const QStringList lines = i18n.tr(Str::AboutText).arg(QStringLiteral("1.0")).split(u'\n');
    QCOMPARE(lines.size(), 5);
    QVERIFY(lines.at(0).contains(QStringLiteral("Tavrolix")));
    QCOMPARE(lines.at(1), versionLine);
    QVERIFY(lines.at(2).isEmpty());
    QVERIFY(!lines.at(3).isEmpty());
    QVERIFY(lines.at(4).contains(QStringLiteral("Tavrolix")));
}

void tst_I18n::unknownIdFallsBack_data()
{
    QTest::addColumn<int>("raw");
    QTest::newRow("one past the last") << kIdCount;
    QTest::newRow("minus one") << -1;
    QTest::newRow("large") << 100000;
    QTest::newRow("int min") << INT_MIN;
}

void tst_I18n::unknownIdFallsBack()
{
    QFETCH(int, raw);

    I18n i18n;
    for (const Lang lang : {Lang::English, Lang::Russian}) {
        i18n.setLanguage(lang);
        QCOMPARE(i18n.tr(static_cast<Str>(raw)), QStringLiteral("???"));
    }
}

void tst_I18n::setLanguage_data()
{
    QTest::addColumn<int>("raw");
    QTest::addColumn<QString>("saveText");

    const QString english = QStringLiteral("Save to Flash");
    QTest::newRow("English") << 0 << english;
    QTest::newRow("Russian") << 1 << QStringLiteral("Сохранить во Flash");
    QTest::newRow("two") << 2 << english;
    QTest::newRow("minus one") << -1 << english;
    QTest::newRow("int max") << INT_MAX << english;
}

void tst_I18n::setLanguage()
{
    QFETCH(int, raw);
    QFETCH(QString, saveText);

    // Start from the other language so each row proves that the texts were swapped.
    I18n i18n;
    i18n.setLanguage(raw == 1 ? Lang::English : Lang::Russian);

    i18n.setLanguage(static_cast<Lang>(raw));
    QCOMPARE(static_cast<int>(i18n.language()), raw);
    QCOMPARE(i18n.tr(Str::SaveToFlash), saveText);
}

void tst_I18n::loadStringsTwice()
{
    I18n i18n;
    i18n.setLanguage(Lang::Russian);
    // Held across the reloads, so it must not depend on the map it came from.
    const QString before = i18n.tr(Str::ReadAll);

    i18n.loadStrings();
    i18n.loadStrings();

    int known = 0;
    for (int raw = -1; raw <= kIdCount; ++raw) {
        if (i18n.tr(static_cast<Str>(raw)) != QStringLiteral("???"))
            ++known;
    }
    QCOMPARE(known, kIdCount);
    QCOMPARE(before, QStringLiteral("Прочитать всё"));
    QCOMPARE(i18n.tr(Str::ReadAll), before);
}

QTEST_GUILESS_MAIN(tst_I18n)
#include "tst_i18n.moc"
