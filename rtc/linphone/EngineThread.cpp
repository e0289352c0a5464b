#include "rtc/linphone/EngineThread.h"

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

} // namespace rtc::lp
