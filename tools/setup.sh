#!/usr/bin/env bash
# One-time machine set-up for the cross build: Debian packages, libcurl and
# GoogleTest cross-built for mingw-w64, and a Wine prefix of the project's own.
# Idempotent: everything it builds is cached outside the clone, keyed by
# versions, so a second run only checks markers.
#
# Prints nothing but progress on stderr; callers source tools/env.sh for the
# paths.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=tools/env.sh
source "$ROOT/tools/env.sh"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

log() { echo "[setup] $*" >&2; }

PACKAGES=(
  g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
  wine64 wine fonts-wine fonts-wqy-microhei xvfb xauth imagemagick x11-apps
  libstb-dev googletest cmake ninja-build dpkg-dev python3 iproute2 clang-format
)

install_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then return; fi
  log "installing packages: ${missing[*]}"
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/tmp/tessel-apt.log 2>&1 ||
    { tail -n 30 /tmp/tessel-apt.log >&2; exit 1; }
}

enable_deb_src() {
  local src=/etc/apt/sources.list.d/tessel-deb-src.sources
  if [ -f "$src" ]; then return; fi
  log "enabling Debian source packages"
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $SUDO tee "$src" >/dev/null
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
}

build_curl() {
  if [ -f "$DEPS_PREFIX/.curl-ok" ]; then return; fi
  enable_deb_src
  local work
  work="$(mktemp -d)"
  log "building libcurl $CURL_VERSION for mingw in $work"
  (cd "$work" && apt-get source -qq "curl" >/dev/null 2>&1)
  local srcdir
  srcdir="$(find "$work" -maxdepth 1 -type d -name "curl-$CURL_VERSION*" | head -n1)"
  if [ -z "$srcdir" ]; then
    log "curl $CURL_VERSION source not found"
    exit 1
  fi
  cmake -S "$srcdir" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$DEPS_PREFIX" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DCURL_DISABLE_TESTS=ON \
    -DHTTP_ONLY=ON -DCURL_ENABLE_SSL=OFF -DCURL_USE_SCHANNEL=OFF -DCURL_USE_OPENSSL=OFF \
    -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBSSH=OFF -DCURL_USE_LIBPSL=OFF -DUSE_LIBIDN2=OFF \
    -DUSE_WIN32_IDN=OFF -DCURL_DISABLE_LDAP=ON -DCURL_DISABLE_LDAPS=ON -DUSE_NGHTTP2=OFF \
    -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DCURL_ZLIB=OFF -DCURL_USE_GSSAPI=OFF \
    -DENABLE_THREADED_RESOLVER=ON -DENABLE_UNICODE=ON -DENABLE_MANUAL=OFF \
    -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none -DCURL_DISABLE_ALTSVC=ON -DCURL_DISABLE_HSTS=ON \
    -DCURL_DISABLE_NTLM=ON -DCURL_WINDOWS_SSPI=OFF -DENABLE_UNIX_SOCKETS=OFF >"$work/configure.log" 2>&1 ||
    { tail -n 40 "$work/configure.log" >&2; exit 1; }
  cmake --build "$work/build" >"$work/build.log" 2>&1 || { tail -n 40 "$work/build.log" >&2; exit 1; }
  cmake --install "$work/build" >/dev/null
  rm -rf "$work"
  touch "$DEPS_PREFIX/.curl-ok"
}

build_gtest() {
  if [ -f "$DEPS_PREFIX/.gtest-ok" ]; then return; fi
  local work
  work="$(mktemp -d)"
  log "building GoogleTest for mingw"
  cmake -S /usr/src/googletest -B "$work" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$DEPS_PREFIX" \
    -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF >"$work.log" 2>&1 ||
    { tail -n 40 "$work.log" >&2; exit 1; }
  cmake --build "$work" >>"$work.log" 2>&1 || { tail -n 40 "$work.log" >&2; exit 1; }
  cmake --install "$work" >/dev/null
  rm -rf "$work" "$work.log"
  touch "$DEPS_PREFIX/.gtest-ok"
}

make_wine_prefix() {
  if [ -f "$WINEPREFIX/.tessel-ok" ]; then return; fi
  log "creating Wine prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  # Without a display the prefix must still initialise: the null driver is
  # picked through the registry below, wineboot itself needs no window.
  DISPLAY= wine wineboot --init >/dev/null 2>&1 || true
  wineserver -w
  local reg
  reg="$(mktemp --suffix=.reg)"
  cat >"$reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Graphics"="x11,null"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"SimSun"="WenQuanYi Micro Hei"
"NSimSun"="WenQuanYi Micro Hei"
"SimHei"="WenQuanYi Micro Hei"
"Microsoft YaHei"="WenQuanYi Micro Hei"
"宋体"="WenQuanYi Micro Hei"
"微软雅黑"="WenQuanYi Micro Hei"
REG
  # regedit reads .reg files as UTF-16 when they carry a BOM; the Chinese
  # face names need it.
  local reg16="${reg%.reg}-16.reg"
  { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$reg"; } >"$reg16"
  DISPLAY= wine regedit /S "$(winepath -w "$reg16" 2>/dev/null)" >/dev/null 2>&1
  wineserver -w
  rm -f "$reg" "$reg16"
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
  touch "$WINEPREFIX/.tessel-ok"
}

install_packages
# The Wine prefix is keyed by the Wine version, known only once Wine is in.
source "$ROOT/tools/env.sh"
mkdir -p "$DEPS_PREFIX" "$CACHE_DIR"
# The prefix initialises while libcurl compiles; both are independent.
make_wine_prefix &
wine_pid=$!
build_curl
build_gtest
wait "$wine_pid"
log "ready: deps in $DEPS_PREFIX, Wine prefix in $WINEPREFIX"
