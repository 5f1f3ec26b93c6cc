#pragma once

#include <QObject>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <memory>

// Work done on a thread of its own while the windows go on, of which only the latest result
// counts: starting new work, or cancelling, asks the work under way to stop and drops whatever
// it still hands back. Destroyed, it waits for its work, which may use what its owner lent it
// (the file system, above all).
class BackgroundWork : public QObject {
public:
    // What the work hands back: called on this object's thread, unless dropped by then.
    using Delivery = std::function<void()>;
    // Runs on the worker thread; `stop` turns true once its result is no longer wanted.
    using Work = std::function<Delivery(const std::atomic<bool>& stop)>;

    explicit BackgroundWork(QObject* parent = nullptr);
    ~BackgroundWork() override;

    void start(Work work);
    void cancel();
    // From start until the work's result is handed back or dropped.
    bool busy() const { return m_stop != nullptr; }

private:
    QThreadPool m_pool;
    quint64 m_generation = 0;
    std::shared_ptr<std::atomic<bool>> m_stop;  // of the work under way
};
