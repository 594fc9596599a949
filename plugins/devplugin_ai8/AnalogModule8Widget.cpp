#include "AnalogModule8Widget.h"

#include "ModbusClient.h"
#include "SensorReading.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// Holding registers, one per channel from each base, then the module's own.
constexpr quint16 TypeRegister = 0;
constexpr quint16 RampRegister = 8;
constexpr quint16 MultiplierRegister = 16;
constexpr quint16 SpsRegister = 24;
constexpr quint16 AddressRegister = 25;
constexpr quint16 ConfigReadCount = 29; // with the save register, which is ignored
constexpr quint16 ConfigWriteCount = 28; // without it
// Input registers: identity and unused first, the measured values from 8.
constexpr quint16 MeasuredRegister = 8;
constexpr quint16 InputBlockCount = 16;

constexpr int TypeDisabled = 0;
constexpr int TypePt100 = 1;
constexpr int TypeCurrent = 2;
constexpr int Type100P = 3;

constexpr int RefreshIntervalMs = 100;

const char *const ValueStyle = "font-weight: bold; font-size: 14px; color: #0066cc;";

QString unitOf(int type)
{
    if (type == TypePt100 || type == Type100P)
        return QStringLiteral("°C");
    if (type == TypeCurrent)
        return QStringLiteral("mA");
    return QString();
}

void selectData(QComboBox *box, int data)
{
    const QSignalBlocker blocker(box);
    const int index = box->findData(data);
    if (index >= 0) // a value the box does not offer leaves it as it was
        box->setCurrentIndex(index);
}

void setBlocked(QSpinBox *spin, int value)
{
    const QSignalBlocker blocker(spin);
    spin->setValue(value);
}

} // namespace

AnalogModule8Widget::AnalogModule8Widget(ModbusClient *client, QWidget *parent)
    : DeviceEditor(client, parent)
    , m_refresh(addLiveView(RefreshIntervalMs, [this](const LivePoller::StillWanted &stillWanted) {
        return readMeasuredValues(stillWanted);
    }))
{
    tabs()->addTab(createSensorsTab(), tr("Sensors"));
    tabs()->addTab(createChannelSettingsTab(), tr("Channel Settings"));
    tabs()->addTab(createDeviceSettingsTab(DeviceSettingsPage::Form::Standard),
                   tr("Device Settings"));
}

QWidget *AnalogModule8Widget::createSensorsTab()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(tr("Live sensor readings from the device:")));

    auto *group = new QGroupBox(tr("Sensor Values"));
    auto *grid = new QGridLayout(group);
    grid->setSpacing(10);
    grid->addWidget(new QLabel(tr("Channel")), 0, 0);
    grid->addWidget(new QLabel(tr("Type")), 0, 1);
    grid->addWidget(new QLabel(tr("Value")), 0, 2);
    grid->addWidget(new QLabel(tr("Unit")), 0, 3);
    for (int ch = 0; ch < ChannelCount; ++ch) {
        const QString number = QString::number(ch + 1);
        auto *channelLabel = new QLabel(tr("CH %1").arg(ch + 1));
        channelLabel->setMinimumWidth(50);
        grid->addWidget(channelLabel, ch + 1, 0);

        auto *type = new QComboBox;
        type->setObjectName(QStringLiteral("typeCombo") + number);
        type->addItem(tr("Disabled"), TypeDisabled);
        type->addItem(tr("Pt100 0.00385"), TypePt100);
        type->addItem(tr("0-20 mA (4-20 mA)"), TypeCurrent);
        type->addItem(tr("100P 0.00391"), Type100P);
        type->setProperty("channel", ch);
        type->setMinimumWidth(100);
        connect(type, &QComboBox::currentIndexChanged, this,
                &AnalogModule8Widget::onSensorTypeChanged);
        grid->addWidget(type, ch + 1, 1);
        m_typeCombos[std::size_t(ch)] = type;

        auto *value = new QLabel(QStringLiteral("---"));
        value->setObjectName(QStringLiteral("valueLabel") + number);
        value->setMinimumWidth(100);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setStyleSheet(QLatin1String(ValueStyle));
        SensorReading::fixWidth(value, {QStringLiteral("-32768.00")});
        grid->addWidget(value, ch + 1, 2);
        m_valueLabels[std::size_t(ch)] = value;

        auto *unit = new QLabel;
        unit->setObjectName(QStringLiteral("unitLabel") + number);
        unit->setMinimumWidth(40);
        grid->addWidget(unit, ch + 1, 3);
        m_unitLabels[std::size_t(ch)] = unit;
    }
    layout->addWidget(group);

    auto *refreshGroup = new QGroupBox(tr("Auto Refresh"));
    auto *refreshRow = new QHBoxLayout(refreshGroup);
    auto *autoRefresh = new QCheckBox(tr("Enable auto-refresh (100ms)"));
    autoRefresh->setObjectName(QStringLiteral("autoRefreshCheck"));
    keepOutOfModified(autoRefresh);
    connect(autoRefresh, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            m_refresh->start();
        else
            m_refresh->stop();
    });
    refreshRow->addWidget(autoRefresh);
    refreshRow->addStretch();
    layout->addWidget(refreshGroup);
    layout->addStretch();
    return page;
}

QWidget *AnalogModule8Widget::createChannelSettingsTab()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(tr("Configure ramp time and multiplier for each channel:")));

    auto *group = new QGroupBox(tr("Channel Configuration"));
    auto *grid = new QGridLayout(group);
    grid->setSpacing(10);
    grid->addWidget(new QLabel(tr("Channel")), 0, 0);
    grid->addWidget(new QLabel(tr("Ramp (ms)")), 0, 1);
    grid->addWidget(new QLabel(tr("Multiplier")), 0, 2);
    for (int ch = 0; ch < ChannelCount; ++ch) {
        const QString number = QString::number(ch + 1);
        grid->addWidget(new QLabel(tr("CH %1").arg(ch + 1)), ch + 1, 0);

        auto *ramp = new QSpinBox;
        ramp->setObjectName(QStringLiteral("rampSpin") + number);
        ramp->setRange(0, 10000);
        ramp->setValue(500);
        ramp->setSuffix(QStringLiteral(" ms"));
        ramp->setProperty("channel", ch);
        connect(ramp, &QSpinBox::valueChanged, this, &AnalogModule8Widget::onRampChanged);
        grid->addWidget(ramp, ch + 1, 1);
        m_rampSpins[std::size_t(ch)] = ramp;

        auto *multiplier = new QSpinBox;
        multiplier->setObjectName(QStringLiteral("multiplierSpin") + number);
        multiplier->setRange(0, 100);
        multiplier->setValue(10);
        multiplier->setProperty("channel", ch);
        connect(multiplier, &QSpinBox::valueChanged, this,
                &AnalogModule8Widget::onMultiplierChanged);
        grid->addWidget(multiplier, ch + 1, 2);
        m_multiplierSpins[std::size_t(ch)] = multiplier;
    }
    layout->addWidget(group);

    auto *spsGroup = new QGroupBox(tr("Sample Rate"));
    auto *spsRow = new QHBoxLayout(spsGroup);
    spsRow->addWidget(new QLabel(tr("Samples per second:")));
    m_spsCombo = new QComboBox;
    m_spsCombo->setObjectName(QStringLiteral("spsCombo"));
    for (int rate : {8, 16, 32, 64, 128, 250, 475, 860})
        m_spsCombo->addItem(QString::number(rate), rate);
    m_spsCombo->setCurrentIndex(0);
    connect(m_spsCombo, &QComboBox::currentIndexChanged, this, &AnalogModule8Widget::onSpsChanged);
    spsRow->addWidget(m_spsCombo);
    auto *hint = new QLabel(tr("(Higher = faster but noisier)"));
    hint->setStyleSheet(QStringLiteral("color: gray;"));
    spsRow->addWidget(hint);
    spsRow->addStretch();
    layout->addWidget(spsGroup);
    layout->addStretch();
    return page;
}

QString AnalogModule8Widget::formatSensorValue(int channel, short raw) const
{
    if (channel < 0 || channel >= ChannelCount)
        return QString();
    if (SensorReading::isError(quint16(raw)))
        return SensorReading::errorText();
    if (m_typeCombos[std::size_t(channel)]->currentData().toInt() == TypeDisabled)
        return QStringLiteral("---");
    const int multiplier = m_multiplierSpins[std::size_t(channel)]->value();
    return QString::number(double(raw) / (multiplier > 0 ? multiplier : 1), 'f', 2);
}

void AnalogModule8Widget::updateSensorDisplay(int channel, short raw)
{
    if (channel < 0 || channel >= ChannelCount)
        return;
    const auto ch = std::size_t(channel);
    SensorReading::show(m_valueLabels[ch], quint16(raw), formatSensorValue(channel, raw),
                        QLatin1String(ValueStyle));
    // A faulty sensor's "Error" has no unit.
    m_unitLabels[ch]->setText(SensorReading::isError(quint16(raw))
                                  ? QString()
                                  : unitOf(m_typeCombos[ch]->currentData().toInt()));
}

void AnalogModule8Widget::showType(int channel, int type)
{
    const auto ch = std::size_t(channel);
    m_unitLabels[ch]->setText(unitOf(type));
    m_rampSpins[ch]->setEnabled(type != TypeDisabled);
    m_multiplierSpins[ch]->setEnabled(type != TypeDisabled);
}

void AnalogModule8Widget::onSensorTypeChanged(int)
{
    auto *box = qobject_cast<QComboBox *>(sender());
    if (!box)
        return;
    const int channel = box->property("channel").toInt();
    if (channel < 0 || channel >= ChannelCount)
        return;
    const auto ch = std::size_t(channel);
    const int type = box->currentData().toInt();
    m_unlistedTypes[ch] = -1; // the user chose a type of the list

    showType(channel, type);
    // The module scales each sensor kind by its own default; the new multiplier goes to
    // the device with the type below, not as a change of its own.
    if (type == TypePt100 || type == Type100P) {
        setBlocked(m_multiplierSpins[ch], 10);
    } else if (type == TypeCurrent) {
        setBlocked(m_multiplierSpins[ch], 100);
    } else {
        m_valueLabels[ch]->setText(QStringLiteral("---"));
        m_valueLabels[ch]->setStyleSheet(QLatin1String(ValueStyle));
    }

    if (!isOnline())
        return;
    const QPointer<AnalogModule8Widget> self(this);
    m_client->writeRegister(quint16(TypeRegister + channel), quint16(type));
    if (type != TypeDisabled && self && isOnline()) {
        m_client->writeRegister(quint16(MultiplierRegister + channel),
                                quint16(m_multiplierSpins[ch]->value()));
    }
}

void AnalogModule8Widget::onRampChanged(int value)
{
    auto *spin = qobject_cast<QSpinBox *>(sender());
    if (!spin || !isOnline())
        return;
    const int channel = spin->property("channel").toInt();
    m_client->writeRegister(quint16(RampRegister + channel), quint16(value));
}

void AnalogModule8Widget::onMultiplierChanged(int value)
{
    auto *spin = qobject_cast<QSpinBox *>(sender());
    if (!spin || !isOnline())
        return;
    const int channel = spin->property("channel").toInt();
    m_client->writeRegister(quint16(MultiplierRegister + channel), quint16(value));
}

void AnalogModule8Widget::onSpsChanged(int index)
{
    if (!isOnline() || index < 0)
        return;
    // The device takes the rate itself, not its position in the box.
    m_client->writeRegister(SpsRegister, quint16(m_spsCombo->itemData(index).toInt()));
}

void AnalogModule8Widget::onRefreshTimerTimeout()
{
    m_refresh->tickNow();
}

bool AnalogModule8Widget::readMeasuredValues(const LivePoller::StillWanted &stillWanted)
{
    QList<quint16> values;
    const bool ok = m_client->readInputRegisters(MeasuredRegister, ChannelCount, values);
    if (!ok || !stillWanted())
        return ok;
    for (int ch = 0; ch < ChannelCount; ++ch)
        updateSensorDisplay(ch, short(values.at(ch)));
    return true;
}

void AnalogModule8Widget::showConfiguration(const QList<quint16> &registers)
{
    for (int ch = 0; ch < ChannelCount; ++ch) {
        const auto i = std::size_t(ch);
        const int type = registers.at(TypeRegister + ch);
        selectData(m_typeCombos[i], type);
        m_unlistedTypes[i] = m_typeCombos[i]->findData(type) < 0 ? type : -1;
        showType(ch, type);
        setBlocked(m_rampSpins[i], registers.at(RampRegister + ch));
        setBlocked(m_multiplierSpins[i], registers.at(MultiplierRegister + ch));
    }
    selectData(m_spsCombo, registers.at(SpsRegister));
    m_deviceSettingsPage->setFromRegisters(registers.at(AddressRegister),
                                           registers.at(AddressRegister + 1),
                                           registers.at(AddressRegister + 2));
}

void AnalogModule8Widget::readFromDevice()
{
    if (!isOnline())
        return;
    setModified(false); // what the user changed gives way to what the device holds
    const QPointer<AnalogModule8Widget> self(this);

    QList<quint16> config;
    const bool configRead = m_client->readHoldingRegisters(TypeRegister, ConfigReadCount, config);
    if (!self)
        return;
    if (configRead)
        showConfiguration(config);

    // The measured values are read whether or not the configuration came in.
    QList<quint16> inputs;
    if (!isOnline() || !m_client->readInputRegisters(0, InputBlockCount, inputs) || !self)
        return;
    for (int ch = 0; ch < ChannelCount; ++ch)
        updateSensorDisplay(ch, short(inputs.at(MeasuredRegister + ch)));
}

void AnalogModule8Widget::writeToDevice()
{
    if (!isOnline())
        return;
    QList<quint16> values;
    values.reserve(ConfigWriteCount);
    for (std::size_t ch = 0; ch < ChannelCount; ++ch) {
        const int unlisted = m_unlistedTypes[ch];
        values.append(quint16(unlisted >= 0 ? unlisted : m_typeCombos[ch]->currentData().toInt()));
    }
    for (const QSpinBox *ramp : m_rampSpins)
        values.append(quint16(ramp->value()));
    for (const QSpinBox *multiplier : m_multiplierSpins)
        values.append(quint16(multiplier->value()));
    values.append(quint16(m_spsCombo->currentData().toInt()));
    values.append(m_deviceSettingsPage->registersToWrite());
    m_client->writeRegisters(TypeRegister, values);
}
