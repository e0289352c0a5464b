#pragma once
// What the phone takes of a message, decided from its outline: the methods
// it has a use for, the extensions it refuses, the bodies it can read.
// Everything the phone does not use is answered here, never reaching the
// SIP stack, whose code for it is not safe on a stranger's word (a REFER
// would dial any number; a Replaces would hang up the live call).
#include "rtc/linphone/SipOutline.h"

#include <QByteArray>

namespace rtc::lp {

namespace SipPolicy {

// The methods the phone takes, as its answers advertise them: calls
// (INVITE, ACK, CANCEL, BYE), OPTIONS (providers ask it to tell the phone
// is alive), and what a call needs inside its dialog: INFO (keys as SIP
// INFO from some far ends), UPDATE (session timers, early media) and PRACK
// (reliable provisional answers).
extern const char kAllow[];

// A final answer the phone sends without the stack: status line text and
// any header lines it needs (each ending in CR LF).
struct Refusal {
    const char *status = nullptr; // none: the request may go in
    QByteArray headers;
    explicit operator bool() const { return status != nullptr; }
};

// The refusal for a well-formed request within the bounds, if any:
// - a method not in kAllow: 489 for SUBSCRIBE and PUBLISH (no event
//   package), 481 for NOTIFY (the phone has no subscription), 405 with
//   Allow for the rest;
// - BYE, INFO, UPDATE or PRACK outside a dialog: 481;
// - an INVITE with Replaces or Join: 420 with Unsupported; with Refer-To: 403;
// - an offer or answer (INVITE, UPDATE, PRACK) whose body is not SDP: 415
//   with Accept; one whose SDP the engine cannot read: 488.
Refusal RefusalFor(const SipOutline &request);

// The answer for a request over the bounds (414 or 400).
Refusal OverBounds(SipKind kind);

// A 401 or 407 the engine can act on: every challenge Digest, with a realm
// and a nonce. The engine's handling of any other challenge crashes the
// phone; such an answer is dropped, and its request times out. True for
// every other response.
bool UsableChallenge(const SipOutline &response);

// A message whose body the engine can take: none, or a session description
// it reads where one may be offered or answered (INVITE, UPDATE, PRACK, ACK
// and their answers). The engine reads any SDP there unchecked.
bool UsableBody(const SipOutline &message);

// A stateless answer to a well-formed request: its Vias, From, To (with a
// tag of its own, the same for a retransmission), Call-ID and CSeq; empty
// for ACK, which is never answered.
QByteArray Answer(const SipOutline &request, const char *status, const QByteArray &headers = {});

// An outgoing message with its Allow header telling kAllow; empty when it
// has none or already tells it.
QByteArray WithOwnAllow(const char *data, std::size_t size);

// An outgoing message whose session description has no ICE candidates,
// with the audio's connection address local (c=IN IP4 local) told as
// public instead, and its Content-Length to match; empty when nothing
// changes. Behind a router that keeps ports, a far end that sends to the
// address it is given reaches the phone then.
QByteArray WithPublicMedia(const QByteArray &message, const std::string &local, const std::string &publicAddress);

} // namespace SipPolicy

} // namespace rtc::lp
