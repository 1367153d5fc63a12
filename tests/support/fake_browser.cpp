#include "fake_browser.h"

#include <algorithm>
#include <map>

namespace lumora::testing {

using namespace platform;

namespace {

// Whether `e`, in a document at `base`, passes every test.
bool holdsAll(const FakeElement& e, const std::vector<platform::ElementTest>& tests,
              const QUrl& base)
{
    static const std::map<Field, QString FakeElement::*> members = {
        {Field::Name, &FakeElement::name},       {Field::Type, &FakeElement::type},
        {Field::Value, &FakeElement::value},     {Field::InnerText, &FakeElement::innerText},
        {Field::OnClick, &FakeElement::onclick}, {Field::Href, &FakeElement::href}};
    return std::all_of(tests.begin(), tests.end(), [&](const platform::ElementTest& test) {
        QString text = test.field == Field::TagName ? e.tag.toUpper() : e.*members.at(test.field);
        if (test.field == Field::Href && !text.isEmpty() && (e.tag == "a" || e.tag == "area"))
            text = base.resolved(QUrl(text)).toString(QUrl::FullyEncoded);
        if (test.compare == Compare::Contains)
            return !text.isEmpty() && text.contains(test.text);
        return test.compare == Compare::Exact ? text == test.text
                                              : text.toLower() == test.text.toLower();
    });
}

// The text of `e` as a control's, as js/media.js reads it; empty when `e` is no control.
QString controlText(const FakeElement& e)
{
    const bool input = e.tag == "input";
    const QString type = e.type.toLower();
    const bool pressable = e.tag == "button" || e.tag == "a" || !e.onclick.isEmpty() ||
                           (input && (type == "button" || type == "submit"));
    const QString text = (input ? e.value : e.innerText).simplified();
    return pressable && !e.hidden && text.toUcs4().size() <= PageControl::kMaxText ? text
                                                                                   : QString();
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
    for (auto& [ticket, answer] : m_fetches) {
        if (answer.status != FetchAnswer::Status::Pending)
            continue;
        const std::optional<FetchAnswer> own =
            answerFetch ? answerFetch(fetchedUrls.at(ticket - 1)) : std::nullopt;
        answer = own ? *own : required(fetchReply, "the answer to a fetch");
    }
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

QList<std::shared_ptr<FakeDocument>> FakeBrowser::documents()
{
    QList<std::shared_ptr<FakeDocument>> found = {*m_document};
    for (qsizetype i = 0; i < found.size(); ++i) // its frames go right after each
        if (found.at(i))
            found = found.mid(0, i + 1) + found.at(i)->frames() + found.mid(i + 1);
    found.removeAll(nullptr);
    return found;
}

std::shared_ptr<FakeDocument> FakeBrowser::withLessonVideo()
{
    const QList<std::shared_ptr<FakeDocument>> all = documents();
    for (const bool audio : {false, true}) {
        for (const std::shared_ptr<FakeDocument>& doc : all) {
            if ((doc->video.present && doc->video.audio == audio) ||
                (!audio && !doc->mediaErrors.isEmpty()))
                return doc;
        }
    }
    return nullptr;
}

MediaReport FakeBrowser::mediaErrors()
{
    const WalkResult reached = resolve({});
    if (!reached.ok())
        return {reached.status, reached.error, {}, {}, {}};
    MediaReport report;
    bool documentShown = false;
    for (const std::shared_ptr<FakeDocument>& doc : documents()) {
        if (report.firstLine.isEmpty())
            report.firstLine = doc->firstLine.left(40);
        report.errorCodes += doc->mediaErrors;
        documentShown = documentShown || doc->documentMedium;
        for (const std::shared_ptr<FakeElement>& e : doc->elements().withTag({})) {
            const QString text = controlText(*e);
            if (!text.isEmpty() && report.controls.size() < MediaReport::kMaxControls)
                report.controls.append({text, e->context});
        }
    }
    if (const std::shared_ptr<FakeDocument> doc = withLessonVideo()) {
        report.video = doc->video;
        if (!doc->video.present)
            report.video = {true, 0, 0, false, false, 0, doc->mediaErrors.first(), false};
        if (report.video.audio && report.video.errorCode != 0)
            report.errorCodes.append(report.video.errorCode);
    }
    report.documentMedium = documentShown && !report.video.present;
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

QString FakeBrowser::clickControl(const QStringList& texts)
{
    if (!resolve({}).ok())
        return {};
    for (const QString& text : texts) {
        for (const std::shared_ptr<FakeDocument>& doc : documents()) {
            const QList<std::shared_ptr<FakeElement>> all = doc->elements().withTag({});
            for (qsizetype i = 0; i < all.size(); ++i) {
                if (text.isEmpty() || controlText(*all.at(i)) != text)
                    continue;
                clickLog << (all.at(i)->id.isEmpty() ? all.at(i)->tag + '#' + QString::number(i)
                                                     : all.at(i)->id);
                if (const auto reaction = all.at(i)->onClick)
                    reaction(*doc);
                return text;
            }
        }
    }
    return {};
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
        if (!holdsAll(*element, request.filter, doc->url))
            continue;
        for (const platform::WalkRule& rule : request.rules) {
            if (!holdsAll(*element, rule.when, doc->url))
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
