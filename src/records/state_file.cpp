#include "records/state_file.h"

#include "platform/logging.h"

#include <QDir>
#include <algorithm>
#include <iterator>
#include <utility>

namespace lumora::records {

namespace {

constexpr QLatin1Char kQuote('"');
// Marks a file written in UTF-8 because the system's code page could not hold all of it.
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

// Files written by earlier versions may hold a value wrapped in quotes: the text up to the
// closing quote is the value, anything after it is dropped.
QString lineValue(const QString& line)
{
    if (!line.startsWith(kQuote))
        return line;
    QString value;
    for (qsizetype i = 1; i < line.size(); ++i) {
        if (line.at(i) != kQuote)
            value += line.at(i);
        else if (i + 1 < line.size() && line.at(i + 1) == kQuote)
            value += line.at(i++);
        else
            break;
    }
    return value;
}

// The line that lineValue reads back as `value`. A value that starts with a byte-order mark is
// quoted too: first in the file, its mark would be read as the file's own and dropped.
QString lineFor(const QString& value)
{
    if (!value.startsWith(kQuote) && !value.startsWith(QChar(0xFEFF)))
        return value;
    QString doubled = value;
    doubled.replace(kQuote, QStringLiteral("\"\""));
    return kQuote + doubled + kQuote;
}

} // namespace

LoadedState parseStateFile(const QByteArray& bytes)
{
    const bool utf8 = bytes.startsWith(kUtf8Mark);
    QList<QByteArray> lines = bytes.mid(utf8 ? qsizetype(sizeof kUtf8Mark) - 1 : 0).split('\n');
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
        *targets[i] =
            lineValue(utf8 ? QString::fromUtf8(line) : platform::fromSystemCodePage(line));
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
    const QString lines[kStateFileLines] = {
        lineFor(state.userName),          lineFor(state.password),
        lineFor(state.studiedRecords[0]), lineFor(state.studiedRecords[1]),
        lineFor(state.studiedRecords[2]), lineFor(state.studiedRecords[3]),
    };
    // A password the code page cannot hold would come back as another password; a user name
    // that starts with the mark needs the mark before it.
    const bool utf8 =
        !std::all_of(std::begin(lines), std::end(lines), platform::systemCodePageHolds) ||
        lines[0].startsWith(QChar(0xFEFF));
    QByteArray bytes = utf8 ? QByteArray(kUtf8Mark) : QByteArray();
    for (const QString& line : lines) {
        bytes += utf8 ? line.toUtf8() : platform::toSystemCodePage(line);
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

StateFileStore::StateFileStore(QString preferred, QString fallback, QStringList olderCopies,
                               platform::Files& files)
    : m_files(files), m_savePath(std::move(preferred)), m_fallback(std::move(fallback))
{
    m_readPlaces.append(m_savePath);
    if (!m_fallback.isEmpty())
        m_readPlaces.append(m_fallback);
    m_readPlaces.append(olderCopies);
}

StateFileStore::LoadResult StateFileStore::load()
{
    using platform::ReadStatus;
    struct Found
    {
        QString path;
        QDateTime modified;
    };
    QList<Found> found;
    for (const QString& place : std::as_const(m_readPlaces)) {
        const std::optional<platform::Files::Facts> facts = m_files.facts(place);
        if (facts && facts->owner == platform::Ownership::OtherUser)
            leaveAlone(place, QStringLiteral("another user's file"));
        else if (facts)
            found.append({place, facts->modified});
    }
    // Newest first; the stable sort keeps the order of preference on a tie.
    std::stable_sort(found.begin(), found.end(),
                     [](const Found& a, const Found& b) { return a.modified > b.modified; });
    LoadResult result;
    const bool wasHeld = std::exchange(m_held, false);
    for (const Found& file : std::as_const(found)) {
        platform::ReadResult read = m_files.read(file.path);
        if (read.status == ReadStatus::Read) {
            qCInfo(lcState).noquote()
                << QStringLiteral("state read from %1 (written %2)")
                       .arg(shown(file.path), file.modified.toString(Qt::ISODate));
            result = {LoadResult::Status::Read, parseStateFile(read.bytes), file.path, {}};
            break;
        }
        if (read.status == ReadStatus::Denied) {
            leaveAlone(file.path, read.reason);
        } else if (read.status != ReadStatus::Missing) {
            // Read as missing, the next save would write nothing over the learner's progress;
            // an older copy would be as bad.
            m_held = true;
            result = {LoadResult::Status::Held, {}, file.path, read.reason};
            if (wasHeld)
                qCDebug(lcState).noquote() << "still cannot read" << shown(file.path);
            else
                qCWarning(lcState).noquote()
                    << QStringLiteral("cannot read %1 for now (%2); nothing is saved until it is "
                                      "read")
                           .arg(shown(file.path), read.reason);
            break;
        }
    }
    if (result.status == LoadResult::Status::NoFile)
        qCInfo(lcState).noquote() << "no state file at"
                                  << shown(m_readPlaces.join(QStringLiteral(", ")));
    result.savesMoved = m_othersFiles.contains(m_savePath) && moveToFallback();
    return result;
}

void StateFileStore::leaveAlone(const QString& place, const QString& why)
{
    if (m_othersFiles.contains(place))
        return;
    m_othersFiles.append(place);
    qCWarning(lcState).noquote() << QStringLiteral("%1 is left alone: %2").arg(shown(place), why);
}

bool StateFileStore::moveToFallback()
{
    if (m_fallback.isEmpty() || m_othersFiles.contains(m_fallback))
        return false;
    qCWarning(lcState).noquote()
        << QStringLiteral("progress is kept in %1 from now on").arg(shown(m_fallback));
    m_savePath = std::exchange(m_fallback, QString());
    return true;
}

platform::WriteResult StateFileStore::write(const QString& path, const SavedState& state)
{
    // Replacing it would take another user's progress and lock them out of their own file. The
    // reason is told to the learner and kept in the run record, as the other reasons are.
    if (m_othersFiles.contains(path))
        return {platform::WriteStatus::Failed,
                QStringLiteral("文件属于这台电脑的另一个用户，未改动")};
    return m_files.write(path, formatStateFile(state));
}

StateFileStore::SaveResult StateFileStore::save(const SavedState& state)
{
    platform::WriteResult result = write(m_savePath, state);
    if (result.status == platform::WriteStatus::Refused && !m_fallback.isEmpty()) {
        const platform::WriteResult moved = write(m_fallback, state);
        if (moved.written()) {
            qCWarning(lcState).noquote() << QStringLiteral("%1 cannot be written by this user (%2)")
                                                .arg(shown(m_savePath), result.reason);
            moveToFallback();
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
        return {false, false, result.status};
    }
    if (m_lastSaveFailed)
        qCInfo(lcState).noquote() << "state saved again to" << shown(m_savePath);
    m_lastSaveFailed = false;
    return {true, false};
}

} // namespace lumora::records
