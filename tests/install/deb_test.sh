#!/usr/bin/env bash
# Makes the Debian package of the build, unpacks it with dpkg-deb -x and
# runs its rptcalc: the demo databases and a report on them.
#   deb_test.sh BUILD_DIR
set -euo pipefail
BUILD=$1
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$T" && cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$T/pkg") >"$T/cpack.out" 2>&1 ||
  fail "cpack: $(cat "$T/cpack.out")"
deb=$(ls "$T"/pkg/*.deb)
dpkg-deb -c "$deb" >"$T/contents"
grep -q ' \./usr/bin/rptcalc$' "$T/contents" || fail "no /usr/bin/rptcalc in $deb"
grep -q ' \./usr/lib/qev/classes.reg$' "$T/contents" || fail "no class registry in $deb"
dpkg-deb -x "$deb" "$T/root"
export QEV_REGISTRY=$T/user/classes.reg
R=$T/root/usr/bin/rptcalc
"$R" demo --db "$T/demo/hospital.db" >/dev/null || fail "rptcalc demo from the package"
"$R" run Rpt_Tol_Good --db "$T/demo/hospital.db" --source "$T/demo/hospital_source1.db" \
  --workstation DEB \
  --set SourceViewName=rpt_fy_v --set RptTab=rpt_tol_good --format csv >"$T/rows.csv"
tr -d "\r" <"$T/rows.csv" | grep "^DEB,阿莫西林胶囊," >/dev/null || fail "unexpected rows: $(head -8 "$T/rows.csv")"
echo "$(basename "$deb"): $(grep -c "^DEB,[^,]*,[0-9]" "$T/rows.csv") rows from the unpacked rptcalc"
