#include "page/page_access.h"

namespace lumora::page {

namespace {

[[noreturn]] void raise(const platform::WalkResult& result)
{
    throw NotThere(result.error.isEmpty() ? std::string("page element not there")
                                          : result.error.toStdString());
}

} // namespace

bool guarded(const std::function<void()>& body)
{
    try {
        body();
        return true;
    } catch (const NotThere&) {
        return false;
    }
}

bool PageAccess::complete() const
{
    return m_browser.readyState() == platform::ReadyState::Complete;
}

void PageAccess::refreshUnlessComplete()
{
    if (!complete())
        m_browser.refresh();
}

void PageAccess::requireDocument(const FramePath& frames)
{
    const platform::WalkResult result = m_browser.resolve(frames);
    if (!result.ok())
        raise(result);
}

platform::WalkResult PageAccess::walk(const platform::WalkRequest& request)
{
    platform::WalkResult result = m_browser.walk(request);
    if (!result.ok())
        raise(result);
    return result;
}

void PageAccess::forEachMatch(const FramePath& frames, const QString& tag, const ElementTest& test,
                              const std::function<void(int)>& found)
{
    platform::WalkRequest request;
    request.frames = frames;
    request.tag = tag;
    request.rules = {{{test}, platform::Action::Collect, {}}};
    const platform::WalkResult result = m_browser.walk(request);
    for (const int position : result.positions)
        found(position);
    if (!result.ok())
        raise(result);
}

void PageAccess::forEachText(const FramePath& frames, const QString& tag, const ElementTest& test,
                             const std::function<void(int, const QString&)>& found)
{
    platform::WalkRequest request;
    request.frames = frames;
    request.tag = tag;
    request.rules = {{{test}, platform::Action::ReadText, {}}};
    const platform::WalkResult result = m_browser.walk(request);
    for (qsizetype i = 0; i < result.positions.size() && i < result.texts.size(); ++i)
        found(result.positions.at(i), result.texts.at(i));
    if (!result.ok())
        raise(result);
}

void PageAccess::clickAt(const FramePath& frames, const QString& tag, int position)
{
    if (position < 0)
        throw NotThere("negative element position");
    platform::WalkRequest request;
    request.frames = frames;
    request.tag = tag;
    request.onlyIndex = position;
    request.rules = {{{}, platform::Action::Click, {}}};
    walk(request);
}

bool PageAccess::contains(const FramePath& frames, const QString& tag, const ElementTest& test)
{
    platform::WalkRequest request;
    request.frames = frames;
    request.tag = tag;
    request.rules = {{{test}, platform::Action::Collect, {}}};
    return !walk(request).positions.isEmpty();
}

int PageAccess::clickEachMatch(const FramePath& frames, const QString& tag, const ElementTest& test)
{
    platform::WalkRequest request;
    request.frames = frames;
    request.tag = tag;
    request.rules = {{{test}, platform::Action::Click, {}}};
    return walk(request).clicks;
}

} // namespace lumora::page
