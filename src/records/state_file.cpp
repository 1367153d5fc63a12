#include "records/state_file.h"

#include "platform/logging.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <utility>

namespace lumora::records {

namespace {

QString lineValue(const QString& line)
{
    if (!line.startsWith(QLatin1Char('"')))
        return line;
    const qsizetype closing = line.indexOf(QLatin1Char('"'), 1);
    return closing < 0 ? line.mid(1) : line.mid(1, closing - 1);
}

} // namespace

LoadedState parseStateFile(const QByteArray& bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    // A final line break ends the last line; it does not start another one.
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();

    LoadedState loaded;
    QString* targets[kStateFileLines] = {
        &loaded.values.userName,          &loaded.values.password,
        &loaded.values.studiedRecords[0], &loaded.values.studiedRecords[1],
        &loaded.values.studiedRecords[2], &loaded.values.studiedRecords[3],
    };
    for (int i = 0; i < kStateFileLines && i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        if (line.endsWith('\r'))
            line.chop(1);
        *targets[i] = lineValue(platform::fromSystemCodePage(line));
        loaded.linesRead = i + 1;
    }
    return loaded;
}

std::optional<LoadedState> readStateFile(const QString& path)
{
    const std::optional<QByteArray> bytes = platform::readWholeFile(path);
    if (!bytes)
        return std::nullopt;
    return parseStateFile(*bytes);
}

QByteArray formatStateFile(const SavedState& state)
{
    QByteArray bytes;
    for (const QString* value :
         {&state.userName, &state.password, &state.studiedRecords[0], &state.studiedRecords[1],
          &state.studiedRecords[2], &state.studiedRecords[3]}) {
        bytes += platform::toSystemCodePage(*value);
        bytes += "\r\n";
    }
    return bytes;
}

platform::WriteResult writeStateFile(const QString& path, const SavedState& state)
{
    return platform::writeFileAtomically(path, formatStateFile(state));
}

namespace {

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

StateFileStore::StateFileStore(QString preferred, QString fallback, QStringList olderCopies)
    : m_savePath(std::move(preferred)), m_fallback(std::move(fallback))
{
    m_readPlaces.append(m_savePath);
    if (!m_fallback.isEmpty())
        m_readPlaces.append(m_fallback);
    m_readPlaces.append(olderCopies);
}

std::optional<LoadedState> StateFileStore::load() const
{
    QList<QFileInfo> found;
    for (const QString& place : m_readPlaces) {
        const QFileInfo info(place);
        if (info.isFile())
            found.append(info);
    }
    // Newest first; the stable sort keeps the order of preference on a tie.
    std::stable_sort(found.begin(), found.end(), [](const QFileInfo& a, const QFileInfo& b) {
        return a.lastModified() > b.lastModified();
    });
    for (const QFileInfo& info : found) {
        if (std::optional<LoadedState> loaded = readStateFile(info.filePath())) {
            qCInfo(lcState).noquote()
                << QStringLiteral("state read from %1 (written %2)")
                       .arg(shown(info.filePath()), info.lastModified().toString(Qt::ISODate));
            return loaded;
        }
        qCWarning(lcState).noquote() << "cannot read the state file" << shown(info.filePath());
    }
    qCInfo(lcState).noquote() << "no state file at"
                              << shown(m_readPlaces.join(QStringLiteral(", ")));
    return std::nullopt;
}

StateFileStore::SaveResult StateFileStore::save(const SavedState& state)
{
    platform::WriteResult result = writeStateFile(m_savePath, state);
    if (result.status == platform::WriteStatus::Refused && !m_fallback.isEmpty()) {
        const platform::WriteResult moved = writeStateFile(m_fallback, state);
        if (moved.written()) {
            qCWarning(lcState).noquote()
                << QStringLiteral("%1 cannot be written by this user (%2); progress is kept in "
                                  "%3 from now on")
                       .arg(shown(m_savePath), result.reason, shown(m_fallback));
            m_savePath = std::exchange(m_fallback, QString());
            m_lastSaveFailed = false;
            return {true, true};
        }
        result.reason += QStringLiteral("; nor in %1: %2").arg(shown(m_fallback), moved.reason);
    }
    if (!result.written()) {
        // Saves are retried on every tick: the first failure in a row is the news.
        if (m_lastSaveFailed)
            qCDebug(lcState).noquote() << "still cannot save the state to" << shown(m_savePath);
        else
            qCWarning(lcState).noquote() << QStringLiteral("cannot save the state to %1: %2")
                                                .arg(shown(m_savePath), result.reason);
        m_lastSaveFailed = true;
        return {false, false};
    }
    if (m_lastSaveFailed)
        qCInfo(lcState).noquote() << "state saved again to" << shown(m_savePath);
    m_lastSaveFailed = false;
    return {true, false};
}

} // namespace lumora::records
