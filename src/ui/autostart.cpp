#include "ui/autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace Autostart {

namespace {

QString failed(const QString& reason) {
    return u"ログイン時の起動を設定できません（"_s + reason + u"）"_s;
}

}  // namespace

QString entryPath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(config)) {  // unset, empty or relative: ~/.config, as XDG has it
        config = QDir::homePath() + u"/.config"_s;
    }
    return config + u"/autostart/org.quillon.Quillon.desktop"_s;
}

bool enabled() {
    QFile entry(entryPath());
    if (!entry.open(QIODevice::ReadOnly)) {
        return false;
    }
    static const QRegularExpression hidden(u"^Hidden\\s*=\\s*true\\s*$"_s,
                                           QRegularExpression::MultilineOption);
    return !hidden.match(QString::fromUtf8(entry.readAll())).hasMatch();
}

QString execText(const QString& program) {
    static const QRegularExpression plain(u"^[A-Za-z0-9/._+,:@=-]+$"_s);
    QString text = program;
    if (!plain.match(program).hasMatch()) {
        text.replace(u'\\', u"\\\\"_s)
            .replace(u'"', u"\\\""_s)
            .replace(u'`', u"\\`"_s)
            .replace(u'$', u"\\$"_s);
        text = u'"' + text + u'"';
    }
    // A string value escapes its backslashes once more; a field code's % is doubled.
    return text.replace(u'\\', u"\\\\"_s).replace(u'%', u"%%"_s);
}

QString set(bool enable, const QString& program) {
    const QString path = entryPath();
    if (!enable) {
        QFile entry(path);
        return !entry.exists() || entry.remove() ? QString() : failed(entry.errorString());
    }
    if (!QDir().mkpath(QFileInfo(path).path())) {
        return failed(QFileInfo(path).path() + u" を作れません"_s);
    }
    QSaveFile entry(path);
    if (!entry.open(QIODevice::WriteOnly)) {
        return failed(entry.errorString());
    }
    entry.write((u"[Desktop Entry]\n"
                 u"Type=Application\n"
                 u"Name=Quillon\n"
                 u"Comment[ja]=ログイン時に起動し、スケジュールどおりに保守を実行します\n"
                 u"Exec="_s +
                 execText(program) +
                 u"\n"
                 u"Icon=org.quillon.Quillon\n"
                 u"Terminal=false\n"
                 u"X-GNOME-Autostart-enabled=true\n"_s)
                    .toUtf8());
    return entry.commit() ? QString() : failed(entry.errorString());
}

}  // namespace Autostart
