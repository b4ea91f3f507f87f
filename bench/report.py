#!/usr/bin/env python3
"""The performance budget in one table: runs every Google Benchmark suite in the build's bench/
folder, the whole demo through yarvik-capture --profile, whole captures to MP4 at several
sizes, the start-up profile of the real program under Xvfb and the allocation test, and prints
each figure beside its target.

    bench/report.py --build DIR [--startup-runs N] [--real-seconds S] [--skip-real]
                    [--capture-sizes WxH,WxH,...]

The real program is run once to its own end by default (--real-seconds 0) to take the peak
memory of a whole run; --real-seconds S closes it after S seconds instead. The captures
(by default 640x480, 1920x1080 and 2880x2160, at 60 fps, seed 1, with ffmpeg encoding) take
about twenty minutes on two cores; --capture-sizes '' leaves them out.
"""
import argparse
import csv
import glob
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

BENCH_REPETITIONS = 5
FRAME_BUDGET_MS = 1000.0 / 60.0
P99_TARGET_MS = 5.0
STARTUP_TARGET_MS = 250.0
CAPTURE_SIZES = "640x480,1920x1080,2880x2160"
# A whole 1920x1080 capture to MP4 in under four times the demo's own length.
CAPTURE_1080_TARGET = 4.0
XVFB_SCREEN = "-screen 0 640x480x24"
SCENES = {1: "knot", 2: "tunnel"}
LOAD_AT_START = os.getloadavg()
STARTUP_STEPS = {
    "main": "process start to main (loading the program and its libraries)",
    "window.sdl_video": "· SDL video (X connection)",
    "window.create": "· the window (GLX loads the software renderer's driver)",
    "window.mode": "· display mode 640x480",
    "window.show": "· showing the window (mapped, full screen)",
    "window.gl_context": "· GL context (the software renderer starts)",
    "window.gl_state": "· standing GL state",
    "window.font_lists": "· font: glyphs and display lists",
    "window_gl_font": "window, GL context, font (all of the above)",
    "sound_device": "sound device",
    "particles": "particles",
    "knot_init": "knot init (curve, textures)",
    "tunnel_init": "tunnel init (textures)",
    "module_load_play": "module load and play",
    "first_swap": "first swap (empty buffer)",
    "first_frame_presented": "first pass drawn and presented",
}


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown CPU"


def log(text):
    print(text, file=sys.stderr, flush=True)


def percentile(values, fraction):
    """Nearest-rank percentile of a list of numbers."""
    ordered = sorted(values)
    if not ordered:
        return float("nan")
    rank = max(1, int(-(-fraction * len(ordered) // 1)))
    return ordered[min(rank, len(ordered)) - 1]


def run_with_rusage(argv, **kwargs):
    """Runs a program to its end; returns (exit status, stdout, stderr, peak RSS in KiB)."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        proc = subprocess.Popen(argv, stdout=out, stderr=err, **kwargs)
        _, status, usage = os.wait4(proc.pid, 0)
        proc.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        err.seek(0)
        return proc.returncode, out.read().decode(errors="replace"), err.read().decode(errors="replace"), usage.ru_maxrss


# ---------------------------------------------------------------------------------------------
# Benchmarks

def run_benchmarks(build):
    results = {}
    for exe in sorted(glob.glob(os.path.join(build, "bench", "*_bench"))):
        name = os.path.basename(exe)
        log(f"bench: {name}")
        with tempfile.NamedTemporaryFile(suffix=".json", delete=False) as f:
            path = f.name
        # Repetitions in random interleaving, so that a load on the machine that comes and goes
        # falls on both sides of a comparison; the median of the repetitions is reported.
        status, _, err, _ = run_with_rusage([exe, "--benchmark_format=console", f"--benchmark_out={path}",
                                             "--benchmark_out_format=json",
                                             f"--benchmark_repetitions={BENCH_REPETITIONS}",
                                             "--benchmark_enable_random_interleaving=true",
                                             "--benchmark_report_aggregates_only=true"])
        if status != 0:
            log(f"  {name} failed ({status}): {err.strip()[-400:]}")
            continue
        with open(path) as f:
            data = json.load(f)
        os.unlink(path)
        for b in data.get("benchmarks", []):
            if b.get("error_occurred"):
                continue
            if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
                continue
            results[b.get("run_name", b["name"])] = b
    return results


def to_ms(bench, key):
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[bench.get("time_unit", "ns")]
    return bench[key] * scale


def find_bench(results, prefix):
    for name, b in results.items():
        if name.startswith(prefix):
            return b
    return None


# ---------------------------------------------------------------------------------------------
# The whole demo through the capture tool

def run_profile(build, workdir):
    exe = os.path.join(build, "tools", "capture", "yarvik-capture")
    csv_path = os.path.join(workdir, "profile.csv")
    log("profile: the whole demo on the software renderer (yarvik-capture --profile)")
    status, _, err, rss = run_with_rusage([exe, "--profile", csv_path, "--seed", "1"])
    if status != 0:
        log(f"  profile failed ({status}): {err.strip()[-400:]}")
        return None
    with open(csv_path) as f:
        rows = list(csv.DictReader(f))
    return {"rows": rows, "rss": rss, "csv": csv_path}


def run_captures(build, workdir, sizes):
    """Whole captures to MP4, one per size: wall time, the capture's own peak memory (as it
    reports it) and the peak of the capture or its ffmpeg, whichever is larger."""
    exe = os.path.join(build, "tools", "capture", "yarvik-capture")
    results = []
    for size in [s for s in sizes.split(",") if s]:
        out = os.path.join(workdir, f"capture-{size}.mp4")
        log(f"capture: the whole demo at {size}, 60 fps, to MP4 (yarvik-capture --size {size})")
        started = time.monotonic()
        status, _, err, rss = run_with_rusage([exe, "--size", size, "--seed", "1", "--out", out])
        wall = time.monotonic() - started
        if status != 0:
            log(f"  capture at {size} failed ({status}): {err.strip()[-400:]}")
            continue
        demo = own = None
        for line in err.splitlines():
            if "frames kept" in line:
                parts = line.split()
                demo = float(parts[parts.index("s") - 1])
                own = int(parts[parts.index("KiB") - 1])
        if demo:
            results.append({"size": size, "wall": wall, "demo": demo, "own_kib": own, "peak_kib": rss,
                            "bytes": os.path.getsize(out)})
        os.unlink(out)
    return results


def frame_stats(times):
    return {
        "passes": len(times),
        "median": statistics.median(times) if times else float("nan"),
        "p99": percentile(times, 0.99),
        "max": max(times) if times else float("nan"),
        "over": sum(1 for t in times if t > FRAME_BUDGET_MS),
    }


# ---------------------------------------------------------------------------------------------
# Start-up under Xvfb

def startup_child(build, runs, real_seconds, skip_real):
    """Runs inside xvfb-run: the start-up profile `runs` times, then the real program."""
    tool = os.path.join(build, "bench", "startup_profile")
    env = dict(os.environ)
    for _ in range(runs):
        launched = time.time_ns()
        out = subprocess.run([tool, "--launched-at", str(launched)], capture_output=True, text=True, env=env)
        print("RUN")
        print(out.stdout, flush=True)
    if not skip_real:
        real = os.path.join(build, "yarvik")
        out = subprocess.run([tool, "--watch", real, "--seconds", str(real_seconds)], capture_output=True,
                             text=True, env=env)
        print("REAL")
        print(out.stdout, flush=True)


def run_startup(build, runs, real_seconds, skip_real):
    if shutil.which("xvfb-run") is None:
        log("startup: xvfb-run is not installed; skipped")
        return None
    log(f"startup: {runs} runs of the real program's start-up under Xvfb"
        + ("" if skip_real else ", then the real program " + ("to its end" if real_seconds == 0 else
                                                              f"for {real_seconds} s")))
    argv = ["xvfb-run", "-a", "-s", XVFB_SCREEN, sys.executable, os.path.abspath(__file__), "--startup-child",
            "--build", build, "--startup-runs", str(runs), "--real-seconds", str(real_seconds)]
    if skip_real:
        argv.append("--skip-real")
    out = subprocess.run(argv, capture_output=True, text=True)
    runs_seen = []
    real = {}
    section = None
    for line in out.stdout.splitlines():
        if line in ("RUN", "REAL"):
            section = line
            if line == "RUN":
                runs_seen.append({})
            continue
        parts = line.split()
        if len(parts) < 2:
            continue
        try:
            value = float(parts[1])
        except ValueError:
            continue
        if section == "RUN":
            runs_seen[-1][parts[0]] = value
        elif section == "REAL":
            real[parts[0]] = value
    runs_seen = [r for r in runs_seen if "first_frame_presented" in r]
    if not runs_seen:
        log("startup: no run reached its first frame: " + out.stderr.strip()[-400:])
        return None
    return {"runs": runs_seen, "real": real}


# ---------------------------------------------------------------------------------------------
# The allocation test

def run_no_alloc(build):
    exe = os.path.join(build, "tests", "no_alloc_test")
    if not os.path.exists(exe):
        return None
    log("test: no allocation in the main loop")
    status, _, _, _ = run_with_rusage([exe, "--gtest_brief=1"])
    return status == 0


# ---------------------------------------------------------------------------------------------
# The table

def verdict(ok):
    return "met" if ok else "MISSED"


def report(benches, profile, startup, no_alloc, captures):
    lines = []
    add = lines.append
    add(f"Machine: {os.cpu_count()} cores, {cpu_model()}; "
        f"load average {LOAD_AT_START[0]:.2f} at the start, {os.getloadavg()[0]:.2f} at the end.")
    add("")
    add("## Frame time, whole demo (software renderer, 640x480, yarvik-capture --profile)")
    add("")
    add("| scene | passes | median ms | p99 ms | max ms | over 16.7 ms |")
    add("|---|---:|---:|---:|---:|---:|")
    if profile:
        rows = profile["rows"]
        groups = [(SCENES[s], [float(r["pass_ms"]) for r in rows if int(r["scene"]) == s]) for s in SCENES]
        groups.append(("all", [float(r["pass_ms"]) for r in rows]))
        for name, times in groups:
            s = frame_stats(times)
            add(f"| {name} | {s['passes']} | {s['median']:.2f} | {s['p99']:.2f} | {s['max']:.2f} | {s['over']} |")
        overall = frame_stats(groups[-1][1])
        add("")
        add(f"Targets: no frame over 16.7 ms ({overall['over']} over: {verdict(overall['over'] == 0)}); "
            f"p99 under {P99_TARGET_MS:.0f} ms ({overall['p99']:.2f} ms: {verdict(overall['p99'] < P99_TARGET_MS)}).")
    else:
        add("| (profile failed) | | | | | |")
    add("")

    add("## Whole captures to MP4 (software renderer, 60 fps, H.264 by ffmpeg; wall time against the demo's length)")
    add("")
    if captures:
        add("| size | demo s | wall s | times the demo's length | capture peak MiB | with ffmpeg, peak MiB | MP4 MiB |")
        add("|---|---:|---:|---:|---:|---:|---:|")
        for c in captures:
            add(f"| {c['size']} | {c['demo']:.2f} | {c['wall']:.1f} | {c['wall'] / c['demo']:.2f} | "
                f"{(c['own_kib'] or 0) / 1024:.0f} | {c['peak_kib'] / 1024:.0f} | {c['bytes'] / 2**20:.0f} |")
        hd = [c for c in captures if c["size"] == "1920x1080"]
        if hd:
            ratio = hd[0]["wall"] / hd[0]["demo"]
            add("")
            add(f"Target: 1920x1080 in under {CAPTURE_1080_TARGET:.0f}x the demo's length ({ratio:.2f}x: "
                f"{verdict(ratio < CAPTURE_1080_TARGET)}).")
    else:
        add("(no captures run)")
    add("")

    add(f"## Benchmarks (Google Benchmark, median of {BENCH_REPETITIONS} interleaved repetitions; real time per "
        f"iteration, main-thread CPU time)")
    add("")
    add("| benchmark | real ms | CPU ms | counters |")
    add("|---|---:|---:|---|")
    for name, b in sorted(benches.items()):
        counters = ", ".join(f"{k}={v:.4g}" for k, v in b.items()
                             if k not in ("name", "run_name", "run_type", "repetitions", "repetition_index",
                                          "threads", "iterations", "real_time", "cpu_time", "time_unit",
                                          "family_index", "per_family_instance_index", "aggregate_name",
                                          "aggregate_unit")
                             and isinstance(v, (int, float)))
        add(f"| {name} | {to_ms(b, 'real_time'):.3f} | {to_ms(b, 'cpu_time'):.3f} | {counters} |")
    add("")
    add("## Start-up of the real program under Xvfb (median of runs)")
    add("")
    if startup:
        runs = startup["runs"]
        total = statistics.median(r["first_frame_presented"] for r in runs)
        add("| step | ms | share |")
        add("|---|---:|---:|")
        # Each step runs from the mark before it; the window's parts are inside its step, so
        # the window step itself is measured from the mark before its first part.
        order = list(runs[0].keys())
        for i, key in enumerate(order):
            if key not in STARTUP_STEPS:
                continue
            if key == "window_gl_font":
                before_key = order[order.index("main")] if "main" in order else None
            else:
                before_key = order[i - 1] if i > 0 else None
            steps = [r[key] - (r.get(before_key, 0.0) if before_key else 0.0) for r in runs if key in r]
            step = statistics.median(steps)
            add(f"| {STARTUP_STEPS[key]} | {step:.1f} | {100.0 * step / total:.0f}% |")
        add(f"| **process start to first presented frame** | **{total:.1f}** | |")
        add("")
        add(f"Target under {STARTUP_TARGET_MS:.0f} ms: {verdict(total < STARTUP_TARGET_MS)} "
            f"({len(runs)} runs, from {min(r['first_frame_presented'] for r in runs):.0f} "
            f"to {max(r['first_frame_presented'] for r in runs):.0f} ms).")
        real = startup["real"]
        if "real_window_mapped" in real:
            add(f"The real binary, untouched: its window is mapped {real['real_window_mapped']:.0f} ms after it is "
                f"started.")
        add("")
    else:
        add("(start-up not measured)")
        add("")

    add("## Memory and allocation")
    add("")
    if profile:
        add(f"- Peak resident memory, whole run through the capture tool: {profile['rss'] / 1024:.1f} MiB")
    if startup and "real_peak_rss_kib" in startup["real"]:
        real = startup["real"]
        add(f"- Peak resident memory, the real program under Xvfb ({real.get('real_run_seconds', 0):.0f} s run): "
            f"{real['real_peak_rss_kib'] / 1024:.1f} MiB")
    if no_alloc is not None:
        add(f"- Heap allocations in any pass of the main loop, both scenes, pools full (tests/no_alloc_test): "
            f"{'none' if no_alloc else 'FOUND (the test fails)'}")
    add("")

    add("## Music")
    add("")
    if profile:
        rows = profile["rows"]
        audio_ms = sum(float(r["audio_ms"]) for r in rows)
        audio_s = sum(int(r["audio_frames"]) for r in rows) / 44100.0
        if audio_s > 0:
            add(f"- The demo's module rendered in lockstep with the whole run: {audio_ms / 1000:.2f} s of CPU "
                f"for {audio_s:.1f} s of music, {100.0 * audio_ms / 1000.0 / audio_s:.2f}% of one core")
    player = find_bench(benches, "BM_RenderSixteenChannels")
    if player and player.get("realtime"):
        add(f"- Sixteen busy channels (player benchmark): {player['realtime']:.0f}x real time, "
            f"{100.0 / player['realtime']:.2f}% of one core")
    add("")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--startup-runs", type=int, default=7)
    parser.add_argument("--real-seconds", type=float, default=0.0)
    parser.add_argument("--skip-real", action="store_true")
    parser.add_argument("--capture-sizes", default=CAPTURE_SIZES)
    parser.add_argument("--startup-child", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    if args.startup_child:
        startup_child(build, args.startup_runs, args.real_seconds, args.skip_real)
        return 0
    workdir = tempfile.mkdtemp(prefix="yarvik-bench-")
    benches = run_benchmarks(build)
    profile = run_profile(build, workdir)
    startup = run_startup(build, args.startup_runs, args.real_seconds, args.skip_real)
    no_alloc = run_no_alloc(build)
    captures = run_captures(build, workdir, args.capture_sizes)
    print(report(benches, profile, startup, no_alloc, captures))
    shutil.rmtree(workdir, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
