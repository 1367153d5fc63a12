#include "app/single_copy.h"

#include "platform/logging.h"

namespace lumora::app {

bool handOverToRunningCopy(platform::SingleInstance& instance, platform::Dialogs& dialogs)
{
    if (!instance.anotherCopyRunning())
        return false;
    dialogs.message(QStringLiteral("程序正在运行，请检查窗口是否被最小化。"),
                    QString::fromUtf8(platform::kProgramTitle), platform::MessageIcon::None);
    if (!instance.askRunningCopyToShow())
        qCWarning(lcState) << "the copy already running did not answer; this one ends all the same";
    return true;
}

} // namespace lumora::app
