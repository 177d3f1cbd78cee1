#!/usr/bin/env bash
# Runs every namespace test script beside this one: run-all.sh NATIVE_BUILD WINDOWS_BUILD.
# Each script builds its own namespaces and removes them again.
set -uo pipefail
here=$(dirname "$(readlink -f "$0")")
native=${1:?native build folder}
windows=${2:?windows build folder}

if ! ip netns add zq-probe-$$ 2>/dev/null; then
  echo "SKIP: this machine does not allow network namespaces; the namespace tests did not run"
  exit 0
fi
ip netns delete zq-probe-$$

# A wineserver left from the Windows test run would serve the namespaces with the outer network.
WINEPREFIX="$windows/wineprefix" wineserver -k 2>/dev/null || true

passed=0
failed=0
for script in "$here"/*-tests.sh; do
  echo "-- $(basename "$script")"
  if "$script" "$native" "$windows"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $(basename "$script")"
  fi
done
echo "namespace scripts: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
