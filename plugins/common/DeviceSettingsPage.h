#pragma once

#include <QList>
#include <QWidget>

class QComboBox;
class QLabel;
class QSpinBox;

// The device's own Modbus address, baud rate and parity, as device editors show them.
// The page never talks to the device; the editor moves the three register values
// between the page and the device. Registers: address 1-247; baud rate as its position
// in ModbusClient::baudRates() (never the rate); parity 0 none, 1 even, 2 odd.
class DeviceSettingsPage : public QWidget
{
    Q_OBJECT

public:
    enum class Form {
        Standard, // the note, then a form with the three controls
        Grouped, // "Serial Port Settings" and "Device Info" groups, with a build-time label
        PortGroup, // a "Device Port Settings" group with the three controls, no note
    };

    // Texts are translated in `context`, the editor's class name, so that each editor
    // keeps its translations to itself; `context` is used only during construction.
    DeviceSettingsPage(Form form, const char *context, QWidget *parent = nullptr);

    // Shows the three registers as read from the device. A baud-rate index or parity code
    // outside the lists leaves its box without a current entry, and the value goes back
    // to the device as it was read until the user picks an entry: a save never changes a
    // setting the page cannot show.
    void setFromRegisters(quint16 address, quint16 baudIndex, quint16 parity);
    // Address, baud-rate index and parity code, in this order.
    QList<quint16> registersToWrite() const;
    // Node 1, 9600 baud, no parity.
    void setFactoryDefaults();
    void setEditable(bool editable);
    // The "Build Date/Time:" value of the grouped form; nothing on the other forms.
    void setBuildTime(const QString &text);

private:
    void createControls(const char *context);
    void buildStandard(const char *context);
    void buildGrouped(const char *context);
    void buildPortGroup(const char *context);

    QSpinBox *m_addressSpin = nullptr;
    QComboBox *m_baudCombo = nullptr;
    QComboBox *m_parityCombo = nullptr;
    QLabel *m_buildTimeLabel = nullptr;
    // What the device reported last, for a box that could not show it.
    quint16 m_deviceBaudIndex = 0;
    quint16 m_deviceParity = 0;
};
