#pragma once

// How each file of a run is taken back: first looked at, changing nothing, then acted on, by
// what the run recorded of it (see UndoRun).
#include <sys/stat.h>

#include <QFile>
#include <QString>
#include <cerrno>

#include "disk/file_system.h"
#include "disk/name_text.h"
#include "run/opened_folders.h"
#include "storage/run_history.h"

namespace UndoSteps {

using namespace Qt::StringLiterals;

inline struct stat asStat(const FileIdentity& identity) {
    struct stat info {};
    info.st_dev = static_cast<dev_t>(identity.device);
    info.st_ino = static_cast<ino_t>(identity.inode);
    info.st_size = identity.size;
    info.st_mtim.tv_sec = identity.mtime;
    return info;
}

// Still exactly the file the run left: the same file, size and time.
inline bool exactly(const struct stat& info, const FileIdentity& identity) {
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
        m_name = name.value_or(QByteArray());
        // A run's rows come folder by folder: the folders found for the row before serve this
        // one too.
        if (m_located && name && slash >= 0 && row.process == m_process &&
            QStringView(row.path).left(slash) == m_source) {
            return true;
        }
        m_located = false;
        m_process = row.process;
        m_source = slash < 0 ? QString() : row.path.left(slash);
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
        m_sourceFd = m_folders.open(m_source);
        m_destinationFd = row.process == kDeleteProcess ? -1 : m_folders.open(m_destination);
        if (m_sourceFd < 0 || (row.process != kDeleteProcess && m_destinationFd < 0)) {
            why = u"フォルダを開けません"_s;
            return false;
        }
        m_located = true;
        return true;
    }

    // Looks, changing nothing.
    Step plan(const RunHistory::RunRow& row) {
        Step step;
        if (!locate(row, step.reason)) {
            return step;
        }
        // The source name is looked at only where it decides: a deletion comes back to it, and
        // a move not found as the run left it may be back there already. A move found as the run
        // left it is taken back; a name taken at the source meanwhile makes its rename back fail.
        struct stat at {};
        const auto sourceTaken = [&] {
            return m_fs.statAt(m_sourceFd, m_name.constData(), at).ok();
        };
        if (row.process == kDeleteProcess) {
            if (!row.trashed) {
                step.reason = u"ごみ箱を使わずに削除されました"_s;
                step.goneForGood = true;
                return step;
            }
            if (sourceTaken()) {
                return backAlready(at, row.identity, u"元の場所に別のファイルがあります"_s);
            }
            return take();
        }
        // A copy whose target already held the same file wrote nothing: nothing to take back.
        const std::optional<FileIdentity> left =
            row.process == kCopyProcess ? row.target : (row.target ? row.target : row.identity);
        if (!left) {
            return {Step::Kind::Passed, {}, false};
        }
        struct stat there {};
        const bool present = m_fs.statAt(m_destinationFd, m_name.constData(), there).ok();
        if (present && exactly(there, *left)) {
            return take();
        }
        if (row.process == kMoveProcess && sourceTaken()) {
            return backAlready(at, row.identity, u"元の場所に別のファイルがあります"_s);
        }
        if (!present) {
            return row.process == kCopyProcess
                       ? Step{Step::Kind::Passed, {}, false}
                       : Step{Step::Kind::Refused, u"移動先にファイルがありません"_s, false};
        }
        // The file the run replaced there is back already.
        if (row.trashed && exactly(there, identityOf(*row.trashed))) {
            return {Step::Kind::Passed, {}, false};
        }
        return {Step::Kind::Refused, u"実行の後に変更されています"_s, false};
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
            if (result.error == EEXIST) {
                result.reason = u"元の場所に別のファイルがあります"_s;
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

    FileSystem& m_fs;
    const QList<Rule>& m_rules;
    OpenedFolders m_folders{m_fs};
    bool m_located = false;  // the folders below were found and opened
    QString m_process;
    QString m_source;
    QString m_destination;
    QByteArray m_name;
    int m_sourceFd = -1;
    int m_destinationFd = -1;
};

}  // namespace UndoSteps
