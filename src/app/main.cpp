#include <QApplication>

#include "schedule/file_system.h"
#include "storage/module_values.h"
#include "storage/schema.h"
#include "storage/storage_error.h"
#include "ui/form_sweeprun.h"
#include "ui/prompts.h"

// The start-up procedure: where the database is, then the one window.
int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    installJapaneseTranslation();  // without it the buttons read in English, nothing worse
    const ModuleValues values = ModuleValues::forDirectory(QCoreApplication::applicationDirPath());
    MessageBoxPrompts prompts;
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
    form.Form_Load();
    form.show();
    return QApplication::exec();
}
