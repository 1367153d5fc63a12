#include "fake_browser.h"

namespace lumora::testing {

using platform::Action;
using platform::Compare;
using platform::Field;
using platform::PageStatus;
using platform::WalkResult;

FakeElement& FakeDocument::add(FakeElement element)
{
    m_elements.append(std::move(element));
    return m_elements.last();
}

FakeElement& FakeDocument::link(const QString& text, const QString& onclick)
{
    FakeElement e;
    e.tag = QStringLiteral("a");
    e.innerText = text;
    e.onclick = onclick;
    return add(std::move(e));
}

FakeElement& FakeDocument::input(const QString& name, const QString& type, const QString& value)
{
    FakeElement e;
    e.tag = QStringLiteral("input");
    e.name = name;
    e.type = type;
    e.value = value;
    return add(std::move(e));
}

FakeElement& FakeDocument::listItem(const QString& text)
{
    FakeElement e;
    e.tag = QStringLiteral("li");
    e.innerText = text;
    return add(std::move(e));
}

QList<int> FakeDocument::collection(const QString& tag) const
{
    QList<int> indexes;
    for (int i = 0; i < m_elements.size(); ++i) {
        if (tag.isEmpty() || m_elements.at(i).tag.compare(tag, Qt::CaseInsensitive) == 0)
            indexes.append(i);
    }
    return indexes;
}

FakeElement& FakeDocument::byId(const QString& id)
{
    for (FakeElement& e : m_elements) {
        if (e.id == id)
            return e;
    }
    qFatal("FakeDocument: no element with id %s", qPrintable(id));
}

std::shared_ptr<FakeDocument> framedPage(std::shared_ptr<FakeDocument> course, int count)
{
    auto top = std::make_shared<FakeDocument>();
    for (int i = 0; i < count; ++i)
        top->frames().append(i == 3 ? course : std::make_shared<FakeDocument>());
    return top;
}

FakeBrowser::FakeBrowser(QWidget* parent) : m_widget(new QWidget(parent)) {}

FakeBrowser::~FakeBrowser() = default;

void FakeBrowser::setDocument(std::shared_ptr<FakeDocument> document)
{
    m_documentSet = true;
    m_document = std::move(document);
}

void FakeBrowser::setNoDocument()
{
    m_documentSet = true;
    m_document.reset();
}

void FakeBrowser::setReadyState(platform::ReadyState state)
{
    m_readyState = state;
}

std::shared_ptr<FakeDocument> FakeBrowser::document() const
{
    return m_document;
}

platform::BrowserControl* FakeBrowser::requestNewWindow()
{
    return m_newWindow ? m_newWindow() : nullptr;
}

bool FakeBrowser::hasDocument() const
{
    if (!m_documentSet)
        qFatal("FakeBrowser: the test never set a document (setDocument or setNoDocument)");
    return m_document != nullptr;
}

platform::ReadyState FakeBrowser::readyState() const
{
    if (!m_readyState)
        qFatal("FakeBrowser: the test never set the ready state");
    return *m_readyState;
}

platform::LoadInfo FakeBrowser::lastLoad() const
{
    if (!m_lastLoad)
        qFatal("FakeBrowser: the test never set how the last load ended");
    return *m_lastLoad;
}

void FakeBrowser::navigate(const QUrl& url)
{
    navigations.append(url);
}

QUrl FakeBrowser::url() const
{
    return navigations.isEmpty() ? QUrl() : navigations.last();
}

FakeDocument* FakeBrowser::documentAt(const platform::FramePath& frames, QString& error) const
{
    if (!hasDocument()) {
        error = QStringLiteral("no document");
        return nullptr;
    }
    FakeDocument* doc = m_document.get();
    for (const int index : frames) {
        if (index < 0 || index >= doc->frames().size()) {
            error = QStringLiteral("no frame %1").arg(index);
            return nullptr;
        }
        doc = doc->frames().at(index).get();
        if (!doc) {
            error = QStringLiteral("frame %1 has no document").arg(index);
            return nullptr;
        }
    }
    return doc;
}

namespace {

QString read(const FakeElement& e, Field field)
{
    switch (field) {
    case Field::TagName:
        return e.tag.toUpper();
    case Field::Name:
        return e.name;
    case Field::Type:
        return e.type;
    case Field::Value:
        return e.value;
    case Field::InnerText:
        return e.innerText;
    case Field::OnClick:
        return e.onclick;
    }
    return {};
}

bool holds(const FakeElement& e, const platform::ElementTest& test)
{
    const QString text = read(e, test.field);
    switch (test.compare) {
    case Compare::Exact:
        return text == test.text;
    case Compare::LowerCase:
        return text.toLower() == test.text.toLower();
    case Compare::Contains:
        return !text.isEmpty() && text.contains(test.text, Qt::CaseSensitive);
    }
    return false;
}

bool holdsAll(const FakeElement& e, const std::vector<platform::ElementTest>& tests)
{
    for (const auto& test : tests) {
        if (!holds(e, test))
            return false;
    }
    return true;
}

QString framesText(const platform::FramePath& frames)
{
    QStringList parts;
    for (const int f : frames)
        parts.append(QString::number(f));
    return QStringLiteral("[%1]").arg(parts.join(QLatin1Char(',')));
}

} // namespace

WalkResult FakeBrowser::resolve(const platform::FramePath& frames)
{
    ++walkCount;
    if (duringWalk)
        duringWalk();
    WalkResult result;
    QString error;
    if (!documentAt(frames, error)) {
        result.status = PageStatus::Missing;
        result.error = error;
    }
    return result;
}

WalkResult FakeBrowser::walk(const platform::WalkRequest& request)
{
    ++walkCount;
    if (duringWalk)
        duringWalk();
    WalkResult result;
    QString error;
    FakeDocument* doc = documentAt(request.frames, error);
    const auto fail = [&result](const QString& why) {
        result.status = PageStatus::Missing;
        result.error = why;
        return result;
    };
    if (!doc)
        return fail(error);

    // The bound is read once; each item is fetched from the live collection at its own step.
    result.length = static_cast<int>(doc->collection(request.tag).size());
    int first = 0;
    int last = result.length - 1;
    if (request.onlyIndex >= 0) {
        if (request.onlyIndex >= result.length)
            return fail(QStringLiteral("no element at %1").arg(request.onlyIndex));
        first = last = request.onlyIndex;
    }
    for (int i = first; i <= last; ++i) {
        auto fetch = [&]() -> FakeElement* {
            const QList<int> live = doc->collection(request.tag);
            return i < live.size() ? &doc->elements()[live.at(i)] : nullptr;
        };
        FakeElement* element = fetch();
        if (!element)
            return fail(QStringLiteral("no element at %1").arg(i));
        if (!holdsAll(*element, request.filter))
            continue;
        for (const platform::WalkRule& rule : request.rules) {
            element = fetch();
            if (!element)
                return fail(QStringLiteral("no element at %1").arg(i));
            if (!holdsAll(*element, rule.when))
                continue;
            switch (rule.action) {
            case Action::Collect:
                result.positions.append(i);
                break;
            case Action::SetValue:
                element->value = rule.value;
                break;
            case Action::Click: {
                clickLog.append(!element->id.isEmpty() ? element->id
                                                       : QStringLiteral("%1#%2@%3")
                                                             .arg(element->tag)
                                                             .arg(i)
                                                             .arg(framesText(request.frames)));
                ++result.clicks;
                // The reaction may change the document, so it runs on a copy of the handler.
                const auto reaction = element->onClick;
                if (reaction)
                    reaction(*doc);
                break;
            }
            }
        }
    }
    return result;
}

} // namespace lumora::testing
