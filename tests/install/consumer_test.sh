#!/usr/bin/env bash
# Installs the build into a temporary prefix, moves the prefix elsewhere,
# and checks that the moved tree works on its own: its rptcalc builds the
# demo databases, and the host application of examples/host_app, built
# against it through find_package(qevRptCalLib) and through pkg-config,
# creates Rpt_Tol_Good by ProgID and gets the same rows rptcalc shows.
#   consumer_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
BUILD=$1 SRC=$2
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$BUILD" --prefix "$T/first" >/dev/null
mv "$T/first" "$T/moved"
P=$T/moved
# The user's class registry knows nothing: the classes must come from the
# registry installed with the runtime.
export QEV_REGISTRY=$T/user/classes.reg

# Installed programs and libraries find their libraries relative to themselves.
for f in "$P"/bin/rptcalc "$P"/lib*/lib*.so; do
  runpath=$(readelf -d "$f" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
  [ -n "$runpath" ] || fail "$f has no RUNPATH"
  for entry in ${runpath//:/ }; do
    case "$entry" in \$ORIGIN*) ;; *) fail "$f has RUNPATH entry $entry" ;; esac
  done
done

"$P/bin/rptcalc" demo --db "$T/demo/hospital.db" >"$T/demo.out" ||
  fail "installed rptcalc demo: $(tail -3 "$T/demo.out")"
REPORT=$T/demo/hospital.db SOURCE=$T/demo/hospital_source1.db

# The same report of the same source calculated by rptcalc for a workstation
# of its own, as tab-separated good id, name, quantity, amount.
expected() {
  "$P/bin/rptcalc" run Rpt_Tol_Good --db "$REPORT" --source "$SOURCE" --workstation "$1" \
      --set SourceViewName=rpt_fy_v --set RptTab=rpt_tol_good --format csv |
    tr -d '\r' |
    awk -F, '/^# / { block = substr($0, 3); head = 1; next }
             block != "rpt_tol_good" || $0 == "" { next }
             head { for (i = 1; i <= NF; i++) col[$i] = i; head = 0; next }
             { print $col["nameid"] "\t" $col["name"] "\t" $col["qty"] "\t" $col["amt"] }' |
    sort
}

# The consumer is compiled with the flags the library was (a sanitizer
# build's libraries need their runtime in the program).
FLAGS=${3:-}
cmake -S "$SRC/examples/host_app" -B "$T/app" -G Ninja -DCMAKE_PREFIX_PATH="$P" \
  -DCMAKE_CXX_FLAGS="$FLAGS" -DCMAKE_EXE_LINKER_FLAGS="$FLAGS" \
  >"$T/configure.out" 2>&1 || fail "configure against the installed tree: $(cat "$T/configure.out")"
cmake --build "$T/app" >"$T/build.out" 2>&1 || fail "build: $(cat "$T/build.out")"
"$T/app/host_app" "$REPORT" "$SOURCE" HOSTAPP >"$T/app.out"
rows=$(tail -1 "$T/app.out")
[ "$rows" != "0 rows" ] || fail "host_app calculated no rows"
head -n -1 "$T/app.out" | sort >"$T/app.rows"
expected RPTCALC >"$T/rptcalc.rows"
diff "$T/rptcalc.rows" "$T/app.rows" || fail "host_app rows differ from rptcalc's"
grep -q "阿莫西林胶囊" "$T/app.rows" || fail "no good names in the rows"

pc=$(find "$P" -name qevRptCalLib.pc)
[ -n "$pc" ] || fail "no qevRptCalLib.pc installed"
export PKG_CONFIG_PATH=$(dirname "$pc")
libdir=$(pkg-config --variable=libdir qevRptCalLib)
# shellcheck disable=SC2046
# shellcheck disable=SC2086
c++ $FLAGS -o "$T/host_app_pc" "$SRC/examples/host_app/main.cpp" \
  $(pkg-config --cflags --libs qevRptCalLib) -Wl,-rpath,"$libdir"
"$T/host_app_pc" "$REPORT" "$SOURCE" PKGCONFIG >"$T/pc.out"
head -n -1 "$T/pc.out" | sort >"$T/pc.rows"
diff "$T/rptcalc.rows" "$T/pc.rows" || fail "pkg-config host_app rows differ from rptcalc's"
echo "installed tree: $rows through find_package and through pkg-config"
