/*
 * The extraction's last files: WriteRegistrationForm stores the user record
 * ("UserInfo.dat") and writes the registration form made from it
 * ("register.txt") into the current directory. Silent when either cannot be
 * written.
 */
#ifndef SETUP_EXTRACT_USER_FILES_H
#define SETUP_EXTRACT_USER_FILES_H

void WriteRegistrationForm();

#endif
