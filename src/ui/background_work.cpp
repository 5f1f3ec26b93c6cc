#include "ui/background_work.h"

BackgroundWork::BackgroundWork(QObject* parent) : QObject(parent) {}

BackgroundWork::~BackgroundWork() {
    cancel();
    m_pool.waitForDone();
}

void BackgroundWork::start(Work work) {
    cancel();
    const quint64 generation = ++m_generation;
    m_stop = std::make_shared<std::atomic<bool>>(false);
    // The pool ends before this object does, so the work may name it; what the work hands back
    // is posted to it, and a posted call to a destroyed object is never made.
    m_pool.start([this, work = std::move(work), stop = m_stop, generation] {
        Delivery delivery = work(*stop);
        QMetaObject::invokeMethod(
            this,
            [this, generation, delivery = std::move(delivery)] {
                if (generation != m_generation) {
                    return;
                }
                m_stop.reset();
                delivery();
            },
            Qt::QueuedConnection);
    });
}

void BackgroundWork::cancel() {
    if (m_stop != nullptr) {
        m_stop->store(true);
        m_stop.reset();
    }
    ++m_generation;  // whatever the work still hands back is dropped
}
