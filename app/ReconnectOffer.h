#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;
class QTimer;

// Tells in the status bar that the connection was lost, and offers "Reconnect" once the
// lost port is there again.
class ReconnectOffer : public QWidget
{
    Q_OBJECT

public:
    explicit ReconnectOffer(QWidget *parent = nullptr);

    // Shows `message` and watches for `port` to come back.
    void offer(const QString &port, const QString &message);
    void withdraw();

signals:
    void reconnectClicked();

private:
    QLabel *m_message = nullptr;
    QPushButton *m_button = nullptr;
    QTimer *m_watch = nullptr;
    QString m_port;
};
