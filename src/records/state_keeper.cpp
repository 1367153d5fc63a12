#include "records/state_keeper.h"

#include <QDir>

namespace lumora::records {

StateKeeper::StateKeeper(StateFileStore store, MinuteRecords& records)
    : m_store(std::move(store)), m_records(records)
{
}

bool StateKeeper::restore()
{
    const std::optional<LoadedState> loaded = m_store.load();
    if (!loaded)
        return false;
    const int lines = loaded->linesRead;
    if (lines >= 1)
        m_credentials.userName = loaded->values.userName;
    if (lines >= 2)
        m_credentials.password = loaded->values.password;
    for (int category = 0; category < kCategoryCount && 2 + category < lines; ++category)
        m_records.setRecordText(category, loaded->values.studiedRecords.at(category));
    return loaded->complete();
}

void StateKeeper::save()
{
    SavedState state{m_credentials.userName, m_credentials.password, {}};
    for (int category = 0; category < kCategoryCount; ++category)
        state.studiedRecords.at(category) = m_records.recordText(category);
    const StateFileStore::SaveResult result = m_store.save(state);
    if (result.movedToFallback) {
        emit statusMessage(
            QStringLiteral("学习记录改存于：%1").arg(QDir::toNativeSeparators(m_store.savePath())));
    }
    if (!result.saved && !m_lastSaveFailed)
        emit saveFailed(m_store.savePath());
    m_lastSaveFailed = !result.saved;
    emit saveFailureChanged(m_lastSaveFailed);
    if (m_lastSaveFailed && !m_saveFailureShown) {
        // Once per run, without a modal box: a run saves again at every tick until a save succeeds.
        m_saveFailureShown = true;
        emit statusMessage(QStringLiteral("无法保存学习记录：%1")
                               .arg(QDir::toNativeSeparators(m_store.savePath())));
    }
}

} // namespace lumora::records
