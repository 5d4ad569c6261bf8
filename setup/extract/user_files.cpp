#include "extract/user_files.h"

#include "base/message.h"
#include "base/text_file.h"
#include "extract/register_form.h"
#include "res/resource.h"
#include "settings/settings.h"

void WriteRegistrationForm()
{
    WriteUserInfo();

    char szProductNumber[CCH_PRODUCT_NUMBER];
    LoadProgramString(IDS_PRODUCT_NUMBER, szProductNumber, sizeof szProductNumber);

    // Text mode: every "\n" of the form is stored as CR LF.
    TextFile file;
    if (!file.Create("register.txt"))
        return;
    char szForm[CCH_REGISTRATION_FORM];
    FormatRegistrationForm(szForm, sizeof szForm, szProductNumber, &g_UserInfo);
    file.Stream()->Put(szForm);
}
