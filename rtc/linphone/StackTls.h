#pragma once
// What the SIP stack's TLS connections must hold to beyond the engine's
// own settings: TLS 1.2 or newer, and a server certificate required. The
// stack's TLS library would otherwise still take TLS 1.0 and 1.1.
//
// The stack adds its trusted authorities, its certificate check and its
// random source to this configuration as it opens each connection (and
// points it at that connection's authorities until the next one opens:
// one connection at a time is what the phone has, to its provider).
namespace rtc::lp::StackTls {

// A configuration of the TLS library for one core, never freed (the core
// may keep using it until it is gone); null when it cannot be made.
void *NewClientConfig();

} // namespace rtc::lp::StackTls
