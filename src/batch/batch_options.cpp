#include "batch/batch_options.h"

using namespace Qt::StringLiterals;

BatchOptionsResult parseBatchOptions(const QStringList& arguments, const QString& defaultDbPath) {
    BatchOptionsResult result;
    result.options.dbPath = defaultDbPath;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == u"--dry-run"_s) {
            result.options.dryRun = true;
        } else if (argument == u"--help"_s || argument == u"-h"_s) {
            result.options.help = true;
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

QString batchUsage() {
    return u"使い方: sweeprun-batch [--db PATH] [--dry-run] [--at \"yyyy/MM/dd HH:mm:ss\"]\n"
           u"  --db PATH   使うデータベース（既定: プログラムと同じディレクトリの sweeprun.db）\n"
           u"  --dry-run   処理する予定のファイルを表示するだけで、何も変更しない\n"
           u"  --at 日時   この日時に実行したものとして処理する（既定: 現在）\n"
           u"終了コード: 0 完了 / 1 処理できないファイルあり / 2 ディレクトリが存在しない / "
           u"3 設定・データベース・コマンドラインが使えない / "
           u"4 別の実行が進行中\n"_s;
}
