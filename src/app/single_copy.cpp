#include "app/single_copy.h"

#include "platform/logging.h"

#include <QCoreApplication>

namespace lumora::app {

// The context of this file's texts in the translations.
class SingleCopyTexts
{
    Q_DECLARE_TR_FUNCTIONS(lumora::app::SingleCopyTexts)
};

bool handOverToRunningCopy(platform::SingleInstance& instance, platform::Dialogs& dialogs)
{
    if (!instance.anotherCopyRunning())
        return false;
    dialogs.message(SingleCopyTexts::tr("程序正在运行，请检查窗口是否被最小化。"),
                    QString::fromUtf8(platform::kProgramTitle), platform::MessageIcon::None);
    if (!instance.askRunningCopyToShow())
        qCWarning(lcState) << "the copy already running did not answer; this one ends all the same";
    return true;
}

} // namespace lumora::app
