#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QPushButton;
class QWidget;

// Follows whether the device page holds changes not saved to flash: pages that have the
// property "modified" (with its notify signal) tell it, pages without it are never
// modified. Marks the window ("[*]" in its title) and the Save to Flash button, and asks
// before the changes are dropped.
class UnsavedChangesGuard : public QObject
{
    Q_OBJECT

public:
    // `window` has "[*]" in its title; `saveButton` shows `saveText`, with " *" while the
    // page is modified. Neither is owned.
    UnsavedChangesGuard(QWidget *window, QPushButton *saveButton, const QString &saveText);

    // The page to follow; nullptr for none.
    void setPage(QWidget *page);
    bool isModified() const;
    // The device stored the page's settings: nothing is left to lose.
    void markSaved();
    // True when nothing is modified or the user answers Yes to `question` (titled `title`).
    bool mayDiscard(const QString &title, const QString &question) const;

private slots:
    void showState();

private:
    QPointer<QWidget> m_window;
    QPointer<QPushButton> m_saveButton;
    QString m_saveText;
    QPointer<QWidget> m_page;
    QMetaObject::Connection m_connection;
};
