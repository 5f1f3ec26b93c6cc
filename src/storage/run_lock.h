#pragma once

#include <QString>

// One run per database at a time, across processes: an exclusive flock(2) on "<db>.lock",
// held while this object lives. The kernel drops it when the process dies, so a killed run
// never blocks the next one. The file is a regular file for the user alone, opened for writing
// and without waiting, so neither a reader of the database nor something planted in the lock's
// place can hold up a run.
class RunLock {
public:
    explicit RunLock(const QString& databasePath);
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    bool held() const { return m_held; }
    // errno when the lock file could not be opened; 0 when it was (held or taken by another).
    int error() const { return m_error; }
    // Why the lock file cannot be trusted (another user's, or not a file); empty when it can.
    const QString& untrusted() const { return m_untrusted; }

private:
    int m_fd = -1;
    bool m_held = false;
    int m_error = 0;
    QString m_untrusted;
};
