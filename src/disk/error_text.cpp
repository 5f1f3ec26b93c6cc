#include "disk/error_text.h"

#include <cerrno>
#include <cstring>

using namespace Qt::StringLiterals;

QString errorText(int error) {
    switch (error) {
        case EACCES:
            return u"アクセスが拒否されました"_s;
        case EPERM:
            return u"操作が許可されていません"_s;
        case EROFS:
            return u"読み取り専用のファイルシステムです"_s;
        case ENOSPC:
            return u"ディスクの空き容量が足りません"_s;
        case EDQUOT:
            return u"ディスク使用量の上限を超えました"_s;
        case EBUSY:
            return u"使用中です"_s;
        case ETXTBSY:
            return u"実行中のファイルです"_s;
        case ENOENT:
            return u"ファイルまたはディレクトリがありません"_s;
        case ENOTDIR:
            return u"ディレクトリではありません"_s;
        case EISDIR:
            return u"ディレクトリです"_s;
        case EEXIST:
            return u"同じ名前のファイルがあります"_s;
        case EXDEV:
            return u"別のファイルシステムへは名前の変更で移せません"_s;
        case ENAMETOOLONG:
            return u"名前が長すぎます"_s;
        case ELOOP:
            return u"シンボリックリンクが多すぎます"_s;
        case EIO:
            return u"入出力エラーが起きました"_s;
        case EFBIG:
            return u"ファイルが大きすぎます"_s;
        case EMFILE:
        case ENFILE:
            return u"開いているファイルが多すぎます"_s;
        case ENOMEM:
            return u"メモリが足りません"_s;
        case EINVAL:
            return u"引数が正しくありません"_s;
        default:
            return QString::fromLocal8Bit(std::strerror(error));
    }
}
