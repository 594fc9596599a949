#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

// Answers the modal message boxes that open while it lives, as a user would, and
// records each as "title|text|icon". A box with more buttons than OK gets "|buttons"
// with its button names; a box whose parent is not `window` gets "|foreign parent".
class MessageBoxAnswerer : public QObject
{
    Q_OBJECT

public:
    explicit MessageBoxAnswerer(QWidget *window,
                                QMessageBox::StandardButton answer = QMessageBox::Ok);

    void setAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }
    // Called with each box before it is answered.
    void setInspector(std::function<void(QMessageBox *)> inspector)
    {
        m_inspector = std::move(inspector);
    }
    QStringList boxes() const { return m_boxes; }

private:
    void poll();

    QPointer<QWidget> m_window;
    QMessageBox::StandardButton m_answer;
    std::function<void(QMessageBox *)> m_inspector;
    QPointer<QMessageBox> m_answered;
    QStringList m_boxes;
    QTimer m_timer;
};
