// The study driver: Command2_Click starts a run (and moves to the next category), Timer1_Timer
// does the bookkeeping every 20 seconds, checkLessonProgress tests the selected lesson, and
// TimeDelay waits while letting other events run.

#include "shell/main_window.h"
#include "study/progress.h"
#include "study/study_status.h"

#include <chrono>

namespace lumora::shell {

QString Form1::checkLessonProgress()
{
    const int selected = List2->listIndex();
    if (selected < 0 || selected >= List5->count() || selected >= List4->count())
        return {};
    return study::lessonProgressCode(selected, List2->count(), List5->text(selected),
                                     List4->text(selected));
}

void Form1::TimeDelay(float seconds)
{
    // A monotonic clock: a wait across midnight lasts as long as any other.
    platform::Clock& clock = m_platform.clock();
    const auto deadline = clock.now() + std::chrono::milliseconds(qRound(seconds * 1000.0f));
    m_gate.waitWithEventsOpen([&] {
        while (clock.now() < deadline && !m_unloaded)
            clock.processEventsUntil(deadline);
    });
}

void Form1::Command2_Click()
{
    if (!noticeShown) {
        m_platform.dialogs().message(QStringLiteral("学习结束后自己查询学习时间是否已达到要求！"),
                                     QStringLiteral("欢迎免费合作订制各类网络培训软件"),
                                     platform::MessageIcon::Information);
        noticeShown = true;
    }
    if (List3->count() == 0) {
        m_platform.dialogs().message(QStringLiteral("已全部学习好！"), windowTitle(),
                                     platform::MessageIcon::None);
        return;
    }
    if (!Timer1->isEnabled()) {
        m_runMinutes = 0;
        report(study::RunEventKind::RunStarted);
    }
    List3->selectByText(List3->text(categoryIndex));
    report(study::RunEventKind::CategoryOpened);
    TimeDelay(1);
    Command17_Click();
    TimeDelay(1);
    Command15_Click();
    TimeDelay(1);
    lessonIndex = 0;
    List2->selectByText(List2->text(lessonIndex));
    showPlayer(true);
    Timer1->setEnabled(true);
    updateStudyStatus();
}

void Form1::Timer1_Timer()
{
    if (checkLessonProgress() == study::kNextCategory) {
        report(study::RunEventKind::LessonDone, List2->listIndex());
        report(study::RunEventKind::CategoryFinished);
        categoryIndex += 1;
        Command2_Click();
    }
    if (checkLessonProgress() == study::kNextLesson) {
        report(study::RunEventKind::LessonDone, List2->listIndex());
        if (lessonIndex < List2->count() - 1) {
            lessonIndex += 1;
            List2->selectByText(List2->text(lessonIndex));
        } else {
            report(study::RunEventKind::CategoryFinished);
            categoryIndex += 1;
            Command2_Click();
        }
    }
    tickCount += 1;
    Command12_Click();
    if (tickCount % 3 == 0) {
        tickCount = 0;
        creditOneMinute();
    }
    saveStudiedMinutes();
    updateStudyStatus();
}

void Form1::creditOneMinute()
{
    // The minute goes to the selected lesson, or to the first one when none is selected.
    const int lesson = List2->listIndex() < 0 ? 0 : List2->listIndex();
    const std::optional<long long> studied = study::wholePart(List4->text(lesson));
    // A lesson the timetable does not list has nowhere to keep its minute.
    if (lesson < List4->count() && studied) {
        List4->setText(lesson, QString::number(*studied + 1));
        ++m_runMinutes;
        report(study::RunEventKind::MinuteCredited, lesson, static_cast<int>(*studied + 1));
    }
}

void Form1::endStudyRun()
{
    if (Timer1->isEnabled())
        report(study::RunEventKind::RunEnded, -1, m_runMinutes);
    Timer1->setEnabled(false);
    showPlayer(false);
    WebBrowser1->widget()->show();
    updateStudyStatus();
}

void Form1::report(study::RunEventKind kind, int lesson, int minutes, const QString& detail)
{
    emit runEvent({kind, categoryIndex, lesson, minutes, detail});
}

void Form1::updateStudyStatus()
{
    QStringList required;
    QStringList studied;
    for (int i = 0; i < List5->count(); ++i)
        required.append(List5->text(i));
    for (int i = 0; i < List4->count(); ++i)
        studied.append(List4->text(i));
    const study::StudySnapshot snapshot =
        study::makeSnapshot(Timer1->isEnabled(), categoryIndex, List2->listIndex(), required,
                            studied, requiredMinutesTable, studiedMinutesRecord);
    m_studyStatus->display(snapshot);
    emit progressChanged(snapshot);
}

} // namespace lumora::shell
