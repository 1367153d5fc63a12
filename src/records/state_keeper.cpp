#include "records/state_keeper.h"

#include <QDir>

namespace lumora::records {

namespace {

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

StateKeeper::StateKeeper(StateFileStore store, MinuteRecords& records)
    : m_store(std::move(store)), m_records(records)
{
}

StateKeeper::~StateKeeper() = default;

bool StateKeeper::restore()
{
    const StateFileStore::LoadResult loaded = m_store.load();
    if (loaded.savesMoved)
        emit statusMessage(tr("学习进度改存于：%1").arg(shown(m_store.savePath())));
    if (loaded.status == StateFileStore::LoadResult::Status::Held) {
        if (m_retry)
            m_retry->setEnabled(true);
        emit savesHeldChanged(true);
        emit statusMessage(
            tr("学习进度文件暂时无法读取（可能正被其他程序使用），读取之前不保存：%1")
                .arg(shown(loaded.path)));
        return false;
    }
    if (loaded.status == StateFileStore::LoadResult::Status::NoFile)
        return false;
    adopt(loaded.state);
    return loaded.state.complete();
}

void StateKeeper::retryReadsWith(std::unique_ptr<platform::Timer> timer, platform::EventGate& gate)
{
    m_retry = std::move(timer);
    m_retry->setInterval(kRetryReadMs);
    m_retry->setEnabled(m_store.held());
    connect(m_retry.get(), &platform::Timer::tick, this,
            [this, &gate] { gate.dispatch([this] { retryRead(); }); });
}

void StateKeeper::retryRead()
{
    if (!m_store.held())
        return;
    const StateFileStore::LoadResult loaded = m_store.load();
    if (loaded.status == StateFileStore::LoadResult::Status::Held)
        return;
    if (m_retry)
        m_retry->setEnabled(false);
    if (loaded.status == StateFileStore::LoadResult::Status::Read) {
        adopt(loaded.state);
        emit statusMessage(tr("已读取学习进度：%1").arg(shown(loaded.path)));
    }
    emit savesHeldChanged(false);
    emit restored();
    if (std::exchange(m_saveWanted, false))
        save();
}

void StateKeeper::adopt(const LoadedState& loaded)
{
    const int lines = loaded.linesRead;
    // Typed while the file was held: the learner's own, newer than the file's.
    if (m_credentials.userName.isEmpty() && m_credentials.password.isEmpty()) {
        if (lines >= 1)
            m_credentials.userName = loaded.values.userName;
        if (lines >= 2)
            m_credentials.password = loaded.values.password;
    }
    for (int category = 0; category < kCategoryCount && 2 + category < lines; ++category) {
        // Minutes credited while the file was held were studied on top of what it kept.
        StudiedRecord record(loaded.values.studiedRecords.at(category));
        for (int lesson = 0; lesson < m_records.lessonCount(category); ++lesson) {
            if (const int credited = m_records.lesson(category, lesson)->studied)
                record.setMinutes(lesson, record.minutes(lesson) + credited);
        }
        m_records.setRecordText(category, record.text());
    }
}

void StateKeeper::save()
{
    if (m_store.held()) {
        m_saveWanted = true;
        retryRead(); // saves once the file is read
        return;
    }
    SavedState state{m_credentials.userName, m_credentials.password, {}};
    for (int category = 0; category < kCategoryCount; ++category)
        state.studiedRecords.at(category) = m_records.recordText(category);
    const StateFileStore::SaveResult result = m_store.save(state);
    if (result.movedToFallback)
        emit statusMessage(tr("学习进度改存于：%1").arg(shown(m_store.savePath())));
    m_saveFailure = platform::writeFailureText(result.failure);
    if (!result.saved && !m_lastSaveFailed)
        emit saveFailed(m_store.savePath(), m_saveFailure);
    m_lastSaveFailed = !result.saved;
    emit saveFailureChanged(m_lastSaveFailed);
    if (m_lastSaveFailed && !m_saveFailureShown) {
        // Once per run, without a modal box: a run saves again at every tick until a save succeeds.
        m_saveFailureShown = true;
        emit statusMessage(
            tr("无法保存学习进度（%1）：%2").arg(m_saveFailure, shown(m_store.savePath())));
    }
}

} // namespace lumora::records
