#include "rtc/linphone/EngineThread.h"

#include "platform/Log.h"

#include <condition_variable>
#include <mutex>

namespace rtc::lp {

EngineThread::EngineThread() : thread_(new QThread), context_(new QObject)
{
    thread_->setObjectName(QStringLiteral("engine"));
    context_->moveToThread(thread_);
    thread_->start();
}

EngineThread::~EngineThread()
{
    // Whatever is still posted runs before the loop ends.
    QMetaObject::invokeMethod(context_, [thread = thread_] { thread->quit(); }, Qt::QueuedConnection);
    thread_->wait();
    delete context_;
    delete thread_;
}

bool EngineThread::await(const char *what, std::chrono::milliseconds limit,
                         std::function<void(std::function<void()> done)> start)
{
    struct Flag {
        std::mutex mutex;
        std::condition_variable told;
        bool done = false;
    };
    auto flag = std::make_shared<Flag>();
    post([flag, start = std::move(start)] {
        start([flag] {
            std::lock_guard lock(flag->mutex);
            flag->done = true;
            flag->told.notify_all();
        });
    });
    std::unique_lock lock(flag->mutex);
    if (flag->told.wait_for(lock, limit, [&] { return flag->done; }))
        return true;
    ranOut(what, limit);
    return false;
}

void EngineThread::ranOut(const char *what, std::chrono::milliseconds limit)
{
    platform::Log::Write(platform::Log::Warning, QStringLiteral("engine"),
                         QStringLiteral("%1: no answer from the engine within %2 ms; going on without it")
                             .arg(QLatin1String(what))
                             .arg(limit.count()));
}

} // namespace rtc::lp
