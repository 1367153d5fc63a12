#pragma once

// The timetable as a picture: a row per category, a bar per lesson. A bar's height is the
// minutes that make the lesson done, its filled part the minutes studied; what is left shows as
// the empty part, and the row ends with the time the category still needs.

#include "records/run_summary.h"

#include <QWidget>
#include <array>

namespace lumora::window {

class TimetablePicture final : public QWidget
{
    Q_OBJECT
public:
    using Bars = std::array<records::CategoryBars, records::kCategoryCount>;

    explicit TimetablePicture(QWidget* parent = nullptr);

    void setBars(const Bars& bars);
    const Bars& bars() const { return m_bars; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    int rowHeight() const;
    int nameWidth() const;
    int leftWidth() const;
    int legendHeight() const;
    // The slot of a lesson's bar: the same width in every row, so that rows compare.
    QRect slot(int category, int lesson) const;
    // The whole bar (its height the minutes needed) inside its slot.
    QRect barRect(int category, int lesson) const;
    QString barToolTip(const QPoint& at) const;

    Bars m_bars;
    int m_mostLessons = 1;
    int m_mostNeeded = 1;
};

} // namespace lumora::window
