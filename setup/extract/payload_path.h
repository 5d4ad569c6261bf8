/*
 * Where a payload record goes: the checks that keep every file below the
 * desktop directory, and the target path "root\directory\name".
 */
#ifndef SETUP_EXTRACT_PAYLOAD_PATH_H
#define SETUP_EXTRACT_PAYLOAD_PATH_H

#include <cstddef>
#include <cstdint>

/*
 * 0 when a record with this directory and name is written below the
 * extraction root; PAYLOAD_ERROR_INVALID_NAME when it would leave it or is
 * no file name at all:
 *   directory: absolute ("\x", "/x") or with a drive or stream (any ':'),
 *              or a component ".." (or any other of dots and blanks only but
 *              "."), or a device name ("CON", "aux.txt", "LPT1");
 *   name:      empty, holding '\', '/' or ':', of dots and blanks only, or
 *              a device name.
 * "." and empty components of a directory are allowed ("books\.\film").
 */
uint32_t CheckPayloadPath(const char *pszDir, const char *pszName);

/*
 * Joins pszRoot, a backslash, pszDir, a backslash and pszName into pszPath
 * and reduces every "\.\" to "\" until none is left (so a directory of "."
 * puts the file straight into the root). False, with an empty pszPath, when
 * the joined path has more than cchPath - 1 characters.
 */
bool BuildTargetPath(char *pszPath, size_t cchPath, const char *pszRoot, const char *pszDir,
                     const char *pszName);

/* Reduces every "\.\" in pszPath to "\", repeatedly, until none is left. */
void ReduceDotSegments(char *pszPath);

#endif
