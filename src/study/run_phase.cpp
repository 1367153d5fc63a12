#include "study/run_phase.h"

namespace lumora::study {

const char* phaseName(RunPhase phase)
{
    switch (phase) {
    case RunPhase::Idle:
        return "idle";
    case RunPhase::Opening:
        return "opening";
    case RunPhase::Studying:
        return "studying";
    case RunPhase::LeavingLesson:
        return "leaving a lesson";
    case RunPhase::WaitingForSite:
        return "waiting for the site";
    case RunPhase::Recovering:
        return "recovering";
    case RunPhase::Paused:
        return "paused";
    case RunPhase::Ended:
        return "ended";
    }
    return "?";
}

namespace {

const char* chinese(RunPhase phase)
{
    switch (phase) {
    case RunPhase::Idle:
        return QT_TRANSLATE_NOOP("lumora::study::RunPhaseTexts", "未在学习");
    case RunPhase::Opening:
        return QT_TRANSLATE_NOOP("lumora::study::RunPhaseTexts", "正在打开课程");
    case RunPhase::Studying:
        return QT_TRANSLATE_NOOP("lumora::study::RunPhaseTexts", "正在学习");
    case RunPhase::LeavingLesson:
        return QT_TRANSLATE_NOOP("lumora::study::RunPhaseTexts", "等待网站记下本课学时");
    case RunPhase::WaitingForSite:
        return QT_TRANSLATE_NOOP("lumora::study::RunPhaseTexts", "网站已停止计时，等待中");
    case RunPhase::Recovering:
        return QT_TRANSLATE_NOOP("lumora::study::RunPhaseTexts", "正在重新登录");
    case RunPhase::Paused:
        return QT_TRANSLATE_NOOP("lumora::study::RunPhaseTexts", "学习已暂停");
    case RunPhase::Ended:
        return QT_TRANSLATE_NOOP("lumora::study::RunPhaseTexts", "学习已结束");
    }
    return "";
}

} // namespace

QString RunPhaseTexts::shown(RunPhase phase)
{
    return tr(chinese(phase));
}

QString RunPhaseTexts::recorded(RunPhase phase)
{
    return QString::fromUtf8(chinese(phase));
}

} // namespace lumora::study
