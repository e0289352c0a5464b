#pragma once
// The thread that owns one liblinphone core. liblinphone is not thread-safe:
// the core is created, driven, used and released on this thread only, and
// the client's commands are carried to it. post() runs a function there
// later, in the order posted; ask() runs it there and waits for its result,
// but never longer than the limit given, so that a busy engine cannot hold
// the window up. Both run at once when already on that thread.
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
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
    void post(F &&f)
    {
        QMetaObject::invokeMethod(context_, std::forward<F>(f), Qt::QueuedConnection);
    }

    // The few waits the client keeps (starting, signing in, placing a call,
    // stopping) go through here, each under its own name in the log when it
    // runs out. f must own what it uses: it may still run after the limit.
    template <class F>
    auto ask(const char *what, std::chrono::milliseconds limit, F f) -> std::optional<std::invoke_result_t<F &>>
    {
        using R = std::invoke_result_t<F &>;
        static_assert(!std::is_void_v<R>, "ask() is for answers; post() the rest");
        if (here())
            return f();
        auto value = std::make_shared<std::optional<R>>();
        const bool answered = await(what, limit, [value, f = std::move(f)](std::function<void()> done) mutable {
            *value = f();
            done();
        });
        if (!answered)
            return std::nullopt;
        return std::move(*value);
    }

    // Runs start on the engine's thread, which calls done when the work it
    // began is over (then or later, on that thread); waits for that within
    // the limit. False, and the name in the log, when it ran out.
    bool await(const char *what, std::chrono::milliseconds limit, std::function<void(std::function<void()> done)> start);

private:
    static void ranOut(const char *what, std::chrono::milliseconds limit);

    QThread *thread_;
    QObject *context_; // lives on the thread: what post() and ask() run through
};

} // namespace rtc::lp
