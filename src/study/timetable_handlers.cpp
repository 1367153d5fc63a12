// The lesson timetable in the window: Command12_Click loads the current category's minutes
// into List5 and List4; saveStudiedMinutes writes List4 back and saves the state file.

#include "shell/main_window.h"
#include "study/timetable.h"

namespace lumora::shell {

void Form1::Command12_Click()
{
    if (!study::isCategory(categoryIndex)) {
        m_platform.dialogs().message(QStringLiteral("学习已结束!"),
                                     QStringLiteral("欢迎免费合作订制各类自动学习软件"),
                                     platform::MessageIcon::Information);
        // Past the last category there is nothing left to study: end the run here, once, as
        // exit courseware ends it (the site's exit button too, so that the last player stops
        // reporting), instead of repeating the message on every tick.
        Command16_Click();
        return;
    }
    const study::LessonMinutes lessons = study::loadLessonMinutes(
        requiredMinutesTable.at(categoryIndex), studiedMinutesRecord.at(categoryIndex));
    List4->clear();
    List5->clear();
    for (qsizetype i = 0; i < lessons.required.size(); ++i) {
        List5->addItem(lessons.required.at(i));
        List4->addItem(lessons.studied.at(i));
    }
}

void Form1::saveStudiedMinutes()
{
    QStringList studied;
    for (int i = 0; i < List4->count(); ++i)
        studied.append(List4->text(i));
    const QString record = study::buildStudiedRecord(studied);

    const auto& defaults = study::defaultStudiedRecords();
    for (int category = 0; category < study::kCategoryCount; ++category) {
        if (studiedMinutesRecord.at(category).isEmpty())
            studiedMinutesRecord.at(category) = defaults.at(category);
    }
    if (study::isCategory(categoryIndex))
        studiedMinutesRecord.at(categoryIndex) = record;
    Command11_Click();
}

} // namespace lumora::shell
