# shellcheck shell=sh
# The Wine settings every command shares, sourced by wine-env.sh (which sets
# the environments up) and wine-run (which runs one program in them): the
# loaders, each architecture's prefix inside the build tree, the virtual
# desktop's size, and what every run of a program gets.
WINE64=/usr/lib/wine/wine64
WINE32=/usr/lib/wine/wine
WINE_ENV_SCREEN=${WINE_ENV_SCREEN:-1024x768}

# wine_loader ARCH: the loader of x86_64 or i686 programs.
wine_loader() { if [ "$1" = i686 ]; then echo "$WINE32"; else echo "$WINE64"; fi; }
# wine_prefix ARCH OUTDIR: that architecture's prefix in the build tree.
wine_prefix() { if [ "$1" = i686 ]; then echo "$2/wineprefix32"; else echo "$2/wineprefix"; fi; }

# No debug output (unless asked for), and no .NET or HTML engine to offer.
WINEDEBUG=${WINEDEBUG:--all}
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG WINEDLLOVERRIDES
