#include "run/run_reconciliation.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <map>

#include "disk/file_system.h"
#include "disk/name_text.h"
#include "run/opened_folders.h"
#include "storage/connection.h"
#include "storage/log_rows.h"
#include "storage/run_history.h"
#include "storage/sql_text.h"
#include "text/date_time_text.h"

using namespace Qt::StringLiterals;

namespace {

// The file stands in the directory, as a regular file with the logged time stamp.
bool standsThere(FileSystem& fs, int directory, const QByteArray& name, const QString& stamp) {
    struct stat info {};
    return fs.statAt(directory, name.constData(), info).ok() && S_ISREG(info.st_mode) &&
           stampText(info.st_mtim.tv_sec) == stamp;
}

struct stat asStat(const FileIdentity& identity) {
    struct stat info {};
    info.st_dev = static_cast<dev_t>(identity.device);
    info.st_ino = static_cast<ino_t>(identity.inode);
    return info;
}

// The file the row names is still at its source: the same file (device and inode) however it
// was written to since, or, for a row of a version that kept no identity, a file with the
// logged time stamp.
bool stillAtSource(FileSystem& fs, int source, const QByteArray& name, const QString& stamp,
                   const std::optional<FileIdentity>& identity) {
    if (!identity) {
        return standsThere(fs, source, name, stamp);
    }
    struct stat info {};
    return fs.statAt(source, name.constData(), info).ok() && S_ISREG(info.st_mode) &&
           sameIdentity(info, asStat(*identity));
}

// True when the disk shows that the row's file was not handled after all (the run was killed
// before it got there); false when it was, or when that cannot be judged.
bool undoneOnDisk(FileSystem& fs, OpenedFolders& folders, const QList<Rule>& rules,
                  const RunHistory::LoggedFile& row) {
    const qsizetype slash = row.path.lastIndexOf(u'/');
    const std::optional<QByteArray> name = nameBytes(row.path.mid(slash + 1));
    if (slash < 0 || !name) {
        return false;
    }
    const QString folder = row.path.left(slash);
    const auto rule = std::find_if(rules.begin(), rules.end(), [&](const Rule& r) {
        return r.source == folder && r.process == row.process;
    });
    if (rule == rules.end()) {
        return false;
    }
    const int source = folders.open(folder);
    if (source < 0) {
        return false;
    }
    if (row.process != kCopyProcess) {
        return stillAtSource(fs, source, *name, row.stamp, row.identity);
    }
    const int destination = folders.open(rule->destination);
    return destination >= 0 && !standsThere(fs, destination, *name, row.stamp);
}

// A move killed between claiming its source and removing it left the source under its claim:
// each such file gets its name back before any row is judged, one look at each folder.
void giveClaimsBack(FileSystem& fs, OpenedFolders& folders,
                    const QList<RunHistory::LoggedFile>& rows) {
    std::map<QString, FileSystem::ClaimedNames> byFolder;
    for (const RunHistory::LoggedFile& row : rows) {
        const qsizetype slash = row.path.lastIndexOf(u'/');
        const std::optional<QByteArray> name = nameBytes(row.path.mid(slash + 1));
        if (row.process == kMoveProcess && row.identity && slash >= 0 && name) {
            byFolder[row.path.left(slash)][{static_cast<dev_t>(row.identity->device),
                                            static_cast<ino_t>(row.identity->inode)}] = *name;
        }
    }
    for (const auto& [folder, names] : byFolder) {
        if (const int source = folders.open(folder); source >= 0) {
            fs.restoreMoveClaims(source, names);
        }
    }
}

}  // namespace

QList<Rule> parseRules(const QString& text) {
    QList<Rule> rules;
    for (const QJsonValue& value : QJsonDocument::fromJson(text.toUtf8()).array()) {
        const QJsonObject rule = value.toObject();
        rules.append({{},
                      rule[u"source"_s].toString(),
                      rule[u"destination"_s].toString(),
                      {},
                      {},
                      rule[u"process"_s].toString()});
    }
    return rules;
}

QString rulesText(const QList<Rule>& rules) {
    QJsonArray array;
    for (const Rule& rule : rules) {
        array.append(QJsonObject{{u"source"_s, rule.source},
                                 {u"destination"_s, rule.destination},
                                 {u"process"_s, rule.process}});
    }
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

void reconcileUnfinishedRuns(Connection& connection, const QString& logTable, FileSystem& fs) {
    OpenedFolders folders(fs);
    for (const RunHistory::Unchecked& run : RunHistory::unchecked(connection)) {
        const QList<Rule> rules = parseRules(run.rules);
        const QList<RunHistory::LoggedFile> rows =
            RunHistory::handledRows(connection, logTable, run);
        giveClaimsBack(fs, folders, rows);
        QList<RunHistory::LoggedFile> undoneRows;
        for (const RunHistory::LoggedFile& row : rows) {
            if (undoneOnDisk(fs, folders, rules, row)) {
                undoneRows.append(row);
            }
        }
        Transaction transaction(connection);
        for (const RunHistory::LoggedFile& row : undoneRows) {
            connection.Execute(SqlText::deleteLogRow(logTable, row.rowid, row.path));
        }
        RunHistory::markChecked(connection, run.id);
        transaction.commit();
    }
}
