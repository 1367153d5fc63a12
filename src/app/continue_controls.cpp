#include "app/continue_controls.h"

#include "platform/logging.h"
#include "study/video_watch.h"

#include <QDir>
#include <QSettings>

namespace lumora::app {

QStringList readContinueControls(const QString& dataFolder)
{
    if (dataFolder.isEmpty())
        return study::VideoWatch::defaultContinueControls();
    const QSettings file(QDir(dataFolder).filePath(QStringLiteral("lumora.ini")),
                         QSettings::IniFormat);
    QStringList texts;
    for (const QString& text :
         file.value(QStringLiteral("study/continueControls")).toStringList()) {
        // A control's text is what a page shows on it: trimmed, and short.
        const QString trimmed = text.simplified();
        if (!trimmed.isEmpty() && trimmed.size() <= platform::PageControl::kMaxText)
            texts << trimmed;
        else if (!trimmed.isEmpty())
            qCWarning(lcState) << "study/continueControls in lumora.ini: not a control's text:"
                               << text;
    }
    return texts.isEmpty() ? study::VideoWatch::defaultContinueControls() : texts;
}

} // namespace lumora::app
