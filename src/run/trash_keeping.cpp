#include "run/trash_keeping.h"

#include <cerrno>

#include "storage/connection.h"
#include "storage/settings.h"
#include "storage/trash_records.h"
#include "text/number_text.h"

using namespace Qt::StringLiterals;

std::optional<double> storedTrashDays(Connection& connection, QString& problem) {
    const QString text = Settings::read(connection, Settings::kTrashDays, u"0"_s);
    if (!IsNumeric(text) || Val(text) < 0) {
        problem = u"保管日数の設定が正しくありません（保管日数「"_s + text + u"」）"_s;
        return std::nullopt;
    }
    return Val(text);
}

void emptyOldTrash(Connection& connection, FileSystem& fs, const QString& cutoff) {
    TrashRecords::ensureTable(connection);
    for (const TrashRecord& record : TrashRecords::trashedBefore(connection, cutoff)) {
        struct stat put {};
        put.st_dev = static_cast<dev_t>(record.device);
        put.st_ino = static_cast<ino_t>(record.inode);
        put.st_size = record.size;
        put.st_mtim.tv_sec = record.mtime;
        const FileResult emptied = fs.emptyTrashed({record.trash, record.name}, put);
        // Put back or emptied by the user, or another file under its name: no longer ours.
        // Any other failure (a volume not there now) is tried again at the next run.
        if (emptied.ok() || emptied.error == ENOENT || emptied.error == ESTALE) {
            TrashRecords::forget(connection, record.id);
        }
    }
}
