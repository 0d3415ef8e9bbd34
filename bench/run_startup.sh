#!/usr/bin/env bash
# Times the board window's first paint and the peak memory of the real windows against a bare window
# holding the same pictures, alternating the two, one fresh process per measurement.
#
#   bench/run_startup.sh [runs] [platform]
#     runs      measurements of each variant (default 15)
#     platform  offscreen (default) or xcb; xcb runs under xvfb-run when no display is set
#   STARTUP_BENCH=path/to/startup_bench overrides the program (default build-bench/bench/startup_bench)
set -euo pipefail

runs=${1:-15}
platform=${2:-offscreen}
root=$(cd "$(dirname "$0")/.." && pwd)
bench=${STARTUP_BENCH:-$root/build-bench/bench/startup_bench}

if [ "$platform" = xcb ] && [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a "$0" "$runs" "$platform"
fi
export QT_QPA_PLATFORM=$platform
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}

# One run of `variant`; the launch time is read in this shell, just before the process starts.
measure() {
    DEALBRIX_LAUNCH_US=${EPOCHREALTIME/[.,]/} "$bench" "$1" 2>/dev/null
}

# One unmeasured run of each, so both start from a warm file cache.
measure game >/dev/null
measure bare >/dev/null

results=$(
    for ((i = 0; i < runs; i++)); do
        # Alternate which variant goes first, so neither always follows the other.
        if ((i % 2 == 0)); then measure game; measure bare; else measure bare; measure game; fi
    done
)

# Median of main_ms and launch_ms, maximum of peak_rss_kb, per variant; then the ratios.
echo "$results" | awk -v runs="$runs" -v platform="$platform" '
    function field(name,   i, kv) {
        for (i = 1; i <= NF; i++) { split($i, kv, "="); if (kv[1] == name) return kv[2] }
    }
    function median(list, n,   sorted, i, j, t) {
        for (i = 1; i <= n; i++) sorted[i] = list[i]
        for (i = 2; i <= n; i++) for (j = i; j > 1 && sorted[j - 1] > sorted[j]; j--) {
            t = sorted[j]; sorted[j] = sorted[j - 1]; sorted[j - 1] = t
        }
        return n % 2 ? sorted[(n + 1) / 2] : (sorted[n / 2] + sorted[n / 2 + 1]) / 2
    }
    {
        v = field("variant"); n[v]++
        fromMain[v, n[v]] = field("main_ms"); fromLaunch[v, n[v]] = field("launch_ms")
        rss = field("peak_rss_kb"); if (rss > peak[v]) peak[v] = rss
    }
    END {
        printf "%s, %d runs each (median first paint, max peak RSS)\n", platform, runs
        printf "%-8s %18s %18s %14s\n", "", "from main (ms)", "from launch (ms)", "peak RSS (MB)"
        for (k = 1; k <= 2; k++) {
            v = k == 1 ? "game" : "bare"
            for (i = 1; i <= n[v]; i++) { a[i] = fromMain[v, i]; b[i] = fromLaunch[v, i] }
            m[v] = median(a, n[v]); l[v] = median(b, n[v])
            printf "%-8s %18.1f %18.1f %14.1f\n", v, m[v], l[v], peak[v] / 1024
        }
        printf "%-8s %17.2fx %17.2fx %13.2fx\n", "ratio", m["game"] / m["bare"], l["game"] / l["bare"],
               peak["game"] / peak["bare"]
        printf "goals: first paint within 1.50x of bare; peak RSS under 45 MB\n"
    }'
