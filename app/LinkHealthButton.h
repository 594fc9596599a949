#pragma once

#include <QToolButton>

class LinkHealth;

// The status bar's view of the link health; a click starts the counts afresh.
class LinkHealthButton : public QToolButton
{
    Q_OBJECT

public:
    // `health` is not owned.
    explicit LinkHealthButton(LinkHealth *health, QWidget *parent = nullptr);

private:
    void refresh();

    LinkHealth *m_health = nullptr;
};
