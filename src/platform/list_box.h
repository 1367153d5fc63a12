#pragma once

#include <QObject>
#include <QString>

class QListWidget;

namespace lumora::platform {

class EventGate;

// A list box whose choices drive the site. Entries are texts; at most one is selected.
// Whenever an entry becomes selected, by the user or from code, the list's click procedure
// runs: a selection made from code runs it to its end before select() returns; a user's
// selection enters through the event gate like any other event.
class ListBox final : public QObject
{
    Q_OBJECT
public:
    ListBox(QListWidget* widget, EventGate& gate);

    QListWidget* widget() const { return m_widget; }

    void addItem(const QString& text);
    // Removes every entry; afterwards no entry is selected. Runs no click procedure.
    void clear();
    int count() const;
    // The entry's text; empty for a position outside the list.
    QString text(int index) const;
    // Replaces the text of an existing entry; false when there is none at `index`.
    bool setText(int index, const QString& text);

    // Position of the selected entry, -1 when none is.
    int listIndex() const;
    // Selects the entry at `index` and runs the click procedure; nothing for a position outside
    // the list.
    void select(int index);
    // Selects the first entry whose text equals `text` (exact); when none does, nothing is
    // selected and no click procedure runs.
    void selectByText(const QString& text);

signals:
    // The list's click procedure: whenever an entry becomes selected. Connect directly: a
    // selection made from code runs it to its end before select() returns.
    void clicked();

private:
    void userChangedRow(int row);

    QListWidget* m_widget;
    EventGate& m_gate;
};

} // namespace lumora::platform
