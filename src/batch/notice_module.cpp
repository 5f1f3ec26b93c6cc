// The part of the desktop notice that speaks D-Bus, built as a module of its own: the batch
// loads it only when it has something to tell.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

using namespace Qt::StringLiterals;

extern "C" Q_DECL_EXPORT bool quillonShowNotice(const QString& address, const QString& summary,
                                                const QString& body) {
    QDBusConnection bus = QDBusConnection::connectToBus(address, u"quillon-notice"_s);
    if (!bus.isConnected()) {
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        u"org.freedesktop.Notifications"_s, u"/org/freedesktop/Notifications"_s,
        u"org.freedesktop.Notifications"_s, u"Notify"_s);
    // The body may hold markup: a name's own "&" or "<" is text. Each notice is of a run that
    // went wrong and nobody saw, so it is critical: it stays until it is read.
    QString text = body;
    text.replace(u'&', u"&amp;"_s).replace(u'<', u"&lt;"_s).replace(u'>', u"&gt;"_s);
    call << u"Quillon"_s << 0u << u"org.quillon.Quillon"_s << summary << text << QStringList()
         << QVariantMap{{u"urgency"_s, QVariant::fromValue<uchar>(2)}} << -1;
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
}
