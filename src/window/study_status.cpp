#include "window/study_status.h"

#include "records/timetable.h"
#include "study/run_texts.h"
#include "window/trouble_mark.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

namespace lumora::window {

StudyStatus::StudyStatus(QWidget* parent)
    : QWidget(parent), m_where(new QLabel(this)), m_lesson(new QProgressBar(this)),
      m_done(new QLabel(this)), m_left(new QLabel(this)), m_saveFailed(new QLabel(this)),
      m_notice(new QLabel(this)), m_stall(new QLabel(this))
{
    setObjectName(QStringLiteral("StudyStatus"));
    setAccessibleName(tr("学习状态"));
    m_lesson->setObjectName(QStringLiteral("StudyLessonProgress"));
    m_lesson->setAccessibleName(tr("本课学习进度"));
    m_lesson->setFormat(tr("%v / %m 分钟"));
    m_lesson->setMaximumWidth(220);
    m_saveFailed->setObjectName(QStringLiteral("StudySaveFailed"));
    m_saveFailed->setText(tr("学习进度保存失败"));
    markAsTrouble(m_saveFailed);
    m_saveFailed->hide();
    m_stall->setObjectName(QStringLiteral("StudyStall"));
    markAsTrouble(m_stall);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 0, 4, 0);
    row->addWidget(m_where);
    row->addWidget(m_lesson);
    row->addWidget(m_done);
    row->addWidget(m_left);
    row->addWidget(m_notice);
    row->addWidget(m_stall);
    row->addStretch(1);
    row->addWidget(m_saveFailed);

    display(study::StudySnapshot{});
}

void StudyStatus::display(const study::StudySnapshot& s)
{
    m_where->setText(study::whereText(s));
    m_stall->setText(s.stall);
    m_stall->setVisible(!s.stall.isEmpty());
    if (s.categoryName.isEmpty()) {
        m_lesson->hide();
        m_done->clear();
        m_left->clear();
        return;
    }
    m_lesson->show();
    m_lesson->setRange(0, qMax(1, s.target));
    m_lesson->setValue(qBound(0, s.studied, m_lesson->maximum()));
    // A bar's accessible value is the bare number: its minutes as shown go with it.
    m_lesson->setAccessibleDescription(m_lesson->text());
    // Without the site's record the figures are a guess the learner has to check on the site.
    m_done->setText(
        s.siteUnchecked
            ? tr("已完成 %1/%2 课（未与网站核对）").arg(s.lessonsDone).arg(s.lessonCount)
            : tr("已完成 %1/%2 课").arg(s.lessonsDone).arg(s.lessonCount));
    m_done->setToolTip(s.siteUnchecked ? study::RunTexts::noRecord() : QString());
    m_left->setText(tr("预计剩余 %1").arg(records::formatDuration(s.minutesLeft)));
}

void StudyStatus::setNotice(const QString& text)
{
    m_notice->setText(text);
}

QString StudyStatus::notice() const
{
    return m_notice->text();
}

QString StudyStatus::stallText() const
{
    return m_stall->isHidden() ? QString() : m_stall->text();
}

void StudyStatus::setSaveFailed(bool failed)
{
    m_saveFailed->setVisible(failed);
}

QString StudyStatus::summaryText() const
{
    return QStringList{m_where->text(), m_done->text(), m_left->text()}.join(QLatin1Char(' '));
}

bool StudyStatus::saveFailureVisible() const
{
    return !m_saveFailed->isHidden();
}

} // namespace lumora::window
