#include "batch/desktop_notice.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kFailuresShown = 4;  // a desktop notice is read at a glance

// The session bus's address as the environment gives it, or as the user's runtime folder holds
// it; empty when there is none. Qt would otherwise try to start one.
QString sessionBusAddress() {
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!address.isEmpty()) {
        return address;
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo::exists(runtime + u"/bus"_s)) {
        return u"unix:path="_s + runtime + u"/bus"_s;
    }
    return {};
}

}  // namespace

std::optional<DesktopNotice> desktopNotice(const RunNotice& notice, const RunOutcome& outcome) {
    const QString failures = failureSummary(outcome.failures, kFailuresShown);
    switch (notice.ending) {
        case RunNotice::Ending::Failures:
            return DesktopNotice{
                u"Quillon: 失敗 "_s + QString::number(outcome.failures.size()) + u" 件"_s,
                notice.headline + u'\n' + failures};
        case RunNotice::Ending::DirectoryStopped:
            return DesktopNotice{u"Quillon: 中断"_s,
                                 failures.isEmpty() ? notice.stop : notice.stop + u'\n' + failures};
        case RunNotice::Ending::StorageFailed:
            return DesktopNotice{u"Quillon: 中断"_s, notice.problems.first()};
        case RunNotice::Ending::RulesRefused:
            return DesktopNotice{u"Quillon: 中断"_s, notice.stop};
        default:
            return std::nullopt;
    }
}

bool sendDesktopNotice(const DesktopNotice& notice) {
    const QString address = sessionBusAddress();
    if (address.isEmpty()) {
        return false;
    }
    // D-Bus and the seven libraries it brings are loaded only to tell: linked, they would cost
    // every start of the batch, which a user timer makes each minute. The module stands beside
    // the program where it was built, and under the library folder where it is installed.
    for (const QString& path : {QCoreApplication::applicationDirPath() + u"/libquillon_notice.so"_s,
                                QStringLiteral(QUILLON_NOTICE_MODULE)}) {
        if (!QFileInfo::exists(path)) {
            continue;
        }
        using Show = bool (*)(const QString&, const QString&, const QString&);
        QLibrary module(path);
        if (const auto show = reinterpret_cast<Show>(module.resolve("quillonShowNotice"))) {
            return show(address, notice.summary, notice.body);
        }
    }
    return false;
}
