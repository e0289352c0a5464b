#include "rtc/linphone/EngineThread.h"

#include "platform/Log.h"

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

void EngineThread::ranOut(const char *what, std::chrono::milliseconds limit)
{
    platform::Log::Write(platform::Log::Warning, QStringLiteral("engine"),
                         QStringLiteral("%1: no answer from the engine within %2 ms; going on without it")
                             .arg(QLatin1String(what))
                             .arg(limit.count()));
}

} // namespace rtc::lp
