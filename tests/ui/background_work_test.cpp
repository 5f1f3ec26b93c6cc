#include "ui/background_work.h"

#include <gtest/gtest.h>

#include <QSemaphore>
#include <QStringList>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Work that waits at its start until the test lets it go, then hands back its name, or
// "stopped" when it was asked to stop by then.
BackgroundWork::Work named(const QString& name, QSemaphore& go, QStringList& got) {
    return [name, &go, &got](const std::atomic<bool>& stop) -> BackgroundWork::Delivery {
        go.acquire();
        const QString result = stop ? u"stopped "_s + name : name;
        return [result, &got] { got << result; };
    };
}

}  // namespace

// Only the latest result counts: older work is asked to stop, and what it still hands back is
// dropped, whatever order the work ends in; a cancel drops the latest too.
TEST(BackgroundWork, OnlyTheLatestResultIsHandedBack) {
    QStringList got;
    QSemaphore goFirst;
    QSemaphore goSecond;
    std::atomic<bool> firstStopped = false;
    BackgroundWork work;
    work.start([&](const std::atomic<bool>& stop) -> BackgroundWork::Delivery {
        goFirst.acquire();
        firstStopped = stop.load();
        return [&got] { got << u"first"_s; };
    });
    EXPECT_TRUE(work.busy());
    work.start(named(u"second"_s, goSecond, got));
    goSecond.release();  // the newer work ends first
    EXPECT_TRUE(QTest::qWaitFor([&] { return !work.busy(); }, 5000));
    goFirst.release();
    QTest::qWait(20);  // the older one's delivery, had it been made, would be in by now
    EXPECT_EQ(got, QStringList{u"second"_s});
    EXPECT_TRUE(firstStopped);

    QSemaphore goThird;
    work.start(named(u"third"_s, goThird, got));
    work.cancel();
    EXPECT_FALSE(work.busy());
    goThird.release();
    QTest::qWait(20);
    EXPECT_EQ(got, QStringList{u"second"_s});
}

// Destroyed, it waits for its work, which may use what its owner lent it, and hands back nothing.
TEST(BackgroundWork, WaitsForItsWorkWhenDestroyed) {
    QStringList got;
    std::atomic<bool> ended = false;
    {
        BackgroundWork work;
        work.start([&](const std::atomic<bool>&) -> BackgroundWork::Delivery {
            QTest::qSleep(50);
            ended = true;
            return [&got] { got << u"late"_s; };
        });
    }
    EXPECT_TRUE(ended);
    QTest::qWait(20);
    EXPECT_TRUE(got.isEmpty());
}
