#include "DeviceEditor.h"

#include "ModbusClient.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <utility>

DeviceEditor::DeviceEditor(ModbusClient *client, QWidget *parent)
    : QWidget(parent)
    , m_client(client)
    , m_tabs(new QTabWidget)
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    // Queued: the controls come with the derived constructor, before the first read
    // waits in an event loop.
    QMetaObject::invokeMethod(this, &DeviceEditor::watchEdits, Qt::QueuedConnection);
}

namespace {
const char *const NotASetting = "tavrolixNotASetting";
} // namespace

void DeviceEditor::setModified(bool modified)
{
    if (modified == m_modified)
        return;
    m_modified = modified;
    emit modifiedChanged(modified);
}

void DeviceEditor::keepOutOfModified(QWidget *control)
{
    control->setProperty(NotASetting, true);
}

void DeviceEditor::watchEdits()
{
    const auto mark = [this] { setModified(true); };
    const QList<QWidget *> widgets = findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        // A spin box's text field stands for its spin box.
        QWidget *control = widget;
        if (qobject_cast<QAbstractSpinBox *>(widget->parentWidget()))
            control = widget->parentWidget();
        // Display-only boxes take no focus.
        if (control->focusPolicy() == Qt::NoFocus || control->property(NotASetting).toBool())
            continue;
        if (auto *box = qobject_cast<QComboBox *>(widget)) {
            connect(box, &QComboBox::activated, this, mark);
        } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            connect(edit, &QLineEdit::textEdited, this, mark);
        } else if (qobject_cast<QCheckBox *>(widget) || qobject_cast<QRadioButton *>(widget)) {
            connect(static_cast<QAbstractButton *>(widget), &QAbstractButton::clicked, this, mark);
        } else if (auto *spin = qobject_cast<QSpinBox *>(widget)) {
            // Stepping (arrows, wheel, keys) has no signal of its own; it needs the focus.
            connect(spin, &QSpinBox::valueChanged, this, [this, spin] {
                if (spin->hasFocus())
                    setModified(true);
            });
        }
    }
}

DeviceEditor::~DeviceEditor()
{
    // No tick may reach the child widgets while they are being destroyed.
    stopLiveViews();
}

void DeviceEditor::stopLiveViews()
{
    for (LivePoller *poller : findChildren<LivePoller *>(Qt::FindDirectChildrenOnly))
        poller->stop();
}

bool DeviceEditor::isOnline() const
{
    return m_client && m_client->isConnected();
}

DeviceSettingsPage *DeviceEditor::createDeviceSettingsTab(DeviceSettingsPage::Form form)
{
    m_deviceSettingsPage = new DeviceSettingsPage(form, metaObject()->className());
    return m_deviceSettingsPage;
}

LivePoller *DeviceEditor::addLiveView(int intervalMs, LivePoller::Tick tick)
{
    return new LivePoller(m_client, intervalMs, std::move(tick), this);
}
