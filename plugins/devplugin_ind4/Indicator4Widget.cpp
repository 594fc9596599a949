#include "Indicator4Widget.h"

#include "ModbusClient.h"
#include "SensorReading.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr int MonitorIntervalMs = 100;

// Holding registers: the configuration block is read 48 registers wide (with the
// display string) and written 39 wide (without it).
constexpr quint16 ReadBlockCount = 48;
constexpr quint16 WriteBlockCount = 39;
constexpr int SamplesRegister = 0;
constexpr int AddressRegister = 1;
constexpr int BaudIndexRegister = 2;
constexpr int ParityRegister = 3;
constexpr int ModbusInputRegister = 27;
constexpr int SwitchPeriodRegister = 28;
constexpr int PostfixPrefixRegister = 29;
constexpr int InvertMatrixRegister = 34;
constexpr quint16 TypesRegister = 5;
constexpr quint16 StringRegister = 39;
constexpr int StringLength = 9;
constexpr quint16 ValuesInputRegister = 8;

// Registers of input n (1 to 4).
int typeRegister(int n)
{
    return 4 + n;
}
int rampRegister(int n)
{
    return 10 + n;
}
int beginMaRegister(int n)
{
    return 12 + 3 * n;
}
int scaleBeginRegister(int n)
{
    return 13 + 3 * n;
}
int scaleEndRegister(int n)
{
    return 14 + 3 * n;
}
int symbolRegister(int n)
{
    return 29 + n;
}
int decimalsRegister(int n)
{
    return 34 + n;
}

constexpr int CurrentLoopType = 2;
const char *const LiveBoxStyle = "font-weight: bold; font-size: 14px; background-color: #222; "
                                 "color: #0f0; padding: 4px;";
const char *const SymbolCharacters = "0123456789ACEFGHIJLOPSTUZabcdeghijlnoqrtuy .";
const char *const StringPattern = "[0123456789ACEFGHIJLOPSTUZabcdeghijlnoqrtuy .]{0,9}";
const int SampleRates[] = {8, 16, 32, 64, 128, 250, 475, 860};

// The device keeps one 8-bit character per register; anything wider goes out as 0.
quint16 characterCode(QChar c)
{
    return c.unicode() < 256 ? c.unicode() : 0;
}

QSpinBox *newSpin(int minimum, int maximum, int value)
{
    auto *spin = new QSpinBox;
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    return spin;
}

} // namespace

Indicator4Widget::Indicator4Widget(ModbusClient *client, QWidget *parent)
    : DeviceEditor(client, parent)
    , m_monitor(addLiveView(MonitorIntervalMs, [this](const LivePoller::StillWanted &stillWanted) {
        return monitorTick(stillWanted);
    }))
{
    tabs()->addTab(createConfigurationTab(), tr("Configuration"));
    tabs()->addTab(createDeviceSettingsTab(DeviceSettingsPage::Form::Standard),
                   tr("Device Settings"));
}

const QStringList &Indicator4Widget::prefixSymbols()
{
    static const QStringList symbols = [] {
        QStringList list;
        for (const char *c = SymbolCharacters; *c; ++c)
            list.append(QString(QLatin1Char(*c)));
        return list;
    }();
    return symbols;
}

QWidget *Indicator4Widget::createConfigurationTab()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setSpacing(10);

    auto *statusGroup = new QGroupBox(tr("Input Statuses"));
    auto *statusRow = new QHBoxLayout(statusGroup);
    m_monitorButton = new QPushButton(tr("Monitor"));
    m_monitorButton->setObjectName(QStringLiteral("monitorButton"));
    m_monitorButton->setCheckable(true);
    connect(m_monitorButton, &QPushButton::toggled, this, &Indicator4Widget::onMonitorToggled);
    statusRow->addWidget(m_monitorButton);
    for (int i = 0; i < InputCount; ++i) {
        auto *label = new QLabel(QStringLiteral("---"));
        label->setObjectName(QStringLiteral("value%1").arg(i + 1));
        label->setMinimumWidth(60);
        label->setAlignment(Qt::AlignCenter);
        label->setFrameShape(QFrame::Panel);
        label->setStyleSheet(QLatin1String(LiveBoxStyle));
        SensorReading::fixWidth(label, {QStringLiteral("-3276.8"), tr("Off")});
        statusRow->addWidget(label);
        m_valueLabels[std::size_t(i)] = label;
    }
    m_stringEdit = new QLineEdit;
    m_stringEdit->setObjectName(QStringLiteral("stringEdit"));
    m_stringEdit->setMaxLength(StringLength);
    keepOutOfModified(m_stringEdit); // shown live, never stored
    m_stringEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QLatin1String(StringPattern)), this));
    m_stringEdit->setPlaceholderText(tr("String"));
    m_stringEdit->setMaximumWidth(100);
    statusRow->addWidget(m_stringEdit);
    statusRow->addWidget(new QLabel(tr("String")));
    statusRow->addStretch();
    layout->addWidget(statusGroup);

    auto *configGroup = new QGroupBox(tr("Configuration"));
    auto *configLayout = new QVBoxLayout(configGroup);

    auto *optionsRow = new QHBoxLayout;
    m_modbusInputCheck = new QCheckBox(tr("Modbus input"));
    m_modbusInputCheck->setObjectName(QStringLiteral("modbusInputCheck"));
    m_invertMatrixCheck = new QCheckBox(tr("Invert matrix"));
    m_invertMatrixCheck->setObjectName(QStringLiteral("invertMatrixCheck"));
    m_postfixPrefixCheck = new QCheckBox(tr("Postfix/Prefix"));
    m_postfixPrefixCheck->setObjectName(QStringLiteral("postfixPrefixCheck"));
    optionsRow->addWidget(m_modbusInputCheck);
    optionsRow->addWidget(m_invertMatrixCheck);
    optionsRow->addWidget(m_postfixPrefixCheck);
    optionsRow->addSpacing(20);
    m_switchPeriodSpin = newSpin(0, 32767, 1000);
    m_switchPeriodSpin->setObjectName(QStringLiteral("switchPeriodSpin"));
    optionsRow->addWidget(m_switchPeriodSpin);
    optionsRow->addWidget(new QLabel(tr("Switch period, ms")));
    optionsRow->addSpacing(20);
    m_samplesCombo = new QComboBox;
    m_samplesCombo->setObjectName(QStringLiteral("samplesCombo"));
    for (int rate : SampleRates)
        m_samplesCombo->addItem(QString::number(rate), rate);
    optionsRow->addWidget(m_samplesCombo);
    optionsRow->addWidget(new QLabel(tr("Samples/sec")));
    optionsRow->addStretch();
    configLayout->addLayout(optionsRow);

    auto *frame = new QFrame;
    frame->setFrameShape(QFrame::StyledPanel);
    auto *grid = new QGridLayout(frame);
    grid->setSpacing(6);
    grid->addWidget(new QLabel, 0, 0, Qt::AlignCenter);
    for (int i = 0; i < InputCount; ++i) {
        auto *heading = new QLabel(tr("Input %1").arg(i + 1));
        heading->setStyleSheet(QStringLiteral("font-weight: bold;"));
        grid->addWidget(heading, 0, i + 1, Qt::AlignCenter);
    }
    const QString rowLabels[] = {
        tr("Input type"), tr("Pre/Postfix"),    tr("Symbols after dot"), tr("Ramp, ms per unit"),
        tr("Begin mA"),   tr("Begin of scale"), tr("End of scale")};
    for (int row = 0; row < 7; ++row)
        grid->addWidget(new QLabel(rowLabels[row]), row + 1, 0, Qt::AlignRight);
    const QString typeNames[] = {tr("Disabled"), tr("Pt100 0.00385"), tr("0-20mA (4-20mA)"),
                                 tr("100P 0.00391"), tr("Pt1000 0.00385")};
    for (int i = 0; i < InputCount; ++i) {
        const auto at = std::size_t(i);
        const QString suffix = QString::number(i + 1);
        auto *type = new QComboBox;
        type->setObjectName(QStringLiteral("type") + suffix);
        for (int code = 0; code < int(std::size(typeNames)); ++code)
            type->addItem(typeNames[code], code);
        type->setProperty("channel", i);
        connect(type, &QComboBox::currentIndexChanged, this,
                &Indicator4Widget::onSensorTypeChanged);
        m_typeCombos[at] = type;

        auto *symbol = new QComboBox;
        symbol->setObjectName(QStringLiteral("symbol") + suffix);
        symbol->addItems(prefixSymbols());
        m_prefixCombos[at] = symbol;

        m_decimalsSpins[at] = newSpin(0, 4, 1);
        m_decimalsSpins[at]->setObjectName(QStringLiteral("decimals") + suffix);
        m_rampSpins[at] = newSpin(0, 65535, 0);
        m_rampSpins[at]->setObjectName(QStringLiteral("ramp") + suffix);
        m_beginMaSpins[at] = newSpin(0, 20, 4);
        m_beginMaSpins[at]->setObjectName(QStringLiteral("beginMa") + suffix);
        m_scaleBeginSpins[at] = newSpin(-32768, 32767, 0);
        m_scaleBeginSpins[at]->setObjectName(QStringLiteral("scaleBegin") + suffix);
        m_scaleEndSpins[at] = newSpin(-32768, 32767, 1000);
        m_scaleEndSpins[at]->setObjectName(QStringLiteral("scaleEnd") + suffix);

        QWidget *const controls[] = {type,
                                     symbol,
                                     m_decimalsSpins[at],
                                     m_rampSpins[at],
                                     m_beginMaSpins[at],
                                     m_scaleBeginSpins[at],
                                     m_scaleEndSpins[at]};
        for (int row = 0; row < 7; ++row)
            grid->addWidget(controls[row], row + 1, i + 1);
    }
    configLayout->addWidget(frame);

    layout->addWidget(configGroup);
    layout->addStretch();
    updateScaleFieldsEnabled();
    return page;
}

void Indicator4Widget::updateScaleFieldsEnabled()
{
    for (std::size_t i = 0; i < InputCount; ++i) {
        const QComboBox *type = m_typeCombos[i];
        const uint code = type->currentIndex() >= 0 ? type->currentData().toUInt() : 0;
        const bool currentLoop = code == CurrentLoopType;
        m_beginMaSpins[i]->setEnabled(currentLoop);
        m_scaleBeginSpins[i]->setEnabled(currentLoop);
        m_scaleEndSpins[i]->setEnabled(currentLoop);
    }
}

void Indicator4Widget::onSensorTypeChanged(int)
{
    updateScaleFieldsEnabled();
}

QString Indicator4Widget::formatChannelValue(int type, short value) const
{
    switch (type) {
    case 0:
        return tr("Off");
    case 1:
    case 3:
    case 4:
        return QString::number(value / 10.0, 'f', 1);
    case CurrentLoopType:
        return QString::number(value / 100.0, 'f', 2);
    default:
        return tr("Error");
    }
}

void Indicator4Widget::readFromDevice()
{
    QList<quint16> r;
    if (!isOnline() || !m_client->readHoldingRegisters(0, ReadBlockCount, r))
        return;
    setModified(false); // what the user changed gives way to what the device holds

    {
        const QSignalBlocker samplesBlocker(m_samplesCombo);
        const QSignalBlocker modbusInputBlocker(m_modbusInputCheck);
        const QSignalBlocker invertBlocker(m_invertMatrixCheck);
        const QSignalBlocker postfixBlocker(m_postfixPrefixCheck);
        const QSignalBlocker periodBlocker(m_switchPeriodSpin);

        const int samples = m_samplesCombo->findData(int(r.at(SamplesRegister)));
        if (samples >= 0)
            m_samplesCombo->setCurrentIndex(samples);
        m_deviceSettingsPage->setFromRegisters(r.at(AddressRegister), r.at(BaudIndexRegister),
                                               r.at(ParityRegister));
        m_modbusInputCheck->setChecked(r.at(ModbusInputRegister) != 0);
        m_invertMatrixCheck->setChecked(r.at(InvertMatrixRegister) != 0);
        m_postfixPrefixCheck->setChecked(r.at(PostfixPrefixRegister) != 0);
        m_switchPeriodSpin->setValue(r.at(SwitchPeriodRegister));

        for (int n = 1; n <= InputCount; ++n) {
            const auto at = std::size_t(n - 1);
            const quint16 type = r.at(typeRegister(n));
            m_deviceTypes[at] = type;
            {
                // A code the box does not list leaves it without a current entry.
                const QSignalBlocker typeBlocker(m_typeCombos[at]);
                m_typeCombos[at]->setCurrentIndex(type);
            }
            m_rampSpins[at]->setValue(r.at(rampRegister(n)));
            m_decimalsSpins[at]->setValue(r.at(decimalsRegister(n)));
            const QChar symbol(r.at(symbolRegister(n)) & 0xFF);
            const int entry = prefixSymbols().indexOf(QString(symbol));
            if (entry >= 0)
                m_prefixCombos[at]->setCurrentIndex(entry);
            m_beginMaSpins[at]->setValue(r.at(beginMaRegister(n)));
            m_scaleBeginSpins[at]->setValue(qint16(r.at(scaleBeginRegister(n))));
            m_scaleEndSpins[at]->setValue(qint16(r.at(scaleEndRegister(n))));
        }
    }
    updateScaleFieldsEnabled();
}

void Indicator4Widget::writeToDevice()
{
    if (!isOnline())
        return;

    // The save register (4) and the two registers this editor does not edit (9, 10)
    // go out as 0.
    QList<quint16> r(WriteBlockCount, 0);
    r[SamplesRegister] = quint16(m_samplesCombo->currentData().toUInt());
    const QList<quint16> port = m_deviceSettingsPage->registersToWrite();
    r[AddressRegister] = port.at(0);
    r[BaudIndexRegister] = port.at(1);
    r[ParityRegister] = port.at(2);
    r[ModbusInputRegister] = m_modbusInputCheck->isChecked() ? 1 : 0;
    r[InvertMatrixRegister] = m_invertMatrixCheck->isChecked() ? 1 : 0;
    r[PostfixPrefixRegister] = m_postfixPrefixCheck->isChecked() ? 1 : 0;
    r[SwitchPeriodRegister] = quint16(m_switchPeriodSpin->value());
    for (int n = 1; n <= InputCount; ++n) {
        const auto at = std::size_t(n - 1);
        const int type = m_typeCombos[at]->currentIndex();
        r[typeRegister(n)] = type >= 0 ? quint16(type) : m_deviceTypes[at];
        r[rampRegister(n)] = quint16(m_rampSpins[at]->value());
        r[decimalsRegister(n)] = quint16(m_decimalsSpins[at]->value());
        const QString symbol = m_prefixCombos[at]->currentText();
        r[symbolRegister(n)] = symbol.isEmpty() ? 0 : characterCode(symbol.at(0));
        r[beginMaRegister(n)] = quint16(m_beginMaSpins[at]->value());
        r[scaleBeginRegister(n)] = quint16(m_scaleBeginSpins[at]->value());
        r[scaleEndRegister(n)] = quint16(m_scaleEndSpins[at]->value());
    }
    m_client->writeRegisters(0, r);
}

void Indicator4Widget::onMonitorToggled(bool checked)
{
    if (checked) {
        m_monitor->start();
        return;
    }
    m_monitor->stop();
    for (QLabel *label : m_valueLabels)
        label->setText(QStringLiteral("---"));
}

void Indicator4Widget::onMonitorTimer()
{
    m_monitor->tickNow();
}

bool Indicator4Widget::monitorTick(const LivePoller::StillWanted &stillWanted)
{
    QList<quint16> types;
    bool ok = m_client->readHoldingRegisters(TypesRegister, InputCount, types);
    if (!ok || !stillWanted())
        return ok;
    QList<quint16> values;
    ok = isOnline() && m_client->readInputRegisters(ValuesInputRegister, InputCount, values);
    if (!ok || !stillWanted())
        return ok;
    for (std::size_t i = 0; i < InputCount; ++i) {
        const quint16 raw = values.at(int(i));
        SensorReading::show(m_valueLabels[i], raw,
                            formatChannelValue(types.at(int(i)), short(raw)),
                            QLatin1String(LiveBoxStyle));
    }
    return sendStringToDevice();
}

bool Indicator4Widget::sendStringToDevice()
{
    if (!isOnline())
        return false;
    const QString text = m_stringEdit->text();
    QList<quint16> r(StringLength, 0);
    for (int i = 0; i < qMin(int(text.size()), StringLength); ++i)
        r[i] = characterCode(text.at(i));
    // Sent again on the next tick; a failure here has nothing to undo.
    return m_client->writeRegisters(StringRegister, r);
}
