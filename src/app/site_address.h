#pragma once

// The training site's address, set once and kept: in the program's settings (lumora.ini in its
// data folder, apart from the state file), asked of the learner at the first start, changed
// from the menu ("网站地址…"). --site still wins for the run it is given to.

#include "platform/dialogs.h"

#include <QString>
#include <QUrl>
#include <optional>

namespace lumora::app {

class SiteAddressSetting
{
public:
    // Kept in `dataFolder`; with none, nothing is kept.
    explicit SiteAddressSetting(const QString& dataFolder);
    // The saved address; empty when none is saved or the saved one cannot be used.
    QUrl saved() const;
    // Why the settings file could not be written, in the learner's words (logged); empty when
    // it was.
    QString save(const QUrl& site);

private:
    QString m_file;
};

// Asks for the site's address, `current` filled in, until the learner gives one that can be used
// (http or https with a host, as --site takes) or cancels.
std::optional<QUrl> askSiteAddress(platform::Dialogs& dialogs, const QUrl& current);

// The site of this run: `given` (--site) when there is one, else the saved address, else
// `builtIn` (a build for one site's learners carries that site's address), else the learner is
// asked (and the answer saved): the first start of a build with none. Empty when the learner
// cancels.
QUrl siteOfThisRun(const QUrl& given, SiteAddressSetting& setting, const QString& builtIn,
                   platform::Dialogs& dialogs);

// "网站地址…": asks for a new address, the one in use filled in, saves it and says whether it was
// saved; the new address when it differs (the caller uses it at once), else nothing.
std::optional<QUrl> changeSiteAddress(platform::Dialogs& dialogs, SiteAddressSetting& setting,
                                      const QUrl& inUse);

} // namespace lumora::app
