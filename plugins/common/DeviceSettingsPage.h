#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QSpinBox;

// The "Device Settings" page that device editors carry: the device's own Modbus
// address, baud rate and parity. The page never talks to the device; the editor
// moves the three values between the page and the device's registers.
// Registers: address 1-247; baud rate as its position in ModbusClient::baudRates()
// (never the rate); parity 0 none, 1 even, 2 odd.
class DeviceSettingsPage : public QWidget
{
    Q_OBJECT

public:
    enum class Form {
        Standard, // the note, then a form with the three controls
        Grouped,  // "Serial Port Settings" and "Device Info" groups, with a build-time label
    };

    // Texts are translated in `context`, the editor's class name, so that each editor
    // keeps its translations to itself; `context` is used only during construction.
    DeviceSettingsPage(Form form, const char *context, QWidget *parent = nullptr);

    // The controls, owned by the page; editors keep them as their own members.
    QSpinBox *addressSpin() const { return m_addressSpin; }
    QComboBox *baudCombo() const { return m_baudCombo; }
    QComboBox *parityCombo() const { return m_parityCombo; }
    // The "Build Date/Time:" value of the grouped form; nullptr on the standard form.
    QLabel *buildTimeLabel() const { return m_buildTimeLabel; }

    // Shows the three registers as read from the device. The standard form selects the
    // boxes by position and leaves a box without a current entry for a value outside
    // its list; the grouped form selects the nearest entry instead.
    void showDeviceValues(quint16 address, quint16 baudIndex, quint16 parity,
                          bool withSignalsBlocked = false);

    // The register values to write.
    quint16 addressValue() const;
    quint16 baudIndexValue() const;
    quint16 parityValue() const;

private:
    void buildStandard(const char *context);
    void buildGrouped(const char *context);
    void createControls(const char *context);

    Form m_form;
    QSpinBox *m_addressSpin = nullptr;
    QComboBox *m_baudCombo = nullptr;
    QComboBox *m_parityCombo = nullptr;
    QLabel *m_buildTimeLabel = nullptr;
    // What the device reported last. A box that could not show it writes it back as
    // it was, so a save keeps the device's own setting instead of inventing one.
    quint16 m_deviceBaudIndex = 2;
    quint16 m_deviceParity = 0;
};
