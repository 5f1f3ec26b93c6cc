#include "schedule/schedule_checks.h"

#include "text/number_text.h"

using namespace Qt::StringLiterals;

namespace {

std::optional<ScheduleCheckFailure> checkRange(const QString& text, double max,
                                               const QString& notNumeric, const QString& outOfRange,
                                               ScheduleField field) {
    if (!IsNumeric(text)) {
        return ScheduleCheckFailure{notNumeric, field};
    }
    const double value = Val(text);
    if (value < 0 || value > max) {
        return ScheduleCheckFailure{outOfRange, field};
    }
    return std::nullopt;
}

}  // namespace

std::optional<ScheduleCheckFailure> checkSchedule(const Schedule& schedule) {
    if (auto failure =
            checkRange(schedule.hour, 23, u"実行時は数値で入力してください"_s,
                       u"実行時は０～２３の数値で入力してください"_s, ScheduleField::Hour)) {
        return failure;
    }
    if (auto failure =
            checkRange(schedule.minute, 59, u"実行分時は数値で入力してください"_s,
                       u"実行分は０～５９の数値で入力してください"_s, ScheduleField::Minute)) {
        return failure;
    }
    return checkLogDays(schedule.logDays);
}

std::optional<ScheduleCheckFailure> checkLogDays(const QString& logDays) {
    if (!IsNumeric(logDays)) {
        return ScheduleCheckFailure{u"ログ残存日数は数値で入力してください"_s,
                                    ScheduleField::LogDays};
    }
    if (Val(logDays) < 0) {
        return ScheduleCheckFailure{u"ログ残存日数は０以上の数値で入力してください"_s,
                                    ScheduleField::LogDays};
    }
    return std::nullopt;
}

std::optional<ScheduleCheckFailure> checkTrashDays(const QString& trashDays) {
    if (!IsNumeric(trashDays)) {
        return ScheduleCheckFailure{u"保管日数は数値で入力してください"_s,
                                    ScheduleField::TrashDays};
    }
    if (Val(trashDays) < 0) {
        return ScheduleCheckFailure{u"保管日数は０以上の数値で入力してください"_s,
                                    ScheduleField::TrashDays};
    }
    return std::nullopt;
}
