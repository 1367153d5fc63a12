#include "records/record_reader.h"

#include "records/study_log.h"
#include "records/timetable.h"

#include <QRegularExpression>
#include <algorithm>

namespace lumora::records {

namespace {

// Values no real event has, written into a line's text and then turned into the pattern's
// groups: a line's form is derived from describeRunEvent itself, so that a change of its words
// (or a translation) changes what is read back with it.
constexpr int kLessonMark = 8887000;
constexpr int kMinutesMark = 7776001;
const QLatin1StringView kDetailMark("Zq9DetailMark9qZ");
const QLatin1StringView kStampFormat("yyyy-MM-dd HH:mm:ss");
constexpr qsizetype kStampChars = 19;

struct LineForm
{
    RunEventKind kind;
    QString literal; // the longest fixed text: a line without it is not of this form
    QRegularExpression pattern;
};

// The frequent kinds first: a line is tried against the forms in this order.
constexpr RunEventKind kKinds[] = {
    RunEventKind::MinuteCredited,   RunEventKind::LessonOpened,     RunEventKind::Stalled,
    RunEventKind::PageFailed,       RunEventKind::LessonDone,       RunEventKind::CategoryOpened,
    RunEventKind::RunStarted,       RunEventKind::RunEnded,         RunEventKind::LessonSkipped,
    RunEventKind::CategoryFinished, RunEventKind::SessionRecovered, RunEventKind::VideoFailed,
    RunEventKind::RunPaused,        RunEventKind::SaveFailed,       RunEventKind::Resumed,
    RunEventKind::ProgramQuit,      RunEventKind::RunRestarted,     RunEventKind::SiteStopped,
    RunEventKind::SiteCountsAgain,  RunEventKind::NoSiteRecord,     RunEventKind::LessonLeftShort,
};

QString longestFixedPart(QString text, const QStringList& marks)
{
    for (const QString& mark : marks)
        text.replace(mark, QStringLiteral("\x01"));
    const QStringList parts = text.split(QLatin1Char('\x01'));
    return *std::max_element(parts.begin(), parts.end(), [](const QString& a, const QString& b) {
        return a.size() < b.size();
    });
}

QList<LineForm> buildForms()
{
    QStringList names;
    for (const QString& name : categoryNames())
        names << QRegularExpression::escape(name);
    const QString category = QStringLiteral("(?<category>%1)").arg(names.join(QLatin1Char('|')));
    const QString lessonText = lessonName(kLessonMark);
    // Lessons are shown counted from 1.
    const QString lesson =
        QRegularExpression::escape(lessonText)
            .replace(QString::number(kLessonMark + 1), QStringLiteral("(?<lesson>\\d+)"));
    const QStringList marks = {categoryNames().at(0), lessonText, QString::number(kMinutesMark),
                               QString(kDetailMark)};
    const QStringList groups = {category, lesson, QStringLiteral("(?<minutes>\\d+)"),
                                QStringLiteral("(?<detail>.*)")};

    QList<LineForm> forms;
    QStringList seen;
    for (const RunEventKind kind : kKinds) {
        for (const int categoryIndex : {0, -1}) {
            for (const int lessonIndex : {kLessonMark, -1}) {
                for (const QString& detail : {QString(kDetailMark), QString()}) {
                    const QString text =
                        describeRunEvent({kind, categoryIndex, lessonIndex, kMinutesMark, detail});
                    // escape() leaves letters and digits as they are: the marks stay findable.
                    QString pattern = QRegularExpression::escape(text);
                    for (qsizetype i = 0; i < marks.size(); ++i)
                        pattern.replace(QRegularExpression::escape(marks.at(i)), groups.at(i));
                    if (seen.contains(pattern))
                        continue;
                    seen << pattern;
                    forms.append(
                        {kind, longestFixedPart(text, marks),
                         QRegularExpression(QLatin1Char('^') + pattern + QLatin1Char('$'))});
                }
            }
        }
    }
    // The wording of files written by earlier versions.
    forms.append({RunEventKind::SaveFailed, QStringLiteral("无法保存学习记录："),
                  QRegularExpression(QStringLiteral("^无法保存学习记录：(?<detail>.*)$"))});
    return forms;
}

const QList<LineForm>& forms()
{
    static const QList<LineForm> all = buildForms();
    return all;
}

int capturedNumber(const QRegularExpressionMatch& match, QStringView group, int none)
{
    const QString text = match.captured(group);
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? value : none;
}

} // namespace

std::optional<RecordedEvent> readRecordLine(QStringView line)
{
    if (line.endsWith(QLatin1Char('\n')))
        line.chop(1);
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    if (line.size() < kStampChars + 2 || line.mid(kStampChars, 2) != QLatin1StringView("  "))
        return std::nullopt;
    const QDateTime at = QDateTime::fromString(line.left(kStampChars).toString(), kStampFormat);
    if (!at.isValid())
        return std::nullopt;
    const QString text = line.mid(kStampChars + 2).toString();
    for (const LineForm& form : forms()) {
        if (!text.contains(form.literal))
            continue;
        const QRegularExpressionMatch match = form.pattern.match(text);
        if (!match.hasMatch())
            continue;
        RunEvent event{form.kind, -1, -1, 0, match.captured(u"detail")};
        event.category = static_cast<int>(categoryNames().indexOf(match.captured(u"category")));
        event.lesson = capturedNumber(match, u"lesson", 0) - 1;
        event.minutes = capturedNumber(match, u"minutes", 0);
        return RecordedEvent{at, event};
    }
    return std::nullopt;
}

QList<RecordedEvent> readRecordText(const QString& text)
{
    QList<RecordedEvent> events;
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        if (std::optional<RecordedEvent> read = readRecordLine(line))
            events.append(std::move(*read));
    }
    return events;
}

} // namespace lumora::records
