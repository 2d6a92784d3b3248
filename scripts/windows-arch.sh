# Sourced by the scripts: chooses the Windows build that this machine can run under Wine.
# The shipped build is 32-bit (i686). Some machines cannot execute 32-bit programs at all
# (wine32 fails with "Exec format error"); there the x86_64 build runs under wine64 in a
# 64-bit prefix. MAILSTOW_WIN_ARCH=x86_64 (or i686) forces the choice.
# Sets WIN_ARCH, WIN_BUILD (the build folder) and WIN_ARCH_REASON.
wine32_loader="${MAILSTOW_WINE32_LOADER:-/usr/lib/wine/wine}"
if [ -n "${MAILSTOW_WIN_ARCH:-}" ]; then
  WIN_ARCH="$MAILSTOW_WIN_ARCH"
  WIN_ARCH_REASON="forced by MAILSTOW_WIN_ARCH"
elif "$wine32_loader" --version >/dev/null 2>&1; then
  WIN_ARCH=i686
  WIN_ARCH_REASON="this machine runs 32-bit programs"
else
  WIN_ARCH=x86_64
  WIN_ARCH_REASON="this machine cannot run 32-bit programs ($wine32_loader does not start)"
fi
case "$WIN_ARCH" in
  i686) WIN_BUILD=build/win ;;
  x86_64) WIN_BUILD=build/win64 ;;
  *) echo "MAILSTOW_WIN_ARCH must be i686 or x86_64, not '$WIN_ARCH'" >&2; exit 2 ;;
esac
