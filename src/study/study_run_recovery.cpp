// The study run's recovery: a session that ended is logged in again at the pace of its pages,
// and the run goes on at its lesson; a session that keeps ending, or a login the site refuses,
// pauses the run for the learner.

#include "platform/logging.h"
#include "study/run_texts.h"
#include "study/study_run.h"

namespace lumora::study {

using records::RunEventKind;

void StudyRun::beginRecovery()
{
    const LessonKey lesson{m_catalogue.category(), lessonIndex()};
    if (!m_logins.allow(lesson))
        return pauseRun(RunTexts::loginsFailed(LoginBudget::kMaxPerLesson), true);
    qCWarning(lcStudy).nospace() << "the site's session ended during category "
                                 << m_catalogue.category() << ", lesson " << lessonIndex() + 1
                                 << ": logging in again";
    emit playerShown(false);
    enterPhase(RunPhase::Recovering);
    follow(m_session.beginRecovery());
}

void StudyRun::follow(const session::RecoveryStep& step)
{
    switch (step.result) {
    case session::RecoveryStep::Result::Working:
        break;
    case session::RecoveryStep::Result::LoggedIn:
        resumeRun();
        break;
    case session::RecoveryStep::Result::Paused:
        pauseRun(step.why, true);
        break;
    }
}

void StudyRun::resumeRun()
{
    qCInfo(lcStudy).nospace() << "logged in again; resuming category " << m_catalogue.category()
                              << " at lesson " << lessonIndex() + 1;
    report(RunEventKind::SessionRecovered, lessonIndex());
    emit notice({});
    openCategoryAt(m_catalogue.category(), lessonIndex());
}

void StudyRun::pauseRun(const QString& why, bool logInAgain)
{
    qCWarning(lcStudy) << "run paused:" << why;
    endRun(RunPhase::Paused, why);
    if (logInAgain)
        m_session.offerLogin();
    emit statusMessage(why);
}

} // namespace lumora::study
