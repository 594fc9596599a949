#include "DeviceEditor.h"

#include "ModbusClient.h"

#include <QVBoxLayout>

#include <utility>

DeviceEditor::DeviceEditor(ModbusClient *client, QWidget *parent)
    : QWidget(parent)
    , m_client(client)
    , m_tabs(new QTabWidget)
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
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
