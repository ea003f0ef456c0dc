#!/usr/bin/env bash
# scripts/package against a stand-in for cmake: a copy of the script in a small source tree of its
# own, with a build whose targets, products and inputs each case chooses. Checks that a release
# goes out only with every program built and newer than its sources.
# Usage: PackageTest.sh PATH/TO/scripts/package
set -uo pipefail

package=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/tessarel-package-test-XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

tree="$work/tree"
mkdir -p "$tree/scripts" "$tree/installer" "$tree/shell" "$tree/contents/images" "$work/bin"
cp "$package" "$tree/scripts/package"
echo "Licence." > "$tree/installer/License.txt"
echo "<html>home</html>" > "$tree/contents/home.html"
echo "int main() {}" > "$tree/shell/main.cpp"

# The stand-in: STUB_TARGETS are the build's targets, STUB_MAKES the programs a build makes
# (fresh), STUB_FAIL=1 a failing build; every program is made from shell/main.cpp.
cat > "$work/bin/cmake" <<'EOF'
#!/usr/bin/env bash
echo "cmake $*" >> "$STUB_LOG"
if [ "$1" = "-S" ]; then mkdir -p "$4" && touch "$4/build.ninja"; exit 0; fi
build=$2
shift 2
case "$*" in
  "--target help") for t in $STUB_TARGETS; do echo "$t: phony"; done ;;
  "-- -t inputs "*) echo "$STUB_SOURCE"; echo /usr/lib/no-such-library.so ;;
  *)
    [ "${STUB_FAIL:-0}" = 1 ] && exit 1
    for f in $STUB_MAKES; do mkdir -p "$build/$(dirname "$f")"; printf '#!/bin/sh\n' > "$build/$f"; chmod 755 "$build/$f"; done ;;
esac
EOF
chmod 755 "$work/bin/cmake"

all_targets="Tessarel_en TessarelSetup_en Uninstall_en tessarel-cli tessarel-reader"
programs="shell/Tessarel_en installer/TessarelSetup_en installer/Uninstall_en cli/tessarel-cli helper/tessarel-reader"
shared="share/icons/hicolor/16x16/apps/tessarel.png share/icons/hicolor/24x24/apps/tessarel.png
  share/icons/hicolor/32x32/apps/tessarel.png share/icons/hicolor/48x48/apps/tessarel.png
  share/icons/hicolor/64x64/apps/tessarel.png share/icons/hicolor/128x128/apps/tessarel.png
  share/icons/hicolor/256x256/apps/tessarel.png share/icons/hicolor/scalable/apps/tessarel.svg
  share/man/man1/tessarel-cli.1 share/bash-completion/completions/tessarel-cli"
all_files="$programs $shared"

# run NAME EXPECTED_STATUS: packages into a fresh output folder; the case's settings come from the
# environment set on the call.
run() {
  local name=$1 expected=$2 status
  rm -rf "$tree/out"
  STUB_LOG="$work/log" STUB_SOURCE="$tree/shell/main.cpp" PATH="$work/bin:$PATH" \
    "$tree/scripts/package" "$tree/out" > "$work/output" 2>&1
  status=$?
  if [ "$expected" = 0 ] && [ "$status" -ne 0 ]; then
    echo "FAIL: $name: exit status $status"; cat "$work/output"; failures=$((failures + 1)); return 1
  fi
  if [ "$expected" != 0 ] && [ "$status" -eq 0 ]; then
    echo "FAIL: $name: succeeded"; cat "$work/output"; failures=$((failures + 1)); return 1
  fi
  if [ "$expected" != 0 ] && [ -e "$tree/out/Tessarel_en" ]; then
    echo "FAIL: $name: a release folder was laid out"; failures=$((failures + 1)); return 1
  fi
  echo "PASS: $name"
}

cd "$tree"
rm -rf build
STUB_TARGETS=$all_targets STUB_MAKES=$all_files run "a fresh tree is configured and built" 0 &&
  for f in Tessarel_en TessarelSetup_en Uninstall_en tessarel-cli tessarel-reader License.txt contents/home.html \
    contents/tessarel.log $shared; do
    [ -e "out/$f" ] || { echo "FAIL: release lacks $f"; failures=$((failures + 1)); }
  done
for t in $all_targets; do
  grep -q -E -- "--target (.* )?$t( |\$)" "$work/log" ||
    { echo "FAIL: $t was not built first"; failures=$((failures + 1)); }
done

# A program file left by an earlier build while this build has no such target (the GUI off).
STUB_TARGETS="TessarelSetup_en Uninstall_en tessarel-cli" \
  STUB_MAKES="installer/TessarelSetup_en installer/Uninstall_en cli/tessarel-cli helper/tessarel-reader $shared" \
  run "a program that is not a target of the build" 1

# The target is there but its build makes nothing.
rm -f build/shell/Tessarel_en
STUB_TARGETS=$all_targets STUB_MAKES="installer/TessarelSetup_en installer/Uninstall_en cli/tessarel-cli helper/tessarel-reader $shared" \
  run "a program missing after the build" 1

# Built earlier, not remade, and its source changed since.
printf '#!/bin/sh\n' > build/shell/Tessarel_en && chmod 755 build/shell/Tessarel_en
touch -d '2 minutes ago' build/shell/Tessarel_en
touch shell/main.cpp
STUB_TARGETS=$all_targets STUB_MAKES="installer/TessarelSetup_en installer/Uninstall_en cli/tessarel-cli helper/tessarel-reader $shared" \
  run "a program older than its source" 1

STUB_TARGETS=$all_targets STUB_MAKES=$all_files STUB_FAIL=1 run "a failing build" 1

# Every program built, but the icon, the manual page or the completion not.
rm -rf build/share
STUB_TARGETS=$all_targets STUB_MAKES=$programs run "a shared file missing after the build" 1

exit $((failures > 0))
