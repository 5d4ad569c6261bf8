// The registration form's worked example: Ann Lee of Lee Ltd in Kent, WA
// 98032, USA, with no address, phone, fax or key number, and the 24 lines of
// the form made from it (without their line ends).
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "settings/userinfo.h"

inline USERINFO ExampleUserInfo()
{
    USERINFO info = {};
    strcpy(info.szName, "Ann Lee");
    strcpy(info.szCompany, "Lee Ltd");
    strcpy(info.szCity, "Kent");
    strcpy(info.szState, "WA");
    strcpy(info.szPostalCode, "98032");
    strcpy(info.szCountry, "USA");
    return info;
}

inline std::vector<std::string> ExampleFormLines()
{
    const std::string dashes(100, '-');
    return {dashes, "\t\tAutomatic rOSK Registration Form", dashes, "", "Product Number:  10971", "",
            "Product Version: 1.0.BBBB-beta", "", "Device Type:     Handheld PC", "", "", "Registered User:", "",
            "Ann Lee", "Lee Ltd", "", "Kent", "WA, 98032  USA", "", "Phone:     ", "Fax:     ", "Key Number: ", "",
            ""};
}
