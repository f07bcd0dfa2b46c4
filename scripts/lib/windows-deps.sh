# Sourced by the Windows leg (scripts/test-windows): libFLAC cross-built for MinGW-w64 from Debian's
# own source package, the version the build machine's libflac-dev has, so that both builds decode
# with the same library.
#
# qn_windows_flac DEPS_FOLDER TOOLCHAIN_FILE
#   Sets QN_FLAC_PREFIX to DEPS_FOLDER/flac-<version>: a static libFLAC (no Ogg, no programs) with
#   its headers and lib/pkgconfig/flac.pc. A prefix already there is reused; it appears only once
#   complete, so an interrupted build is started again. Returns 77 when Debian's source index
#   cannot be read here (no network), another non-zero status on any other failure.

QN_FLAC_SOURCE_VERSION="1.4.2+ds-2"
QN_FLAC_SOURCE_LIST="deb-src http://deb.debian.org/debian bookworm main"

qn_windows_flac() {
  local deps="$1" toolchain="$2"
  QN_FLAC_PREFIX="$deps/flac-$QN_FLAC_SOURCE_VERSION"
  [ -f "$QN_FLAC_PREFIX/lib/pkgconfig/flac.pc" ] && return 0

  local work="$deps/flac-$QN_FLAC_SOURCE_VERSION.work"
  rm -rf "$work" "$QN_FLAC_PREFIX"
  mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/source" || return 1
  echo "== Windows: libFLAC $QN_FLAC_SOURCE_VERSION from Debian's sources"

  # A private apt configuration: its own sources list, package lists and cache, so that the
  # system's are neither read nor changed. The keyrings stay the system's: apt checks the
  # signature of the Release file, and apt-get source the hashes of every file it fetches against
  # the Sources index that Release file signs.
  printf '%s\n' "$QN_FLAC_SOURCE_LIST" >"$work/apt/sources.list"
  local apt=(apt-get -q -o "Dir::Etc::SourceList=$work/apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
             -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache")
  if ! "${apt[@]}" update --error-on=any >"$work/apt.log" 2>&1; then
    cat "$work/apt.log" >&2
    echo "Windows leg: cannot read Debian's source index" >&2
    return 77
  fi
  # The index was read: a version missing from it is a failure, not a machine that cannot run this.
  if ! (cd "$work/source" && "${apt[@]}" source --download-only "flac=$QN_FLAC_SOURCE_VERSION") >>"$work/apt.log" 2>&1; then
    cat "$work/apt.log" >&2
    echo "Windows leg: cannot fetch the source of flac $QN_FLAC_SOURCE_VERSION" >&2
    return 1
  fi
  # dpkg-source checks the files against the hashes of the .dsc again and applies Debian's patches.
  (cd "$work/source" && dpkg-source -x "flac_$QN_FLAC_SOURCE_VERSION.dsc" flac) >"$work/unpack.log" 2>&1 \
    || { cat "$work/unpack.log" >&2; return 1; }

  # The library alone. Stack protection would need MinGW's libssp in every program that links it;
  # the project's own Windows code is built without it too.
  cmake -S "$work/source/flac" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DWITH_OGG=OFF -DBUILD_CXXLIBS=OFF \
        -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DBUILD_DOCS=OFF \
        -DINSTALL_MANPAGES=OFF -DINSTALL_CMAKE_CONFIG_MODULE=OFF -DINSTALL_PKGCONFIG_MODULES=ON \
        -DWITH_STACK_PROTECTOR=OFF -DWITH_FORTIFY_SOURCE=OFF \
        -DCMAKE_INSTALL_PREFIX="$work/prefix" >"$work/configure.log" 2>&1 \
    || { cat "$work/configure.log" >&2; return 1; }
  cmake --build "$work/build" -j2 --target FLAC >"$work/build.log" 2>&1 || { cat "$work/build.log" >&2; return 1; }
  cmake --install "$work/build" >"$work/install.log" 2>&1 || { cat "$work/install.log" >&2; return 1; }

  # The package file: its prefix taken from where it lies (the prefix is built elsewhere and moved),
  # and the static library's define in Cflags, without which the headers declare every function as
  # imported from a DLL.
  local pc="$work/prefix/lib/pkgconfig/flac.pc"
  [ -f "$pc" ] && [ -f "$work/prefix/lib/libFLAC.a" ] \
    || { echo "Windows leg: libFLAC's install has no lib/libFLAC.a or flac.pc" >&2; return 1; }
  sed -i -e 's|^prefix=.*|prefix=${pcfiledir}/../..|' \
         -e 's|^exec_prefix=.*|exec_prefix=${prefix}|' \
         -e 's|^libdir=.*|libdir=${prefix}/lib|' \
         -e 's|^includedir=.*|includedir=${prefix}/include|' "$pc" || return 1
  grep -q -- '-DFLAC__NO_DLL' "$pc" || sed -i 's|^Cflags:.*|& -DFLAC__NO_DLL|' "$pc" || return 1
  # The C++ library is not built; its headers go with it.
  rm -rf "$work/prefix/include/FLAC++"

  mv "$work/prefix" "$QN_FLAC_PREFIX" || return 1
  rm -rf "$work"
}
