#include "BusScanDialog.h"
#include "CloneDialog.h"
#include "ConfigurationCompareDialog.h"
#include "ConfigurationFile.h"
#include "DeviceConfiguration.h"
#include "DevicePlugin.h"
#include "FindControl.h"
#include "FirmwareWidget.h"
#include "I18n.h"
#include "MainWindow.h"
#include "ModbusClient.h"
#include "TestApplication.h"
#include "TrafficLog.h"
#include "TrafficView.h"
#include "Translations.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPluginLoader>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QXmlStreamReader>

#include <functional>
#include <memory>

namespace {

// Latin words that stay as they are in Russian: units, protocol, sensor and device names,
// and the string table's "Save to Flash".
const QSet<QString> &untranslatedWords()
{
    static const QStringList words =
            QStringLiteral("ms sec mA Hz Modbus RTU OK OUT IN DI AI CH SMS GSM CRC hex Hex "
                           "Tavrolix Qt CSV USB RS enc tavcfg LED COM Pt SPS FRAM Flash regSl")
                    .split(QLatin1Char(' '));
    static const QSet<QString> set(words.cbegin(), words.cend());
    return set;
}

// A text a Russian user should not see in English: Latin words beyond the list above.
bool looksEnglish(const QString &text)
{
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
    for (auto it = word.globalMatch(text); it.hasNext();) {
        const QString found = it.next().captured();
        if (!untranslatedWords().contains(found) && !found.startsWith(QLatin1String("tty")))
            return true;
    }
    return false;
}

QString describe(const QWidget *widget, const QString &text)
{
    const QString name = widget->objectName();
    return QStringLiteral("%1%2 \"%3\"")
            .arg(QString::fromLatin1(widget->metaObject()->className()),
                 name.isEmpty() ? QString() : QLatin1Char('#') + name, text);
}

// The English texts and the texts cut off by their widget's size, in `root` and in the
// pages of its tab widgets, each page shown in turn.
class PageCheck
{
public:
    explicit PageCheck(bool russian) : m_russian(russian) {}

    // Each once: a tab's page is also part of its window.
    QStringList problems() const
    {
        QStringList once = m_problems;
        once.removeDuplicates();
        return once;
    }

    void check(QWidget *root)
    {
        root->show();
        settle();
        // A window held below what its layout needs squeezes its contents.
        if (const QLayout *layout = root->layout()) {
            const QSize needed = layout->totalMinimumSize();
            if (root->width() < needed.width() || root->height() < needed.height())
                m_problems << describe(root, QStringLiteral("%1x%2 for contents of %3x%4")
                                                     .arg(root->width())
                                                     .arg(root->height())
                                                     .arg(needed.width())
                                                     .arg(needed.height()));
        }
        const auto tabWidgets = root->findChildren<QTabWidget *>();
        checkShown(root);
        for (QTabWidget *tabs : tabWidgets) {
            for (int i = 0; i < tabs->count(); ++i) {
                text(tabs, tabs->tabText(i));
                tabs->setCurrentIndex(i);
                settle();
                checkShown(tabs->widget(i));
            }
            if (tabs->tabBar()->sizeHint().width() > tabs->width())
                m_problems << describe(tabs, QStringLiteral("tabs do not fit"));
        }
        const auto menus = root->findChildren<QMenu *>();
        for (const QMenu *menu : menus) {
            text(menu, menu->title());
            for (const QAction *action : menu->actions())
                text(menu, action->text());
        }
    }

private:
    static void settle()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
    }

    void text(const QWidget *widget, QString shown)
    {
        shown.remove(QLatin1Char('&'));
        if (m_russian && looksEnglish(shown))
            m_problems << describe(widget, shown);
    }

    void fits(const QWidget *widget, const QString &shown, int needed, int has = -1)
    {
        has = has < 0 ? widget->width() : has;
        if (!shown.isEmpty() && has < needed)
            m_problems << describe(widget, shown)
                    + QStringLiteral(" cut off: %1 of %2 pixels").arg(has).arg(needed);
    }

    void checkShown(QWidget *page)
    {
        const auto widgets = page->findChildren<QWidget *>();
        for (QWidget *widget : widgets) {
            if (!widget->isVisible())
                continue;
            if (auto *label = qobject_cast<QLabel *>(widget)) {
                text(label, label->text());
                if (!label->wordWrap() && label->textFormat() != Qt::RichText)
                    fits(label, label->text(), label->minimumSizeHint().width());
            } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
                text(button, button->text());
                text(button, button->toolTip());
                fits(button, button->text(), button->sizeHint().width());
            } else if (auto *group = qobject_cast<QGroupBox *>(widget)) {
                text(group, group->title());
                fits(group, group->title(),
                     group->fontMetrics().horizontalAdvance(group->title()) + 16);
            } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
                for (int i = 0; i < combo->count(); ++i)
                    text(combo, combo->itemText(i));
            } else if (auto *header = qobject_cast<QHeaderView *>(widget)) {
                if (header->orientation() != Qt::Horizontal)
                    continue;
                for (int section = 0; section < header->count(); ++section) {
                    const QString title =
                            header->model()->headerData(section, Qt::Horizontal).toString();
                    text(header, title);
                    if (!header->isSectionHidden(section))
                        fits(header, title, header->sectionSizeHint(section),
                             header->sectionSize(section));
                }
            }
        }
    }

    bool m_russian;
    QStringList m_problems;
};

using PageFactory = std::function<QWidget *(ModbusClient *)>;

} // namespace

class tst_Translations : public QObject
{
    Q_OBJECT

    // The string table and the translations in Russian, or both in English, until the
    // returned guard ends; then Russian again.
    auto speak(bool russian)
    {
        I18n::instance()->setLanguage(russian ? Lang::Russian : Lang::English);
        if (!russian) {
            m_removed = QCoreApplication::instance()->findChildren<QTranslator *>();
            for (QTranslator *translator : std::as_const(m_removed))
                QCoreApplication::removeTranslator(translator);
        }
        return qScopeGuard([this] {
            for (QTranslator *translator : std::as_const(m_removed))
                QCoreApplication::installTranslator(translator);
            m_removed.clear();
            I18n::instance()->setLanguage(Lang::Russian);
        });
    }

private slots:
    void initTestCase()
    {
        prepareTestApplication();
        I18n::instance()->setLanguage(Lang::Russian);
        m_loaded = Translations::install(QStringLiteral(TAVROLIX_TRANSLATIONS_DIR));
        // What the main window gives an editor at its usual size.
        MainWindow window;
        window.show();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        m_editorArea = findControl<QWidget>(&window, QStringLiteral("pageStack"))->size();
        QVERIFY(m_editorArea.width() > 800);
    }

    // Every .ts entry is finished and keeps the source's placeholders and line breaks,
    // and the build made a translation of each that the program loads.
    void entries_data()
    {
        QTest::addColumn<QString>("tsFile");
        const QDir folder(QStringLiteral(TAVROLIX_TRANSLATIONS_SOURCE_DIR));
        const QStringList files = folder.entryList({QStringLiteral("*_ru.ts")}, QDir::Files);
        QVERIFY(!files.isEmpty());
        for (const QString &file : files)
            QTest::newRow(qPrintable(file)) << folder.filePath(file);
    }

    void entries()
    {
        QFETCH(QString, tsFile);
        QFile file(tsFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        static const QRegularExpression placeholder(QStringLiteral("%L?[0-9n]"));
        const auto placeholders = [](const QString &text) {
            QStringList found;
            for (auto it = placeholder.globalMatch(text); it.hasNext();)
                found << it.next().captured();
            found.sort();
            return found;
        };

        QStringList problems;
        QString context;
        QString source;
        bool numerus = false;
        int entries = 0;
        QXmlStreamReader xml(&file);
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const auto name = xml.name();
            if (name == QLatin1String("name")) {
                context = xml.readElementText();
            } else if (name == QLatin1String("message")) {
                numerus = xml.attributes().value(QLatin1String("numerus")) == QLatin1String("yes");
            } else if (name == QLatin1String("source")) {
                source = xml.readElementText();
                ++entries;
            } else if (name == QLatin1String("translation")) {
                const auto type = xml.attributes().value(QLatin1String("type"));
                if (!type.isEmpty())
                    problems << QStringLiteral("%1: \"%2\" is %3").arg(context, source, type);
                QStringList forms;
                if (numerus) {
                    while (xml.readNextStartElement())
                        forms << xml.readElementText();
                } else {
                    forms << xml.readElementText();
                }
                for (const QString &form : std::as_const(forms)) {
                    QStringList wanted = placeholders(source);
                    QStringList got = placeholders(form);
                    if (numerus) { // a form may leave %n out ("один")
                        wanted.removeAll(QStringLiteral("%n"));
                        got.removeAll(QStringLiteral("%n"));
                    }
                    if (form.isEmpty() || wanted != got || source.count('\n') != form.count('\n'))
                        problems << QStringLiteral("%1: \"%2\" -> \"%3\"").arg(context, source, form);
                }
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(entries > 0);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));

        const QString qm = QFileInfo(tsFile).completeBaseName() + QStringLiteral(".qm");
        QVERIFY2(m_loaded.contains(QDir(QStringLiteral(TAVROLIX_TRANSLATIONS_DIR)).filePath(qm)),
                 qPrintable(m_loaded.join(QLatin1Char(' '))));
    }

    // Every setting a configuration file holds has a Russian name, with its number.
    void fieldLabels_data()
    {
        QTest::addColumn<QString>("plugin");
        for (const QString &plugin : QStringLiteral(TAVROLIX_DEVICE_PLUGINS).split(','))
            QTest::newRow(qPrintable(plugin)) << plugin;
    }

    void fieldLabels()
    {
        QFETCH(QString, plugin);
        QPluginLoader loader(QDir(QStringLiteral(TAVROLIX_PLUGIN_DIR)).filePath(plugin));
        QObject *root = loader.instance();
        auto *configuration = qobject_cast<DeviceConfiguration *>(root);
        QVERIFY2(configuration, qPrintable(loader.errorString()));
        static const QRegularExpression number(QStringLiteral("[0-9]+"));
        QStringList untranslated;
        for (const ConfigurationBlock &block : configuration->configurationBlocks()) {
            for (const ConfigurationField &field : block.fields) {
                const QString label = field.label(root->metaObject()->className());
                if (looksEnglish(label) || number.match(field.name).captured()
                                                   != number.match(label).captured())
                    untranslated << field.name + QStringLiteral(" -> ") + label;
            }
        }
        QVERIFY2(untranslated.isEmpty(), qPrintable(untranslated.join(QLatin1Char('\n'))));
    }

    // In Russian no page shows an English text or cuts a text off; in English nothing is
    // cut off either (and nothing is loaded, so the rows check the layouts themselves).
    void pages_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("plugin");
        QTest::addColumn<PageFactory>("page");

        const QStringList plugins = QStringLiteral(TAVROLIX_DEVICE_PLUGINS).split(',');
        const std::pair<const char *, PageFactory> windows[] = {
            {"main window", [](ModbusClient *) { return new MainWindow; }},
            {"firmware window", [](ModbusClient *) { return new FirmwareWidget; }},
            {"bus scan",
             [](ModbusClient *) { return new BusScanDialog(QString(), BusScanner::Setting()); }},
            {"clone",
             [](ModbusClient *) {
                 return new CloneDialog(ConfigurationFile(), QString(), QString(),
                                        BusScanner::Setting());
             }},
            {"restore",
             [](ModbusClient *) {
                 return new ConfigurationCompareDialog(ConfigurationCompareDialog::Mode::Restore,
                                                       ConfigurationFile(), {});
             }},
            {"traffic",
             [](ModbusClient *client) {
                 auto *view = new TrafficView(new TrafficLog(client));
                 return view;
             }},
        };
        for (const char *language : {"en", "ru"}) {
            for (const auto &[name, factory] : windows) {
                QTest::addRow("%s %s", language, name)
                        << QString::fromLatin1(language) << QString() << factory;
            }
            for (const QString &plugin : plugins) {
                QTest::addRow("%s %s", language, qPrintable(plugin))
                        << QString::fromLatin1(language) << plugin << PageFactory();
            }
        }
    }

    void pages()
    {
        QFETCH(QString, language);
        QFETCH(QString, plugin);
        QFETCH(PageFactory, page);
        const bool russian = language == QLatin1String("ru");
        const auto restore = speak(russian);

        ModbusClient client;
        std::unique_ptr<QWidget> shown;
        if (page) {
            shown.reset(page(&client));
        } else {
            QPluginLoader loader(QDir(QStringLiteral(TAVROLIX_PLUGIN_DIR)).filePath(plugin));
            auto *device = qobject_cast<DevicePlugin *>(loader.instance());
            QVERIFY2(device, qPrintable(loader.errorString()));
            shown.reset(device->createWidget(&client, nullptr));
            shown->resize(m_editorArea);
        }
        PageCheck check(russian);
        check.check(shown.get());
        QVERIFY2(check.problems().isEmpty(), qPrintable(check.problems().join(QLatin1Char('\n'))));
        // A longer text must not make the page wider or taller than the main window at its
        // usual size gives it: the window would grow past small screens.
        if (!page) {
            const QSize needed = shown->minimumSizeHint();
            QVERIFY2(needed.width() <= m_editorArea.width() && needed.height() <= m_editorArea.height(),
                     qPrintable(QStringLiteral("needs %1x%2").arg(needed.width()).arg(needed.height())));
        }
    }

    // The firmware window as the main window opens it, with the restart check below it.
    void firmwareDialog_data()
    {
        QTest::addColumn<bool>("russian");
        QTest::newRow("en") << false;
        QTest::newRow("ru") << true;
    }

    void firmwareDialog()
    {
        QFETCH(bool, russian);
        const auto restore = speak(russian);
        MainWindow window;
        PageCheck check(russian);
        bool opened = false;
        QTimer::singleShot(0, &window, [&] {
            if (QWidget *dialog = QApplication::activeModalWidget()) {
                opened = true;
                check.check(dialog);
                dialog->close();
            }
        });
        findControl<QAction>(&window, QStringLiteral("firmwareUpdateAction"))->trigger();
        QVERIFY(opened);
        QVERIFY2(check.problems().isEmpty(), qPrintable(check.problems().join(QLatin1Char('\n'))));
    }

private:
    QStringList m_loaded;
    QList<QTranslator *> m_removed;
    QSize m_editorArea;
};

QTEST_MAIN(tst_Translations)
#include "tst_translations.moc"
