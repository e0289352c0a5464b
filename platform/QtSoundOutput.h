#pragma once
#include "platform/ISoundOutput.h"

#include <QBuffer>
#include <QObject>
#include <memory>

class QAudioSink;

namespace platform {

// Plays WAVE bytes through Qt Multimedia on the default output device.
// Needs a running event loop; the sound plays on after play() returns.
class QtSoundOutput final : public QObject, public ISoundOutput {
    Q_OBJECT
public:
    explicit QtSoundOutput(QObject *parent = nullptr);
    ~QtSoundOutput() override;

    bool play(const QByteArray &wave) override;
    void stop();
    bool isPlaying() const;

private:
    std::unique_ptr<QAudioSink> sink_;
    QBuffer buffer_;
};

} // namespace platform
