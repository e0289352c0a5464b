#pragma once
// The thread that owns one liblinphone core. liblinphone is not thread-safe:
// the core is created, driven, used and released on this thread only, and
// the client's calls are carried to it. call() runs a function there and
// waits for its result; post() runs it there later, in the order posted.
// Either runs at once when already on that thread.
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <type_traits>
#include <utility>

namespace rtc::lp {

class EngineThread {
public:
    EngineThread();
    ~EngineThread(); // quits the thread's loop and waits for it
    EngineThread(const EngineThread &) = delete;
    EngineThread &operator=(const EngineThread &) = delete;

    bool here() const { return QThread::currentThread() == thread_; }

    template <class F>
    std::invoke_result_t<F &> call(F &&f)
    {
        using R = std::invoke_result_t<F &>;
        if (here())
            return f();
        if constexpr (std::is_void_v<R>) {
            QMetaObject::invokeMethod(context_, [&f] { f(); }, Qt::BlockingQueuedConnection);
        } else {
            R result{};
            QMetaObject::invokeMethod(context_, [&f, &result] { result = f(); }, Qt::BlockingQueuedConnection);
            return result;
        }
    }

    template <class F>
    void post(F &&f)
    {
        QMetaObject::invokeMethod(context_, std::forward<F>(f), Qt::QueuedConnection);
    }

private:
    QThread *thread_;
    QObject *context_; // lives on the thread: what call() and post() run through
};

} // namespace rtc::lp
