#include "DeviceSettingsPage.h"

#include "ModbusClient.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr int DefaultBaudIndex = 2; // 9600

// The grouped form keeps its own copy of the rates: devices with that form store
// these positions whatever the program's list becomes.
const QList<int> &groupedFormRates()
{
    static const QList<int> rates = {2400, 4800, 9600, 19200, 38400, 57600, 115200};
    return rates;
}

QString translated(const char *context, const char *text)
{
    return QCoreApplication::translate(context, text);
}

template<typename Set>
void setMaybeBlocked(QWidget *control, bool block, Set set)
{
    if (block) {
        const QSignalBlocker blocker(control);
        set();
    } else {
        set();
    }
}

} // namespace

DeviceSettingsPage::DeviceSettingsPage(Form form, const char *context, QWidget *parent)
    : QWidget(parent)
    , m_form(form)
{
    createControls(context);
    if (form == Form::Standard)
        buildStandard(context);
    else
        buildGrouped(context);
}

void DeviceSettingsPage::createControls(const char *context)
{
    m_addressSpin = new QSpinBox;
    m_addressSpin->setObjectName(QStringLiteral("deviceAddressSpin"));
    m_addressSpin->setRange(1, 247);
    m_addressSpin->setValue(1);

    // The standard form's item data is the rate, the grouped form's the position;
    // either way the device register holds the position.
    const bool standard = m_form == Form::Standard;
    const QList<int> &rates = standard ? ModbusClient::baudRates() : groupedFormRates();
    m_baudCombo = new QComboBox;
    m_baudCombo->setObjectName(QStringLiteral("deviceBaudCombo"));
    for (int i = 0; i < rates.size(); ++i)
        m_baudCombo->addItem(QString::number(rates.at(i)), standard ? rates.at(i) : i);
    m_baudCombo->setCurrentIndex(DefaultBaudIndex);

    m_parityCombo = new QComboBox;
    m_parityCombo->setObjectName(QStringLiteral("deviceParityCombo"));
    m_parityCombo->addItem(translated(context, "None"), 0);
    m_parityCombo->addItem(translated(context, "Even"), 1);
    m_parityCombo->addItem(translated(context, "Odd"), 2);
}

void DeviceSettingsPage::buildStandard(const char *context)
{
    auto *layout = new QVBoxLayout(this);

    auto *note = new QLabel(translated(
        context, "Changes take effect after saving to flash\nand power cycling the device."));
    note->setStyleSheet(QStringLiteral("color: orange;"));
    layout->addWidget(note);

    auto *form = new QFormLayout;
    form->setSpacing(15);

    auto *addressRow = new QHBoxLayout;
    addressRow->addWidget(m_addressSpin);
    addressRow->addWidget(new QLabel(translated(context, "(1-247)")));
    addressRow->addStretch();
    form->addRow(translated(context, "Modbus Address:"), addressRow);

    m_baudCombo->setMinimumWidth(80);
    m_baudCombo->setMaximumWidth(100);
    form->addRow(translated(context, "Baud Rate:"), m_baudCombo);

    m_parityCombo->setMinimumWidth(60);
    m_parityCombo->setMaximumWidth(80);
    form->addRow(translated(context, "Parity:"), m_parityCombo);

    layout->addLayout(form);
    layout->addStretch();
}

void DeviceSettingsPage::buildGrouped(const char *context)
{
    auto *layout = new QVBoxLayout(this);

    auto *note = new QLabel(translated(
        context, "Changes take effect after saving to flash and reconnecting with new "
                 "parameters."));
    note->setWordWrap(true);
    note->setStyleSheet(QStringLiteral("color: orange;"));
    layout->addWidget(note);

    auto *serialGroup = new QGroupBox(translated(context, "Serial Port Settings"));
    auto *serialGrid = new QGridLayout(serialGroup);
    serialGrid->addWidget(new QLabel(translated(context, "Modbus Address:")), 0, 0);
    serialGrid->addWidget(m_addressSpin, 0, 1);
    serialGrid->addWidget(new QLabel(translated(context, "Baud Rate:")), 1, 0);
    serialGrid->addWidget(m_baudCombo, 1, 1);
    serialGrid->addWidget(new QLabel(translated(context, "Parity:")), 2, 0);
    serialGrid->addWidget(m_parityCombo, 2, 1);
    serialGrid->setColumnStretch(2, 1);
    layout->addWidget(serialGroup);

    auto *infoGroup = new QGroupBox(translated(context, "Device Info"));
    auto *infoGrid = new QGridLayout(infoGroup);
    infoGrid->addWidget(new QLabel(translated(context, "Build Date/Time:")), 0, 0);
    m_buildTimeLabel = new QLabel(QStringLiteral("---"));
    m_buildTimeLabel->setObjectName(QStringLiteral("buildTimeLabel"));
    m_buildTimeLabel->setStyleSheet(QStringLiteral("font-weight: bold;"));
    infoGrid->addWidget(m_buildTimeLabel, 0, 1);
    infoGrid->setColumnStretch(2, 1);
    layout->addWidget(infoGroup);

    layout->addStretch();
}

void DeviceSettingsPage::showDeviceValues(quint16 address, quint16 baudIndex, quint16 parity,
                                          bool withSignalsBlocked)
{
    m_deviceBaudIndex = baudIndex;
    m_deviceParity = parity;

    const auto position = [this](QComboBox *box, quint16 value) {
        if (m_form == Form::Standard)
            return int(value); // a position outside the list leaves the box empty
        return qMin(int(value), box->count() - 1);
    };
    const bool block = withSignalsBlocked;
    setMaybeBlocked(m_addressSpin, block, [&] { m_addressSpin->setValue(address); });
    setMaybeBlocked(m_baudCombo, block,
                    [&] { m_baudCombo->setCurrentIndex(position(m_baudCombo, baudIndex)); });
    setMaybeBlocked(m_parityCombo, block,
                    [&] { m_parityCombo->setCurrentIndex(position(m_parityCombo, parity)); });
}

quint16 DeviceSettingsPage::addressValue() const
{
    return quint16(m_addressSpin->value());
}

quint16 DeviceSettingsPage::baudIndexValue() const
{
    if (m_form == Form::Grouped)
        return quint16(m_baudCombo->currentData().toInt());
    const int index = m_baudCombo->currentIndex();
    return index >= 0 ? quint16(index) : m_deviceBaudIndex;
}

quint16 DeviceSettingsPage::parityValue() const
{
    if (m_form == Form::Grouped)
        return quint16(m_parityCombo->currentData().toInt());
    const int index = m_parityCombo->currentIndex();
    return index >= 0 ? quint16(index) : m_deviceParity;
}
