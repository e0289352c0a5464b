#pragma once
#include <QObject>
#include <functional>

class QSocketNotifier;

namespace platform {

// Turns SIGTERM, SIGINT and SIGHUP (log-out, Ctrl+C, kill) into a call on
// the UI thread, so the program can end a call and unregister instead of
// vanishing mid-call. One instance per process.
class QuitOnSignal : public QObject {
    Q_OBJECT
public:
    explicit QuitOnSignal(std::function<void()> onSignal, QObject *parent = nullptr);
    ~QuitOnSignal() override;

private:
    void readSignal();
    std::function<void()> onSignal_;
    QSocketNotifier *notifier_ = nullptr;
};

} // namespace platform
