#include "I18n.h"

#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <algorithm>
#include <climits>

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
    return std::any_of(text.begin(), text.end(),
                       [](QChar ch) { return ch.script() == QChar::Script_Cyrillic; });
}

} // namespace

class tst_I18n : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void localeRule_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<Lang>("expected");
        QTest::newRow("Russian in Russia")
            << QLocale(QLocale::Russian, QLocale::Russia) << Lang::Russian;
        QTest::newRow("Ukrainian")
            << QLocale(QLocale::Ukrainian, QLocale::Ukraine) << Lang::English;
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany) << Lang::English;
    }
    void localeRule()
    {
        QFETCH(QLocale, locale);
        QFETCH(Lang, expected);
        // An object made under the opposite language must follow the new default locale.
        const QLocale russia(QLocale::Russian, QLocale::Russia);
        QLocale::setDefault(expected == Lang::Russian ? QLocale::c() : russia);
        I18n detected;
        QLocale::setDefault(locale);
        detected.detectLanguage();
        const I18n constructed;
        for (const I18n *i18n : {static_cast<const I18n *>(&detected), &constructed}) {
            QCOMPARE(i18n->language(), expected);
            QCOMPARE(i18n->tr(Str::Connect),
                     expected == Lang::Russian ? "Подключить" : "Connect");
        }
    }

    void texts_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("lang"); // out-of-range values fall back to English
        QTest::addColumn<QString>("text");
        const int ru = int(Lang::Russian);
        const int en = int(Lang::English);
        QTest::newRow("ConnectingTo/en")
            << int(Str::ConnectingTo) << en << "Connecting to %1 @ %2 %3...";
        QTest::newRow("ConnectingTo/ru")
            << int(Str::ConnectingTo) << ru << "Подключение к %1 @ %2 %3...";
        QTest::newRow("FwErrChecksumMismatch/en")
            << int(Str::FwErrChecksumMismatch) << en
            << "[ERROR] Checksum mismatch! Computed: %1, stored: %2";
        QTest::newRow("FwFileFilter/ru") << int(Str::FwFileFilter) << ru
                                         << "Зашифрованная прошивка (*.enc);;Все файлы (*.*)";
        QTest::newRow("language 2") << int(Str::SaveToFlash) << 2 << "Save to Flash";
        QTest::newRow("one past the last id") << kIdCount << ru << "???";
        QTest::newRow("id INT_MIN") << INT_MIN << ru << "???";
    }
    void texts()
    {
        QFETCH(int, id);
        QFETCH(int, lang);
        // Start from the other language so each row proves that the texts were swapped.
        I18n i18n;
        i18n.setLanguage(lang == int(Lang::Russian) ? Lang::English : Lang::Russian);
        i18n.setLanguage(static_cast<Lang>(lang));
        QCOMPARE(int(i18n.language()), lang);
        QTEST(i18n.tr(static_cast<Str>(id)), "text");
    }

    void everyIdHasBothTexts()
    {
        I18n english;
        english.setLanguage(Lang::English);
        I18n russian;
        russian.setLanguage(Lang::Russian);
        russian.loadStrings(); // a reload must not add or lose texts
        for (int raw = 0; raw < kIdCount; ++raw) {
            const QString en = english.tr(static_cast<Str>(raw));
            const QString ru = russian.tr(static_cast<Str>(raw));
            const QByteArray where = "id " + QByteArray::number(raw);
            // Catches a missing text, a cell taken from the wrong column or a placeholder
            // lost in translation.
            QVERIFY2(!en.isEmpty() && en != "???" && ru != "???", where.constData());
            QVERIFY2(!hasCyrillic(en) && hasCyrillic(ru), where.constData());
            QVERIFY2(placeholders(en) == placeholders(ru), where.constData());
        }
    }
};

QTEST_GUILESS_MAIN(tst_I18n)
#include "tst_i18n.moc"
