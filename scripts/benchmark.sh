#!/usr/bin/env bash
# Times whole runs of CpuDriverCheck.exe under Wine against bench/reference_pass.cpp, a program
# that makes only the platform calls a pass needs. Runs are paired (tool, reference, in
# alternating order) so that drift of the machine hits both alike; prints the median of the
# per-pair ratios. A measurement, not a test: it never fails on a slow result.
#   bash scripts/benchmark.sh [pairs]    (default 40)
set -euo pipefail
cd "$(dirname "$0")/.."
pairs=${1:-40}

bash scripts/install-deps.sh
export WINEPREFIX="$PWD/build/mingw/wineprefix" WINEDEBUG=-all
trap 'sh cmake/wine-session.sh stop' EXIT
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target CpuDriverCheck reference_pass >/dev/null
sh cmake/wine-session.sh start

# Both programs in one folder with the same configuration; providers equal, so no installer.
stage=build/bench
rm -rf "$stage" && mkdir -p "$stage"
cp build/mingw/bin/CpuDriverCheck.exe build/mingw/bin/reference_pass.exe "$stage/"
printf '[CPU]\r\nProvider=\r\nDate=07/15/2021\r\nVersion=10.0.19041.1\r\n' >"$stage/CpuInfo.ini"

wine=cmake/wine.sh
run_ns() {
  local start end
  start=$(date +%s%N)
  "$wine" "$1" </dev/null >/dev/null 2>&1
  end=$(date +%s%N)
  echo $((end - start))
}

for _ in 1 2 3; do run_ns "$stage/CpuDriverCheck.exe" >/dev/null; run_ns "$stage/reference_pass.exe" >/dev/null; done

results=$(mktemp)
for ((i = 0; i < pairs; i++)); do
  if ((i % 2)); then
    r=$(run_ns "$stage/reference_pass.exe"); t=$(run_ns "$stage/CpuDriverCheck.exe")
  else
    t=$(run_ns "$stage/CpuDriverCheck.exe"); r=$(run_ns "$stage/reference_pass.exe")
  fi
  echo "$t $r" >>"$results"
done

median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
tool_ms=$(awk '{printf "%.3f\n", $1 / 1e6}' "$results" | median)
ref_ms=$(awk '{printf "%.3f\n", $2 / 1e6}' "$results" | median)
ratio=$(awk '{printf "%.4f\n", $1 / $2}' "$results" | median)
rm -f "$results"

echo "pairs:                      $pairs"
echo "CpuDriverCheck.exe median:  ${tool_ms} ms"
echo "reference pass median:      ${ref_ms} ms"
echo "median ratio (tool / ref):  ${ratio}   (aim: 1.10 or below)"
