/*
 * The user record and the exact layout of "UserInfo.dat": a 32-bit leading
 * word that is stored and loaded but never interpreted, then ten text fields
 * of 256 bytes, each a NUL-terminated ANSI string. 2564 bytes, no padding.
 */
#ifndef SETUP_SETTINGS_USERINFO_H
#define SETUP_SETTINGS_USERINFO_H

#include <cstddef>
#include <cstdint>

#define USERINFO_CCH_FIELD 256

struct USERINFO {
    uint32_t dwLeading;
    char szName[USERINFO_CCH_FIELD];
    char szCompany[USERINFO_CCH_FIELD];
    char szAddress[USERINFO_CCH_FIELD];
    char szCity[USERINFO_CCH_FIELD];
    char szState[USERINFO_CCH_FIELD];
    char szPostalCode[USERINFO_CCH_FIELD];
    char szCountry[USERINFO_CCH_FIELD];
    char szPhone[USERINFO_CCH_FIELD];
    char szFax[USERINFO_CCH_FIELD];
    char szKeyNumber[USERINFO_CCH_FIELD];
};

static_assert(sizeof(USERINFO) == 2564, "UserInfo.dat is 2564 bytes");
static_assert(offsetof(USERINFO, szName) == 4, "layout of UserInfo.dat");
static_assert(offsetof(USERINFO, szCompany) == 260, "layout of UserInfo.dat");
static_assert(offsetof(USERINFO, szPhone) == 1796, "layout of UserInfo.dat");
static_assert(offsetof(USERINFO, szKeyNumber) == 2308, "layout of UserInfo.dat");

#define USERINFO_CFIELDS 10

/* The ten text fields in record order. */
char *UserInfoField(USERINFO *pInfo, int iField);

/*
 * Makes every text field a string that ends inside its 256 bytes: a field
 * without a NUL (a damaged or foreign file) gets one in its last byte. Bytes
 * after an existing terminator are left as they are.
 */
void TerminateUserInfoFields(USERINFO *pInfo);

#endif
