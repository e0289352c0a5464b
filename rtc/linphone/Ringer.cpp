#include "rtc/linphone/Ringer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace rtc::lp {

namespace {
constexpr int kRingMaxMs = 2000; // the caller rings every two seconds
} // namespace

// Loops the ringback: the player stops at the end of the file. Detached
// before the ringer goes, so a late callback finds nobody.
class Ringer::Events final : public linphone::PlayerListener {
public:
    explicit Events(Ringer *ringer) : ringer_(ringer) {}
    void detach() { ringer_ = nullptr; }
    void onEofReached(const std::shared_ptr<linphone::Player> &) override
    {
        if (ringer_)
            ringer_->ended();
    }

private:
    Ringer *ringer_;
};

Ringer::Ringer(std::function<bool()> callRinging) : callRinging_(std::move(callRinging))
{
    end_.setSingleShot(true);
    QObject::connect(&end_, &QTimer::timeout, [this] { ended(); });
}

Ringer::~Ringer()
{
    detach();
}

void Ringer::attach(const std::shared_ptr<linphone::Core> &core)
{
    core_ = core;
    // One ring of an old telephone rather than the core's 30-second melody:
    // the phone rings once every two seconds.
    const QString oldPhone = QDir(QString::fromStdString(linphone::Factory::get()->getRingResourcesDir()))
                                 .filePath(QStringLiteral("oldphone-mono.wav"));
    ringFile_ = QFileInfo::exists(oldPhone) ? oldPhone : QString::fromStdString(core->getRing());
    ringbackFile_ = QString::fromStdString(core->getRingback());
    messageFile_ = QFileInfo(ringbackFile_).dir().filePath(QStringLiteral("incoming_chat.wav"));
    core->setRing("");
    core->setRingback("");
}

void Ringer::detach()
{
    end_.stop();
    dropPlayer();
    core_.reset();
}

void Ringer::dropPlayer()
{
    if (player_) {
        player_->close();
        if (events_)
            player_->removeListener(events_);
        player_.reset();
    }
    if (events_)
        std::exchange(events_, nullptr)->detach();
}

void Ringer::deviceChanged()
{
    dropPlayer();
}

HRESULT Ringer::play(RTC_RING_TYPE type, bool play)
{
    if (!play) {
        end_.stop();
        loops_ = false;
        ringingPhone_ = false;
        if (player_)
            player_->close();
        return S_OK;
    }
    if (!core_)
        return RTC_E_CLIENT_NOT_INITIALIZED;
    const QString file = type == RTCRT_PHONE ? ringFile_ : type == RTCRT_RINGBACK ? ringbackFile_ : messageFile_;
    if (file.isEmpty() || !QFile::exists(file))
        return E_FAIL;
    const std::string ringer = core_->getRingerDevice();
    if (ringer.empty())
        return RTC_E_NO_DEVICE;
    if (!player_) {
        player_ = core_->createLocalPlayer(ringer, "", nullptr);
        if (!player_)
            return RTC_E_NO_DEVICE;
        events_ = std::make_shared<Events>(this);
        player_->addListener(events_);
    }
    player_->close();
    if (player_->open(file.toStdString()) != 0 || player_->start() != 0) {
        player_->close();
        return RTC_E_NO_DEVICE;
    }
    // The phone's ring sounds once per call of play (the caller rings every
    // two seconds); the ringback tone goes on until it is stopped.
    loops_ = type == RTCRT_RINGBACK;
    ringingPhone_ = type == RTCRT_PHONE;
    if (!loops_) {
        const int length = player_->getDuration();
        end_.start(length > 0 ? qMin(length + 100, kRingMaxMs) : kRingMaxMs);
    }
    return S_OK;
}

void Ringer::stopWhenNoCallRings()
{
    if (ringingPhone_ && !callRinging_())
        play(RTCRT_PHONE, false);
}

void Ringer::ended()
{
    if (!player_)
        return;
    if (loops_) {
        player_->seek(0);
        player_->start();
    } else {
        end_.stop();
        ringingPhone_ = false;
        player_->close();
    }
}

} // namespace rtc::lp
