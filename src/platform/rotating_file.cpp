#include "platform/rotating_file.h"

#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace lumora::platform {

namespace {

bool endsWithLineBreak(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return true; // a missing or empty file has no unfinished line
    file.seek(file.size() - 1);
    return file.read(1) == "\n";
}

} // namespace

RotatingFile::RotatingFile(QString path, qint64 rotateBytes)
    : m_path(std::move(path)), m_rotateBytes(rotateBytes)
{
}

QString RotatingFile::previousPathOf(const QString& path)
{
    if (path.isEmpty())
        return {};
    const QFileInfo file(path);
    return QDir(file.path())
        .filePath(file.completeBaseName() + QStringLiteral(".1.") + file.suffix());
}

RotatingFile::NewFailures RotatingFile::append(const QByteArray& line)
{
    NewFailures news;
    const bool written = write(line, news.rotate);
    news.write = !written && !m_writeFailing;
    m_writeFailing = !written;
    return news;
}

bool RotatingFile::write(const QByteArray& line, bool& rotateNews)
{
    if (m_path.isEmpty() || !QDir().mkpath(QFileInfo(m_path).absolutePath()))
        return false;
    QByteArray bytes = line;
    if (!m_tailChecked && !endsWithLineBreak(m_path))
        bytes.prepend('\n');
    const qint64 size = QFileInfo(m_path).size();
    if (size > 0 && size + bytes.size() > m_rotateBytes) {
        // When the replace fails, the lines go on into this file rather than being lost.
        const bool rotated = replaceFile(m_path, previousPath());
        rotateNews = !rotated && !m_rotateFailing;
        m_rotateFailing = !rotated;
        if (rotated)
            bytes = line; // a new file has nothing to finish
    }
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    if (file.size() == 0)
        bytes.prepend("\xEF\xBB\xBF");
    m_tailChecked = file.write(bytes) == bytes.size();
    return m_tailChecked;
}

} // namespace lumora::platform
