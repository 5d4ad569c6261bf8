/*
 * Consistency checks. A failed check means the program met something that
 * cannot happen with an intact setup file (a damaged download, for example):
 * it reports the failed expression, the source "..\setup" and the line, and
 * ends the program. Always on, in every build.
 */
#ifndef SETUP_BASE_CHECK_H
#define SETUP_BASE_CHECK_H

[[noreturn]] void SetupCheckFailed(const char *pszExpression, int nLine);

#define SETUP_CHECK(expr) ((expr) ? (void)0 : SetupCheckFailed(#expr, __LINE__))

/* Exit code of a program ended by a failed check (that of abort()). */
#define SETUP_CHECK_EXIT_CODE 3

#endif
