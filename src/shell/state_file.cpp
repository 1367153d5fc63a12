#include "shell/state_file.h"

#include "platform/files.h"

#include <QDir>
#include <QStandardPaths>

namespace lumora::shell {

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

bool writeStateFile(const QString& path, const SavedState& state)
{
    return platform::writeFileAtomically(path, formatStateFile(state));
}

QString defaultStateFilePath()
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\boot.txt");
#else
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir(folder).filePath(QStringLiteral("boot.txt"));
#endif
}

} // namespace lumora::shell
