#include "batch/desktop_notice.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QTest>

#include "batch/batch_command.h"
#include "schedule/schedule_store.h"
#include "storage/connection.h"
#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

namespace {

// The freedesktop notification service as a desktop runs it, remembering what it showed.
class NotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList shown;  // "<application>|<icon>|<summary>|<body>|<urgency>"

public slots:
    uint Notify(const QString& application, uint, const QString& icon, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap& hints, int) {
        shown << QStringList{application, icon, summary, body,
                             QString::number(hints.value(u"urgency"_s).toUInt())}
                     .join(u'|');
        return static_cast<uint>(shown.size());
    }
};

// A session bus of the test's own, gone with it.
class PrivateBus {
public:
    PrivateBus() {
        m_daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        EXPECT_TRUE(m_daemon.waitForReadyRead(10'000));
        address = QString::fromUtf8(m_daemon.readLine().trimmed());
    }
    ~PrivateBus() {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
    QString address;

private:
    QProcess m_daemon;
};

}  // namespace

TEST(DesktopNotice, ARunNobodyWatchedThatWentWrongIsShownOnTheDesktopAndNothingElse) {
    PrivateBus bus;
    QDBusConnection connection = QDBusConnection::connectToBus(bus.address, u"desktop"_s);
    NotificationServer server;
    ASSERT_TRUE(connection.registerObject(u"/org/freedesktop/Notifications"_s, &server,
                                          QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(connection.registerService(u"org.freedesktop.Notifications"_s));

    TempTree tree;
    writeSchedule(tree.values(), {u" "_s, u"09"_s, u"05"_s, u"30"_s});
    const QString in = tree.dir(u"in"_s);
    const QString a = tree.file(u"in/a.txt"_s, "a", at(u"2003/03/01 10:00:00"_s));
    tree.addRule({u"001"_s, in, u""_s, u"txt"_s, u"7"_s, u"削除"_s});
    // Runs the program as a user timer would, on the private bus or on none.
    const auto batch = [&](bool withBus) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(u"XDG_RUNTIME_DIR"_s);
        environment.remove(u"DBUS_SESSION_BUS_ADDRESS"_s);
        if (withBus) {
            environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, bus.address);
        }
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(SWEEPRUN_BATCH),
                      {u"--db"_s, tree.values().db_path, u"--at"_s, u"2003/03/29 09:05:07"_s});
        // The event loop runs meanwhile, so this process's service can answer.
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 30'000));
        return std::pair{process.exitCode(), QString::fromUtf8(process.readAllStandardOutput())};
    };

    EXPECT_EQ(batch(true).first, kExitComplete);  // a complete run says nothing
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_TRUE(server.shown.isEmpty());

    // Files left alone: one critical notice, with the first failures, their names as text.
    Connection(tree.values())
        .Execute(u"UPDATE sweeprun SET 処理 = '移動', 先ディレクトリ = '"_s + in +
                 u"/'"_s);  // onto itself
    const QString b = tree.file(u"in/x&y<z>.txt"_s, "b", at(u"2003/03/01 10:00:00"_s));
    const auto [code, said] = batch(true);
    EXPECT_EQ(code, kExitFailures);
    ASSERT_EQ(server.shown.size(), 1);
    EXPECT_EQ(
        server.shown[0],
        u"Quillon|org.quillon.Quillon|Quillon: 失敗 1 件|03/29 09:05 の実行: 完了 0 件、"
        u"失敗 1 件\n順序 001 移動: "_s +
            in +
            u"/x&amp;y&lt;z&gt;.txt の処理に失敗しました（コピー先が元のファイルと同じです）|2"_s);

    // Without a session bus nothing is sent, and the program says and returns the same.
    EXPECT_EQ(batch(false), std::pair(code, said));
    EXPECT_EQ(server.shown.size(), 1);

    // A database other users could change is refused, and that is shown too.
    ASSERT_EQ(::chmod(QFile::encodeName(tree.path()).constData(), 01777), 0);
    EXPECT_EQ(batch(true).first, kExitUnusable);
    ASSERT_EQ(server.shown.size(), 2);
    EXPECT_TRUE(
        server.shown[1].startsWith(u"Quillon|org.quillon.Quillon|Quillon: 中断|データベース "_s))
        << server.shown[1].toStdString();
    ::chmod(QFile::encodeName(tree.path()).constData(), 0700);
}

#include "desktop_notice_test.moc"
