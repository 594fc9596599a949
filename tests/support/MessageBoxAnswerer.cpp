#include "MessageBoxAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMetaEnum>
#include <QTest>

MessageBoxAnswerer::MessageBoxAnswerer(QWidget *window, QMessageBox::StandardButton answer)
    : m_window(window)
    , m_answer(answer)
{
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxAnswerer::poll);
    m_timer.start(10);
}

void MessageBoxAnswerer::poll()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || box == m_answered)
        return;
    m_answered = box;
    if (m_inspector)
        m_inspector(box);

    QString record = box->windowTitle() + QLatin1Char('|') + box->text() + QLatin1Char('|')
                     + QLatin1String(QMetaEnum::fromType<QMessageBox::Icon>().valueToKey(
                         box->icon()));
    if (box->standardButtons() != QMessageBox::Ok) {
        QStringList names;
        const auto buttons = QMetaEnum::fromType<QMessageBox::StandardButtons>();
        for (QAbstractButton *button : box->buttons())
            names << QLatin1String(buttons.valueToKey(box->standardButton(button)));
        names.sort();
        record += QLatin1Char('|') + names.join(QLatin1Char(','));
    }
    if (box->parentWidget() != m_window)
        record += QStringLiteral("|foreign parent");
    m_boxes << record;

    if (QAbstractButton *button = box->button(m_answer))
        QTest::mouseClick(button, Qt::LeftButton);
    else
        box->reject();
}
