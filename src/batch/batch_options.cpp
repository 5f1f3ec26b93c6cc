#include "batch/batch_options.h"

using namespace Qt::StringLiterals;

BatchOptionsResult parseBatchOptions(const QStringList& arguments, const QString& defaultDbPath) {
    BatchOptionsResult result;
    result.options.dbPath = defaultDbPath;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == u"--dry-run"_s) {
            result.options.dryRun = true;
        } else if (argument == u"--if-due"_s) {
            result.options.ifDue = true;
        } else if (argument == u"--runs"_s) {
            result.options.listRuns = true;
        } else if (argument == u"--help"_s || argument == u"-h"_s) {
            result.options.help = true;
        } else if (argument == u"--version"_s) {
            result.options.version = true;
        } else if (argument == u"--undo"_s) {
            bool number = false;
            result.options.undo = i + 1 < arguments.size() ? arguments[++i].toLongLong(&number) : 0;
            if (!number || result.options.undo <= 0) {
                result.error = u"--undo には実行の番号が必要です（--runs で一覧できます）"_s;
                return result;
            }
        } else if (argument == u"--db"_s || argument == u"--at"_s) {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) {
                result.error = argument + u" には値が必要です"_s;
                return result;
            }
            const QString& value = arguments[++i];
            if (argument == u"--db"_s) {
                result.options.dbPath = value;
                continue;
            }
            result.options.at = QDateTime::fromString(value, u"yyyy/MM/dd HH:mm:ss"_s);
            if (!result.options.at.isValid()) {
                result.error =
                    u"--at の日時が正しくありません: "_s + value +
                    u"（yyyy/MM/dd HH:mm:ss の形で、実在する現地時刻を指定してください）"_s;
                return result;
            }
        } else {
            result.error = u"不明なオプションです: "_s + argument;
            return result;
        }
    }
    return result;
}

QString batchUsage(const QString& defaultDbPath) {
    return u"使い方: sweeprun-batch [--db PATH] [--dry-run] [--if-due] [--at \"yyyy/MM/dd "
           u"HH:mm:ss\"] [--runs] [--undo N]\n"
           u"保守スケジュールに従った保守処理を、ウィンドウなしで 1 回実行します。\n"
           u"  --db PATH   使うデータベース（既定: %1。環境変数 QUILLON_DB で変更可）\n"
           u"  --dry-run   処理する予定のファイルを表示するだけで、何も変更しない\n"
           u"  --if-due    保存されたスケジュールの曜日・時・分に当たるときだけ実行する\n"
           u"              （当たらなければ何も表示せずに終了コード 0 で終わる）\n"
           u"  --at 日時   この日時に実行したものとして処理する（既定: 現在）\n"
           u"  --runs      記録された実行を新しい順に一覧する（番号、日時、プログラム、結果）\n"
           u"  --undo N    実行 N を取り消す（--dry-run と合わせると予定だけを表示する）\n"
           u"  --help      この説明を表示する\n"
           u"  --version   版を表示する\n"
           u"終了コード: 0 完了 / 1 処理できないファイルあり / 2 ディレクトリが存在しない / "
           u"3 設定・データベース・コマンドラインが使えない / 4 別の実行が進行中\n"_s.arg(
               defaultDbPath);
}

QString batchVersion() {
    return u"sweeprun-batch "_s + QStringLiteral(QUILLON_VERSION) + u'\n';
}
