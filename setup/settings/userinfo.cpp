#include "settings/userinfo.h"

#include <cstring>

char *UserInfoField(USERINFO *pInfo, int iField)
{
    char *apsz[USERINFO_CFIELDS] = {
        pInfo->szName,  pInfo->szCompany, pInfo->szAddress, pInfo->szCity,  pInfo->szState,
        pInfo->szPostalCode, pInfo->szCountry, pInfo->szPhone, pInfo->szFax, pInfo->szKeyNumber,
    };
    return (iField >= 0 && iField < USERINFO_CFIELDS) ? apsz[iField] : nullptr;
}

void TerminateUserInfoFields(USERINFO *pInfo)
{
    for (int i = 0; i < USERINFO_CFIELDS; ++i) {
        char *psz = UserInfoField(pInfo, i);
        if (memchr(psz, '\0', USERINFO_CCH_FIELD) == nullptr)
            psz[USERINFO_CCH_FIELD - 1] = '\0';
    }
}
