#include "ReconnectOffer.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace {

constexpr int PortCheckMs = 500;

} // namespace

ReconnectOffer::ReconnectOffer(QWidget *parent)
    : QWidget(parent)
    , m_message(new QLabel(this))
    , m_button(new QPushButton(tr("Reconnect"), this))
    , m_watch(new QTimer(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_message->setObjectName(QStringLiteral("connectionLostLabel"));
    m_message->setStyleSheet(QStringLiteral("color: red;"));
    m_button->setObjectName(QStringLiteral("reconnectButton"));
    layout->addWidget(m_message);
    layout->addWidget(m_button);
    connect(m_button, &QPushButton::clicked, this, &ReconnectOffer::reconnectClicked);
    m_watch->setInterval(PortCheckMs);
    connect(m_watch, &QTimer::timeout, this,
            [this] { m_button->setVisible(QFileInfo::exists(m_port)); });
    withdraw();
}

void ReconnectOffer::offer(const QString &port, const QString &message)
{
    m_port = port;
    m_message->setText(message);
    m_button->hide();
    show();
    m_watch->start();
}

void ReconnectOffer::withdraw()
{
    m_watch->stop();
    hide();
}
