#!/usr/bin/env bash
# The release as built, without the network: the archive holds exactly its files in one folder
# and its yarvik needs of the system only the C library, the GL driver and SDL2 (checked on the
# binary's own needs and on everything ldd loads for it); the C library it needs is the one the
# info file states. The Debian package installs the same files as `cmake --install` of its
# configuration, in Debian's places; its programs load Debian's libraries, each one from a
# package it depends on; lintian finds no error in it and the AppStream and desktop-entry
# validators accept its files (packaging/lint-package).
# Usage: contents_test.sh ARCHIVE.tar.gz PACKAGE.deb RELEASE_BUILD_DIR PACKAGE_BUILD_DIR
set -u
ARCHIVE=$1
DEB=$2
BUILD=$3
PACKAGE_BUILD=$4
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

[ -f "$ARCHIVE" ] || { echo "FAIL: no archive $ARCHIVE (make release)" >&2; exit 1; }
[ -f "$DEB" ] || { echo "FAIL: no package $DEB (make release)" >&2; exit 1; }
name=$(basename "$ARCHIVE" .tar.gz)
top=${name%-linux-x86_64}
version=${top#yarvik-}

# --- The archive: one folder, exactly these files.
expected=$(printf '%s\n' "$top/" "$top/LICENSE" "$top/THIRD-PARTY-NOTICES.txt" "$top/screenshot.png" \
  "$top/yarvik" "$top/yarvik-capture" "$top/yarvik.nfo" | sort)
listed=$(tar -tzf "$ARCHIVE" | sort)
[ "$listed" = "$expected" ] || fail "archive holds:"$'\n'"$listed"$'\n'"expected:"$'\n'"$expected"
tar -xzf "$ARCHIVE" -C "$WORK" || fail "archive does not unpack"
dir=$WORK/$top
for program in yarvik yarvik-capture; do
  [ -x "$dir/$program" ] || fail "$program is not executable"
  out=$("$dir/$program" --version)
  [ "$out" = "$program $version" ] || fail "$program --version says '$out', the archive is $version"
done
file -b "$dir/screenshot.png" | grep -q '^PNG image data, 640 x 480' || fail "screenshot.png is not a 640x480 PNG"
LC_ALL=C grep -q '[^ -~]' "$dir/yarvik.nfo" && fail "yarvik.nfo is not plain ASCII"
awk 'length > 79 { exit 1 }' "$dir/yarvik.nfo" || fail "yarvik.nfo has lines over 79 columns"
grep -q "version $version" "$dir/yarvik.nfo" || fail "yarvik.nfo does not name version $version"
grep -q "Copyright (c) .* The Yarvik authors" "$dir/LICENSE" || fail "LICENSE without its copyright line"
for notice in "SIL Open Font License" "GNU LESSER GENERAL PUBLIC LICENSE" "libxmp $(dpkg-parsechangelog \
    -l "$BUILD/libxmp/debian/changelog" -S Version)" "The FreeType Project LICENSE" \
    "Portions of this software are copyright" "PNG Reference Library License" "Jean-loup Gailly" \
    "Brotli Authors" "SGI FREE SOFTWARE LICENSE B"; do
  grep -q "$notice" "$dir/THIRD-PARTY-NOTICES.txt" || fail "THIRD-PARTY-NOTICES.txt lacks '$notice'"
done

# --- What yarvik needs of the system. Its own needs: SDL2, GL and the C library only.
ALLOWED_NEEDED="libSDL2-2.0.so.0 libGL.so.1 libc.so.6 libm.so.6 libdl.so.2 libpthread.so.0 librt.so.1 ld-linux-x86-64.so.2"
needed=$(objdump -p "$dir/yarvik" | awk '$1 == "NEEDED" { print $2 }')
echo "yarvik needs: $(echo $needed)"
for lib in $needed; do
  [[ " $ALLOWED_NEEDED " == *" $lib "* ]] || fail "yarvik needs $lib"
done
# Everything ldd loads: nothing beyond what SDL2 and the GL library load themselves.
libs() { ldd "$1" | awk '$2 == "=>" { print $1 } $2 != "=>" && $1 ~ /^\// { n = split($1, p, "/"); print p[n] }'; }
echo "ldd yarvik:"
ldd "$dir/yarvik" | sed 's/ (0x[0-9a-f]*)//; s/^/  /'
ldd "$dir/yarvik" | grep -q "not found" && fail "ldd: a library is not found"
sdl=$(ldd "$dir/yarvik" | awk '$1 == "libSDL2-2.0.so.0" { print $3 }')
gl=$(ldd "$dir/yarvik" | awk '$1 == "libGL.so.1" { print $3 }')
allowed=$( { echo "$ALLOWED_NEEDED linux-vdso.so.1" | tr ' ' '\n'; libs "$sdl"; libs "$gl"; } | sort -u)
for lib in $(libs "$dir/yarvik"); do
  grep -qx "$lib" <<<"$allowed" || fail "ldd: yarvik loads $lib, which neither SDL2 nor GL loads"
done
for program in yarvik yarvik-capture; do
  for lib in libxmp libfreetype libGLU libpng libbrotli libz.so libasound; do
    objdump -p "$dir/$program" | grep -q "NEEDED *$lib" && fail "$program needs $lib, which should be inside it"
  done
done

# The oldest C library: what the info file says is what the programs ask for.
glibc=$(objdump -T "$dir/yarvik" "$dir/yarvik-capture" | grep -o 'GLIBC_[0-9.]*' | sed 's/GLIBC_//' | sort -uV | tail -1)
echo "oldest C library: $glibc"
grep -q "GNU C library $glibc or later" "$dir/yarvik.nfo" || fail "yarvik.nfo does not say 'GNU C library $glibc or later'"

# --- The Debian package: its version, its files (those of cmake --install), and dependencies
# on every package whose library the programs load, as Debian's shared libraries.
[ "$(dpkg-deb -f "$DEB" Version)" = "$version" ] || fail "package version $(dpkg-deb -f "$DEB" Version)"
depends=$(dpkg-deb -f "$DEB" Depends)
echo "Depends: $depends"
id=$(sed -n 's/^YARVIK_APP_ID:STRING=//p' "$PACKAGE_BUILD/CMakeCache.txt")
packaged=$(dpkg-deb -c "$DEB" | awk '$1 !~ /^d/ { sub(/^\.\/usr/, "", $6); print $6 }' | sort)
want=$(printf '%s\n' /games/yarvik /bin/yarvik-capture /share/man/man6/yarvik.6.gz /share/man/man1/yarvik-capture.1.gz \
  /share/applications/$id.desktop /share/metainfo/$id.metainfo.xml /share/doc/yarvik/copyright \
  /share/doc/yarvik/changelog.gz /share/lintian/overrides/yarvik /share/icons/hicolor/{48x48,64x64,128x128,256x256}/apps/yarvik.png | sort)
[ "$packaged" = "$want" ] || fail "package holds:"$'\n'"$packaged"
cmake --install "$PACKAGE_BUILD" --prefix "$WORK/prefix" >/dev/null || fail "cmake --install failed"
installed=$(cd "$WORK/prefix" && find . -type f | sed 's/^\.//' | sort)
[ "$installed" = "$packaged" ] || fail "cmake --install gives:"$'\n'"$installed"
dpkg-deb -x "$DEB" "$WORK/deb"
dependencies=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*//; s/ //g')
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for program in games/yarvik bin/yarvik-capture; do
  for lib in $(objdump -p "$WORK/deb/usr/$program" | awk '$1 == "NEEDED" { print $2 }'); do
    owner=$(dpkg -S "*/$multiarch/$lib" 2>/dev/null | head -1 | cut -d: -f1)
    grep -qx "$owner" <<<"$dependencies" || fail "$program needs $lib (package ${owner:-none}), not among Depends"
  done
done
for lib in libxmp.so.4 libfreetype.so.6 libGLU.so.1; do
  objdump -p "$WORK/deb/usr/games/yarvik" | grep -q "NEEDED *$lib" || fail "the packaged yarvik does not load $lib"
done
zcat "$WORK/deb/usr/share/man/man6/yarvik.6.gz" | grep -q '^\.TH YARVIK 6 .*"yarvik '"$version"'"' ||
  fail "yarvik(6) does not carry version $version"
zcat "$WORK/deb/usr/share/doc/yarvik/changelog.gz" >"$WORK/changelog"
[ "$(dpkg-parsechangelog -l "$WORK/changelog" -S Version)" = "$version" ] ||
  fail "the changelog's latest entry is not version $version"
grep -q "<release version=\"$version\"" "$WORK/deb/usr/share/metainfo/$id.metainfo.xml" ||
  fail "the metainfo does not list release $version"
bash "$(dirname "$0")/../../packaging/lint-package" "$DEB" || fail "packaging/lint-package"

[ "$failures" -eq 0 ] || exit 1
echo "ok: $(basename "$ARCHIVE") $(stat -c %s "$ARCHIVE") bytes, $(basename "$DEB") $(stat -c %s "$DEB") bytes"
