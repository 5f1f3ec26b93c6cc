#include <QCoreApplication>
#include <QTextStream>

#include "storage/module_values.h"
#include "storage/schema.h"
#include "storage/shared_func.h"
#include "storage/storage_error.h"

using namespace Qt::StringLiterals;

// Until the window exists, the program prepares its database and says where it is.
int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const ModuleValues values = ModuleValues::forDirectory(QCoreApplication::applicationDirPath());
    QTextStream out(stdout);
    try {
        ensureSchema(values);
    } catch (const StorageError& error) {
        QTextStream(stderr) << error.message() << u'\n';
        return 1;
    }
    out << u"Quillon V"_s << QUILLON_VERSION_MAJOR
        << RightBytes(u"00"_s + QString::number(QUILLON_VERSION_MINOR), 2)
        << RightBytes(u"00"_s + QString::number(QUILLON_VERSION_PATCH), 2) << u": データベース "_s
        << values.db_path << u" の準備ができました。ウィンドウは次の版で加わります。\n"_s;
    return 0;
}
