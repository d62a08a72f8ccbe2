# Paths shared by tools/setup.sh and ./run. Sourced, not executed.
# The cache lives outside the clone so that fresh clones on one machine share
# it; TESSEL_CACHE moves it.
CURL_VERSION=7.88.1
DEPS_RECIPE=1 # bump when the way dependencies are built changes
if [ "$(id -u)" -eq 0 ]; then
  CACHE_DIR="${TESSEL_CACHE:-/var/cache/tessel}"
else
  CACHE_DIR="${TESSEL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tessel}"
fi
DEPS_PREFIX="$CACHE_DIR/deps-curl$CURL_VERSION-r$DEPS_RECIPE"
WINE_VERSION="$(wine --version 2>/dev/null | tr -c 'A-Za-z0-9.~\n-' _ || true)"
# TESSEL_WINEPREFIX gives a second checkout its own prefix, so that two test
# runs on one machine do not stop each other's wineserver.
export WINEPREFIX="${TESSEL_WINEPREFIX:-$CACHE_DIR/wineprefix-$WINE_VERSION}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export TESSEL_DEPS_PREFIX="$DEPS_PREFIX"
