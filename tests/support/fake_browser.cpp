#include "fake_browser.h"

#include <algorithm>
#include <map>

namespace lumora::testing {

using namespace platform;

std::shared_ptr<FakeDocument> framedPage(std::shared_ptr<FakeDocument> course, int count)
{
    auto top = std::make_shared<FakeDocument>();
    for (int i = 0; i < count; ++i)
        top->frames().append(i == 3 ? course : std::make_shared<FakeDocument>());
    return top;
}

std::shared_ptr<FakeDocument> FakeBrowser::documentAt(const platform::FramePath& frames,
                                                      QString& error) const
{
    std::shared_ptr<FakeDocument> doc = hasDocument() ? *m_document : nullptr;
    if (!doc)
        error = QStringLiteral("no document");
    for (qsizetype depth = 0; doc && depth < frames.size(); ++depth) {
        const int index = frames.at(depth);
        if (index < 0 || index >= doc->frames().size()) {
            error = QStringLiteral("frame %1: no such frame").arg(index);
            return nullptr;
        }
        doc = doc->frames().at(index);
        if (!doc)
            error = QStringLiteral("frame %1: no document").arg(index);
    }
    return doc;
}

namespace {

QString read(const FakeElement& e, Field field)
{
    static const std::map<Field, QString FakeElement::*> members = {
        {Field::Name, &FakeElement::name},
        {Field::Type, &FakeElement::type},
        {Field::Value, &FakeElement::value},
        {Field::InnerText, &FakeElement::innerText},
        {Field::OnClick, &FakeElement::onclick}};
    return field == Field::TagName ? e.tag.toUpper() : e.*members.at(field);
}

bool holdsAll(const FakeElement& e, const std::vector<platform::ElementTest>& tests)
{
    return std::all_of(tests.begin(), tests.end(), [&e](const platform::ElementTest& test) {
        const QString text = read(e, test.field);
        switch (test.compare) {
        case Compare::Exact:
            return text == test.text;
        case Compare::LowerCase:
            return text.toLower() == test.text.toLower();
        case Compare::Contains:
            return !text.isEmpty() && text.contains(test.text);
        }
        return false;
    });
}

// Where the document's `tag` elements (all for an empty tag) are, in document order.
QList<qsizetype> collection(const FakeDocument& doc, const QString& tag)
{
    QList<qsizetype> indexes;
    for (qsizetype i = 0; i < doc.elements().size(); ++i) {
        if (tag.isEmpty() || doc.elements()[i].tag.compare(tag, Qt::CaseInsensitive) == 0)
            indexes.append(i);
    }
    return indexes;
}

QString clickName(const FakeElement& e, int position, const platform::FramePath& frames)
{
    if (!e.id.isEmpty())
        return e.id;
    QStringList path;
    for (const int f : frames)
        path.append(QString::number(f));
    return QStringLiteral("%1#%2@[%3]").arg(e.tag).arg(position).arg(path.join(QLatin1Char(',')));
}

} // namespace

WalkResult FakeBrowser::resolve(const platform::FramePath& frames)
{
    ++walkCount;
    if (duringWalk)
        duringWalk();
    WalkResult result;
    if (!documentAt(frames, result.error))
        result.status = PageStatus::Missing;
    return result;
}

// As js/walk.js: the length is read once; each step fetches its element from the live
// collection once and holds it through every rule, whatever a click does to the document.
WalkResult FakeBrowser::walk(const platform::WalkRequest& request)
{
    ++walkCount;
    if (duringWalk)
        duringWalk();
    WalkResult result;
    const auto fail = [&result](const QString& why) {
        result.status = PageStatus::Missing;
        result.error = why;
        return result;
    };
    const std::shared_ptr<FakeDocument> doc = documentAt(request.frames, result.error);
    if (!doc)
        return fail(result.error);

    result.length = static_cast<int>(collection(*doc, request.tag).size());
    const int first = std::max(request.onlyIndex, 0);
    const int end = request.onlyIndex >= 0 ? first + 1 : result.length;
    for (int i = first; i < end; ++i) {
        const QList<qsizetype> live = collection(*doc, request.tag);
        if (i >= live.size())
            return fail(QStringLiteral("no element at %1").arg(i));
        const std::shared_ptr<FakeElement> element = doc->elements().hold(live.at(i));
        if (!holdsAll(*element, request.filter))
            continue;
        for (const platform::WalkRule& rule : request.rules) {
            if (!holdsAll(*element, rule.when))
                continue;
            if (rule.action == Action::Collect) {
                result.positions.append(i);
            } else if (rule.action == Action::SetValue) {
                element->value = rule.value;
            } else {
                clickLog.append(clickName(*element, i, request.frames));
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
