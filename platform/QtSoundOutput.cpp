#include "platform/QtSoundOutput.h"

#include "platform/WaveFile.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

namespace platform {

QtSoundOutput::QtSoundOutput(QObject *parent) : QObject(parent) {}

QtSoundOutput::~QtSoundOutput()
{
    if (sink_) {
        sink_->disconnect(this);
        sink_->stop();
    }
}

void QtSoundOutput::stop()
{
    if (sink_) {
        sink_->disconnect(this);
        sink_->stop();
        // Deleted later: stop() may run inside the sink's own signal.
        sink_.release()->deleteLater();
    }
    buffer_.close();
}

bool QtSoundOutput::isPlaying() const
{
    return sink_ && sink_->state() == QAudio::ActiveState;
}

bool QtSoundOutput::play(const QByteArray &wave)
{
    stop();
    const auto pcm = parseWave(wave);
    if (!pcm)
        return false;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return false;

    QAudioFormat format;
    format.setSampleRate(pcm->sampleRate);
    format.setChannelCount(pcm->channels);
    format.setSampleFormat(pcm->bitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    if (!device.isFormatSupported(format))
        return false;

    // Trailing silence: Qt's PulseAudio sink writes nothing for a sound
    // shorter than its prebuffer, and an 80 ms key tone is.
    const qsizetype frame = pcm->channels * pcm->bitsPerSample / 8;
    const char quiet = pcm->bitsPerSample == 8 ? char(128) : char(0);
    buffer_.setData(pcm->samples + QByteArray(frame * pcm->sampleRate / 4, quiet));
    if (!buffer_.open(QIODevice::ReadOnly))
        return false;
    sink_ = std::make_unique<QAudioSink>(device, format);
    // Let the sound drain, then give the device back.
    connect(sink_.get(), &QAudioSink::stateChanged, this, [this](QAudio::State s) {
        if (s == QAudio::IdleState)
            stop();
    });
    sink_->start(&buffer_);
    if (sink_->error() != QAudio::NoError) {
        stop();
        return false;
    }
    return true;
}

} // namespace platform
