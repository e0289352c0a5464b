#pragma once
// How a liblinphone core is made for the phone: the process-wide set-up of
// the libraries under it, and a core configured for an audio-only phone
// with one UDP SIP socket and no files of its own beside the engine's
// folder. Make() runs on the engine's thread; Prepare() on any.
#include "rtc/linphone/LinphoneClient.h"

#include <linphone++/linphone.hh>

#include <memory>

namespace rtc::lp {

class CoreSetup {
public:
    // Starts the libraries' one-time set-up (their logging, their crypto
    // self-tests) on a thread of its own; Make() waits for it.
    static void Prepare();
    // A core for these options, not yet started; none when liblinphone
    // refuses. folder is the engine's own, absolute, with data/ and download/.
    static std::shared_ptr<linphone::Core> Make(const LinphoneClientOptions &options, const QString &folder);
};

} // namespace rtc::lp
