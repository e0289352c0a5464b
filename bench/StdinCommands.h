#pragma once
// The bench drivers' commands: one a line on stdin, handed over as they come
// in, with the event loop running in between. When the bench goes away (end
// of input), ended runs once.
#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <functional>
#include <unistd.h>

class StdinCommands {
public:
    StdinCommands(std::function<void()> ended, std::function<void(const QString &line)> command)
        : input_(STDIN_FILENO, QSocketNotifier::Read)
    {
        QObject::connect(&input_, &QSocketNotifier::activated, [this, ended = std::move(ended),
                                                                 command = std::move(command)] {
            char buf[512];
            const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
            if (n <= 0) {
                input_.setEnabled(false);
                ended();
                return;
            }
            pending_.append(buf, n);
            qsizetype eol;
            while ((eol = pending_.indexOf('\n')) >= 0) {
                const QString line = QString::fromUtf8(pending_.left(eol)).trimmed();
                pending_.remove(0, eol + 1);
                command(line);
            }
        });
    }

private:
    QSocketNotifier input_;
    QByteArray pending_;
};
