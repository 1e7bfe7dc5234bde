# shellcheck shell=bash
# What the scripts share, sourced (never run):  . "$(dirname "$0")/lib.sh"
# Sets root (the checkout, from this file's own place), jobs (one per
# processor) and launcher (cmake's ccache arguments when ccache is there,
# with CCACHE_BASEDIR exported so that checkouts share the cache), and
# defines the functions below. A function that runs in another process (the
# Wine session of scripts/test) is reached by sourcing this file there, so no
# path is ever quoted into the text of a command.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

# quietly COMMAND...: output appended to $log; on failure its end is shown
# and the script ends.
quietly() {
  if ! "$@" >>"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "${0##*/}: failed: $*" >&2
    echo "${0##*/}: full log in $log" >&2
    exit 1
  fi
}

# junit_counts FILE: "RUN FAILED SKIPPED" of a JUnit report of ctest
# (--output-junit): the tests that ran (passed or failed), those of them that
# failed, and those skipped; disabled tests are in none.
junit_counts() {
  local suite
  suite=$(tr '\n\t' '  ' <"$1" | grep -o -m 1 '<testsuite [^>]*>') || {
    echo "no test suite in $1" >&2
    return 1
  }
  attribute() { sed -n "s/.* $1=\"\([0-9]*\)\".*/\1/p" <<<"$suite"; }
  local tests failures skipped disabled
  tests=$(attribute tests) failures=$(attribute failures)
  skipped=$(attribute skipped) disabled=$(attribute disabled)
  echo "$((${tests:-0} - ${skipped:-0} - ${disabled:-0})) ${failures:-0} ${skipped:-0}"
}

# Failures of the machine, not of the code, each seen in a pass whose tests
# then passed: LeakSanitizer's tracer thread crashing on a loaded machine
# after a test had passed ("LeakSanitizer has encountered a fatal error"),
# and Wine ending a test program at its start (in about 10 ms, with a failing
# status and nothing printed, where every test program prints before it can
# fail). When all the failures are of one such kind, the failed tests run
# once more, alone, and that run counts.
rerun_machine_failures() {  # DIR LOG JUNIT
  local failed crashed silent why
  failed=$(grep -cE '\*\*\*(Failed|Exception|Timeout)' "$2" || true)
  [ "$failed" -gt 0 ] || return 1
  crashed=$(grep -c 'LeakSanitizer has encountered a fatal error' "$2" || true)
  silent=$(tr '\n\t' '  ' <"$3" |
    grep -oE 'status="fail"> *<failure [^>]*/> *<system-out></system-out>' | wc -l)
  if [ "$crashed" -eq "$failed" ]; then
    why="LeakSanitizer's tracer crashed in $failed passing test(s)"
  elif [ "$silent" -eq "$failed" ]; then
    why="$failed test program(s) ended at once without printing anything"
  else
    return 1
  fi
  echo "   $why; running them again" >&2
  (cd "$1" && ctest --output-on-failure --rerun-failed --timeout 300 --output-junit "$1/junit-rerun.xml") \
    >>"$2" 2>&1
}

# run LABEL DIR CMAKE-ARGS...: configures and builds DIR (relative to the
# checkout) and runs its tests; prints "LABEL: N passed, N failed, N skipped".
# Build and test output go to DIR/build.log and DIR/test.log, shown (failing
# tests only) when something fails.
run() {
  local label=$1 dir=$root/$2; shift 2
  mkdir -p "$dir"
  local build_log=$dir/build.log test_log=$dir/test.log junit=$dir/junit.xml
  rm -f "$junit" "$dir/junit-rerun.xml"
  if ! { cmake -S "$root" -B "$dir" "$@" && cmake --build "$dir" -j"$jobs"; } >"$build_log" 2>&1; then
    tail -n 40 "$build_log" >&2
    echo "test: build failed; full log in $build_log" >&2
    return 1
  fi
  local warnings
  warnings=$(grep -c 'warning:' "$build_log" || true)
  [ "$warnings" -eq 0 ] || echo "   $warnings compiler warnings (see $build_log)"
  if ! (cd "$dir" && ctest --output-on-failure -j"$jobs" --timeout 300 --output-junit "$junit") \
       >"$test_log" 2>&1 &&
     ! rerun_machine_failures "$dir" "$test_log" "$junit"; then
    # Everything but the passing tests' lines.
    grep -vE '^ *Start +[0-9]+: | Passed +[0-9.]+ sec$' "$test_log" >&2
    echo "test: tests failed; full log in $test_log" >&2
    return 1
  fi
  local ran failed skipped
  read -r ran failed skipped < <(junit_counts "$junit")
  # Tests that failed only through the machine passed when run again.
  [ ! -f "$dir/junit-rerun.xml" ] || read -r _ failed _ < <(junit_counts "$dir/junit-rerun.xml")
  echo "$label: $((ran - failed)) passed, $failed failed, $skipped skipped"
}
