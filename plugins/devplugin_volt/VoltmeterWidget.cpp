#include "VoltmeterWidget.h"

#include "ModbusClient.h"
#include "SensorReading.h"

#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// Holding registers 0-19 hold the configuration; 20 takes the save command and is
// read with the block so that the device answers the whole block in one reply.
constexpr quint16 HoldingBlockCount = 21;
constexpr quint16 ConfigurationCount = 20;
constexpr int TypeRegister = 0; // inputs 1-4
constexpr int RampRegister = 4; // inputs 1-8
constexpr int MultiplierRegister = 12; // inputs 1-4
constexpr int SampleRateRegister = 16;
constexpr int AddressRegister = 17;
constexpr int BaudIndexRegister = 18;
constexpr int ParityRegister = 19;

// Input registers 0-15: identity, build time in 3 (high) and 4 (low), readings from 8.
constexpr quint16 InputBlockCount = 16;
constexpr int BuildTimeHighRegister = 3;
constexpr int BuildTimeLowRegister = 4;
constexpr quint16 ReadingsRegister = 8;

constexpr int VoltageTypeData = 65535;
constexpr int CurrentTypeData = 2; // "0-20mA (4-20mA)"
constexpr int MonitorIntervalMs = 100;

constexpr int DefaultRamp = 500;
constexpr int DefaultMultiplier = 10;
constexpr int DefaultSampleRate = 8;

quint16 itemData(const QComboBox *box)
{
    return quint16(box->currentData().toUInt() & 0xFFFF);
}

void selectData(QComboBox *box, int data)
{
    const int index = box->findData(data);
    if (index >= 0)
        box->setCurrentIndex(index);
}

QLabel *centredLabel(const QString &text)
{
    auto *label = new QLabel(text);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QTableWidget *inputTable(int columns, const QStringList &headings, const QList<int> &widths)
{
    auto *table = new QTableWidget(VoltmeterWidget::InputCount, columns);
    table->setAlternatingRowColors(true);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setHorizontalHeaderLabels(headings);
    // Wider where a translated heading would be cut off.
    for (int c = 0; c < widths.size(); ++c)
        table->setColumnWidth(c,
                              qMax(widths.at(c), table->horizontalHeader()->sectionSizeHint(c)));
    for (int r = 0; r < VoltmeterWidget::InputCount; ++r)
        table->setRowHeight(r, 36);
    return table;
}

} // namespace

VoltmeterWidget::VoltmeterWidget(ModbusClient *client, QWidget *parent)
    : DeviceEditor(client, parent)
    , m_monitor(addLiveView(MonitorIntervalMs, [this](const LivePoller::StillWanted &stillWanted) {
        return readReadings(stillWanted);
    }))
{
    auto *buttons = new QHBoxLayout;
    auto *defaultsButton = new QPushButton(tr("Defaults"));
    defaultsButton->setObjectName(QStringLiteral("defaultsButton"));
    connect(defaultsButton, &QPushButton::clicked, this, &VoltmeterWidget::onDefaultsClicked);
    buttons->addWidget(defaultsButton);
    m_monitorButton = new QPushButton(tr("Monitor"));
    m_monitorButton->setObjectName(QStringLiteral("monitorButton"));
    m_monitorButton->setCheckable(true);
    connect(m_monitorButton, &QPushButton::toggled, this, &VoltmeterWidget::onMonitorToggled);
    buttons->addWidget(m_monitorButton);
    buttons->addStretch();
    qobject_cast<QVBoxLayout *>(layout())->insertLayout(0, buttons);

    tabs()->addTab(createConfigurationTab(), tr("Configuration"));
    tabs()->addTab(createDeviceSettingsTab(DeviceSettingsPage::Form::Grouped),
                   tr("Device Settings"));
    tabs()->addTab(createMonitoringTab(), tr("Monitoring"));

    applyDefaults();
    // Nothing here comes from the device yet.
    enableConfigWidgets(false);
}

QWidget *VoltmeterWidget::createConfigurationTab()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *table = inputTable(
        5, {tr("Channel"), tr("Type"), tr("Ramp (ms/unit)"), tr("Multiplier"), tr("Raw")},
        {80, 180, 130, 100, 110});
    for (int r = 0; r < InputCount; ++r) {
        const auto i = std::size_t(r);
        const QString number = QString::number(r + 1);
        table->setCellWidget(r, 0, centredLabel(tr("Input %1").arg(r + 1)));

        auto *type = new QComboBox;
        type->setObjectName(QStringLiteral("typeCombo") + number);
        if (r < ConfigurableCount) {
            type->addItem(tr("Disabled"), 0);
            type->addItem(tr("Pt100 0.00385"), 1);
            type->addItem(tr("0-20mA (4-20mA)"), 2);
            type->addItem(tr("100P 0.00391"), 3);
            type->addItem(tr("Pt1000 0.00385"), 4);
            connect(type, &QComboBox::currentIndexChanged, this,
                    [this, r] { updateChannelUi(r); });
        } else {
            type->addItem(tr("Voltage"), VoltageTypeData);
            type->setEnabled(false);
            type->setToolTip(tr("Inputs 5-8 are fixed voltage channels in firmware"));
        }
        m_typeCombos[i] = type;
        table->setCellWidget(r, 1, type);

        auto *ramp = new QSpinBox;
        ramp->setObjectName(QStringLiteral("rampSpin") + number);
        ramp->setRange(0, 65535);
        ramp->setValue(DefaultRamp);
        m_rampSpins[i] = ramp;
        table->setCellWidget(r, 2, ramp);

        auto *multiplier = new QSpinBox;
        multiplier->setObjectName(QStringLiteral("multiplierSpin") + number);
        multiplier->setRange(1, 65535);
        if (r < ConfigurableCount) {
            multiplier->setValue(DefaultMultiplier);
        } else {
            multiplier->setValue(1);
            multiplier->setEnabled(false);
            multiplier->setToolTip(tr("Voltage channels do not use multiplier registers"));
        }
        m_multiplierSpins[i] = multiplier;
        table->setCellWidget(r, 3, multiplier);

        auto *raw = centredLabel(QStringLiteral("---"));
        raw->setObjectName(QStringLiteral("rawLabel") + number);
        raw->setFrameShape(QFrame::Panel);
        m_rawLabels[i] = raw;
        table->setCellWidget(r, 4, raw);
    }
    layout->addWidget(table, 1);

    auto *note = new QLabel(
        tr("Inputs 5-8: fixed voltage measurement, divider is configured in firmware."));
    note->setWordWrap(true);
    note->setStyleSheet(QStringLiteral("color: gray;"));
    layout->addWidget(note);

    auto *rateRow = new QHBoxLayout;
    rateRow->addWidget(new QLabel(tr("Sample Rate (SPS):")));
    m_spsCombo = new QComboBox;
    m_spsCombo->setObjectName(QStringLiteral("spsCombo"));
    for (int rate : {8, 16, 32, 64, 128, 250, 475, 860})
        m_spsCombo->addItem(QString::number(rate), rate);
    rateRow->addWidget(m_spsCombo);
    rateRow->addStretch();
    layout->addLayout(rateRow);
    return page;
}

QWidget *VoltmeterWidget::createMonitoringTab()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *table = inputTable(3, {tr("Channel"), tr("Type"), tr("Value")}, {90, 180, 150});
    for (int r = 0; r < InputCount; ++r) {
        const auto i = std::size_t(r);
        const QString number = QString::number(r + 1);
        table->setCellWidget(r, 0, centredLabel(tr("Input %1").arg(r + 1)));
        m_monitorTypeLabels[i] = centredLabel(QString());
        m_monitorTypeLabels[i]->setObjectName(QStringLiteral("monitorTypeLabel") + number);
        table->setCellWidget(r, 1, m_monitorTypeLabels[i]);
        m_valueLabels[i] = centredLabel(QStringLiteral("---"));
        m_valueLabels[i]->setObjectName(QStringLiteral("valueLabel") + number);
        m_valueLabels[i]->setStyleSheet(QStringLiteral("font-weight: bold;"));
        table->setCellWidget(r, 2, m_valueLabels[i]);
    }
    layout->addWidget(table, 1);
    auto *note = centredLabel(tr("Values update every 100 ms while Monitor is enabled."));
    note->setStyleSheet(QStringLiteral("color: gray;"));
    layout->addWidget(note);
    return page;
}

void VoltmeterWidget::onDefaultsClicked()
{
    applyDefaults();
    setModified(true);
}

void VoltmeterWidget::applyDefaults()
{
    for (int r = 0; r < InputCount; ++r) {
        const auto i = std::size_t(r);
        m_typeCombos[i]->setCurrentIndex(0);
        m_multiplierSpins[i]->setValue(r < ConfigurableCount ? DefaultMultiplier : 1);
        if (r >= ConfigurableCount)
            m_multiplierSpins[i]->setEnabled(false);
        m_rampSpins[i]->setValue(DefaultRamp);
        updateMonitorTypes();
    }
    selectData(m_spsCombo, DefaultSampleRate);
    m_deviceSettingsPage->setFactoryDefaults();
    updateMonitorTypes();
}

void VoltmeterWidget::enableConfigWidgets(bool enabled)
{
    for (int r = 0; r < InputCount; ++r) {
        const auto i = std::size_t(r);
        // The voltage inputs' type and divider are fixed in the firmware.
        m_typeCombos[i]->setEnabled(r < ConfigurableCount && enabled);
        m_multiplierSpins[i]->setEnabled(r < ConfigurableCount && enabled);
        m_rampSpins[i]->setEnabled(enabled);
    }
    m_spsCombo->setEnabled(enabled);
    m_deviceSettingsPage->setEditable(enabled);
}

void VoltmeterWidget::updateMonitorTypes()
{
    for (int r = 0; r < InputCount; ++r) {
        QLabel *label = m_monitorTypeLabels[std::size_t(r)];
        if (label && m_typeCombos[std::size_t(r)])
            label->setText(typeText(r));
    }
}

void VoltmeterWidget::updateChannelUi(int index)
{
    if (index < 0 || index >= InputCount)
        return;
    if (index >= ConfigurableCount) {
        const auto i = std::size_t(index);
        m_typeCombos[i]->setCurrentIndex(0);
        m_multiplierSpins[i]->setValue(1);
        m_multiplierSpins[i]->setEnabled(false);
    }
    updateMonitorTypes();
}

QString VoltmeterWidget::typeText(int index) const
{
    if (index >= 0 && index < ConfigurableCount)
        return m_typeCombos[std::size_t(index)]->currentText();
    return tr("Voltage");
}

void VoltmeterWidget::readFromDevice()
{
    if (!isOnline())
        return;
    setModified(false); // what the user changed gives way to what the device holds
    // The host may retire and delete this page while a request waits.
    const QPointer<VoltmeterWidget> self(this);

    QList<quint16> holding;
    const bool holdingRead = m_client->readHoldingRegisters(0, HoldingBlockCount, holding);
    if (!self)
        return;
    if (holdingRead) {
        if (holding.size() <= ConfigurationCount)
            return; // a truncated block is no configuration at all
        for (int r = 0; r < InputCount; ++r) {
            const auto i = std::size_t(r);
            if (r < ConfigurableCount) {
                selectData(m_typeCombos[i], holding.at(TypeRegister + r));
                m_multiplierSpins[i]->setValue(holding.at(MultiplierRegister + r));
                m_rampSpins[i]->setValue(holding.at(RampRegister + r));
            } else {
                m_typeCombos[i]->setCurrentIndex(0);
                m_multiplierSpins[i]->setValue(1);
                m_rampSpins[i]->setValue(holding.at(RampRegister + r));
                updateChannelUi(r);
            }
            updateMonitorTypes();
        }
        selectData(m_spsCombo, holding.at(SampleRateRegister));
        m_deviceSettingsPage->setFromRegisters(holding.at(AddressRegister),
                                               holding.at(BaudIndexRegister),
                                               holding.at(ParityRegister));
    }

    if (isOnline()) {
        QList<quint16> inputs;
        const bool inputsRead = m_client->readInputRegisters(0, InputBlockCount, inputs);
        if (!self)
            return;
        if (inputsRead && inputs.size() >= InputBlockCount)
            updateBuildDateTime(inputs.at(BuildTimeHighRegister), inputs.at(BuildTimeLowRegister));
    }

    onPollTimerTimeout();
    if (!self)
        return;
    enableConfigWidgets(!m_monitorButton->isChecked());
    updateMonitorTypes();
}

void VoltmeterWidget::writeToDevice()
{
    if (!isOnline())
        return;
    // Register 20 is the save register: writing the block never touches it.
    QList<quint16> block(ConfigurationCount, 0);
    for (int r = 0; r < ConfigurableCount; ++r) {
        block[TypeRegister + r] = itemData(m_typeCombos[std::size_t(r)]);
        block[MultiplierRegister + r] = quint16(m_multiplierSpins[std::size_t(r)]->value());
    }
    for (int r = 0; r < InputCount; ++r)
        block[RampRegister + r] = quint16(m_rampSpins[std::size_t(r)]->value());
    block[SampleRateRegister] = itemData(m_spsCombo);
    const QList<quint16> port = m_deviceSettingsPage->registersToWrite();
    block[AddressRegister] = port.at(0);
    block[BaudIndexRegister] = port.at(1);
    block[ParityRegister] = port.at(2);
    m_client->writeRegisters(0, block);
}

void VoltmeterWidget::onMonitorToggled(bool checked)
{
    if (checked) {
        m_monitor->start();
        enableConfigWidgets(false);
        onPollTimerTimeout();
    } else {
        m_monitor->stop();
        enableConfigWidgets(true);
    }
}

void VoltmeterWidget::onPollTimerTimeout()
{
    m_monitor->tickNow();
}

bool VoltmeterWidget::readReadings(const LivePoller::StillWanted &stillWanted)
{
    QList<quint16> readings;
    const bool read = m_client->readInputRegisters(ReadingsRegister, InputCount, readings);
    if (!read || !stillWanted())
        return read; // on failure the labels keep their last text
    for (int i = 0; i < InputCount && i < readings.size(); ++i)
        updateSensorDisplay(i, readings.at(i));
    return true;
}

void VoltmeterWidget::updateSensorDisplay(int index, ushort raw)
{
    if (index < 0 || index >= InputCount)
        return;
    QString rawText;
    if (index < ConfigurableCount)
        rawText = SensorReading::isError(raw) ? SensorReading::errorText()
                                              : QString::number(qint16(raw));
    else
        rawText = QString::number(raw);
    m_rawLabels[std::size_t(index)]->setText(rawText);
    m_valueLabels[std::size_t(index)]->setText(convertedSensorValue(index, raw));
}

QString VoltmeterWidget::convertedSensorValue(int index, ushort raw) const
{
    if (index >= ConfigurableCount)
        return QString::number(raw / 1000.0, 'f', 3) + QStringLiteral(" V");
    if (SensorReading::isError(raw))
        return SensorReading::errorText();
    const quint16 type = itemData(m_typeCombos[std::size_t(index)]);
    if (type == 0)
        return QStringLiteral("---");
    // The multiplier box never goes below 1; the guard keeps a division by zero out
    // whatever the box holds.
    const int multiplier = m_multiplierSpins[std::size_t(index)]->value();
    const double value = qint16(raw) / double(multiplier > 0 ? multiplier : 1);
    if (type == CurrentTypeData)
        return QString::number(value, 'f', 3) + QStringLiteral(" mA");
    return QString::number(value, 'f', 1) + QStringLiteral(" C");
}

void VoltmeterWidget::updateBuildDateTime(ushort high, ushort low)
{
    const qint64 seconds = qint64(high) * 65536 + low;
    if (seconds == 0) {
        m_deviceSettingsPage->setBuildTime(QStringLiteral("---"));
        return;
    }
    m_deviceSettingsPage->setBuildTime(QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC)
                                           .toLocalTime()
                                           .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}
