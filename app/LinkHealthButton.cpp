#include "LinkHealthButton.h"

#include "LinkHealth.h"

#include <QTimer>

namespace {

// A fast monitor changes the counts ten times a second; the text follows twice a second.
constexpr int RefreshMs = 500;

} // namespace

LinkHealthButton::LinkHealthButton(LinkHealth *health, QWidget *parent)
    : QToolButton(parent)
    , m_health(health)
{
    setObjectName(QStringLiteral("linkHealthButton"));
    setAutoRaise(true);
    setToolTip(tr("Requests on this connection. Click to reset."));
    // Runs only while there is something to show: an idle window keeps no timer.
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setInterval(RefreshMs);
    connect(timer, &QTimer::timeout, this, &LinkHealthButton::refresh);
    connect(m_health, &LinkHealth::changed, timer, [timer] {
        if (!timer->isActive())
            timer->start();
    });
    connect(this, &QToolButton::clicked, m_health, &LinkHealth::reset);
    connect(this, &QToolButton::clicked, this, &LinkHealthButton::refresh);
    refresh();
}

void LinkHealthButton::refresh()
{
    setText(m_health->summary());
}
