#include "DeviceBench.h"

#include "DeviceModel.h"
#include "DeviceSimulator.h"
#include "MainWindow.h"
#include "MessageBoxAnswerer.h"
#include "ModbusClient.h"
#include "VirtualSerialPair.h"

#include <QComboBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

DeviceBench::DeviceBench()
    : m_pair(std::make_unique<VirtualSerialPair>())
    , m_client(std::make_unique<ModbusClient>())
{
}

DeviceBench::~DeviceBench()
{
    closeWindow();
    m_client->disconnect();
    m_model.reset(); // before the simulator it is attached to
}

bool DeviceBench::open()
{
    if (m_pair->open())
        return true;
    m_errorString = m_pair->errorString();
    return false;
}

QString DeviceBench::clientPath() const
{
    return m_pair->clientPath();
}

bool DeviceBench::start(std::unique_ptr<DeviceModel> model, const QString &statePath)
{
    stop();
    m_model = std::move(model);
    m_device = std::make_unique<DeviceSimulator>();
    if (m_model) {
        m_model->setStatePath(statePath);
        m_model->attach(m_device.get());
    }
    if (m_device->start(m_pair->devicePath()))
        return true;
    m_errorString = m_device->errorString();
    return false;
}

void DeviceBench::stop()
{
    m_model.reset();
    m_device.reset();
}

bool DeviceBench::connectClient()
{
    if (m_client->connect(m_pair->clientPath(), 9600, 'N', 8, 1, 1))
        return true;
    m_errorString = m_client->lastError();
    return false;
}

QStringList DeviceBench::requests() const
{
    QStringList lines;
    if (!m_device)
        return lines;
    for (const SimulatedRequest &r : m_device->requests()) {
        QString line = QStringLiteral("%1@%2").arg(r.function).arg(r.address);
        if (r.values.isEmpty())
            line += QLatin1Char('x') + QString::number(r.count);
        for (int i = 0; i < r.values.size(); ++i)
            line += (i ? QLatin1Char(',') : QLatin1Char('=')) + QString::number(r.values[i]);
        lines << line;
    }
    return lines;
}

void DeviceBench::clearRequests()
{
    if (m_device)
        m_device->clearRequests();
}

MainWindow *DeviceBench::openWindow()
{
    closeWindow();
    m_window = std::make_unique<MainWindow>();
    m_window->show();
    m_window->findChild<QComboBox *>(QStringLiteral("portCombo"))
        ->setEditText(m_pair->clientPath());
    m_answerer = std::make_unique<MessageBoxAnswerer>(m_window.get(), QMessageBox::Yes);
    return m_window.get();
}

bool DeviceBench::click(const QString &name)
{
    auto *button = m_window ? m_window->findChild<QPushButton *>(name + QStringLiteral("Button"))
                            : nullptr;
    if (!button)
        return false;
    QTest::mouseClick(button, Qt::LeftButton);
    return true;
}

QWidget *DeviceBench::editor() const
{
    const auto *stack =
        m_window ? m_window->findChild<QStackedWidget *>(QStringLiteral("pageStack")) : nullptr;
    return stack && stack->currentIndex() > 0 ? stack->currentWidget() : nullptr;
}

void DeviceBench::closeWindow()
{
    m_answerer.reset();
    m_window.reset(); // stores its settings and ends its session
}
