#include <QApplication>
#include <QIcon>
#include <QSystemTrayIcon>

#include "disk/file_system.h"
#include "storage/database_location.h"
#include "storage/database_trust.h"
#include "storage/module_values.h"
#include "storage/schema.h"
#include "storage/storage_error.h"
#include "ui/form_sweeprun.h"
#include "ui/prompts.h"

using namespace Qt::StringLiterals;

// The start-up procedure: where the database is, then the one window.
int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    installJapaneseTranslation();  // without it the buttons read in English, nothing worse
    QGuiApplication::setDesktopFileName(u"org.quillon.Quillon"_s);
    QApplication::setWindowIcon(
        QIcon::fromTheme(u"org.quillon.Quillon"_s, QIcon(u":/org.quillon.Quillon.png"_s)));
    const ModuleValues values = ModuleValues::forDatabase(databasePath());
    MessageBoxPrompts prompts;
    if (const QString problem = prepareDatabaseFolder(values.db_path); !problem.isEmpty()) {
        prompts.message(problem);
        return 1;
    }
    // Before anything opens it: a journal another user planted must never be replayed.
    if (const std::optional<QString> untrusted = untrustedDatabase(values.db_path)) {
        prompts.message(*untrusted);
        return 1;
    }
    try {
        ensureSchema(values);
    } catch (const StorageError& error) {
        prompts.message(error.message());
        return 1;
    }
    SystemClock clock;
    PosixFileSystem fs;
    Form_sweeprun form(values, prompts, clock, fs);
    prompts.setParent(&form);
    form.useTray(QSystemTrayIcon::isSystemTrayAvailable());
    form.Form_Load();
    form.show();
    return QApplication::exec();
}
