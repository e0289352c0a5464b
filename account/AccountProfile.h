#pragma once
#include <QString>

// The account the phone registers with, shared by the whole program. Written
// only by ReadProfile and by the login window; read by start-up and
// registration.
extern QString g_strSip;      // SIP server address, optionally host:port
extern QString g_strAccount;  // account ID (user ID)
extern QString g_strPassword; // password (PIN)
extern QString g_strUser;     // caller-ID name or alias
