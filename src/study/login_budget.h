#pragma once

// How often a run logs in again before it pauses: a session that ends again at once, within one
// lesson and with no minute credited, will not be mended by another login. Pure logic.

#include "study/player_watch.h"

namespace lumora::study {

class LoginBudget
{
public:
    static constexpr int kMaxPerLesson = 3;

    // The session ended during `lesson`: whether logging in again is still worth it.
    bool allow(LessonKey lesson)
    {
        if (lesson != m_lesson) {
            m_lesson = lesson;
            m_logins = 0;
        }
        return ++m_logins <= kMaxPerLesson;
    }
    // A minute was credited, or a new run starts: logins count afresh.
    void reset() { m_logins = 0; }

private:
    LessonKey m_lesson;
    int m_logins = 0;
};

} // namespace lumora::study
