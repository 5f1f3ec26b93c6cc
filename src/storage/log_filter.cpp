#include "storage/log_filter.h"

#include <QIODevice>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

#include "storage/connection.h"
#include "storage/module_values.h"
#include "storage/run_history.h"
#include "storage/shared_func.h"
#include "storage/sql_text.h"
#include "storage/storage_error.h"

using namespace Qt::StringLiterals;

namespace {

QString quoted(const QString& text) {
    return u"'"_s + QuoteSql(text) + u"'"_s;
}

QByteArray csvField(const QString& text) {
    QByteArray field = text.toUtf8();
    if (field.contains(',') || field.contains('"') || field.contains('\n') ||
        field.contains('\r')) {
        field = '"' + field.replace('"', "\"\"") + '"';
    }
    return field;
}

}  // namespace

QString LogFilter::where() const {
    QStringList conditions;
    if (!text.isEmpty()) {
        // instr, not LIKE: "%", "_" and letter case mean nothing special in what is typed.
        conditions << u"instr(対象ファイル, "_s + quoted(text) + u") > 0"_s;
    }
    if (process == kFailuresOnly) {
        conditions << u"処理内容 LIKE '%失敗'"_s;
    } else if (!process.isEmpty()) {
        conditions << u"処理内容 = "_s + quoted(process);
    }
    if (from.isValid()) {
        conditions << u"処理日時 >= "_s + quoted(from.toString(u"yyyy/MM/dd"_s));
    }
    if (to.isValid()) {
        // Every time of the last day sorts before the next day's date alone.
        conditions << u"処理日時 < "_s + quoted(to.addDays(1).toString(u"yyyy/MM/dd"_s));
    }
    if (run > 0) {
        // Two runs in one second share a 処理日時: the rows are the run's own by their number.
        conditions << u"rowid IN (SELECT row FROM quillon_file WHERE run_id = "_s +
                          QString::number(run) + u")"_s;
    }
    return conditions.isEmpty() ? QString() : u" WHERE "_s + conditions.join(u" AND "_s);
}

void writeLogCsv(const ModuleValues& values, const LogFilter& filter, QIODevice& out) {
    Connection connection(values);
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    if (!query.exec(SqlText::selectLog(values.tbl_log, filter.where()))) {
        throw StorageError::fromSql(query.lastError());
    }
    const QSqlRecord record = query.record();
    const auto line = [&out](const QList<QByteArray>& fields) {
        out.write(QByteArrayList(fields).join(','));
        out.write("\r\n");
    };
    out.write("\xEF\xBB\xBF");
    QList<QByteArray> header;
    for (int i = 0; i < record.count(); ++i) {
        header << csvField(record.fieldName(i));
    }
    line(header << csvField(u"理由"_s));
    const int path = record.indexOf(u"対象ファイル"_s);
    const int process = record.indexOf(u"処理内容"_s);
    const int runText = record.indexOf(u"処理日時"_s);
    while (query.next()) {
        QList<QByteArray> fields;
        for (int i = 0; i < record.count(); ++i) {
            fields << csvField(query.value(i).toString());
        }
        QString reason;
        if (query.value(process).toString().endsWith(u"失敗"_s)) {
            reason = RunHistory::failureReason(connection, query.value(runText).toString(),
                                               query.value(path).toString())
                         .value_or(QString());
        }
        line(fields << csvField(reason));
    }
    if (query.lastError().isValid()) {
        throw StorageError::fromSql(query.lastError());
    }
}
