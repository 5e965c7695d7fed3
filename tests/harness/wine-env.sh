# Sourced by the harness scripts: one private Wine prefix, quiet and UTF-8.
# BREVON_WINEPREFIX names the prefix; the build sets it to a folder of its own.
: "${BREVON_WINEPREFIX:?BREVON_WINEPREFIX must name the test prefix}"
export WINEPREFIX="$BREVON_WINEPREFIX"
export WINEARCH=win64
# Wine's diagnostics on standard error would break byte-for-byte checks.
export WINEDEBUG=-all
# Wine maps file names through the Unix locale; non-ASCII names need UTF-8.
export LC_ALL=C.UTF-8
# No Mono or Gecko install dialogs when the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
