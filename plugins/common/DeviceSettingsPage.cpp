#include "DeviceSettingsPage.h"

#include "ModbusClient.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr int DefaultAddress = 1;
constexpr int DefaultBaudIndex = 2; // 9600
constexpr int DefaultParity = 0; // none

// The editor's own translation of `text` where it has one, else the page's.
QString translated(const char *context, const char *text)
{
    const QString own = QCoreApplication::translate(context, text);
    return own != QLatin1String(text) ? own : DeviceSettingsPage::tr(text);
}

// The box's position, or `raw` when the box shows no entry.
quint16 positionOr(const QComboBox *box, quint16 raw)
{
    const int index = box->currentIndex();
    return index >= 0 ? quint16(index) : raw;
}

} // namespace

DeviceSettingsPage::DeviceSettingsPage(Form form, const char *context, QWidget *parent)
    : QWidget(parent)
{
    createControls(context);
    switch (form) {
    case Form::Standard:
        buildStandard(context);
        break;
    case Form::Grouped:
        buildGrouped(context);
        break;
    case Form::PortGroup:
        buildPortGroup(context);
        break;
    }
}

void DeviceSettingsPage::createControls(const char *context)
{
    m_addressSpin = new QSpinBox;
    m_addressSpin->setObjectName(QStringLiteral("deviceAddressSpin"));
    m_addressSpin->setRange(1, 247);

    // The entries are the rates; the device register holds the position.
    m_baudCombo = new QComboBox;
    m_baudCombo->setObjectName(QStringLiteral("deviceBaudCombo"));
    for (int rate : ModbusClient::baudRates())
        m_baudCombo->addItem(QString::number(rate), rate);

    m_parityCombo = new QComboBox;
    m_parityCombo->setObjectName(QStringLiteral("deviceParityCombo"));
    m_parityCombo->addItem(translated(context, QT_TR_NOOP("None")), 0);
    m_parityCombo->addItem(translated(context, QT_TR_NOOP("Even")), 1);
    m_parityCombo->addItem(translated(context, QT_TR_NOOP("Odd")), 2);
    setFactoryDefaults();
}

void DeviceSettingsPage::buildStandard(const char *context)
{
    auto *layout = new QVBoxLayout(this);

    auto *note = new QLabel(translated(
        context,
        QT_TR_NOOP("Changes take effect after saving to flash\nand power cycling the device.")));
    note->setStyleSheet(QStringLiteral("color: orange;"));
    layout->addWidget(note);

    auto *form = new QFormLayout;
    form->setSpacing(15);

    auto *addressRow = new QHBoxLayout;
    addressRow->addWidget(m_addressSpin);
    addressRow->addWidget(new QLabel(translated(context, QT_TR_NOOP("(1-247)"))));
    addressRow->addStretch();
    form->addRow(translated(context, QT_TR_NOOP("Modbus Address:")), addressRow);

    m_baudCombo->setMinimumWidth(80);
    m_baudCombo->setMaximumWidth(100);
    form->addRow(translated(context, QT_TR_NOOP("Baud Rate:")), m_baudCombo);

    m_parityCombo->setMinimumWidth(60);
    m_parityCombo->setMaximumWidth(80);
    form->addRow(translated(context, QT_TR_NOOP("Parity:")), m_parityCombo);

    layout->addLayout(form);
    layout->addStretch();
}

void DeviceSettingsPage::buildGrouped(const char *context)
{
    auto *layout = new QVBoxLayout(this);

    auto *note = new QLabel(translated(
        context,
        QT_TR_NOOP("Changes take effect after saving to flash and reconnecting with new "
                   "parameters.")));
    note->setWordWrap(true);
    note->setStyleSheet(QStringLiteral("color: orange;"));
    layout->addWidget(note);

    auto *serialGroup = new QGroupBox(translated(context, QT_TR_NOOP("Serial Port Settings")));
    auto *serialGrid = new QGridLayout(serialGroup);
    serialGrid->addWidget(new QLabel(translated(context, QT_TR_NOOP("Modbus Address:"))), 0, 0);
    serialGrid->addWidget(m_addressSpin, 0, 1);
    serialGrid->addWidget(new QLabel(translated(context, QT_TR_NOOP("Baud Rate:"))), 1, 0);
    serialGrid->addWidget(m_baudCombo, 1, 1);
    serialGrid->addWidget(new QLabel(translated(context, QT_TR_NOOP("Parity:"))), 2, 0);
    serialGrid->addWidget(m_parityCombo, 2, 1);
    serialGrid->setColumnStretch(2, 1);
    layout->addWidget(serialGroup);

    auto *infoGroup = new QGroupBox(translated(context, QT_TR_NOOP("Device Info")));
    auto *infoGrid = new QGridLayout(infoGroup);
    infoGrid->addWidget(new QLabel(translated(context, QT_TR_NOOP("Build Date/Time:"))), 0, 0);
    m_buildTimeLabel = new QLabel(QStringLiteral("---"));
    m_buildTimeLabel->setObjectName(QStringLiteral("buildTimeLabel"));
    m_buildTimeLabel->setStyleSheet(QStringLiteral("font-weight: bold;"));
    infoGrid->addWidget(m_buildTimeLabel, 0, 1);
    infoGrid->setColumnStretch(2, 1);
    layout->addWidget(infoGroup);

    layout->addStretch();
}

void DeviceSettingsPage::buildPortGroup(const char *context)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *group = new QGroupBox(translated(context, QT_TR_NOOP("Device Port Settings")));
    auto *form = new QFormLayout(group);
    // Some styles stretch the fields across the window; three short values do not need it.
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->addRow(translated(context, QT_TR_NOOP("Modbus Address:")), m_addressSpin);
    form->addRow(translated(context, QT_TR_NOOP("Baud Rate:")), m_baudCombo);
    form->addRow(translated(context, QT_TR_NOOP("Parity:")), m_parityCombo);
    layout->addWidget(group);
}

void DeviceSettingsPage::setFromRegisters(quint16 address, quint16 baudIndex, quint16 parity)
{
    m_deviceBaudIndex = baudIndex;
    m_deviceParity = parity;
    m_addressSpin->setValue(address); // the range limits it
    // A position outside the list leaves the box without a current entry.
    m_baudCombo->setCurrentIndex(baudIndex < m_baudCombo->count() ? int(baudIndex) : -1);
    m_parityCombo->setCurrentIndex(parity < m_parityCombo->count() ? int(parity) : -1);
}

QList<quint16> DeviceSettingsPage::registersToWrite() const
{
    return {quint16(m_addressSpin->value()), positionOr(m_baudCombo, m_deviceBaudIndex),
            positionOr(m_parityCombo, m_deviceParity)};
}

void DeviceSettingsPage::setFactoryDefaults()
{
    setFromRegisters(DefaultAddress, DefaultBaudIndex, DefaultParity);
}

void DeviceSettingsPage::setEditable(bool editable)
{
    m_addressSpin->setEnabled(editable);
    m_baudCombo->setEnabled(editable);
    m_parityCombo->setEnabled(editable);
}

void DeviceSettingsPage::setBuildTime(const QString &text)
{
    if (m_buildTimeLabel)
        m_buildTimeLabel->setText(text);
}
