#include "InputModule40Widget.h"

#include "ModbusClient.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr quint16 LiveStatesRegister = 8; // input registers 8 to 11, 16 inputs each
constexpr quint16 LiveStatesCount = 4;
constexpr quint16 DelaysRegister = 12; // holding registers 12 to 51, one per input
constexpr quint16 SettingsRegister = 100; // address, baud-rate index, parity
constexpr quint16 SettingsCount = 3;
constexpr int RefreshIntervalMs = 500;
constexpr int MaxDelayMs = 10000;
constexpr int DefaultDelayMs = 100;
const char *const InputProperty = "input";

const QString &activeStyle()
{
    static const QString style = QStringLiteral(
        "background-color: #00cc00; border: 1px solid #00ff00; border-radius: 10px;");
    return style;
}

const QString &inactiveStyle()
{
    static const QString style = QStringLiteral(
        "background-color: #404040; border: 1px solid #606060; border-radius: 10px;");
    return style;
}

QSpinBox *newDelaySpin()
{
    auto *spin = new QSpinBox;
    spin->setRange(0, MaxDelayMs);
    spin->setValue(DefaultDelayMs);
    spin->setSuffix(QStringLiteral(" ms"));
    return spin;
}

} // namespace

InputModule40Widget::InputModule40Widget(ModbusClient *client, QWidget *parent)
    : DeviceEditor(client, parent)
    , m_refresh(addLiveView(RefreshIntervalMs, [this](const LivePoller::StillWanted &stillWanted) {
        return readLiveStates(stillWanted);
    }))
{
    tabs()->addTab(createInputsTab(), tr("Inputs"));
    tabs()->addTab(createDelaysTab(), tr("Debounce Delays"));
    tabs()->addTab(createDeviceSettingsTab(DeviceSettingsPage::Form::Standard),
                   tr("Device Settings"));
}

QWidget *InputModule40Widget::createInputsTab()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(tr("Live digital input states (active = green):")));

    auto *statesGroup = new QGroupBox(tr("Input States"));
    auto *grid = new QGridLayout(statesGroup);
    grid->setSpacing(8);
    for (int n = 0; n < InputCount; ++n) {
        auto *cell = new QWidget;
        auto *cellLayout = new QHBoxLayout(cell);
        cellLayout->setContentsMargins(2, 2, 2, 2);
        cellLayout->setSpacing(4);
        auto *number = new QLabel(QString::number(n + 1));
        number->setMinimumWidth(25);
        number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        cellLayout->addWidget(number);
        auto *indicator = new QLabel;
        indicator->setObjectName(QStringLiteral("input%1").arg(n + 1));
        indicator->setFixedSize(20, 20);
        indicator->setStyleSheet(inactiveStyle());
        cellLayout->addWidget(indicator);
        grid->addWidget(cell, n / 8, n % 8);
        m_inputIndicators[std::size_t(n)] = indicator;
    }
    layout->addWidget(statesGroup);

    auto *refreshGroup = new QGroupBox(tr("Auto Refresh"));
    auto *refreshRow = new QHBoxLayout(refreshGroup);
    auto *autoRefresh = new QCheckBox(tr("Enable auto-refresh (500 ms)"));
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

QWidget *InputModule40Widget::createDelaysTab()
{
    auto *scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    auto *inner = new QWidget;
    auto *layout = new QVBoxLayout(inner);
    layout->addWidget(new QLabel(tr("Configure debounce delay for each input (milliseconds):")));

    auto *delaysGroup = new QGroupBox(tr("Debounce Delays"));
    auto *grid = new QGridLayout(delaysGroup);
    grid->setSpacing(10);
    for (int n = 0; n < InputCount; ++n) {
        // Right-aligned in two places, so that "IN  1:" lines up with "IN 10:".
        grid->addWidget(new QLabel(tr("IN %1:").arg(n + 1, 2)), n / 4, 2 * (n % 4));
        QSpinBox *spin = newDelaySpin();
        spin->setObjectName(QStringLiteral("delay%1").arg(n + 1));
        spin->setMinimumWidth(90);
        spin->setProperty(InputProperty, n);
        connect(spin, &QSpinBox::valueChanged, this, &InputModule40Widget::onDelayChanged);
        grid->addWidget(spin, n / 4, 2 * (n % 4) + 1);
        m_delaySpins[std::size_t(n)] = spin;
    }
    layout->addWidget(delaysGroup);

    auto *allGroup = new QGroupBox(tr("Set All Delays"));
    auto *allRow = new QHBoxLayout(allGroup);
    m_applyAllSpin = newDelaySpin();
    m_applyAllSpin->setObjectName(QStringLiteral("allDelaysSpin"));
    keepOutOfModified(m_applyAllSpin);
    allRow->addWidget(m_applyAllSpin);
    auto *applyButton = new QPushButton(tr("Apply to All"));
    applyButton->setObjectName(QStringLiteral("applyAllButton"));
    connect(applyButton, &QPushButton::clicked, this, &InputModule40Widget::applyDelayToAll);
    allRow->addWidget(applyButton);
    allRow->addStretch();
    layout->addWidget(allGroup);
    layout->addStretch();

    scroll->setWidget(inner);
    return scroll;
}

void InputModule40Widget::updateInputDisplay(int index, bool active)
{
    if (index < 0 || index >= InputCount)
        return;
    // Every tick shows all forty inputs; restyling only those that changed keeps the
    // refresh cheap.
    QLabel *indicator = m_inputIndicators[std::size_t(index)];
    const QString &style = active ? activeStyle() : inactiveStyle();
    if (indicator->styleSheet() != style)
        indicator->setStyleSheet(style);
}

void InputModule40Widget::applyDelayToAll()
{
    // Signals stay on: each box whose value really changes writes its own register.
    const int value = m_applyAllSpin->value();
    setModified(true); // the device takes the delays at once
    const QPointer<InputModule40Widget> self(this);
    for (QSpinBox *spin : m_delaySpins) {
        spin->setValue(value);
        if (!self)
            return; // the page went away while a write waited
    }
}

void InputModule40Widget::onDelayChanged(int value)
{
    const auto *spin = qobject_cast<const QSpinBox *>(sender());
    if (!spin)
        return;
    bool ok = false;
    const int n = spin->property(InputProperty).toInt(&ok);
    if (!ok || n < 0 || n >= InputCount)
        return;
    const std::size_t index = std::size_t(n);
    if (!isOnline()) {
        m_unsentDelays.set(index);
        return;
    }
    const QPointer<InputModule40Widget> self(this);
    const bool written = m_client->writeRegister(quint16(DelaysRegister + n), quint16(value));
    if (!self)
        return;
    // A change made while this write waited has settled the box already.
    if (spin->value() == value)
        m_unsentDelays.set(index, !written);
}

void InputModule40Widget::onRefreshTimerTimeout()
{
    m_refresh->tickNow();
}

bool InputModule40Widget::readLiveStates(const LivePoller::StillWanted &stillWanted)
{
    QList<quint16> states;
    const bool read = m_client->readInputRegisters(LiveStatesRegister, LiveStatesCount, states);
    if (!read || !stillWanted())
        return read;
    // Input n is bit n % 16 of register 8 + n / 16; the rest of the block is unused.
    for (int n = 0; n < InputCount; ++n)
        updateInputDisplay(n, (states.at(n / 16) >> (n % 16)) & 1);
    return true;
}

void InputModule40Widget::readFromDevice()
{
    if (!isOnline())
        return;
    setModified(false); // what the user changed gives way to what the device holds
    const QPointer<InputModule40Widget> self(this);
    // Each block is read whatever became of the one before.
    m_refresh->tickNow();
    if (!self || !isOnline())
        return;

    QList<quint16> delays;
    const bool delaysRead = m_client->readHoldingRegisters(DelaysRegister, InputCount, delays);
    if (!self)
        return;
    if (delaysRead) {
        for (int n = 0; n < InputCount; ++n) {
            QSpinBox *spin = m_delaySpins[std::size_t(n)];
            const QSignalBlocker blocker(spin);
            spin->setValue(qMin(int(delays.at(n)), MaxDelayMs));
        }
        m_unsentDelays.reset(); // the page shows the device again
    }
    if (!isOnline())
        return;

    QList<quint16> settings;
    const bool settingsRead =
        m_client->readHoldingRegisters(SettingsRegister, SettingsCount, settings);
    if (self && settingsRead)
        m_deviceSettingsPage->setFromRegisters(settings.at(0), settings.at(1), settings.at(2));
}

void InputModule40Widget::writeToDevice()
{
    if (!isOnline())
        return;
    const QPointer<InputModule40Widget> self(this);
    // Delays the device refused earlier go first; on another failure the host sees it
    // and does not flash.
    for (int n = 0; n < InputCount; ++n) {
        const std::size_t index = std::size_t(n);
        if (!m_unsentDelays.test(index))
            continue;
        const bool written = m_client->writeRegister(quint16(DelaysRegister + n),
                                                     quint16(m_delaySpins[index]->value()));
        if (!self || !isOnline())
            return;
        if (written)
            m_unsentDelays.reset(index);
    }
    m_client->writeRegisters(SettingsRegister, m_deviceSettingsPage->registersToWrite());
}
