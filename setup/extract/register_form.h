/*
 * The text of "register.txt": the registration form the user sends to the
 * maker, with the product number, the version, the device type and the
 * user's details. Written through a text-mode stream, so every "\n" of it
 * becomes CR LF on disk.
 */
#ifndef SETUP_EXTRACT_REGISTER_FORM_H
#define SETUP_EXTRACT_REGISTER_FORM_H

#include <cstddef>

#include "settings/userinfo.h"

/* The product number's buffer (string IDS_PRODUCT_NUMBER). */
#define CCH_PRODUCT_NUMBER 50
/* Room for the whole form with every field at its 255 characters. */
#define CCH_REGISTRATION_FORM 4096

/* The form: one format string, thirteen %s, 24 lines. */
extern const char c_szRegistrationForm[];
/* The version's two parts: "1.0" and, stored as UTF-16, "BBBB-beta". */
extern const char c_szVersionMajor[];
extern const char16_t c_wszVersionBuild[];

/* Narrows UTF-16 text to ANSI by taking the low byte of each character. */
void NarrowText(char *psz, size_t cch, const char16_t *pwsz);

/* Formats the form for that product number and user record. */
bool FormatRegistrationForm(char *pszForm, size_t cchForm, const char *pszProductNumber,
                            const USERINFO *pInfo);

#endif
