#include "window/close_question.h"

#include <QCoreApplication>
#include <QStringList>

namespace lumora::window {

// The context of this file's texts in the translations.
class CloseQuestionTexts
{
    Q_DECLARE_TR_FUNCTIONS(lumora::window::CloseQuestionTexts)
};

CloseChoice askToClose(platform::Dialogs& dialogs, bool trayAvailable)
{
    QList<CloseChoice> choices = {CloseChoice::Quit, CloseChoice::Cancel};
    QStringList answers = {CloseQuestionTexts::tr("结束学习并退出"),
                           CloseQuestionTexts::tr("取消")};
    if (trayAvailable) {
        choices.prepend(CloseChoice::HideInTray);
        answers.prepend(CloseQuestionTexts::tr("继续在托盘中学习"));
    }
    const int chosen =
        dialogs.choose(CloseQuestionTexts::tr("正在连续学习。关闭窗口后学习要继续吗？"),
                       QString::fromUtf8(platform::kProgramTitle), answers);
    return choices.value(chosen, CloseChoice::Cancel);
}

} // namespace lumora::window
