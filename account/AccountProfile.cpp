#include "account/AccountProfile.h"

QString g_strSip;
QString g_strAccount;
QString g_strPassword;
QString g_strUser;
