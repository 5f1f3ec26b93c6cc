#include "schedule/schedule_store.h"

#include "storage/connection.h"
#include "storage/settings.h"
#include "storage/sql_text.h"

using namespace Qt::StringLiterals;

std::optional<Schedule> readStoredSchedule(const ModuleValues& values) {
    Connection connection(values);
    Recordset rows(connection, SqlText::selectAll(values.tbl_set));
    if (rows.eof()) {
        return std::nullopt;
    }
    return Schedule{rows.field(u"曜日"_s), rows.field(u"実行時"_s), rows.field(u"実行分"_s),
                    rows.field(u"ログ残存日数"_s)};
}

void writeSchedule(const ModuleValues& values, const Schedule& schedule) {
    Connection connection(values);
    Transaction transaction(connection);
    connection.Execute(SqlText::deleteAll(values.tbl_set));
    connection.Execute(SqlText::insertValues(
        values.tbl_set, {schedule.weekdays, schedule.hour, schedule.minute, schedule.logDays}));
    transaction.commit();
}

QString readTrashDays(const ModuleValues& values) {
    Connection connection(values);
    return Settings::read(connection, Settings::kTrashDays, u"0"_s);
}

void writeTrashDays(const ModuleValues& values, const QString& days) {
    Connection connection(values);
    Settings::write(connection, Settings::kTrashDays, days);
}
