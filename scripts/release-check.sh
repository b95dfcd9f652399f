#!/usr/bin/env bash
# The release check: makes the source tarball and, from that tarball alone,
# the Debian packages; installs the packages on this machine, builds the C,
# C++ and Fortran examples against the installed files only (a fresh folder,
# find_package / pkg-config / plain compiler flags, nothing of the source or
# build tree), runs them and kestro-run on its example problem, and removes
# the packages again, also when a step fails.
#
#   scripts/release-check.sh [WORK_DIR]     (default build/release-check)
#
# The packages are left in WORK_DIR/packages. Needs root for dpkg (sudo
# otherwise) and what scripts/setup.sh installs. The packages are installed
# only for the few seconds of the checks, and never when a package of that
# name is installed already.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$(pwd)
work=$(realpath -m "${1:-build/release-check}")
jobs=$(nproc 2>/dev/null || echo 2)
packages=(kestro-run libkestror)   # in the order of removal
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"

fail() { echo "release-check: $*" >&2; exit 1; }
step() { echo "== release check: $* =="; }

# (No "| grep -q" below: with pipefail, grep's early exit fails the pipe.)
installed() { [[ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" == *"ok installed" ]]; }

# One release check at a time on this machine: two would install and remove
# the same packages under each other's feet.
exec 9>"${TMPDIR:-/tmp}/kestro-release-check.lock"
flock -w 1800 9 || fail "another release check holds the lock"

for p in "${packages[@]}"; do
  installed "$p" && fail "package $p is installed already; this check installs and removes \
its own (remove it first: dpkg --purge ${packages[*]})"
done

# A fresh work folder, but never one that this script did not make.
if [ -e "$work" ]; then
  [ -f "$work/.kestro-release-check" ] || fail "$work exists and was not made by this script"
  rm -rf "$work"
fi
mkdir -p "$work" && touch "$work/.kestro-release-check"

version=$(sed -n 's/^project(kestro VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no version in CMakeLists.txt"
step "version $version"

# ---- The source tarball --------------------------------------------------
step "source tarball"
cmake -S . -B "$work/source-config" -DKESTRO_BUILD_TESTS=OFF -DKESTRO_BUILD_EXAMPLES=OFF \
      -DKESTRO_BUILD_PYTHON=OFF -DKESTRO_BUILD_RUNNER=OFF -DKESTRO_MPI=OFF >/dev/null
(cd "$work/source-config" && cpack --config CPackSourceConfig.cmake >/dev/null)
tarball="$work/source-config/packages/kestro-$version.tar.gz"
[ -f "$tarball" ] || fail "no source tarball $tarball"
tar tzf "$tarball" > "$work/tarball.txt"
for f in LICENSE CHANGELOG.md README.md CMakeLists.txt include/kestro.h src/abi/version.cpp \
         examples/blackbox/problem.toml scripts/release-check.sh; do
  grep -qx "kestro-$version/$f" "$work/tarball.txt" || fail "the source tarball lacks $f"
done
if grep -E "/(\.git|build|build-[^/]*|_CPack_Packages)(/|$)" "$work/tarball.txt"; then
  fail "the source tarball holds git data or a build folder (above)"
fi
mkdir -p "$work/source" && tar xzf "$tarball" -C "$work/source"
src="$work/source/kestro-$version"
echo "$(basename "$tarball"): $(wc -l < "$work/tarball.txt") entries"

# ---- The Debian packages, built from the tarball -------------------------
# A Release build of what the packages hold and nothing else.
step "Debian packages (Release build from the tarball)"
cmake -S "$src" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON -DKESTRO_BUILD_TESTS=OFF \
      -DKESTRO_BUILD_EXAMPLES=OFF -DKESTRO_BUILD_PYTHON=OFF -DKESTRO_BUILD_BENCH=OFF >/dev/null
cmake --build "$work/build" -j "$jobs" --target kestroR kestro-run
(cd "$work/build" && cpack -G DEB)
mkdir -p "$work/packages"
mv "$work/build/packages/"*.deb "$work/packages/"
mv "$tarball" "$work/packages/"
arch=$(dpkg --print-architecture)
lib_deb="$work/packages/libkestror_${version}-1_${arch}.deb"
run_deb="$work/packages/kestro-run_${version}-1_${arch}.deb"
[ -f "$lib_deb" ] && [ -f "$run_deb" ] || fail "missing package: $(ls "$work/packages")"
dpkg-deb -c "$lib_deb" | awk '{ print $6 }' > "$work/library-files.txt"
# (regular expressions: the library directory is the system's, e.g.
# lib/x86_64-linux-gnu)
for f in 'include/kestro\.h' 'include/kestro\.hpp' 'lib/[^/]*/libkestroR\.so' \
         'lib/[^/]*/libkestroR\.so\.[0-9.]*' 'lib/[^/]*/cmake/kestroR/kestroRConfig\.cmake' \
         'lib/[^/]*/pkgconfig/kestroR\.pc' 'share/doc/kestro/LICENSE' \
         'share/doc/kestro/CHANGELOG\.md'; do
  grep -q "^\./usr/$f$" "$work/library-files.txt" || fail "libkestror lacks /usr/$f"
done
dpkg-deb -c "$run_deb" | awk '{ print $6 }' > "$work/runner-files.txt"
grep -qx "\./usr/bin/kestro-run" "$work/runner-files.txt" || fail "kestro-run lacks /usr/bin/kestro-run"
runner_depends=$(dpkg-deb -f "$run_deb" Depends)
[[ "$runner_depends" == *"libkestror (= $version-1)"* ]] \
  || fail "kestro-run does not depend on libkestror $version: $runner_depends"
ls -l "$work/packages"

# ---- The user's side: a fresh folder with copies of the examples ---------
user="$work/user"
mkdir -p "$user"
cp "$src/examples/minimize_c.c" "$src/examples/minimize_mixed_integer.cpp" \
   "$src/examples/minimize_fortran.f90" "$user/"
cp -r "$src/examples/blackbox" "$user/blackbox"
# A project of the user's own: no C++ standard set, the target brings it.
cat > "$user/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.20)
project(kestro_user LANGUAGES CXX)
find_package(kestroR REQUIRED)
add_executable(minimize_cpp minimize_mixed_integer.cpp)
target_link_libraries(minimize_cpp PRIVATE kestroR::kestroR)
EOF

# Nothing may lead the compilers, pkg-config or the loader anywhere but to
# the installed files.
clean_env=(env -u LD_LIBRARY_PATH -u LIBRARY_PATH -u CPATH -u C_INCLUDE_PATH
           -u CPLUS_INCLUDE_PATH -u PKG_CONFIG_PATH -u CMAKE_PREFIX_PATH)

remove_packages() {
  local p
  for p in "${packages[@]}"; do
    if installed "$p"; then
      $sudo_cmd dpkg --purge "$p" >/dev/null || echo "release-check: could not remove $p" >&2
    fi
  done
}

# ---- Install, check, remove ----------------------------------------------
step "install the packages (removed again at the end, also on failure)"
trap remove_packages EXIT
trap 'exit 130' INT TERM HUP
$sudo_cmd dpkg -i "$lib_deb" "$run_deb"

check_links_installed() {
  local loads
  loads=$("${clean_env[@]}" ldd "$1")
  [[ "$loads" =~ libkestroR\.so[0-9.]*\ =\>\ (/usr)?/lib/ ]] \
    || fail "$1 does not load the installed library: $loads"
}

step "C++ example with find_package(kestroR)"
(cd "$user" && "${clean_env[@]}" cmake -S . -B build -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >/dev/null)
kestro_dir=$(sed -n 's/^kestroR_DIR:PATH=//p' "$user/build/CMakeCache.txt")
case "$kestro_dir" in
  /usr/lib/*) echo "kestroR_DIR: $kestro_dir" ;;
  *) fail "find_package found kestroR in $kestro_dir, not in the installed package" ;;
esac
"${clean_env[@]}" cmake --build "$user/build"
check_links_installed "$user/build/minimize_cpp"
(cd "$user" && "${clean_env[@]}" build/minimize_cpp)

step "C example with pkg-config"
[ "$("${clean_env[@]}" pkg-config --modversion kestroR)" = "$version" ] \
  || fail "pkg-config gives version $("${clean_env[@]}" pkg-config --modversion kestroR)"
(cd "$user" && "${clean_env[@]}" cc -Wall -Wextra -o minimize_c minimize_c.c \
    $("${clean_env[@]}" pkg-config --cflags --libs kestroR) -lm)
check_links_installed "$user/minimize_c"
(cd "$user" && "${clean_env[@]}" ./minimize_c)

step "Fortran example with plain compiler flags"
(cd "$user" && "${clean_env[@]}" gfortran -std=f2018 -o minimize_fortran minimize_fortran.f90 \
    -lkestroR)
check_links_installed "$user/minimize_fortran"
(cd "$user" && "${clean_env[@]}" ./minimize_fortran)

step "kestro-run"
[ "$(command -v kestro-run)" = /usr/bin/kestro-run ] \
  || fail "kestro-run on the PATH is $(command -v kestro-run), not /usr/bin/kestro-run"
[ "$("${clean_env[@]}" kestro-run --version)" = "kestro-run $version" ] \
  || fail "kestro-run --version says '$(kestro-run --version)'"
(cd "$user" && "${clean_env[@]}" /usr/bin/kestro-run blackbox/problem.toml --quiet \
    > kestro-run.out 2> kestro-run.err) || fail "kestro-run failed: $(tail -5 "$user/kestro-run.err")"
cat "$user/kestro-run.out"
awk '$1 == "f" && $2 == "=" { found = 1; exit !($3 >= 1.5 - 1e-9 && $3 < 1.51) }
     END { exit !found }' "$user/kestro-run.out" \
  || fail "kestro-run did not reach the example's optimum f = 1.5"

step "remove the packages"
remove_packages
trap - EXIT
for p in "${packages[@]}"; do
  dpkg-query -W "$p" >/dev/null 2>&1 && fail "package $p is still known to dpkg"
done
[ ! -e /usr/include/kestro.h ] || fail "/usr/include/kestro.h is still there"
echo "release check passed: packages in $work/packages"
