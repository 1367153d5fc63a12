#pragma once

#include "site_state.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The site's documents, built as UTF-8; the server encodes them in the page charset.
// `charset` is the name the document declares in its <meta charset> ("GBK" or "UTF-8").
namespace lumora::site::pages {

std::string login(const std::string& charset, const std::string& userName,
                  const std::string& error);
std::string coursePage(const std::string& charset, const std::string& user);
std::string headerFrame(const std::string& charset, const std::string& user);
std::string noticeFrame(const std::string& charset);
std::string newsFrame(const std::string& charset);
// The course frame; `selected` is the session's category (-1 for none yet).
std::string courseFrame(const std::string& charset, int selected);
std::string welcome(const std::string& charset);
std::string info(const std::string& charset, const std::string& heading);
std::string records(const std::string& charset, const std::string& user,
                    const std::map<std::string, std::int64_t>& lessonMs);
std::string lessonList(const std::string& charset, int category);
std::string lessonIntro(const std::string& charset, int category, int lesson);
std::string player(const std::string& charset, int category, int lesson,
                   const std::string& playerId, int heartbeatMs);

std::string closeSelf(const std::string& charset);
std::string blankLink(const std::string& charset);
std::string popupTarget(const std::string& charset, const std::string& via);
std::string alertPage(const std::string& charset);

std::string error(const std::string& charset, int status, const std::string& message);

// The watcher's page under /_site/, always UTF-8.
std::string admin(const std::vector<RecordedEvent>& events,
                  const std::map<std::string, std::map<std::string, std::int64_t>>& studyMs);

std::string styleSheet();
std::string loginButtonSvg();
std::string randomCodeSvg();

} // namespace lumora::site::pages
