// The run log's list: filled as the search line asks, and saved as CSV.
#include <QSaveFile>

#include "storage/sql_text.h"
#include "storage/storage_error.h"
#include "ui/form_sweeprun.h"
#include "ui/grid_columns.h"

using namespace Qt::StringLiterals;

void Form_sweeprun::ROAD_DSP_2() {
    // Rows are read as the list is scrolled, so a long log opens at once; a refreshed list
    // shows its top, where the newest files are.
    refill(
        DataGrid2,
        [this] {
            const QString where = logFilter().where();
            m_logModel.setQuery(m_values.tbl_log, SqlText::selectLog(m_values.tbl_log, where),
                                where);
        },
        [this] {
            const QString dateTime = u"0000/00/00 00:00:00"_s;
            fitColumns(DataGrid2, {{1, dateTime}, {2, kCopyProcess + u"失敗"_s}, {3, dateTime}}, {},
                       {0});
        });
    FilterBar->showHits(m_logModel.rowCount());
}

LogFilter Form_sweeprun::logFilter() const {
    LogFilter filter = FilterBar->filter();
    filter.run = m_shownRun;  // the run chosen in the history, if any
    return filter;
}

void Form_sweeprun::showLogFiltered() {
    try {
        ROAD_DSP_2();
    } catch (const StorageError& error) {
        reportStorage(error);
    }
}

void Form_sweeprun::saveLogCsv() {
    const QString path = m_prompts.chooseSaveFile(u"quillon-log.csv"_s);
    if (path.isEmpty()) {
        return;
    }
    QSaveFile file(path);
    try {
        if (file.open(QIODevice::WriteOnly)) {
            writeLogCsv(m_values, logFilter(), file);
            if (file.commit()) {
                return;
            }
        }
        m_prompts.message(u"CSV に保存できませんでした（"_s + file.errorString() + u"）"_s);
    } catch (const StorageError& error) {
        reportStorage(error);
    }
}
