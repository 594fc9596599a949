#include "OutputDO8Widget.h"

#include "ModbusClient.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr quint16 OutputsRegister = 0;
constexpr quint16 SettingsBlockStart = 100; // address, timeout, safe mask, -, baud, parity
constexpr quint16 SettingsBlockCount = 6;
constexpr quint16 TimeoutRegister = 101;
constexpr quint16 SafeMaskRegister = 102;
constexpr quint16 SerialRegister = 104; // baud-rate index, then parity

template<typename Button, std::size_t N>
quint16 maskOf(const std::array<Button *, N> &buttons)
{
    quint16 mask = 0;
    for (std::size_t i = 0; i < N; ++i) {
        if (buttons[i]->isChecked())
            mask |= quint16(1u << i);
    }
    return mask;
}

// Sets the buttons without their signals, so that showing the device's state
// never writes it back.
template<typename Button, std::size_t N>
void showMask(const std::array<Button *, N> &buttons, quint16 mask)
{
    for (std::size_t i = 0; i < N; ++i) {
        const QSignalBlocker blocker(buttons[i]);
        buttons[i]->setChecked(mask & (1u << i));
    }
}

} // namespace

OutputDO8Widget::OutputDO8Widget(ModbusClient *client, QWidget *parent)
    : DeviceEditor(client, parent)
{
    tabs()->addTab(createOutputsTab(), tr("Digital Outputs"));
    tabs()->addTab(createSafeStateTab(), tr("Safe State"));
    tabs()->addTab(createDeviceSettingsTab(DeviceSettingsPage::Form::Standard),
                   tr("Device Settings"));
}

QWidget *OutputDO8Widget::createOutputsTab()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *group = new QGroupBox(tr("Relay Outputs (8)"));
    auto *grid = new QGridLayout(group);
    for (int i = 0; i < int(m_outputButtons.size()); ++i) {
        auto *button = new QPushButton(tr("OUT %1").arg(i + 1));
        button->setObjectName(QStringLiteral("out%1").arg(i + 1));
        button->setCheckable(true);
        button->setEnabled(false);
        button->setMinimumSize(80, 50);
        button->setStyleSheet(QStringLiteral(
            "QPushButton { background-color: #444; color: white; font-weight: bold; }"
            "QPushButton:checked { background-color: #00aa00; }"));
        connect(button, &QPushButton::toggled, this, &OutputDO8Widget::onOutputToggled);
        grid->addWidget(button, i / 4, i % 4);
        m_outputButtons[std::size_t(i)] = button;
    }
    layout->addWidget(group);
    layout->addStretch();
    return page;
}

QWidget *OutputDO8Widget::createSafeStateTab()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(
        tr("Outputs switch to safe state if no Modbus\ncommunication within timeout period.")));

    auto *timeoutRow = new QHBoxLayout;
    timeoutRow->addWidget(new QLabel(tr("Timeout:")));
    m_timeoutSpin = new QSpinBox;
    m_timeoutSpin->setObjectName(QStringLiteral("timeoutSpin"));
    m_timeoutSpin->setRange(1, 65535);
    m_timeoutSpin->setValue(3);
    m_timeoutSpin->setSuffix(QStringLiteral(" sec"));
    connect(m_timeoutSpin, &QSpinBox::valueChanged, this, &OutputDO8Widget::onSafeSettingsChanged);
    timeoutRow->addWidget(m_timeoutSpin);
    timeoutRow->addStretch();
    layout->addLayout(timeoutRow);

    layout->addSpacing(10);
    layout->addWidget(new QLabel(tr("Safe state outputs (checked = ON):")));

    auto *checksRow = new QHBoxLayout;
    for (int i = 0; i < int(m_safeStateChecks.size()); ++i) {
        auto *check = new QCheckBox(tr("OUT %1").arg(i + 1));
        check->setObjectName(QStringLiteral("safe%1").arg(i + 1));
        connect(check, &QCheckBox::toggled, this, &OutputDO8Widget::onSafeSettingsChanged);
        checksRow->addWidget(check);
        m_safeStateChecks[std::size_t(i)] = check;
    }
    checksRow->addStretch();
    layout->addLayout(checksRow);
    layout->addStretch();
    return page;
}

void OutputDO8Widget::onOutputToggled()
{
    if (!m_outputsKnown || !isOnline())
        return;
    const QPointer<OutputDO8Widget> self(this);
    const quint16 outputs = maskOf(m_outputButtons);
    const bool written = m_client->writeRegister(OutputsRegister, outputs);
    if (!self)
        return;
    if (written) {
        m_outputs = outputs;
        setModified(true); // switched now, lost at the next power cycle
        return;
    }
    if (m_client && m_client->lastFailureRefused()) {
        // The device refused the write: its relays are as it last confirmed them.
        showMask(m_outputButtons, m_outputs);
        return;
    }
    // A reply that came too late or broken says nothing about what the device did with
    // the write: the relays show what the device reports, and nothing is switched before.
    setOutputsKnown(false);
    readOutputs();
}

void OutputDO8Widget::setOutputsKnown(bool known)
{
    m_outputsKnown = known;
    for (QPushButton *button : m_outputButtons)
        button->setEnabled(known);
}

bool OutputDO8Widget::readOutputs()
{
    const QPointer<OutputDO8Widget> self(this);
    quint16 outputs = 0;
    if (!isOnline() || !m_client->readHoldingRegister(OutputsRegister, outputs) || !self)
        return false;
    showMask(m_outputButtons, outputs);
    m_outputs = outputs;
    setOutputsKnown(true);
    return true;
}

void OutputDO8Widget::onSafeSettingsChanged()
{
    if (!isOnline())
        return;
    // The device takes both together, whichever of them the user changed.
    m_client->writeRegister(TimeoutRegister, quint16(m_timeoutSpin->value()));
    if (isOnline())
        m_client->writeRegister(SafeMaskRegister, maskOf(m_safeStateChecks));
}

void OutputDO8Widget::readFromDevice()
{
    if (!isOnline())
        return;
    setModified(false); // what the user changed gives way to what the device holds
    const QPointer<OutputDO8Widget> self(this);
    readOutputs(); // the settings block is read whatever became of it
    if (!self)
        return;

    QList<quint16> block;
    if (!isOnline()
        || !m_client->readHoldingRegisters(SettingsBlockStart, SettingsBlockCount, block)
        || !self) {
        return;
    }
    {
        const QSignalBlocker blocker(m_timeoutSpin);
        m_timeoutSpin->setValue(block.at(1));
    }
    showMask(m_safeStateChecks, block.at(2));
    // block[3] is a register this editor does not use.
    m_deviceSettingsPage->setFromRegisters(block.at(0), block.at(4), block.at(5));
}

void OutputDO8Widget::writeToDevice()
{
    if (!isOnline())
        return;
    const QList<quint16> port = m_deviceSettingsPage->registersToWrite();
    m_client->writeRegisters(SettingsBlockStart, {port.at(0), quint16(m_timeoutSpin->value())});
    if (isOnline())
        m_client->writeRegister(SafeMaskRegister, maskOf(m_safeStateChecks));
    if (isOnline())
        m_client->writeRegisters(SerialRegister, port.mid(1));
}
