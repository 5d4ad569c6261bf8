/*
 * The optional books, one row a book in the load script's order: the options
 * dialog offers them, the load script copies the chosen ones onto the device
 * and the device step makes room for them. Plain C++, no <windows.h>.
 */
#ifndef SETUP_SETTINGS_BOOKS_H
#define SETUP_SETTINGS_BOOKS_H

#include <cstdint>

struct Book {
    int *pfChosen;                  /* its flag in the install settings (a BOOL) */
    int idCheckBox;                 /* its check box in the options dialog */
    const char *pszPayloadDir;      /* its files' directory in the payload and the desktop directory */
    const char *pszDeviceDir;       /* its folder in the books' folder on the device */
    const char *const *ppszFiles;   /* its files in the order they are copied, then a null */
    int32_t cbDevice;               /* what it adds to the room the device must have */
};

#define CBOOKS 3
extern const Book c_rgBooks[CBOOKS];

#endif
