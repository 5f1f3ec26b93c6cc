#include "batch/desktop_notice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QVariantMap>

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
    QDBusConnection bus = QDBusConnection::connectToBus(address, u"quillon-notice"_s);
    if (!bus.isConnected()) {
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        u"org.freedesktop.Notifications"_s, u"/org/freedesktop/Notifications"_s,
        u"org.freedesktop.Notifications"_s, u"Notify"_s);
    // The body may hold markup: a name's own "&" or "<" is text. Each notice is of a run that
    // went wrong and nobody saw, so it is critical: it stays until it is read.
    QString body = notice.body;
    body.replace(u'&', u"&amp;"_s).replace(u'<', u"&lt;"_s).replace(u'>', u"&gt;"_s);
    call << u"Quillon"_s << 0u << u"org.quillon.Quillon"_s << notice.summary << body
         << QStringList() << QVariantMap{{u"urgency"_s, QVariant::fromValue<uchar>(2)}} << -1;
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
}
