#include "records/site_figures.h"

#include "platform/files.h"
#include "platform/logging.h"

#include <QDir>
#include <QStringList>

namespace lumora::records {

namespace {

// The file, one fact a line, fields apart by tabs:
//   record  <the record page's address, or "none">
//   read    <when the record was read last, ISO 8601>
//   lesson  <category> <lesson> <seconds> <when read>
QString recordTag()
{
    return QStringLiteral("record");
}
QString readTag()
{
    return QStringLiteral("read");
}
QString lessonTag()
{
    return QStringLiteral("lesson");
}
QString noneTag()
{
    return QStringLiteral("none");
}

std::optional<int> wholeNumber(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= 0 ? std::optional<int>(value) : std::nullopt;
}

} // namespace

SiteFigures::SiteFigures(QString path) : m_path(std::move(path)) {}

QString SiteFigures::pathIn(const QString& dataFolder)
{
    return dataFolder.isEmpty() ? QString()
                                : QDir(dataFolder).filePath(QStringLiteral("site-record.txt"));
}

std::optional<SiteFigure> SiteFigures::lesson(int category, int lesson) const
{
    const auto found = m_figures.constFind({category, lesson});
    if (found == m_figures.constEnd())
        return std::nullopt;
    return *found;
}

void SiteFigures::set(int category, int lesson, SiteFigure figure)
{
    m_figures.insert({category, lesson}, std::move(figure));
}

void SiteFigures::setPlace(RecordPlace place, const QUrl& address)
{
    m_place = place;
    m_address = place == RecordPlace::Found ? address : QUrl();
}

bool SiteFigures::load()
{
    if (m_path.isEmpty())
        return false;
    const platform::ReadResult read = platform::readFile(m_path);
    if (read.status != platform::ReadStatus::Read)
        return false;
    const QStringList lines = QString::fromUtf8(read.bytes).split(QLatin1Char('\n'));
    int passedOver = 0;
    for (const QString& line : lines) {
        const QStringList fields = line.trimmed().split(QLatin1Char('\t'));
        if (fields.value(0).isEmpty() || fields.value(0).startsWith(QLatin1Char('#')))
            continue;
        if (fields.at(0) == recordTag() && fields.size() == 2) {
            const QUrl address(fields.at(1));
            if (fields.at(1) == noneTag())
                setPlace(RecordPlace::None);
            else if (address.isValid() && !address.isRelative())
                setPlace(RecordPlace::Found, address);
            else
                ++passedOver;
        } else if (fields.at(0) == readTag() && fields.size() == 2) {
            m_lastRead = QDateTime::fromString(fields.at(1), Qt::ISODate);
        } else if (fields.at(0) == lessonTag() && fields.size() == 5) {
            const auto category = wholeNumber(fields.at(1));
            const auto lesson = wholeNumber(fields.at(2));
            const auto seconds = wholeNumber(fields.at(3));
            const QDateTime at = QDateTime::fromString(fields.at(4), Qt::ISODate);
            if (category && lesson && seconds && at.isValid())
                set(*category, *lesson, {*seconds, at});
            else
                ++passedOver;
        } else {
            ++passedOver;
        }
    }
    if (passedOver > 0)
        qCWarning(lcState) << passedOver << "lines of" << m_path << "could not be read";
    return true;
}

bool SiteFigures::save() const
{
    if (m_path.isEmpty())
        return false;
    QString text = QStringLiteral("# Lumora: the training site's own study record as last read\n");
    if (m_place != RecordPlace::Unknown)
        text += recordTag() + QLatin1Char('\t') +
                (m_place == RecordPlace::None ? noneTag() : m_address.toString()) +
                QLatin1Char('\n');
    if (m_lastRead.isValid())
        text +=
            readTag() + QLatin1Char('\t') + m_lastRead.toString(Qt::ISODate) + QLatin1Char('\n');
    for (auto it = m_figures.constBegin(); it != m_figures.constEnd(); ++it)
        text += QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                    .arg(lessonTag())
                    .arg(it.key().first)
                    .arg(it.key().second)
                    .arg(it->seconds)
                    .arg(it->readAt.toString(Qt::ISODate));
    const platform::WriteResult written = platform::writeFileAtomically(m_path, text.toUtf8());
    if (!written.written())
        qCWarning(lcState) << "cannot write the site's figures to" << m_path;
    return written.written();
}

} // namespace lumora::records
