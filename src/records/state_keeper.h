#pragma once

// The state kept between runs: the site user name and password and the four studied-minutes
// records, read once at start and rewritten whole on every save.

#include "records/minute_records.h"
#include "records/state_file.h"

#include <QObject>
#include <QString>

namespace lumora::records {

struct Credentials
{
    QString userName;
    QString password;
};

class StateKeeper final : public QObject
{
    Q_OBJECT
public:
    StateKeeper(StateFileStore store, MinuteRecords& records);

    // The credentials as the learner typed them; what the next save writes.
    Credentials& credentials() { return m_credentials; }
    const Credentials& credentials() const { return m_credentials; }

    // Reads the state file into the credentials and the records. A missing file changes
    // nothing; a short one gives what it has. True only for a whole file.
    bool restore();

    // Rewrites the state file from the credentials and the records. A failure is reported,
    // never thrown: saves are retried by whoever saves next.
    void save();
    bool lastSaveFailed() const { return m_lastSaveFailed; }
    const QString& savePath() const { return m_store.savePath(); }

signals:
    // The first failed save after a good one (or the first of all).
    void saveFailed(const QString& path);
    // Whether the last save failed; after every save.
    void saveFailureChanged(bool failed);
    // Something the learner should read in the status line.
    void statusMessage(const QString& text);

private:
    StateFileStore m_store;
    MinuteRecords& m_records;
    Credentials m_credentials;
    bool m_lastSaveFailed = false;
    bool m_saveFailureShown = false;
};

} // namespace lumora::records
