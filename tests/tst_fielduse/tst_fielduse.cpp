#include "DeviceBench.h"
#include "DeviceSimulator.h"
#include "FindControl.h"
#include "MainWindow.h"
#include "MessageBoxAnswerer.h"
#include "ModbusClient.h"
#include "OutputModuleModel.h"
#include "PluginManager.h"
#include "RegisterTable.h"
#include "RegisterView.h"
#include "TestApplication.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

using L = QStringList;
using Words = QList<quint16>;
using Format = RegisterTable::Format;

// What a user in the field relies on beside the editors: the register view for any
// device, and the guard that keeps unsaved changes from being lost silently.
class tst_FieldUse : public QObject
{
    Q_OBJECT

    DeviceBench m_bench;

    DeviceSimulator *device() const { return m_bench.device(); }
    static void click(QWidget *widget)
    {
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(5, widget->height() / 2));
    }
    static QString column(const RegisterView &view, int column)
    {
        const auto *grid = findControl<QTableWidget>(&view, "registerGrid");
        QStringList cells;
        for (int row = 0; row < grid->rowCount(); ++row)
            cells << grid->item(row, column)->text();
        return cells.join('|');
    }

private slots:
    void initTestCase()
    {
        prepareTestApplication();
        PluginManager::instance()->loadPluginsFromDir(QStringLiteral(TAVROLIX_PLUGIN_DIR));
        QVERIFY2(m_bench.open(), qPrintable(m_bench.errorString()));
    }
    void init()
    {
        QSettings().remove(QStringLiteral("connection"));
        QVERIFY(m_bench.start(nullptr));
        QVERIFY(m_bench.connectClient());
    }
    void cleanup()
    {
        m_bench.closeWindow();
        m_bench.client()->disconnect();
        m_bench.stop();
    }

    void formats_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("shown"); // of 0x0001 0xFFFE 0x1234 0xD8F0 0x0007
        QTest::addColumn<QString>("typed"); // and what that form makes of "-2", "fffe", "70000"
        QTest::newRow("unsigned") << int(Format::Unsigned) << "1|65534|4660|55536|7" << "-|-|-";
        QTest::newRow("signed") << int(Format::Signed) << "1|-2|4660|-10000|7" << "65534|-|-";
        QTest::newRow("hex") << int(Format::Hex) << "0x0001|0xFFFE|0x1234|0xD8F0|0x0007"
                             << "-|65534|-";
        // The odd register at the end has no pair.
        QTest::newRow("32-bit high first") << int(Format::Int32HighFirst) << "131070|305453296"
                                           << "-|-|-";
        QTest::newRow("32-bit low first") << int(Format::Int32LowFirst) << "-131071|-655355340"
                                          << "-|-|-";
    }
    void formats()
    {
        QFETCH(int, format);
        const Words words{0x0001, 0xFFFE, 0x1234, 0xD8F0, 0x0007};
        QTEST(RegisterTable::format(words, Format(format)).join('|'), "shown");
        QStringList typed;
        for (const QString text : {"-2", "fffe", "70000"}) {
            quint16 value = 0;
            typed << (RegisterTable::parse(text, Format(format), value) ? QString::number(value)
                                                                        : "-");
        }
        QTEST(typed.join('|'), "typed");
    }

    // The view on a plain device (256 addresses of each kind): what it shows and what
    // it sends, a refused address on its own row, an edit written, a refused write.
    void registerView_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("edit"); // "row value", typed into the value column
        QTest::addColumn<QString>("fault"); // on the edit's write
        QTest::addColumn<QString>("values");
        QTest::addColumn<QString>("errors");
        QTest::addColumn<QStringList>("requests");
        const QString beyond = QStringLiteral("Modbus exception 2 (illegal data address)");
        const int holding = int(RegisterTable::Kind::HoldingRegisters);
        QTest::newRow("read, edit") << holding << 10 << "1 77" << "" << "1|77|3" << "||"
                                    << L{"3@10x3", "6@11=77"};
        QTest::newRow("address beyond the device")
            << holding << 254 << "" << "" << "245|246|" << "||" + beyond
            << L{"3@254x3", "3@254x1", "3@255x1", "3@256x1"};
        QTest::newRow("write refused") << holding << 10 << "2 5" << "Exception"
                                       << "1|2|3" << "||Modbus exception 4 (server device failure)"
                                       << L{"3@10x3", "6@12=5"};
        QTest::newRow("not a value") << holding << 10 << "0 x" << "" << "1|2|3" << "||"
                                     << L{"3@10x3"};
        QTest::newRow("coil") << int(RegisterTable::Kind::Coils) << 10 << "2 1" << ""
                              << "0|1|1" << "||" << L{"1@10x3", "5@12=1"};
    }
    void registerView()
    {
        QFETCH(int, kind);
        QFETCH(int, start);
        QFETCH(QString, edit);
        QFETCH(QString, fault);
        for (int i = 0; i < 256; ++i) {
            device()->setHoldingRegister(i, quint16(i - 9));
            device()->setCoil(i, i % 2);
        }
        RegisterView view(m_bench.client(), {}, nullptr);
        auto *kinds = findControl<QComboBox>(&view, "kindCombo");
        kinds->setCurrentIndex(kinds->findData(kind));
        findControl<QSpinBox>(&view, "countSpin")->setValue(3);
        device()->clearRequests();
        auto *startSpin = findControl<QSpinBox>(&view, "startSpin");
        startSpin->setValue(start);
        emit startSpin->editingFinished();
        if (!edit.isEmpty()) {
            if (!fault.isEmpty())
                device()->setFault(DeviceSimulator::Fault::Exception, 4, 1);
            const QStringList words = edit.split(' ');
            findControl<QTableWidget>(&view, "registerGrid")
                ->item(words[0].toInt(), 1)
                ->setText(words[1]);
        }
        QTEST(column(view, 1), "values");
        QTEST(column(view, 2), "errors");
        QTEST(m_bench.requests(), "requests");
        QCOMPARE(m_bench.client()->slaveAddress(), 1); // given back
    }

    // Polled every 100 ms, on another node.
    void registerViewPoll()
    {
        device()->setServerAddress(7);
        RegisterView view(m_bench.client(), {}, nullptr);
        findControl<QSpinBox>(&view, "viewNodeSpin")->setValue(7);
        findControl<QComboBox>(&view, "pollCombo")->setCurrentIndex(1);
        device()->setHoldingRegister(2, 42);
        QTRY_COMPARE(column(view, 1).section('|', 2, 2), "42");
    }

    // The range changed while a read waits (each digit typed into the start address
    // does that): the read's values never land in the new range's rows.
    void rangeChangedDuringRead()
    {
        RegisterTable table;
        table.setRange(RegisterTable::Kind::HoldingRegisters, 0, 4);
        device()->setHoldingRegister(1, 11);
        QObject scope;
        connect(device(), &DeviceSimulator::requestReceived, &scope, [&table] {
            table.setRange(RegisterTable::Kind::HoldingRegisters, 100, 2);
        });
        QVERIFY(!table.read(m_bench.client(), 1));
        QCOMPARE(table.start(), quint16(100));
        QVERIFY(!table.hasValue(0) && !table.hasValue(1));
        QCOMPARE(table.error(0) + table.error(1), QString());
    }

    // One control of each editor, changed as the user does it: the editor is modified
    // until it reads the device again; filling it from the device never marks it.
    void modified_data()
    {
        QTest::addColumn<int>("signature");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("action"); // "click", "down" (arrow key), "type TEXT"
        QTest::addColumn<bool>("marks");
        QTest::newRow("output module, safe state") << 4 << "safe1" << "click" << true;
        QTest::newRow("output module, relay switched") << 4 << "out1" << "click" << true;
        QTest::newRow("input module, delay") << 3 << "delay1" << "type 5" << true;
        QTest::newRow("LED indicator, option") << 9 << "modbusInputCheck" << "click" << true;
        QTest::newRow("LED indicator, live text") << 9 << "stringEdit" << "type 1" << false;
        QTest::newRow("column indicator, baud rate") << 18 << "deviceBaudCombo" << "down" << true;
        QTest::newRow("analog module, type") << 2 << "typeCombo1" << "down" << true;
        QTest::newRow("analog module, auto-refresh") << 2 << "autoRefreshCheck" << "click"
                                                     << false;
        QTest::newRow("voltmeter, type") << 24 << "typeCombo1" << "down" << true;
        QTest::newRow("GSM modem, phone") << 5 << "phoneEdit1" << "type 5" << true;
    }
    void modified()
    {
        QFETCH(int, signature);
        QFETCH(QString, control);
        QFETCH(QString, action);
        DevicePlugin *plugin = PluginManager::instance()->pluginForSignature(quint16(signature));
        const std::unique_ptr<QWidget> editor(plugin->createWidget(m_bench.client(), nullptr));
        QVERIFY(editor->metaObject()->indexOfProperty("modified") >= 0);
        plugin->readFromDevice();
        QCOMPARE(editor->property("modified").toBool(), false);
        auto *widget = findControl(editor.get(), control);
        if (action == "click")
            click(widget);
        else if (action == "down")
            QTest::keyClick(widget, Qt::Key_Down);
        else
            QTest::keyClicks(widget, action.section(' ', 1));
        QTEST(editor->property("modified").toBool(), "marks");
        plugin->readFromDevice();
        QCOMPARE(editor->property("modified").toBool(), false);
    }

    // The window marks the changes and asks before they go: No keeps them, a save
    // clears them, Yes lets them go.
    void unsavedChanges_data()
    {
        QTest::addColumn<QString>("command"); // "connect" (to disconnect), "readAll", "close"
        QTest::addColumn<QString>("question");
        QTest::newRow("disconnect") << "connect" << "Disconnect anyway?";
        QTest::newRow("read all") << "readAll" << "Read anyway?";
        QTest::newRow("close") << "close" << "Quit anyway?";
    }
    void unsavedChanges()
    {
        QFETCH(QString, command);
        QFETCH(QString, question);
        m_bench.client()->disconnect(); // the window opens the port
        QVERIFY(m_bench.start(std::make_unique<OutputModuleModel>()));
        MainWindow *window = m_bench.openWindow();
        const auto issue = [&] {
            if (command == "close")
                window->close();
            else
                QVERIFY(m_bench.click(command));
        };
        auto *save = findControl<QPushButton>(window, "saveToFlashButton");
        QVERIFY(m_bench.click("connect"));
        QVERIFY(!window->isWindowModified());
        click(findControl(m_bench.editor(), "safe1"));
        QVERIFY(window->isWindowModified());
        QCOMPARE(save->text(), "Save to Flash *");

        m_bench.answerer()->setAnswer(QMessageBox::No);
        issue();
        QCOMPARE(m_bench.answerer()->boxes().size(), 1);
        QVERIFY(m_bench.answerer()->boxes()[0].contains(question + "|Question|No,Yes"));
        QVERIFY(window->isVisible() && window->isWindowModified() && m_bench.editor());

        m_bench.answerer()->setAnswer(QMessageBox::Yes);
        QVERIFY(m_bench.click("saveToFlash"));
        QVERIFY(!window->isWindowModified());
        QCOMPARE(save->text(), "Save to Flash");
        click(findControl(m_bench.editor(), "safe2"));
        issue();
        QCOMPARE(m_bench.answerer()->boxes().size(), 4); // question, confirm, success, question
        QCOMPARE(window->isVisible(), command != "close");
        QCOMPARE(m_bench.editor() != nullptr, command != "connect");
        QCOMPARE(window->isWindowModified(), command == "close"); // a read or the end clears
    }

    // A device no plug-in serves: the refusal offers the register view, which opens the
    // port again itself.
    void unknownDevice()
    {
        device()->setIdentity(0x1234, 1, 0);
        m_bench.client()->disconnect();
        MainWindow window; // its boxes answered here, not by the bench
        window.show();
        findControl<QComboBox>(&window, "portCombo")->setEditText(m_bench.clientPath());
        QString seen;
        QTimer answer;
        answer.callOnTimeout([&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                for (QAbstractButton *button : box->buttons())
                    if (button->text() == "Open Register View")
                        button->click();
            } else if (auto *view = qobject_cast<RegisterView *>(modal)) {
                findControl<QComboBox>(view, "kindCombo")->setCurrentIndex(1); // input registers
                seen = column(*view, 1).section('|', 0, 1);
                view->close();
            }
        });
        answer.start(50);
        QTest::mouseClick(findControl<QPushButton>(&window, "connectButton"), Qt::LeftButton);
        QCOMPARE(seen, "4660|1"); // signature and major version
        QVERIFY(!window.findChild<ModbusClient *>()->isConnected());
    }
};

QTEST_MAIN(tst_FieldUse)
#include "tst_fielduse.moc"
