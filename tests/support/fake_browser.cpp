#include "fake_browser.h"

#include <algorithm>
#include <map>

namespace lumora::testing {

using namespace platform;

namespace {

bool holdsAll(const FakeElement& e, const std::vector<platform::ElementTest>& tests)
{
    static const std::map<Field, QString FakeElement::*> members = {
        {Field::Name, &FakeElement::name},
        {Field::Type, &FakeElement::type},
        {Field::Value, &FakeElement::value},
        {Field::InnerText, &FakeElement::innerText},
        {Field::OnClick, &FakeElement::onclick}};
    return std::all_of(tests.begin(), tests.end(), [&e](const platform::ElementTest& test) {
        const QString text =
            test.field == Field::TagName ? e.tag.toUpper() : e.*members.at(test.field);
        if (test.compare == Compare::Contains)
            return !text.isEmpty() && text.contains(test.text);
        return test.compare == Compare::Exact ? text == test.text
                                              : text.toLower() == test.text.toLower();
    });
}

WalkResult missing(WalkResult result, const QString& why)
{
    result.status = PageStatus::Missing;
    result.error = why;
    return result;
}

} // namespace

void FakeBrowser::refresh()
{
    ++refreshCount;
    begin(m_url, pages.value(m_url, {m_document.value_or(nullptr)}));
}

void FakeBrowser::begin(const QUrl& url, FakeLoad load)
{
    setLastLoad({LoadOutcome::Loading, 0, {}, url});
    m_readyState = ReadyState::Loading;
    load.outcome.url = url;
    load.outcome.serial = m_loads;
    m_pendingLoad = std::move(load);
}

void FakeBrowser::finishLoad()
{
    for (auto& [ticket, answer] : m_fetches)
        if (answer.status == FetchAnswer::Status::Pending)
            answer = required(fetchReply, "the answer to a fetch");
    if (!m_pendingLoad)
        return;
    const FakeLoad load = *std::exchange(m_pendingLoad, std::nullopt);
    if (!load.document)
        qFatal("FakeBrowser: the test never set what %s shows", qPrintable(load.outcome.url.url()));
    setDocument(load.document, load.outcome.url);
    m_readyState = ReadyState::Complete;
    m_lastLoad = load.outcome;
    // Its script's alerts come while it is parsed, before the load ends.
    for (const QString& text : load.document->alerts)
        emit alertShown(text);
    emit documentLoaded(load.outcome.url);
}

QString FakeBrowser::pageText(int maxChars)
{
    const std::shared_ptr<FakeDocument> doc = reach({});
    QStringList lines;
    for (qsizetype i = 0; doc && i < doc->elements().size(); ++i)
        if (!doc->elements()[i].innerText.isEmpty())
            lines.append(doc->elements()[i].innerText);
    return lines.join(QLatin1Char('\n')).left(maxChars);
}

// As a round trip does, lets in the events that arrived meanwhile, then finds the document.
std::shared_ptr<FakeDocument> FakeBrowser::reach(const platform::FramePath& frames)
{
    if (duringWalk)
        duringWalk();
    std::shared_ptr<FakeDocument> doc = hasDocument() ? *m_document : nullptr;
    for (const int index : frames)
        doc = doc && index >= 0 && index < doc->frames().size() ? doc->frames().at(index) : nullptr;
    return doc;
}

WalkResult FakeBrowser::resolve(const platform::FramePath& frames)
{
    if (hung)
        return {PageStatus::NoAnswer, QStringLiteral("the page does not answer"), 0, {}, 0, {}};
    return reach(frames) ? WalkResult() : missing({}, QStringLiteral("no such document"));
}

platform::DocumentInfo FakeBrowser::document(const platform::FramePath& frames)
{
    const std::shared_ptr<FakeDocument> doc = hung ? nullptr : reach(frames);
    return doc ? platform::DocumentInfo{doc->url, QString::number(doc->identity), doc->complete}
               : platform::DocumentInfo{};
}

int FakeBrowser::fetch(const QUrl& url)
{
    if (!resolve({}).ok())
        return 0;
    fetchedUrls.append(url);
    m_fetches[++fetches].status = FetchAnswer::Status::Pending;
    return fetches;
}

FetchAnswer FakeBrowser::fetchAnswer(int ticket)
{
    if (hung)
        return {FetchAnswer::Status::Unknown, 0, {}, false, false, {}, QStringLiteral("no answer")};
    const auto found = m_fetches.find(ticket);
    return found == m_fetches.end() ? FetchAnswer() : found->second;
}

std::shared_ptr<FakeDocument> FakeBrowser::withLessonVideo()
{
    QList<std::shared_ptr<FakeDocument>> documents = {*m_document};
    for (qsizetype i = 0; i < documents.size(); ++i) {
        const std::shared_ptr<FakeDocument>& doc = documents.at(i);
        if (doc && (doc->video.present || !doc->mediaErrors.isEmpty()))
            return doc;
        if (doc)
            documents += doc->frames();
    }
    return nullptr;
}

MediaReport FakeBrowser::mediaErrors()
{
    const WalkResult reached = resolve({});
    if (!reached.ok())
        return {reached.status, reached.error, {}, {}, {}};
    MediaReport report;
    QList<std::shared_ptr<FakeDocument>> documents = {*m_document};
    for (qsizetype i = 0; i < documents.size(); ++i) {
        if (!documents.at(i))
            continue;
        if (report.firstLine.isEmpty())
            report.firstLine = documents.at(i)->firstLine.left(40);
        report.errorCodes += documents.at(i)->mediaErrors;
        documents += documents.at(i)->frames();
    }
    if (const std::shared_ptr<FakeDocument> doc = withLessonVideo()) {
        report.video = doc->video;
        if (!doc->video.present)
            report.video = {true, 0, 0, false, false, 0, doc->mediaErrors.first(), false};
    }
    return report;
}

bool FakeBrowser::replayVideo()
{
    ++replays;
    const std::shared_ptr<FakeDocument> doc = resolve({}).ok() ? withLessonVideo() : nullptr;
    if (!doc)
        return false;
    doc->video.currentTime = 0;
    doc->video.ended = doc->video.paused = false;
    return true;
}

// As js/walk.js: the length is read once; each step fetches its element from the live
// collection once and holds it through every rule, whatever a click does to the document.
WalkResult FakeBrowser::walk(const platform::WalkRequest& request)
{
    if (hung)
        return resolve(request.frames);
    const std::shared_ptr<FakeDocument> doc = reach(request.frames);
    if (!doc)
        return missing({}, QStringLiteral("no such document"));
    WalkResult result;
    result.length = static_cast<int>(doc->elements().withTag(request.tag).size());
    const int first = std::max(request.onlyIndex, 0);
    const int end = request.onlyIndex >= 0 ? first + 1 : result.length;
    for (int i = first; i < end; ++i) {
        const QList<std::shared_ptr<FakeElement>> live = doc->elements().withTag(request.tag);
        if (i >= live.size())
            return missing(result, QStringLiteral("no element at %1").arg(i));
        const std::shared_ptr<FakeElement> element = live.at(i);
        if (!holdsAll(*element, request.filter))
            continue;
        for (const platform::WalkRule& rule : request.rules) {
            if (!holdsAll(*element, rule.when))
                continue;
            if (rule.action == Action::Collect) {
                result.positions.append(i);
            } else if (rule.action == Action::ReadText) {
                result.positions.append(i);
                result.texts.append(element->innerText);
            } else if (rule.action == Action::SetValue) {
                element->value = rule.value;
            } else {
                clickLog << (element->id.isEmpty() ? element->tag + '#' + QString::number(i)
                                                   : element->id);
                ++result.clicks;
                // A copy: the reaction may replace the element's own handler.
                if (const auto reaction = element->onClick)
                    reaction(*doc);
            }
        }
    }
    return result;
}

} // namespace lumora::testing

namespace lumora::testing {

// Stand-in until the page's controls come: nothing is pressed.
QString FakeBrowser::clickControl(const QStringList&)
{
    return {};
}

} // namespace lumora::testing
