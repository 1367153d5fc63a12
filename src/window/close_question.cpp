#include "window/close_question.h"

#include <QStringList>

namespace lumora::window {

CloseChoice askToClose(platform::Dialogs& dialogs, bool trayAvailable)
{
    QList<CloseChoice> choices = {CloseChoice::Quit, CloseChoice::Cancel};
    QStringList answers = {QStringLiteral("结束学习并退出"), QStringLiteral("取消")};
    if (trayAvailable) {
        choices.prepend(CloseChoice::HideInTray);
        answers.prepend(QStringLiteral("继续在托盘中学习"));
    }
    const int chosen = dialogs.choose(QStringLiteral("正在连续学习。关闭窗口后学习要继续吗？"),
                                      QString::fromUtf8(platform::kProgramTitle), answers);
    return choices.value(chosen, CloseChoice::Cancel);
}

} // namespace lumora::window
