#include "platform/list_box.h"

#include "platform/event_gate.h"

#include <QListWidget>
#include <QSignalBlocker>

namespace lumora::platform {

ListBox::ListBox(QListWidget* widget, EventGate& gate)
    : QObject(widget), m_widget(widget), m_gate(gate)
{
    m_widget->setSelectionMode(QAbstractItemView::SingleSelection);
    // Changes made from code block the widget's signals, so this sees only the user's choices.
    connect(m_widget, &QListWidget::currentRowChanged, this, &ListBox::userChangedRow);
}

void ListBox::addItem(const QString& text)
{
    const QSignalBlocker quiet(m_widget);
    m_widget->addItem(text);
}

void ListBox::clear()
{
    const QSignalBlocker quiet(m_widget);
    m_widget->clear();
    m_widget->setCurrentRow(-1);
}

int ListBox::count() const
{
    return m_widget->count();
}

QString ListBox::text(int index) const
{
    const QListWidgetItem* item = m_widget->item(index);
    return item ? item->text() : QString();
}

bool ListBox::setText(int index, const QString& text)
{
    QListWidgetItem* item = m_widget->item(index);
    if (!item)
        return false;
    const QSignalBlocker quiet(m_widget);
    item->setText(text);
    return true;
}

int ListBox::listIndex() const
{
    return m_widget->currentRow();
}

void ListBox::select(int index)
{
    if (index < 0 || index >= count())
        return;
    {
        const QSignalBlocker quiet(m_widget);
        m_widget->setCurrentRow(index);
    }
    emit clicked();
}

void ListBox::selectByText(const QString& text)
{
    if (text.isEmpty())
        return; // a position past the end gives the empty text, which selects nothing
    for (int i = 0; i < count(); ++i) {
        if (m_widget->item(i)->text() == text) {
            select(i);
            return;
        }
    }
}

void ListBox::userChangedRow(int row)
{
    if (row < 0)
        return;
    m_gate.dispatch([this] { emit clicked(); });
}

} // namespace lumora::platform
