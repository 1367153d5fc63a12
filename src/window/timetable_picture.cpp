#include "window/timetable_picture.h"

#include "records/morning_report.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

namespace lumora::window {

namespace {

const QColor kDone(0x3c, 0x9a, 0x5f);
const QColor kHatch(0xff, 0xff, 0xff, 0xa0);
const QColor kStudied(0x3a, 0x7b, 0xd5);
const QColor kLeft(0xe3, 0xe6, 0xea);
const QColor kOutline(0xa8, 0xae, 0xb6);
constexpr int kGap = 8;

QString leftText(const records::CategoryBars& row)
{
    return row.minutesLeft == 0
               ? TimetablePicture::tr("全部学完")
               : TimetablePicture::tr("还需 %1").arg(records::formatDuration(row.minutesLeft));
}

} // namespace

TimetablePicture::TimetablePicture(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TimetablePicture"));
    setAccessibleName(tr("各课学习进度图"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void TimetablePicture::setBars(const Bars& bars)
{
    m_bars = bars;
    // What the rows say in words, for whoever does not see the picture.
    QStringList rows;
    for (const records::CategoryBars& row : m_bars)
        rows.append(tr("%1：%2").arg(row.name, leftText(row)));
    setAccessibleDescription(rows.join(tr("；")));
    m_mostLessons = 1;
    m_mostNeeded = 1;
    for (const records::CategoryBars& row : m_bars) {
        m_mostLessons = std::max(m_mostLessons, static_cast<int>(row.lessons.size()));
        for (const records::LessonBar& bar : row.lessons)
            m_mostNeeded = std::max(m_mostNeeded, bar.needed);
    }
    updateGeometry();
    update();
}

int TimetablePicture::rowHeight() const
{
    return fontMetrics().height() * 3 + kGap;
}

int TimetablePicture::nameWidth() const
{
    int width = 0;
    for (const records::CategoryBars& row : m_bars)
        width = std::max(width, fontMetrics().horizontalAdvance(row.name));
    return width + 2 * kGap;
}

int TimetablePicture::leftWidth() const
{
    return fontMetrics().horizontalAdvance(tr("还需 %1").arg(records::formatDuration(6059))) +
           2 * kGap;
}

int TimetablePicture::legendHeight() const
{
    return fontMetrics().height() + 2 * kGap;
}

QSize TimetablePicture::sizeHint() const
{
    return {nameWidth() + leftWidth() + m_mostLessons * 24,
            records::kCategoryCount * rowHeight() + legendHeight()};
}

QSize TimetablePicture::minimumSizeHint() const
{
    return {nameWidth() + leftWidth() + m_mostLessons * 6, sizeHint().height()};
}

QRect TimetablePicture::slot(int category, int lesson) const
{
    const double slotWidth =
        std::max(1, width() - nameWidth() - leftWidth()) / static_cast<double>(m_mostLessons);
    const int left = nameWidth() + static_cast<int>(lesson * slotWidth);
    const int right = nameWidth() + static_cast<int>((lesson + 1) * slotWidth);
    return {left, category * rowHeight(), right - left, rowHeight()};
}

QRect TimetablePicture::barRect(int category, int lesson) const
{
    const QRect place = slot(category, lesson);
    const int barWidth = std::max(2, place.width() * 7 / 10);
    const int tallest = place.height() - 2 * kGap;
    const int needed = m_bars.at(category).lessons.at(lesson).needed;
    const int height = std::max(2, tallest * needed / m_mostNeeded);
    return {place.left() + (place.width() - barWidth) / 2, place.bottom() - kGap - height + 1,
            barWidth, height};
}

void TimetablePicture::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int row = rowHeight();
    for (int category = 0; category < records::kCategoryCount; ++category) {
        const records::CategoryBars& bars = m_bars.at(category);
        const QRect band(0, category * row, width(), row);
        if (category % 2 == 1)
            painter.fillRect(band, palette().alternateBase());
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(band.adjusted(kGap, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, bars.name);
        for (int lesson = 0; lesson < bars.lessons.size(); ++lesson) {
            const records::LessonBar& bar = bars.lessons.at(lesson);
            const QRect whole = barRect(category, lesson);
            painter.fillRect(whole, bar.done() ? kDone : kLeft);
            QRect filled = whole;
            if (!bar.done()) {
                const int height =
                    whole.height() * std::min(bar.shown(), bar.needed) / std::max(1, bar.needed);
                filled = whole.adjusted(0, whole.height() - height, 0, 0);
                painter.fillRect(filled, kStudied);
            }
            // The program's own count, not checked against the site's: hatched.
            if (!bar.site && bar.shown() > 0)
                painter.fillRect(filled, QBrush(kHatch, Qt::BDiagPattern));
            painter.setPen(bar.done() ? kDone : kOutline);
            painter.drawRect(whole.adjusted(0, 0, -1, -1));
        }
        painter.setPen(bars.minutesLeft == 0 ? kDone : palette().color(QPalette::Text));
        painter.drawText(band.adjusted(width() - leftWidth() + kGap, 0, 0, 0),
                         Qt::AlignLeft | Qt::AlignVCenter, leftText(bars));
    }
    // The legend.
    const int square = fontMetrics().height() * 2 / 3;
    int x = nameWidth();
    const int y = records::kCategoryCount * row + kGap;
    struct Key
    {
        QColor colour;
        bool hatched;
        QString text;
    };
    const Key keys[] = {{kDone, false, tr("已学完的课")},
                        {kStudied, false, tr("网站记的分钟")},
                        {kStudied, true, tr("本程序记的分钟（未与网站核对）")},
                        {kLeft, false, tr("还需学的分钟")}};
    for (const auto& [colour, hatched, text] : keys) {
        const QRect mark(x, y + (fontMetrics().height() - square) / 2, square, square);
        painter.fillRect(mark, colour);
        if (hatched)
            painter.fillRect(mark, QBrush(kHatch, Qt::BDiagPattern));
        painter.setPen(kOutline);
        painter.drawRect(mark.adjusted(0, 0, -1, -1));
        painter.setPen(palette().color(QPalette::Text));
        const QRect label(mark.right() + kGap / 2, y, fontMetrics().horizontalAdvance(text),
                          fontMetrics().height());
        painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, text);
        x = label.right() + 3 * kGap;
    }
}

QString TimetablePicture::barToolTip(const QPoint& at) const
{
    for (int category = 0; category < records::kCategoryCount; ++category) {
        const QList<records::LessonBar>& lessons = m_bars.at(category).lessons;
        for (int lesson = 0; lesson < lessons.size(); ++lesson) {
            if (!slot(category, lesson).contains(at))
                continue;
            const records::LessonBar& bar = lessons.at(lesson);
            const QString text = tr("%1：已学 %2 / %3 分钟")
                                     .arg(records::MorningReport::lessonText({category, lesson}))
                                     .arg(bar.studied)
                                     .arg(bar.needed);
            return bar.site ? tr("%1（网站记了 %2 分钟）").arg(text).arg(*bar.site)
                            : tr("%1（本程序记的）").arg(text);
        }
    }
    return {};
}

bool TimetablePicture::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const QString text = barToolTip(help->pos());
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), text, this);
    }
    return true;
}

} // namespace lumora::window
