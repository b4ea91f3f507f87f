#!/usr/bin/env python3
"""The whole demo through the GL 1.1 layer on OpenGL ES 2 against the same demo on desktop GL,
both on Mesa's software renderer: captured with one seed at each size through both
(yarvik-capture --gl desktop / --gl es2), then compared frame by frame (frame_difference). Per
frame: the mean absolute difference of each colour channel (at most 0.5 of 255) and the 99.9th
percentile of each pixel's largest channel difference (at most 16). Per scene: the worst and the
typical (median) frame. Exit status 1 when any frame breaks a limit or a run fails.

    bench/gles2_conformance.py --build DIR [--sizes 640x480,1920x1080] [--fps 10] [--every 1]
                               [--seed 1] [--csv FILE]

--every N keeps one frame in N of those captured (the test suite's sample: --fps 1 --every 5,
a frame every five seconds at 640x480). The scene of each frame, and the draws the layer made
for it, come from a profile of the same run through the layer (yarvik-capture --profile).
"""
import argparse
import csv
import io
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

MEAN_LIMIT = 0.5
P999_LIMIT = 16
SCENES = {1: "knot", 2: "tunnel"}  # the frames after the last scene are black


def log(text):
    print(text, file=sys.stderr, flush=True)


def run(argv):
    done = subprocess.run(argv, capture_output=True, text=True)
    if done.returncode != 0:
        log(f"failed ({done.returncode}): {' '.join(argv)}\n{done.stderr.strip()[-800:]}")
    return done


def capture(exe, gl, size, args, out):
    started = time.monotonic()
    ok = run([exe, "--gl", gl, "--size", size, "--fps", args.fps, "--seed", str(args.seed), "--out", out]).returncode == 0
    log(f"  {gl} at {size}: {time.monotonic() - started:.0f} s")
    return ok


def keep_every(folder, every):
    """Removes all frames but one in `every` (frame numbers divisible by it)."""
    for name in os.listdir(folder):
        if name.startswith("frame_") and name.endswith(".png") and int(name[6:-4]) % every != 0:
            os.unlink(os.path.join(folder, name))


def compare(args, exe, diff, size, profile, work):
    """The per-frame rows at one size, each with its scene and draws, or None when a run failed."""
    folders = {}
    for gl in ("desktop", "es2"):
        folders[gl] = os.path.join(work, f"{gl}-{size}")
        if not capture(exe, gl, size, args, folders[gl]):
            return None
        keep_every(folders[gl], args.every)
    done = run([diff, folders["desktop"], folders["es2"]])
    for folder in folders.values():
        shutil.rmtree(folder, ignore_errors=True)
    if done.returncode != 0:
        return None
    rows = []
    for r in csv.DictReader(io.StringIO(done.stdout)):
        frame = int(r["frame"].split("_")[-1])
        passed = profile.get(frame, {})
        rows.append({"size": size, "frame": frame, "demo_ms": int(passed.get("demo_ms", -1)),
                     "scene": SCENES.get(int(passed.get("scene", 0)), "black"), "draws": int(passed.get("draws", -1)),
                     "mean": max(float(r["mean_r"]), float(r["mean_g"]), float(r["mean_b"])),
                     "mean_rgb": (float(r["mean_r"]), float(r["mean_g"]), float(r["mean_b"])),
                     "p999": int(r["p999"]), "max": int(r["max"])})
    return rows


def broken(row):
    return row["mean"] > MEAN_LIMIT or row["p999"] > P999_LIMIT


def summary(rows):
    lines = ["| size | scene | frames | mean: worst | mean: median | p99.9: worst | p99.9: median | "
             "largest | draws/frame (median, max) | over a limit |",
             "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|"]
    sizes = sorted({r["size"] for r in rows}, key=lambda s: int(s.split("x")[0]))
    for size in sizes:
        at = [r for r in rows if r["size"] == size]
        for scene in [s for s in [*SCENES.values(), "black"] if any(r["scene"] == s for r in at)] + ["all"]:
            group = [r for r in at if scene == "all" or r["scene"] == scene]
            worst = max(group, key=lambda r: r["mean"])
            draws = [r["draws"] for r in group if r["draws"] >= 0]
            lines.append(
                f"| {size} | {scene} | {len(group)} | {worst['mean']:.3f} (frame {worst['frame']}) | "
                f"{statistics.median(r['mean'] for r in group):.3f} | {max(r['p999'] for r in group)} | "
                f"{statistics.median(r['p999'] for r in group):.0f} | {max(r['max'] for r in group)} | "
                f"{statistics.median(draws) if draws else 0:.0f}, {max(draws) if draws else 0} | "
                f"{sum(1 for r in group if broken(r))} |")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True, help="the build folder (yarvik-capture, frame_difference)")
    parser.add_argument("--sizes", default="640x480,1920x1080")
    parser.add_argument("--fps", default="10", help="frames captured per second of the demo")
    parser.add_argument("--every", type=int, default=1, help="compare one captured frame in N")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--csv", help="write every compared frame's figures here")
    args = parser.parse_args()
    exe = os.path.join(args.build, "tools", "capture", "yarvik-capture")
    diff = os.path.join(args.build, "tests", "frame_difference")
    work = tempfile.mkdtemp(prefix="yarvik-conformance-")
    try:
        log(f"profile through the layer at {args.fps} fps (scenes and draws per frame)")
        profile_csv = os.path.join(work, "profile.csv")
        if run([exe, "--gl", "es2", "--fps", args.fps, "--seed", str(args.seed), "--profile", profile_csv]).returncode:
            return 1
        with open(profile_csv) as f:
            profile = {int(r["frame"]): r for r in csv.DictReader(f)}
        rows = []
        for size in [s for s in args.sizes.split(",") if s]:
            log(f"whole demo at {size}, {args.fps} fps, seed {args.seed}, one frame in {args.every} compared")
            at = compare(args, exe, diff, size, profile, work)
            if at is None:
                return 1
            rows += at
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if not rows:
        log("no frames compared")
        return 1
    if args.csv:
        with open(args.csv, "w", newline="") as f:
            out = csv.writer(f)
            out.writerow(["size", "frame", "demo_ms", "scene", "draws", "mean_r", "mean_g", "mean_b", "p999", "max"])
            for r in rows:
                out.writerow([r["size"], r["frame"], r["demo_ms"], r["scene"], r["draws"], *r["mean_rgb"], r["p999"],
                              r["max"]])
    print(f"Desktop GL against the GL 1.1 layer on ES 2, both on Mesa's software renderer; seed {args.seed}, "
          f"{args.fps} fps, one frame in {args.every}. Limits per frame: mean absolute difference per channel "
          f"{MEAN_LIMIT} of 255 (the worst channel shown), 99.9th percentile {P999_LIMIT}.")
    print()
    print(summary(rows))
    bad = [r for r in rows if broken(r)]
    for r in bad[:20]:
        print(f"OVER A LIMIT: {r['size']} frame {r['frame']} ({r['scene']}, {r['demo_ms']} ms): mean "
              f"{r['mean']:.3f}, p99.9 {r['p999']}")
    print(f"{len(rows)} frames compared, {len(bad)} over a limit: {'FAIL' if bad else 'ok'}")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
