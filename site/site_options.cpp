#include "site_options.h"

#include <array>

namespace lumora::site {

namespace {

template <typename Value, std::size_t N>
using Names = std::array<std::pair<Value, std::string_view>, N>;

constexpr Names<PlayerMedia, 9> kPlayerMediaNames = {{{PlayerMedia::Canvas, "canvas"},
                                                      {PlayerMedia::Unsupported, "unsupported"},
                                                      {PlayerMedia::Broken, "broken"},
                                                      {PlayerMedia::Mp4, "mp4"},
                                                      {PlayerMedia::Missing, "missing"},
                                                      {PlayerMedia::Audio, "audio"},
                                                      {PlayerMedia::ShadowOpen, "shadow-open"},
                                                      {PlayerMedia::ShadowClosed, "shadow-closed"},
                                                      {PlayerMedia::Pdf, "pdf"}}};
constexpr Names<EndedSessionPage, 2> kEndedSessionPageNames = {
    {{EndedSessionPage::LoginForm, "login"}, {EndedSessionPage::TimeoutPage, "timeout"}}};
constexpr Names<RecordTimeForm, 6> kRecordTimeFormNames = {{{RecordTimeForm::MinSec, "min-sec"},
                                                            {RecordTimeForm::Hms, "hms"},
                                                            {RecordTimeForm::MmSs, "mm-ss"},
                                                            {RecordTimeForm::Minutes, "minutes"},
                                                            {RecordTimeForm::Seconds, "seconds"},
                                                            {RecordTimeForm::Xueshi, "xueshi"}}};
constexpr Names<RecordTitles, 2> kRecordTitlesNames = {
    {{RecordTitles::Fullwidth, "fullwidth"}, {RecordTitles::Plain, "plain"}}};
constexpr Names<PlayerStart, 3> kPlayerStartNames = {{{PlayerStart::Autoplay, "autoplay"},
                                                      {PlayerStart::Button, "button"},
                                                      {PlayerStart::Resume, "resume"}}};

// A value's name; the first name for a value not in the table.
template <typename Value, std::size_t N>
std::string_view nameOf(const Names<Value, N>& names, Value value)
{
    for (const auto& [known, name] : names) {
        if (known == value) {
            return name;
        }
    }
    return names.front().second;
}

template <typename Value, std::size_t N>
std::optional<Value> valueOf(const Names<Value, N>& names, std::string_view name)
{
    for (const auto& [value, known] : names) {
        if (known == name) {
            return value;
        }
    }
    return std::nullopt;
}

} // namespace

std::string_view playerMediaName(PlayerMedia media)
{
    return nameOf(kPlayerMediaNames, media);
}

std::optional<PlayerMedia> playerMediaFromName(std::string_view name)
{
    return valueOf(kPlayerMediaNames, name);
}

std::string_view endedSessionPageName(EndedSessionPage page)
{
    return nameOf(kEndedSessionPageNames, page);
}

std::optional<EndedSessionPage> endedSessionPageFromName(std::string_view name)
{
    return valueOf(kEndedSessionPageNames, name);
}

std::string_view recordTimeFormName(RecordTimeForm form)
{
    return nameOf(kRecordTimeFormNames, form);
}

std::optional<RecordTimeForm> recordTimeFormFromName(std::string_view name)
{
    return valueOf(kRecordTimeFormNames, name);
}

std::string_view recordTitlesName(RecordTitles titles)
{
    return nameOf(kRecordTitlesNames, titles);
}

std::optional<RecordTitles> recordTitlesFromName(std::string_view name)
{
    return valueOf(kRecordTitlesNames, name);
}

std::string_view playerStartName(PlayerStart start)
{
    return nameOf(kPlayerStartNames, start);
}

std::optional<PlayerStart> playerStartFromName(std::string_view name)
{
    return valueOf(kPlayerStartNames, name);
}

} // namespace lumora::site
