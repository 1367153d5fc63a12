#pragma once

// "课件没有视频时按页面计时": whether a lesson page without a video earns page time. Off unless
// the learner turns it on (a site whose lessons are documents): a page without a video is far
// more often a message, a quiz or a page the site does not count. Kept in lumora.ini beside
// the site's address.

#include <QString>

namespace lumora::app {

class PageTimeSetting
{
public:
    // Kept in `dataFolder`; with none, nothing is kept and the setting is off.
    explicit PageTimeSetting(const QString& dataFolder);
    bool enabled() const;
    // False when the settings file could not be written (logged).
    bool save(bool enabled);

private:
    QString m_file;
};

} // namespace lumora::app
