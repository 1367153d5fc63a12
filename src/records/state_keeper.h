#pragma once

// The state kept between runs: the site user name and password and the four studied-minutes
// records, read once at start and rewritten whole on every save.

#include "platform/clock.h"
#include "platform/event_gate.h"
#include "records/minute_records.h"
#include "records/state_file.h"

#include <QObject>
#include <QString>
#include <memory>

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
    ~StateKeeper() override;

    // The credentials as the learner typed them; what the next save writes.
    const Credentials& credentials() const { return m_credentials; }
    void setCredentials(Credentials credentials) { m_credentials = std::move(credentials); }

    // Reads the state file into the credentials and the records. A missing file changes
    // nothing; a short one gives what it has. True only for a whole file. A file that another
    // program holds for now holds back every save until it has been read (savesHeld()).
    bool restore();

    // While saves are held back, reads the file again on `timer`'s ticks, through `gate`.
    void retryReadsWith(std::unique_ptr<platform::Timer> timer, platform::EventGate& gate);
    inline static constexpr int kRetryReadMs = 5000;
    // Reads the held file again; once read, what was credited or typed meanwhile is added to it
    // and saved.
    void retryRead();

    // Rewrites the state file from the credentials and the records. A failure is reported,
    // never thrown: saves are retried by whoever saves next. While saves are held back it
    // writes nothing (the file is read again first) and the save happens once it is read.
    void save();
    bool lastSaveFailed() const { return m_lastSaveFailed; }
    // Why the last save failed, in the learner's words ("磁盘已满" ...); empty after a good one.
    const QString& saveFailure() const { return m_saveFailure; }
    // True while the state file is there but has not been read: nothing is written meanwhile.
    bool savesHeld() const { return m_store.held(); }
    const QString& savePath() const { return m_store.savePath(); }

signals:
    // The first failed save after a good one (or the first of all): where, and why in the
    // learner's words.
    void saveFailed(const QString& path, const QString& reason);
    // Whether the last save failed; after every save.
    void saveFailureChanged(bool failed);
    // When saves start or stop being held back.
    void savesHeldChanged(bool held);
    // The held file was read at last: the credentials and records now hold what it kept.
    void restored();
    // Something the learner should read in the status line.
    void statusMessage(const QString& text);

private:
    void adopt(const LoadedState& loaded);

    StateFileStore m_store;
    MinuteRecords& m_records;
    Credentials m_credentials;
    std::unique_ptr<platform::Timer> m_retry;
    bool m_lastSaveFailed = false;
    QString m_saveFailure;
    bool m_saveFailureShown = false;
    bool m_saveWanted = false; // a save was asked for while saves were held back
};

} // namespace lumora::records
