#pragma once

#include "study/progress.h"

#include <QWidget>

class QLabel;
class QProgressBar;

namespace lumora::window {

// The study panel in the window's status bar: where a run stands, updated every tick.
class StudyStatus final : public QWidget
{
    Q_OBJECT
public:
    explicit StudyStatus(QWidget* parent = nullptr);

    void display(const study::StudySnapshot& snapshot);
    void setSaveFailed(bool failed);
    // A line about what the run is doing besides studying (empty: none).
    void setNotice(const QString& text);
    QString notice() const;
    QString stallText() const;

    // The texts shown, for tests and accessibility.
    QString summaryText() const;
    bool saveFailureVisible() const;

private:
    QLabel* m_where;
    QProgressBar* m_lesson;
    QLabel* m_done;
    QLabel* m_left;
    QLabel* m_saveFailed;
    QLabel* m_notice;
    QLabel* m_stall; // minutes that earned nothing, while it lasts
};

} // namespace lumora::window
