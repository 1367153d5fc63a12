#pragma once

// The first page of the "学习记录" window: the last run in figures (when, how it ended, the
// minutes of each category against what is still needed, the lessons finished and skipped, the
// longest stall, the recoveries), the timetable's picture, and the history of earlier runs.

#include "records/run_summary.h"

#include <QWidget>

class QLabel;
class QTableWidget;

namespace lumora::window {

class TimetablePicture;

class MorningView final : public QWidget
{
    Q_OBJECT
public:
    explicit MorningView(QWidget* parent = nullptr);

    // `runs` newest first; `siteLine`: what the site's own record says beside the program's.
    void showRuns(const QList<records::RunSummary>& runs,
                  const std::array<records::CategoryBars, records::kCategoryCount>& bars,
                  const QString& siteLine = {});

    TimetablePicture* picture() const { return m_picture; }
    QTableWidget* history() const { return m_history; }
    QString headline() const;
    QString siteLine() const;

private:
    QLabel* m_headline;
    QTableWidget* m_categories;
    QLabel* m_details;
    QLabel* m_site;
    TimetablePicture* m_picture;
    QTableWidget* m_history;
};

} // namespace lumora::window
