#pragma once

#include "lumora_config.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace lumora::platform {

// The program's title: the main window's caption, and the caption of every message box that
// has no title of its own. UTF-8 (MSVC compiles with /utf-8), for QString::fromUtf8; the
// version is project()'s, so that the title never falls behind a release. A build against an
// engine without the H.264 codecs says so after it.
inline constexpr const char* kProgramTitle =
    "Lumora自动学习型浏览器v" LUMORA_VERSION LUMORA_TITLE_NOTE;

enum class MessageIcon
{
    None,
    Information
};

// Modal boxes: messages with one OK button, a question with answers of its own, and one line to
// type in. The caller waits until the box is closed.
class Dialogs
{
public:
    virtual ~Dialogs() = default;
    virtual void message(const QString& text, const QString& title, MessageIcon icon) = 0;
    // Asks for one line of text, `text` filled in to start with: what the learner typed, or
    // nothing when the box was cancelled.
    virtual std::optional<QString> askText(const QString& title, const QString& label,
                                           const QString& text) = 0;
    // Asks where to save a file, starting from `suggested` (a path), offering the file types of
    // `filter` ("文本文件 (*.txt)"): the path chosen, or nothing when the box was cancelled.
    virtual std::optional<QString> askSavePath(const QString& title, const QString& suggested,
                                               const QString& filter) = 0;
    // Asks `text` with one button per answer, in order: the index of the one chosen. The last
    // answer is the one Esc or the box's own close gives.
    virtual int choose(const QString& text, const QString& title, const QStringList& answers) = 0;
};

} // namespace lumora::platform
