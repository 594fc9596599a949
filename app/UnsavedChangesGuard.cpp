#include "UnsavedChangesGuard.h"

#include <QMessageBox>
#include <QMetaProperty>
#include <QPushButton>
#include <QWidget>

namespace {

const char *const ModifiedProperty = "modified";

// The page's "modified" property with a notify signal; an invalid one when it has none.
QMetaProperty modifiedProperty(const QWidget *page)
{
    if (!page)
        return {};
    const QMetaObject *meta = page->metaObject();
    const QMetaProperty property = meta->property(meta->indexOfProperty(ModifiedProperty));
    return property.hasNotifySignal() ? property : QMetaProperty();
}

} // namespace

UnsavedChangesGuard::UnsavedChangesGuard(QWidget *window, QPushButton *saveButton,
                                         const QString &saveText)
    : QObject(window)
    , m_window(window)
    , m_saveButton(saveButton)
    , m_saveText(saveText)
{
}

void UnsavedChangesGuard::setPage(QWidget *page)
{
    disconnect(m_connection);
    m_page = page;
    const QMetaProperty property = modifiedProperty(page);
    if (property.isValid()) {
        m_connection = connect(page, property.notifySignal(), this,
                               metaObject()->method(metaObject()->indexOfSlot("showState()")));
    }
    showState();
}

bool UnsavedChangesGuard::isModified() const
{
    const QMetaProperty property = modifiedProperty(m_page);
    return property.isValid() && property.read(m_page).toBool();
}

void UnsavedChangesGuard::markSaved()
{
    const QMetaProperty property = modifiedProperty(m_page);
    if (property.isValid())
        property.write(m_page, false);
}

bool UnsavedChangesGuard::mayDiscard(const QString &title, const QString &question) const
{
    return !isModified()
        || QMessageBox::question(m_window, title, question, QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

void UnsavedChangesGuard::showState()
{
    const bool modified = isModified();
    if (m_window)
        m_window->setWindowModified(modified);
    if (m_saveButton)
        m_saveButton->setText(modified ? m_saveText + QStringLiteral(" *") : m_saveText);
}
