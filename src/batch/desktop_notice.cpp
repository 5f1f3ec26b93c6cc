#include "batch/desktop_notice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QVariantMap>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kBodyLines = 5;

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
    // The first failures, and how many more.
    QStringList failures;
    if (!outcome.failures.isEmpty()) {
        failures = failureSummary(outcome.failures).split(u'\n');
        if (failures.size() > kBodyLines) {
            const qsizetype rest = outcome.failures.size() - (kBodyLines - 1);
            failures = failures.mid(0, kBodyLines - 1)
                       << u"ほか "_s + QString::number(rest) + u" 件"_s;
        }
    }
    switch (notice.ending) {
        case RunNotice::Ending::Failures:
            return DesktopNotice{
                u"Quillon: 失敗 "_s + QString::number(outcome.failures.size()) + u" 件"_s,
                QStringList{notice.headline, failures.join(u'\n')}.join(u'\n')};
        case RunNotice::Ending::DirectoryStopped:
            return DesktopNotice{u"Quillon: 中断"_s,
                                 (QStringList{notice.stop} << failures).join(u'\n')};
        case RunNotice::Ending::StorageFailed:
            return DesktopNotice{u"Quillon: 中断"_s, notice.problems.first()};
        default:
            return std::nullopt;
    }
}

bool sendDesktopNotice(const DesktopNotice& notice) {
    const QString address = sessionBusAddress();
    if (address.isEmpty()) {
        return false;
    }
    QDBusConnection bus = QDBusConnection::connectToBus(address, u"quillon-notice"_s);
    if (!bus.isConnected()) {
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        u"org.freedesktop.Notifications"_s, u"/org/freedesktop/Notifications"_s,
        u"org.freedesktop.Notifications"_s, u"Notify"_s);
    call << u"Quillon"_s << 0u << u"org.quillon.Quillon"_s << notice.summary << notice.body
         << QStringList() << QVariantMap{{u"urgency"_s, QVariant::fromValue<uchar>(1)}} << -1;
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
}
