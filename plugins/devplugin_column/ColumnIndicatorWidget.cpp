#include "ColumnIndicatorWidget.h"

#include "ModbusClient.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// Holding registers 0 to 44: 0 save command, 1 address, 2 baud-rate index, 3 parity,
// 4 safe period, 5 to 8 the slave values regSl0 to regSl3, then nine per column.
constexpr quint16 RegisterCount = 45;
constexpr int AddressRegister = 1;
constexpr int BaudIndexRegister = 2;
constexpr int ParityRegister = 3;
constexpr int SafePeriodRegister = 4;
constexpr quint16 SlaveValuesRegister = 5;
constexpr int ColumnsRegister = 9; // remote node, input register, seven range limits
constexpr int ColumnStride = 9;

// Coils 0 to 9: slave mode, use safe period, then "Active" and "Hide previous" per column.
constexpr quint16 CoilCount = 10;
constexpr quint16 SlaveModeCoil = 0;
constexpr int SafePeriodCoil = 1;
constexpr int ColumnsCoil = 2;

constexpr int remoteNodeRegister(int column)
{
    return ColumnsRegister + ColumnStride * column;
}
constexpr int inputRegisterRegister(int column)
{
    return remoteNodeRegister(column) + 1;
}
constexpr int rangeRegister(int column, int range)
{
    return remoteNodeRegister(column) + 2 + range;
}
constexpr int activeCoil(int column)
{
    return ColumnsCoil + 2 * column;
}
constexpr int hidePreviousCoil(int column)
{
    return activeCoil(column) + 1;
}

static_assert(rangeRegister(ColumnIndicatorWidget::ColumnCount - 1,
                            ColumnIndicatorWidget::RangeCount - 1)
                  == RegisterCount - 1,
              "the last range limit of the last column is the last register");
static_assert(hidePreviousCoil(ColumnIndicatorWidget::ColumnCount - 1) == CoilCount - 1,
              "the last flag of the last column is the last coil");

QSpinBox *newSpin(int minimum, int maximum, int value, const QString &name)
{
    auto *spin = new QSpinBox;
    spin->setObjectName(name);
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    return spin;
}

QCheckBox *newCheck(const QString &text, const QString &name)
{
    auto *check = new QCheckBox(text);
    check->setObjectName(name);
    return check;
}

// A page whose content scrolls when the window is smaller than the page.
QWidget *scrolled(QWidget *content)
{
    auto *area = new QScrollArea;
    area->setWidgetResizable(true);
    area->setWidget(content);
    return area;
}

} // namespace

ColumnIndicatorWidget::ColumnIndicatorWidget(ModbusClient *client, QWidget *parent)
    : DeviceEditor(client, parent)
{
    tabs()->addTab(createGeneralTab(), tr("Configuration"));
    tabs()->addTab(createRangesTab(), tr("Ranges"));
    tabs()->addTab(createSlaveTestTab(), tr("Slave Test"));
    updateSlaveControlsEnabled();
}

QWidget *ColumnIndicatorWidget::createGeneralTab()
{
    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);

    layout->addWidget(createDeviceSettingsTab(DeviceSettingsPage::Form::PortGroup));

    auto *modeGroup = new QGroupBox(tr("Mode"));
    auto *modeGrid = new QGridLayout(modeGroup);
    m_slaveModeCheck = newCheck(tr("Use as slave"), QStringLiteral("slaveModeCheck"));
    connect(m_slaveModeCheck, &QCheckBox::toggled, this,
            &ColumnIndicatorWidget::onSlaveModeToggled);
    modeGrid->addWidget(m_slaveModeCheck, 0, 0);
    m_safePeriodCheck = newCheck(tr("Use safe period"), QStringLiteral("safePeriodCheck"));
    modeGrid->addWidget(m_safePeriodCheck, 0, 1);
    modeGrid->addWidget(new QLabel(tr("Safe period, s:")), 1, 0);
    m_safePeriodSpin = newSpin(0, 65535, 0, QStringLiteral("safePeriodSpin"));
    modeGrid->addWidget(m_safePeriodSpin, 1, 1);
    modeGrid->setColumnStretch(2, 1);
    layout->addWidget(modeGroup);

    auto *sourcesGroup = new QGroupBox(tr("Master Mode Sources"));
    auto *sourcesGrid = new QGridLayout(sourcesGroup);
    sourcesGrid->addWidget(new QLabel(tr("Channel")), 0, 0);
    sourcesGrid->addWidget(new QLabel(tr("Remote Node")), 0, 1);
    sourcesGrid->addWidget(new QLabel(tr("Input Register")), 0, 2);
    for (int i = 0; i < ColumnCount; ++i) {
        const std::size_t column = std::size_t(i);
        sourcesGrid->addWidget(new QLabel(tr("Indicator %1").arg(i + 1)), i + 1, 0);
        m_remoteNodeSpins[column] = newSpin(1, 247, 1, QStringLiteral("remoteNode%1").arg(i + 1));
        sourcesGrid->addWidget(m_remoteNodeSpins[column], i + 1, 1);
        m_inputRegisterSpins[column] =
            newSpin(0, 65535, 0, QStringLiteral("inputRegister%1").arg(i + 1));
        sourcesGrid->addWidget(m_inputRegisterSpins[column], i + 1, 2);
    }
    sourcesGrid->setColumnStretch(3, 1);
    layout->addWidget(sourcesGroup);
    layout->addStretch();
    return scrolled(content);
}

QWidget *ColumnIndicatorWidget::createRangesTab()
{
    const QStringList rangeHeaders = {
        tr("Red Begin"),   tr("Red End"),   tr("Yellow Begin"), tr("Yellow End"),
        tr("Green Begin"), tr("Green End"), tr("Blue"),
    };

    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    auto *group = new QGroupBox(tr("Indicator Ranges"));
    auto *grid = new QGridLayout(group);
    grid->addWidget(new QLabel(tr("Channel")), 0, 0);
    // Centred over the centred check boxes below them.
    grid->addWidget(new QLabel(tr("Active")), 0, 1, Qt::AlignCenter);
    grid->addWidget(new QLabel(tr("Hide previous")), 0, 2, Qt::AlignCenter);
    for (int r = 0; r < RangeCount; ++r)
        grid->addWidget(new QLabel(rangeHeaders.at(r)), 0, 3 + r);

    for (int i = 0; i < ColumnCount; ++i) {
        const std::size_t column = std::size_t(i);
        const int row = i + 1;
        grid->addWidget(new QLabel(tr("Indicator %1").arg(i + 1)), row, 0);
        m_activeChecks[column] = newCheck(QString(), QStringLiteral("active%1").arg(i + 1));
        grid->addWidget(m_activeChecks[column], row, 1, Qt::AlignCenter);
        m_hidePreviousChecks[column] =
            newCheck(QString(), QStringLiteral("hidePrevious%1").arg(i + 1));
        grid->addWidget(m_hidePreviousChecks[column], row, 2, Qt::AlignCenter);
        for (int r = 0; r < RangeCount; ++r) {
            QSpinBox *spin =
                newSpin(0, 65535, 0, QStringLiteral("range%1_%2").arg(i + 1).arg(r + 1));
            spin->setMaximumWidth(90);
            grid->addWidget(spin, row, 3 + r);
            m_rangeSpins[column][std::size_t(r)] = spin;
        }
    }
    layout->addWidget(group);
    layout->addStretch();
    return scrolled(content);
}

QWidget *ColumnIndicatorWidget::createSlaveTestTab()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *note = new QLabel(tr("Slave test writes temporary values to regSl0..regSl3. Use Save "
                               "to Flash only if you want to persist settings."));
    note->setWordWrap(true);
    note->setStyleSheet(QStringLiteral("color: gray;"));
    layout->addWidget(note);

    auto *group = new QGroupBox(tr("Test Values"));
    auto *grid = new QGridLayout(group);
    grid->addWidget(new QLabel(tr("Channel")), 0, 0);
    grid->addWidget(new QLabel(tr("Value")), 0, 1);
    for (int i = 0; i < ColumnCount; ++i) {
        grid->addWidget(new QLabel(tr("Indicator %1").arg(i + 1)), i + 1, 0);
        m_testValueSpins[std::size_t(i)] =
            newSpin(0, 65535, 0, QStringLiteral("testValue%1").arg(i + 1));
        grid->addWidget(m_testValueSpins[std::size_t(i)], i + 1, 1);
    }
    m_enableSlaveOnApplyCheck =
        newCheck(tr("Enable slave mode when applying"), QStringLiteral("enableSlaveOnApplyCheck"));
    grid->addWidget(m_enableSlaveOnApplyCheck, 5, 0, 1, 2);
    auto *apply = new QPushButton(tr("Apply test values"));
    apply->setObjectName(QStringLiteral("applyTestButton"));
    connect(apply, &QPushButton::clicked, this, &ColumnIndicatorWidget::onApplySlaveTest);
    grid->addWidget(apply, 6, 0, 1, 2);
    m_slaveTestStatusLabel = new QLabel;
    m_slaveTestStatusLabel->setObjectName(QStringLiteral("slaveTestStatusLabel"));
    grid->addWidget(m_slaveTestStatusLabel, 7, 0, 1, 2);
    grid->setColumnStretch(2, 1);
    layout->addWidget(group);
    layout->addStretch();
    return page;
}

void ColumnIndicatorWidget::updateSlaveControlsEnabled()
{
    const bool slave = m_slaveModeCheck && m_slaveModeCheck->isChecked();
    if (m_safePeriodCheck)
        m_safePeriodCheck->setEnabled(slave);
    if (m_safePeriodSpin)
        m_safePeriodSpin->setEnabled(slave);
}

void ColumnIndicatorWidget::setSpinValue(QSpinBox *box, unsigned short value)
{
    if (box)
        box->setValue(value);
}

unsigned short ColumnIndicatorWidget::spinUnsignedValue(QSpinBox *box) const
{
    return box ? static_cast<unsigned short>(box->value()) : 0;
}

void ColumnIndicatorWidget::onSlaveModeToggled(bool checked)
{
    Q_UNUSED(checked)
    updateSlaveControlsEnabled();
}

void ColumnIndicatorWidget::onApplySlaveTest()
{
    if (!isOnline())
        return;
    // The client may be gone once a request returns; its reason then is that it is gone.
    const auto failureReason = [this] {
        return m_client ? m_client->lastError()
                        : QCoreApplication::translate("ModbusClient", "Not connected");
    };

    if (m_enableSlaveOnApplyCheck->isChecked()) {
        if (!m_client->writeSingleCoil(SlaveModeCoil, true)) {
            m_slaveTestStatusLabel->setText(
                tr("Failed to enable slave mode: %1").arg(failureReason()));
            return;
        }
        m_slaveModeCheck->setChecked(true);
    }

    QList<quint16> values;
    for (QSpinBox *spin : m_testValueSpins)
        values.append(spinUnsignedValue(spin));
    // A client that went away during the coil write answers "Not connected" itself.
    if (m_client && m_client->writeRegisters(SlaveValuesRegister, values))
        m_slaveTestStatusLabel->setText(tr("Test values applied."));
    else
        m_slaveTestStatusLabel->setText(
            tr("Failed to apply test values: %1").arg(failureReason()));
}

void ColumnIndicatorWidget::readFromDevice()
{
    if (!isOnline())
        return;
    setModified(false); // what the user changed gives way to what the device holds

    QList<quint16> registers;
    if (m_client->readHoldingRegisters(0, RegisterCount, registers)) {
        // registers[0] is the save-command register: nothing to show.
        m_deviceSettingsPage->setFromRegisters(registers.at(AddressRegister),
                                               registers.at(BaudIndexRegister),
                                               registers.at(ParityRegister));
        setSpinValue(m_safePeriodSpin, registers.at(SafePeriodRegister));
        for (int i = 0; i < ColumnCount; ++i) {
            const std::size_t column = std::size_t(i);
            setSpinValue(m_remoteNodeSpins[column], registers.at(remoteNodeRegister(i)));
            setSpinValue(m_inputRegisterSpins[column], registers.at(inputRegisterRegister(i)));
            setSpinValue(m_testValueSpins[column], registers.at(SlaveValuesRegister + i));
            for (int r = 0; r < RangeCount; ++r) {
                setSpinValue(m_rangeSpins[column][std::size_t(r)],
                             registers.at(rangeRegister(i, r)));
            }
        }
    }

    QList<bool> coils;
    if (isOnline() && m_client->readCoils(0, CoilCount, coils)) {
        m_slaveModeCheck->setChecked(coils.at(SlaveModeCoil));
        m_safePeriodCheck->setChecked(coils.at(SafePeriodCoil));
        for (int i = 0; i < ColumnCount; ++i) {
            m_activeChecks[std::size_t(i)]->setChecked(coils.at(activeCoil(i)));
            m_hidePreviousChecks[std::size_t(i)]->setChecked(coils.at(hidePreviousCoil(i)));
        }
    }
    updateSlaveControlsEnabled();
}

void ColumnIndicatorWidget::writeToDevice()
{
    if (!isOnline())
        return;

    QList<quint16> registers(RegisterCount, 0); // register 0, the save command, goes as 0
    const QList<quint16> port = m_deviceSettingsPage->registersToWrite();
    registers[AddressRegister] = port.at(0);
    registers[BaudIndexRegister] = port.at(1);
    registers[ParityRegister] = port.at(2);
    registers[SafePeriodRegister] = spinUnsignedValue(m_safePeriodSpin);
    for (int i = 0; i < ColumnCount; ++i) {
        const std::size_t column = std::size_t(i);
        registers[SlaveValuesRegister + i] = spinUnsignedValue(m_testValueSpins[column]);
        registers[remoteNodeRegister(i)] = spinUnsignedValue(m_remoteNodeSpins[column]);
        registers[inputRegisterRegister(i)] = spinUnsignedValue(m_inputRegisterSpins[column]);
        for (int r = 0; r < RangeCount; ++r) {
            registers[rangeRegister(i, r)] =
                spinUnsignedValue(m_rangeSpins[column][std::size_t(r)]);
        }
    }

    QList<bool> coils;
    coils << m_slaveModeCheck->isChecked() << m_safePeriodCheck->isChecked();
    for (int i = 0; i < ColumnCount; ++i)
        coils << m_activeChecks[std::size_t(i)]->isChecked()
              << m_hidePreviousChecks[std::size_t(i)]->isChecked();

    // Both blocks go out whatever the first one gave; the host judges the outcome by the
    // client's failure count.
    m_client->writeRegisters(0, registers);
    if (isOnline())
        m_client->writeCoils(0, coils);
}
