// Start-up and the state file: Form_Load and Command11_Click.

#include "shell/main_window.h"
#include "shell/state_file.h"
#include "study/timetable.h"

#include <QDir>
#include <QLineEdit>
#include <QStatusBar>

namespace lumora::shell {

void Form1::Form_Load()
{
    if (m_platform.anotherCopyRunning()) {
        m_platform.dialogs().message(QStringLiteral("程序正在运行，请检查窗口是否被最小化。"),
                                     windowTitle(), platform::MessageIcon::None);
    }
    requiredMinutesTable = study::requiredMinutesTables();
    m_platform.browsingData().clearCache();
    WebBrowser1->setSilent(true);
    WebBrowser2->setSilent(true);
    noticeShown = false;
    WebBrowser1->navigate(m_config.loginPage());
    for (const QString& name : study::categoryNames())
        List3->addItem(name);
    categoryIndex = 0;
    lessonIndex = 0;

    // A missing or short file ends start-up here, quietly: what was read stays, the rest stays
    // empty, and the timetable is not loaded.
    const std::optional<LoadedState> loaded = m_stateFile.load();
    if (!loaded)
        return;
    const int lines = loaded->linesRead;
    if (lines >= 1)
        Text3->setText(loaded->values.userName);
    if (lines >= 2)
        Text2->setText(loaded->values.password);
    for (int category = 0; category < study::kCategoryCount && 2 + category < lines; ++category)
        studiedMinutesRecord[category] = loaded->values.studiedRecords[category];
    if (!loaded->complete())
        return;

    Command12_Click();
}

void Form1::Command11_Click()
{
    SavedState state;
    state.userName = Text3->text();
    state.password = Text2->text();
    state.studiedRecords = studiedMinutesRecord;
    const StateFileStore::SaveResult result = m_stateFile.save(state);
    if (result.movedToFallback) {
        statusBar()->showMessage(QStringLiteral("学习记录改存于：%1")
                                     .arg(QDir::toNativeSeparators(m_stateFile.savePath())));
    }
    reportSaveResult(result.saved);
}

} // namespace lumora::shell
