#include "run/undo_run.h"

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <map>

#include "disk/disk_overlay.h"
#include "disk/name_text.h"
#include "run/log_writer.h"
#include "run/run_reconciliation.h"
#include "storage/connection.h"
#include "storage/database_access.h"
#include "storage/run_history.h"
#include "storage/run_lock.h"
#include "storage/storage_error.h"
#include "text/date_time_text.h"

using namespace Qt::StringLiterals;

namespace {

struct stat asStat(const FileIdentity& identity) {
    struct stat info {};
    info.st_dev = static_cast<dev_t>(identity.device);
    info.st_ino = static_cast<ino_t>(identity.inode);
    info.st_size = identity.size;
    info.st_mtim.tv_sec = identity.mtime;
    return info;
}

// Still exactly the file the run left: the same file, size and time.
bool exactly(const struct stat& info, const FileIdentity& identity) {
    return S_ISREG(info.st_mode) && info.st_dev == static_cast<dev_t>(identity.device) &&
           info.st_ino == static_cast<ino_t>(identity.inode) && info.st_size == identity.size &&
           info.st_mtim.tv_sec == identity.mtime;
}

// What becomes of one row: taken back, passed over (back already, or nothing to take back), or
// left with the reason.
struct Step {
    enum class Kind { TakeBack, Passed, Refused };
    Kind kind = Kind::Refused;
    QString reason;
    bool goneForGood = false;
};

class Undoer {
public:
    Undoer(FileSystem& fs, const QList<Rule>& rules) : m_fs(fs), m_rules(rules) {}

    // The row's folders and name; false when they cannot be found or opened.
    bool locate(const RunHistory::RunRow& row, QString& why) {
        const qsizetype slash = row.path.lastIndexOf(u'/');
        const std::optional<QByteArray> name = nameBytes(row.path.mid(slash + 1));
        m_source = slash < 0 ? QString() : row.path.left(slash);
        m_name = name.value_or(QByteArray());
        m_destination.clear();
        for (const Rule& rule : m_rules) {
            if (rule.source == m_source && rule.process == row.process) {
                m_destination = rule.destination;
            }
        }
        if (slash < 0 || !name || (row.process != kDeleteProcess && m_destination.isEmpty())) {
            why = u"実行の記録からフォルダがわかりません"_s;
            return false;
        }
        m_sourceFd = open(m_source);
        m_destinationFd = row.process == kDeleteProcess ? -1 : open(m_destination);
        if (m_sourceFd < 0 || (row.process != kDeleteProcess && m_destinationFd < 0)) {
            why = u"フォルダを開けません"_s;
            return false;
        }
        return true;
    }

    // Looks, changing nothing.
    Step plan(const RunHistory::RunRow& row) {
        Step step;
        if (!locate(row, step.reason)) {
            return step;
        }
        struct stat at {};
        const bool sourceTaken = m_fs.statAt(m_sourceFd, m_name.constData(), at).ok();
        if (row.process == kDeleteProcess) {
            if (!row.trashed) {
                step.reason = u"ごみ箱を使わずに削除されました"_s;
                step.goneForGood = true;
                return step;
            }
            if (sourceTaken) {
                return backAlready(at, row.identity, u"元の場所に別のファイルがあります"_s);
            }
            return take();
        }
        if (row.process == kMoveProcess && sourceTaken) {
            return backAlready(at, row.identity, u"元の場所に別のファイルがあります"_s);
        }
        // A copy whose target already held the same file wrote nothing: nothing to take back.
        const std::optional<FileIdentity> left =
            row.process == kCopyProcess ? row.target : (row.target ? row.target : row.identity);
        if (!left) {
            return {Step::Kind::Passed, {}, false};
        }
        struct stat there {};
        if (!m_fs.statAt(m_destinationFd, m_name.constData(), there).ok()) {
            return row.process == kCopyProcess
                       ? Step{Step::Kind::Passed, {}, false}
                       : Step{Step::Kind::Refused, u"移動先にファイルがありません"_s, false};
        }
        if (!exactly(there, *left)) {
            // The file the run replaced there is back already.
            if (row.trashed && exactly(there, identityOf(*row.trashed))) {
                return {Step::Kind::Passed, {}, false};
            }
            return {Step::Kind::Refused, u"実行の後に変更されています"_s, false};
        }
        return take();
    }

    // Takes the row back as planned; its failure, if any.
    FileResult act(const RunHistory::RunRow& row) {
        const char* name = m_name.constData();
        FileResult result;
        if (row.process == kDeleteProcess) {
            return m_fs.restoreFromTrash({row.trashed->trash, row.trashed->name},
                                         asStat(identityOf(*row.trashed)), m_sourceFd, name);
        }
        // Looked at again just before it is touched: still exactly what the run left.
        struct stat there {};
        const FileIdentity& left = row.target ? *row.target : *row.identity;
        if (!m_fs.statAt(m_destinationFd, name, there).ok() || !exactly(there, left)) {
            return {ESTALE, u"実行の後に変更されています"_s};
        }
        if (row.process == kMoveProcess) {
            result = m_fs.moveFile(m_destinationFd, name, there, m_sourceFd, false);
            if (result.error == EXDEV) {
                struct stat taken {};
                result = m_fs.statAt(m_sourceFd, name, taken).ok()
                             ? FileResult::fromErrno(EEXIST)
                             : m_fs.moveAcross(m_destinationFd, name, there, m_sourceFd);
            }
        } else {
            result = m_fs.removeFile(m_destinationFd, name);
        }
        // The file the copy or move replaced comes back in its place.
        if (result.ok() && row.trashed) {
            const FileResult restored =
                m_fs.restoreFromTrash({row.trashed->trash, row.trashed->name},
                                      asStat(identityOf(*row.trashed)), m_destinationFd, name);
            if (!restored.ok()) {
                return {restored.error, u"上書きされたファイルをごみ箱から戻せません（"_s +
                                            restored.reason + u"）"_s};
            }
        }
        return result;
    }

    const QString& source() const { return m_source; }
    const QString& destination() const { return m_destination; }

private:
    static FileIdentity identityOf(const TrashRecord& record) {
        return {record.device, record.inode, record.size, record.mtime};
    }
    static Step take() { return {Step::Kind::TakeBack, {}, false}; }
    // The source name is taken: by the file itself, back already, or by another.
    static Step backAlready(const struct stat& at, const std::optional<FileIdentity>& identity,
                            const QString& otherwise) {
        if (identity && at.st_dev == static_cast<dev_t>(identity->device) &&
            at.st_ino == static_cast<ino_t>(identity->inode)) {
            return {Step::Kind::Passed, {}, false};
        }
        return {Step::Kind::Refused, otherwise, false};
    }

    int open(const QString& path) {
        auto found = m_open.find(path);
        if (found == m_open.end()) {
            OpenedDirectory opened = m_fs.openDirectory(QFile::encodeName(path), false);
            found = m_open.emplace(path, std::move(opened.fd)).first;
        }
        return found->second.valid() ? found->second.get() : -1;
    }

    FileSystem& m_fs;
    const QList<Rule>& m_rules;
    std::map<QString, UniqueFd> m_open;
    QString m_source;
    QString m_destination;
    QByteArray m_name;
    int m_sourceFd = -1;
    int m_destinationFd = -1;
};

}  // namespace

QString undoFailureText(const FileFailure& failure) {
    return failure.path + u" を元に戻せません（"_s + failure.reason + u"）"_s;
}

UndoRun::UndoRun(const ModuleValues& values, FileSystem& fs, RunObserver* observer, RunMode mode)
    : m_values(mode == RunMode::Dry ? readOnlyValues(values) : values),
      m_fs(fs),
      m_observer(observer),
      m_mode(mode) {}

UndoOutcome UndoRun::undo(qint64 runId, const QDateTime& at) {
    UndoOutcome outcome;
    try {
        const bool real = m_mode == RunMode::Real;
        if (const std::optional<QString> problem =
                refusedDatabase(m_values, real ? DatabaseUse::Write : DatabaseUse::Read)) {
            outcome.storageError = *problem;
            return outcome;
        }
        std::optional<RunLock> lock;
        if (real) {
            lock.emplace(m_values.db_path);
            if (!lock->untrusted().isEmpty() || lock->error() != 0) {
                outcome.storageError = !lock->untrusted().isEmpty()
                                           ? lock->untrusted()
                                           : unwritableMessage(m_values.db_path, lock->error());
                return outcome;
            }
            if (!lock->held()) {
                outcome.busy = true;
                return outcome;
            }
        }
        QList<Rule> rules;
        QList<RunHistory::RunRow> rows;
        qint64 undoId = 0;
        const QString runText = dateTimeText(at);
        {
            Connection connection(m_values);
            if (real) {
                RunHistory::ensureTable(connection);
            }
            const std::optional<QString> recorded = RunHistory::rulesOf(connection, runId);
            if (!recorded) {
                outcome.missing = true;
                return outcome;
            }
            rules = parseRules(*recorded);
            rows = RunHistory::rowsOf(connection, m_values.tbl_log, runId);
            if (real) {
                undoId = RunHistory::begin(
                    connection, m_values.tbl_log,
                    {QCoreApplication::applicationName(), QDateTime::currentDateTimeUtc(),
                     std::nullopt, runText, u"[]"_s, runId});
            }
        }
        DiskOverlay overlay(m_fs);
        FileSystem& fs = real ? static_cast<FileSystem&>(m_fs) : overlay;
        Undoer undoer(fs, rules);
        // Each file's row is committed before the file is touched; what could not be taken
        // back is logged as failed from the start.
        QList<Step> steps;
        QList<LogRow> logRows;
        for (const RunHistory::RunRow& row : rows) {
            const Step step = undoer.plan(row);
            steps.append(step);
            if (step.kind != Step::Kind::Passed) {
                const QString process = row.process + u"取消"_s +
                                        (step.kind == Step::Kind::Refused ? u"失敗"_s : QString());
                logRows.append(
                    {row.path, row.stamp, process, runText, row.identity.value_or(FileIdentity{})});
            }
        }
        std::unique_ptr<RunLog> log;
        if (real) {
            log = std::make_unique<LogWriter>(m_values, undoId);
        } else {
            log = std::make_unique<NoLog>();
        }
        log->submit(logRows);
        const QList<qint64> rowids = log->waitCommitted();
        QList<LogCorrection> corrections;
        qsizetype logged = 0;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const RunHistory::RunRow& row = rows[i];
            const Step& step = steps[i];
            if (step.kind == Step::Kind::Passed) {
                continue;
            }
            const qint64 rowid = rowids[logged++];
            FileResult result{EPERM, step.reason};
            QString why;
            if (step.kind == Step::Kind::TakeBack && undoer.locate(row, why)) {
                result = undoer.act(row);
            }
            const Rule rule{{}, undoer.source(),        undoer.destination(), {},
                            {}, row.process + u"取消"_s};
            FileReport report{.rule = rule,
                              .path = row.path,
                              .target = {},
                              .stamp = row.stamp,
                              .mtime = row.identity ? row.identity->mtime : 0,
                              .size = row.identity ? row.identity->size : 0,
                              .status = result.ok() ? FileStatus::Done : FileStatus::Failed,
                              .reason = result.reason,
                              .placed = {}};
            if (result.ok()) {
                ++outcome.doneFiles;
            } else {
                outcome.failures.append({{}, rule.process, row.path, result.reason});
                outcome.goneForGood += step.goneForGood ? 1 : 0;
                if (step.kind == Step::Kind::TakeBack) {
                    corrections.append({rowid, row.path, rule.process + u"失敗"_s, {}});
                }
            }
            if (m_observer != nullptr) {
                m_observer->fileHandled(report);
            }
        }
        if (!corrections.isEmpty()) {
            log->submit({}, corrections);
            log->waitCommitted();
        }
        if (real) {
            Connection connection(m_values);
            QList<std::pair<QString, QString>> failures;
            for (const FileFailure& failure : outcome.failures) {
                failures.append({failure.path, failure.reason});
            }
            RunHistory::finish(connection, undoId,
                               {outcome.doneFiles + outcome.failures.size(),
                                outcome.failures.size(), 0, QString(), true, failures});
        }
    } catch (const StorageError& error) {
        outcome.storageError = error.message();
    } catch (const std::exception& error) {  // the log writer's thread could not start
        outcome.storageError = StorageError(QString::fromLocal8Bit(error.what())).message();
    }
    return outcome;
}
