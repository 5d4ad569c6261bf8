#include "extract/register_form.h"

#include "base/text.h"

#define DASHES_10 "----------"
#define DASHES_100 DASHES_10 DASHES_10 DASHES_10 DASHES_10 DASHES_10 \
                   DASHES_10 DASHES_10 DASHES_10 DASHES_10 DASHES_10

const char c_szRegistrationForm[] =
    DASHES_100 "\n"
    "\t\tAutomatic rOSK Registration Form\n"
    DASHES_100 "\n"
    "\n"
    "Product Number:  %s\n"
    "\n"
    "Product Version: %s.%s\n"
    "\n"
    "Device Type:     Handheld PC\n"
    "\n"
    "\n"
    "Registered User:\n"
    "\n"
    "%s\n"
    "%s\n"
    "%s\n"
    "%s\n"
    "%s, %s  %s\n"
    "\n"
    "Phone:     %s\n"
    "Fax:     %s\n"
    "Key Number: %s\n"
    "\n"
    "\n";

const char c_szVersionMajor[] = "1.0";
const char16_t c_wszVersionBuild[] = u"BBBB-beta";

void NarrowText(char *psz, size_t cch, const char16_t *pwsz)
{
    if (cch == 0)
        return;
    size_t i = 0;
    for (; i + 1 < cch && pwsz[i] != 0; ++i)
        psz[i] = char(pwsz[i] & 0xFF);
    psz[i] = '\0';
}

bool FormatRegistrationForm(char *pszForm, size_t cchForm, const char *pszProductNumber,
                            const USERINFO *pInfo)
{
    // The fields end inside their 256 bytes, whatever the record holds.
    USERINFO info = *pInfo;
    TerminateUserInfoFields(&info);
    char szBuild[16];
    NarrowText(szBuild, sizeof szBuild, c_wszVersionBuild);
    return FormatText(pszForm, cchForm, c_szRegistrationForm, pszProductNumber, c_szVersionMajor, szBuild,
                      info.szName, info.szCompany, info.szAddress, info.szCity, info.szState,
                      info.szPostalCode, info.szCountry, info.szPhone, info.szFax, info.szKeyNumber);
}
