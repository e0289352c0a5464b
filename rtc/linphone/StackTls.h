#pragma once
// What the SIP stack's TLS connections must hold to beyond the engine's
// own settings: TLS 1.2 or newer, and a server certificate required. The
// stack's TLS library would otherwise still take TLS 1.0 and 1.1.
//
// The stack adds its trusted authorities, its certificate check and its
// random source to this configuration as it opens each connection, and
// they are that connection's until it closes. Only the handshake reads
// them (the suites allowed need no random numbers after it): two
// handshakes at once, with the newer connection closed first, would not
// be safe. The phone has one connection, to its provider.
namespace rtc::lp::StackTls {

// A configuration of the TLS library for one core, never freed (the core
// may keep using it until it is gone); null when it cannot be made.
void *NewClientConfig();

} // namespace rtc::lp::StackTls
