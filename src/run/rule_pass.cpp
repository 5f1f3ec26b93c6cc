#include "run/rule_pass.h"

#include <QFile>

#include "disk/name_text.h"
#include "run/file_action.h"
#include "run/old_files.h"
#include "run/run_notice.h"
#include "text/date_time_text.h"

using namespace Qt::StringLiterals;

namespace {

FileReport heldReport(const Rule& rule, const OldFile& file) {
    return {.rule = rule,
            .path = file.path,
            .target = file.target,
            .stamp = file.stamp,
            .mtime = file.listed->mtime,
            .size = file.listed->size,
            .status = FileStatus::Held,
            .reason = u"先の規則で処理に失敗したため、この実行では触れません"_s,
            .placed = {},
            .trashed = {},
            .toTrash = false,
            .replaces = false,
            .listed = file.listed};
}

}  // namespace

RulePass::RulePass(FileSystem& fs, RunLog& log, RunObserver* observer, qsizetype batchSize,
                   bool trashes)
    : m_fs(fs), m_log(log), m_observer(observer), m_batchSize(batchSize), m_trashes(trashes) {}

RulePass::Opened RulePass::open(const Rule& rule, const QString& path, bool mayBePathOnly,
                                UniqueFd& fd, RunOutcome& outcome) {
    OpenedDirectory opened = m_fs.openDirectory(QFile::encodeName(path), mayBePathOnly);
    switch (opened.status) {
        case OpenedDirectory::Status::Open:
            fd = std::move(opened.fd);
            return Opened::Go;
        case OpenedDirectory::Status::Failed:
            outcome.failures.append(
                {rule.order, rule.process, path, FileResult::fromErrno(opened.error).reason});
            return Opened::SkipRule;
        case OpenedDirectory::Status::Unsafe:
            outcome.unsafeDirectory = true;
            break;
        case OpenedDirectory::Status::Missing:
            break;
    }
    outcome.result = missingDirectoryText(rule.order, path);
    return Opened::StopRun;
}

bool RulePass::apply(const Rule& rule, const QDateTime& runAt, RunOutcome& outcome) {
    // From here on the rule works in the directories it opened now, whatever is renamed or
    // put in their place meanwhile. A missing or refused directory stops the run before the
    // rule starts; one that cannot be opened costs only its rule.
    UniqueFd source;
    const Opened sourceOpened = open(rule, rule.source, false, source, outcome);
    UniqueFd destination;
    Opened destinationOpened = Opened::Go;
    if (sourceOpened != Opened::StopRun && rule.process != kDeleteProcess) {
        destinationOpened = open(rule, rule.destination, true, destination, outcome);
    }
    if (sourceOpened == Opened::StopRun || destinationOpened == Opened::StopRun) {
        return false;
    }
    if (m_observer != nullptr) {
        m_observer->ruleStarted(rule);
    }
    if (sourceOpened != Opened::Go || destinationOpened != Opened::Go) {
        return true;
    }
    bool ontoItself = false;
    bool oneFileSystem = false;
    if (rule.copies()) {
        // The destination may be the source reached another way (a trailing "/", a link, a
        // bind mount): copying or moving a file onto itself must never be tried.
        struct stat sourceInfo {};
        struct stat destinationInfo {};
        const bool known = m_fs.statOpen(source.get(), sourceInfo).ok() &&
                           m_fs.statOpen(destination.get(), destinationInfo).ok();
        ontoItself = known && sameIdentity(sourceInfo, destinationInfo);
        oneFileSystem = known && sourceInfo.st_dev == destinationInfo.st_dev;
        if (!ontoItself) {
            removeDeadTemporariesOnce(destination.get());
        }
    }
    const OldFiles old = listOldFiles(m_fs, source.get(), rule, runAt, [this] {
        if (m_observer != nullptr) {
            m_observer->working();
        }
    });
    const Listing& listing = *old.listing;
    if (listing.error != 0) {
        outcome.failures.append(
            {rule.order, rule.process, rule.source, FileResult::fromErrno(listing.error).reason});
        return true;
    }
    if (m_observer != nullptr) {
        m_observer->listed(old.listing);
    }
    const RuleDirectories directories{.rule = rule,
                                      .source = source.get(),
                                      .destination = rule.copies() ? destination.get() : -1,
                                      .ontoItself = ontoItself,
                                      .oneFileSystem = oneFileSystem,
                                      .cutoff = old.cutoff,
                                      .trashes = m_trashes,
                                      .runAt = runAt};
    handleAll(directories, listing, dateTimeText(runAt), outcome);
    return true;
}

void RulePass::handleAll(const RuleDirectories& directories, const Listing& listing,
                         const QString& runText, RunOutcome& outcome) {
    const Rule& rule = directories.rule;
    const std::vector<ListedFile>& files = listing.files;
    // Oldest first: the first file not older than the cutoff ends the rule's old files, and
    // the newer ones cost nothing more.
    size_t next = 0;
    bool olderRemain = true;
    const auto takeBatch = [&] {
        QList<OldFile> batch;
        if (m_observer != nullptr && m_observer->stopWanted()) {
            outcome.cancelled = true;  // the files already logged are still handled
            return batch;
        }
        while (olderRemain && next < files.size() && batch.size() < m_batchSize) {
            const ListedFile& file = files[next];
            QString stamp = stampText(file.mtime);
            if (!(stamp < directories.cutoff)) {
                olderRemain = false;
                break;
            }
            const QString name = nameText(listing.nameView(file));
            // An earlier rule of this run failed on the file: it stays as it is, unlogged, so
            // that a chain never deletes what it could not copy.
            batch.append({&file, listing.name(file), rule.source + u'/' + name,
                          rule.copies() ? rule.destination + u'/' + name : QString(),
                          std::move(stamp), m_held.contains({file.device, file.inode})});
            ++next;
        }
        return batch;
    };
    const auto rowsOf = [&](const QList<OldFile>& batch) {
        QList<LogRow> rows;
        rows.reserve(batch.size());
        for (const OldFile& file : batch) {
            if (file.held) {
                continue;
            }
            const ListedFile& listed = *file.listed;
            rows.append({file.path,
                         file.stamp,
                         rule.process,
                         runText,
                         {static_cast<qint64>(listed.device), static_cast<qint64>(listed.inode),
                          listed.size, listed.mtime}});
        }
        return rows;
    };

    // Every batch's rows are committed before its files are touched, so a run cut short
    // leaves no touched file without its row; the next batch is written meanwhile, together
    // with the corrections for the files of the batch before.
    QList<LogCorrection> corrections;
    QList<OldFile> batch = takeBatch();
    if (!batch.isEmpty()) {
        m_log.submit(rowsOf(batch));
    }
    while (!batch.isEmpty()) {
        const QList<qint64> rowids = m_log.waitCommitted();
        QList<OldFile> nextBatch = takeBatch();
        if (!nextBatch.isEmpty()) {
            m_log.submit(rowsOf(nextBatch), std::exchange(corrections, {}));
        }
        qsizetype row = 0;  // the held files have none
        for (const OldFile& file : batch) {
            if (file.held) {
                ++outcome.heldFiles;
                if (m_observer != nullptr) {
                    m_observer->fileHandled(heldReport(rule, file));
                }
                continue;
            }
            const qint64 rowid = rowids[row++];
            const FileReport report = checkAndAct(m_fs, directories, file);
            if (report.status == FileStatus::Failed) {
                outcome.failures.append({rule.order, rule.process, file.path, report.reason});
                corrections.append({rowid, file.path, rule.process + u"失敗"_s, {}});
                m_held.insert({file.listed->device, file.listed->inode});
            } else if (report.status == FileStatus::Skipped) {
                corrections.append({rowid, file.path, {}, {}});
            } else if (report.placed || report.trashed) {
                std::optional<TrashRecord> trashed = report.trashed;
                if (trashed) {
                    trashed->trashed = runText;
                }
                corrections.append({rowid, file.path, {}, report.placed, std::move(trashed)});
            }
            if (report.status == FileStatus::Done) {
                ++outcome.doneFiles;
            } else if (report.status == FileStatus::Skipped) {
                ++outcome.skippedFiles;
            }
            if (m_observer != nullptr) {
                m_observer->fileHandled(report);
            }
        }
        batch = std::move(nextBatch);
    }
    if (!corrections.isEmpty()) {
        m_log.submit({}, std::move(corrections));
        m_log.waitCommitted();
    }
}

void RulePass::removeDeadTemporariesOnce(int directory) {
    struct stat info {};
    if (m_fs.statOpen(directory, info).ok() &&
        m_cleanedDirectories.insert({info.st_dev, info.st_ino}).second) {
        m_fs.removeDeadTemporaries(directory);
    }
}
