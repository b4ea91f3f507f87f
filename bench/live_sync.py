#!/usr/bin/python3
"""Live audio-picture sync of the real program, as a viewer sees and hears it; the sound
output's underruns; the song's length without a sound device. Not part of `make test` or
`make bench`: a run takes two minutes.

    bench/live_sync.py --build BUILD [--program PATH] [--runs N] [--busy N] [--keep DIR]
    bench/live_sync.py --build BUILD --stimulus [--delays 0,100]
    bench/live_sync.py --build BUILD --clip [--delays 0,100]
    bench/live_sync.py --build BUILD --underruns [--program PATH] [--busy N]
    bench/live_sync.py --build BUILD --silent [--program PATH] [--busy N] [--pin CPU]

BUILD is a build directory with bench/sync_reference (and, for --clip, the capture tool).

Each run starts its own PulseAudio with a null sink ("yarvik", 44100 Hz stereo) and its own
Xvfb (640x480). One ffmpeg records the screen (x11grab, 60 grabs a second, each kept with its
own time, scaled to 160x120 grey) and the sink's monitor; both inputs are stamped on the wall
clock and kept so (-copyts). The program (default BUILD/yarvik) plays on them through SDL's
PulseAudio driver, with --busy N busy loops keeping the cores busy if asked.

Where each beat is heard: sync_reference renders the embedded module as the player does and
lists the frame at which each beat's row starts; the stretch of song around each beat is found
in the recorded monitor by cross-correlation, to the sample, and that sample's wall clock time
is when the beat is heard. Silence that an underrun inserts shows as the song sitting later in
the recording from then on; each such jump is counted, beside the underruns PulseAudio logs.

Where the picture reacts: the knot swells on the step that takes a beat, the tunnel moves at
the speeds its beat set from the step after; either way the picture changes clearly more than
at the step before (between beats each step changes it a little less than the last). Each beat
takes the jump nearest to where the run's most common offset puts it. Its offset is the grab's
time minus the time the beat is heard: positive when the picture reacts late. A grab comes up
to 16.7 ms after what it shows, 8 ms on average: that is in every figure.

--stimulus checks the clock itself: flashes of the screen at the moment PulseAudio reckons the
next sound written will be played, and clicks written that many ms of --delays later; the
offsets come out at minus the delay (plus the grab's wait). --clip checks it with the demo: a
capture (exact sync) played with ffplay, its sound delayed by each of --delays; the offsets
must move by the delays (ffplay's own sync error is in the absolute figure).

--underruns plays the program on the null sink without recording anything and reports the
underruns PulseAudio logs (a stream running dry), for comparing output buffer sizes.

--silent runs the program with SDL's dummy driver (no sound device) and reports its wall time
against the song's length, with busy loops pinned with it to one CPU if asked (--pin).
"""
import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np

RATE = 44100
GRAB_FPS = 60
GRAB_W, GRAB_H = 160, 120
STILL = 0.05    # mean grey-level change of a grab with no step since the one before
RISE = 1.3      # a jump: this many times the change of the step before
KNOT_FROM_S, KNOT_TO_S = 6.5, 29.5      # song time: tube complete, before the fly-in and fade
TUNNEL_FROM_S = 33.0                     # after the knot's fade-out and the tunnel's fade-in


def log(*args):
    print(*args, file=sys.stderr, flush=True)


def wait_for(path, seconds):
    end = time.time() + seconds
    while time.time() < end:
        if os.path.exists(path):
            return True
        time.sleep(0.05)
    return False


class Rig:
    """PulseAudio with a null sink and Xvfb, for one run."""

    def __init__(self, work):
        self.work = work
        self.pulse_dir = os.path.join(work, "pulse")
        os.makedirs(self.pulse_dir, exist_ok=True)
        self.socket = os.path.join(self.pulse_dir, "native")
        script = os.path.join(self.pulse_dir, "default.pa")
        with open(script, "w") as f:
            f.write(f"load-module module-native-protocol-unix socket={self.socket} auth-anonymous=1\n"
                    "load-module module-null-sink sink_name=yarvik rate=44100 channels=2\n"
                    "set-default-sink yarvik\nset-default-source yarvik.monitor\n")
        self.env = dict(os.environ, XDG_RUNTIME_DIR=self.pulse_dir, HOME=self.pulse_dir,
                        PULSE_SERVER="unix:" + self.socket)
        self.pulse_log = os.path.join(work, "pulse.log")
        self.started = time.time()
        self.pulse = subprocess.Popen(
            ["pulseaudio", "-n", "-F", script, "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
             "--system=no", "--log-target=file:" + self.pulse_log, "--log-level=debug", "--log-time=yes"],
            env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_for(self.socket, 10):
            self.close()
            raise SystemExit("live_sync: PulseAudio did not start")
        # Xvfb picks a free display itself and says which once it is ready.
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "640x480x24",
                                      "-nolisten", "tcp"], pass_fds=(write_end,),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as f:
            number = f.readline().strip()
        if not number:
            self.close()
            raise SystemExit("live_sync: Xvfb did not start")
        self.display = int(number)
        self.env["DISPLAY"] = f":{self.display}"
        self.env["SDL_AUDIODRIVER"] = "pulseaudio"

    def run(self, command, busy=0, pin=None, env=None):
        """Runs `command` to its end, with `busy` busy loops (all pinned to CPU `pin` with it,
        if given); returns its wall time in s and the load average when it started."""
        pinned = ["taskset", "-c", str(pin)] if pin is not None else []
        loops = [subprocess.Popen(pinned + ["sh", "-c", "while :; do :; done"]) for _ in range(busy)]
        load = os.getloadavg()[0]
        start = time.time()
        program = subprocess.run(pinned + command, env=env or self.env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.PIPE, text=True)
        self.ended_at = time.time()
        wall = self.ended_at - start
        # The stream runs dry when the program closes its device: not counted.
        self.playing_until = self.ended_at - self.started - 0.5
        for loop in loops:
            loop.kill()
            loop.wait()
        if program.returncode != 0:
            log(program.stderr)
            raise SystemExit(f"live_sync: {command[0]} exited with {program.returncode}")
        return wall, load

    def record(self, command, out, busy=0):
        """Records the screen and the sink while `command` runs; returns its wall time in s."""
        recorder = subprocess.Popen(
            ["ffmpeg", "-nostdin", "-loglevel", "error", "-y",
             "-thread_queue_size", "1024", "-f", "x11grab", "-framerate", str(GRAB_FPS), "-video_size", "640x480",
             "-draw_mouse", "0", "-i", f":{self.display}",
             "-thread_queue_size", "1024", "-f", "pulse", "-sample_rate", str(RATE), "-channels", "2",
             "-i", "yarvik.monitor",
             "-copyts", "-map", "0:v", "-fps_mode", "passthrough", "-vf", f"scale={GRAB_W}:{GRAB_H}:flags=area,format=gray",
             "-c:v", "rawvideo", "-map", "1:a", "-c:a", "pcm_s16le", "-f", "nut", out],
            env=self.env)
        time.sleep(2.0)
        try:
            return self.run(command, busy)
        finally:
            time.sleep(1.0)
            recorder.send_signal(signal.SIGINT)
            recorder.wait(timeout=30)

    def underruns_reported(self, until):
        """Underruns PulseAudio logged (a stream running dry) up to `until` s after it started."""
        count = 0
        try:
            with open(self.pulse_log, errors="replace") as f:
                for line in f:
                    if "Implicit underrun of" in line and float(line[1:line.index("|")]) < until:
                        count += 1
        except (OSError, ValueError):
            pass
        return count

    def close(self):
        for p in (getattr(self, "xvfb", None), getattr(self, "pulse", None)):
            if p is not None and p.poll() is None:
                p.terminate()
                try:
                    p.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    p.kill()


def probe_packets(path, stream):
    out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", stream, "-show_entries",
                          "packet=pts_time,size", "-of", "csv=p=0", path],
                         check=True, capture_output=True, text=True).stdout
    rows = [line.split(",") for line in out.split() if line]
    return np.array([float(r[0]) for r in rows]), np.array([int(r[1]) for r in rows])


def decode(path, stream, fmt):
    """Every packet of one stream, decoded in order (none dropped or repeated to even out the rate)."""
    return subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-map", stream, "-fps_mode", "passthrough",
                           "-f", fmt, "-"], check=True, capture_output=True).stdout


class Recording:
    def __init__(self, path):
        self.video_pts, _ = probe_packets(path, "v")
        frames = np.frombuffer(decode(path, "0:v", "rawvideo"), dtype=np.uint8)
        self.frames = frames.reshape(-1, GRAB_H, GRAB_W)[:len(self.video_pts)]
        self.video_pts = self.video_pts[:len(self.frames)]
        self.audio_pts, sizes = probe_packets(path, "a")
        stereo = np.frombuffer(decode(path, "0:a", "s16le"), dtype="<i2").reshape(-1, 2).astype(np.float32)
        self.audio = stereo.mean(axis=1)
        self.packet_start = np.concatenate([[0], np.cumsum(sizes // 4)])[:-1]

    def audio_time(self, sample):
        """Wall clock time of a sample of the recorded monitor."""
        p = max(0, np.searchsorted(self.packet_start, sample, side="right") - 1)
        return self.audio_pts[p] + (sample - self.packet_start[p]) / RATE


def read_reference(build, work):
    ref = os.path.join(work, "reference")
    os.makedirs(ref, exist_ok=True)
    subprocess.run([os.path.join(build, "bench", "sync_reference"), ref], check=True, stderr=subprocess.DEVNULL)
    with open(os.path.join(ref, "song.wav"), "rb") as f:
        data = f.read()[44:]
    song = np.frombuffer(data, dtype="<i2").reshape(-1, 2).astype(np.float32).mean(axis=1)
    beats = np.loadtxt(os.path.join(ref, "beats.txt"), dtype=np.int64, ndmin=1)
    return song, beats


def correlate(a, b):
    """Cross-correlation of a (long) with b (short): c[k] = sum a[k+i] b[i]."""
    n = 1 << int(np.ceil(np.log2(len(a) + len(b))))
    c = np.fft.irfft(np.fft.rfft(a, n) * np.conj(np.fft.rfft(b, n)), n)
    return c[:len(a) - len(b) + 1]


def envelope(audio, block):
    n = len(audio) // block
    return np.abs(audio[:n * block]).reshape(n, block).mean(axis=1)


def locate_beats(recording, song, beats):
    """For each beat, the recording's sample where its row starts, or -1 where not found. The
    song is placed roughly by its loudness in 10 ms blocks, then each beat to the sample."""
    block = RATE // 100
    a, b = envelope(recording.audio, block), envelope(song, block)
    a, b = a - a.mean(), b - b.mean()
    n = 1 << int(np.ceil(np.log2(len(a) + len(b))))
    c = np.fft.irfft(np.fft.rfft(a, n) * np.conj(np.fft.rfft(b, n)), n)
    shift = int(np.argmax(c))
    lag = (shift if shift < n // 2 else shift - n) * block
    found = np.full(len(beats), -1, dtype=np.int64)
    before, after = RATE // 20, RATE // 5
    for i, frame in enumerate(beats):
        if frame < before or frame + after > len(song):
            continue
        piece = song[frame - before:frame + after]
        if np.abs(piece).max() < 100:
            continue
        # Near where the last beat was found; further out if silence was inserted (or lost).
        for reach in (RATE // 20, RATE):
            lo = max(0, frame + lag - before - reach)
            hi = min(len(recording.audio), frame + lag + after + reach)
            if hi - lo < len(piece):
                break
            window = recording.audio[lo:hi]
            k = int(np.argmax(correlate(window, piece)))
            match = window[k:k + len(piece)]
            quality = np.dot(match, piece) / (np.linalg.norm(match) * np.linalg.norm(piece) + 1e-9)
            if quality >= 0.8:
                found[i] = lo + k + before
                lag = found[i] - frame
                break
    return found


def jumps(found, beats):
    """Underruns seen in the recording: the song moving later by more than a millisecond."""
    lags = [f - b for f, b in zip(found, beats) if f >= 0]
    steps = np.diff(lags)
    return int(np.sum(steps > RATE // 1000)), float(np.sum(steps[steps > 0]) / RATE * 1000.0)


def reactions(recording):
    """Grabs where the picture jumps: the change from the grab before is at least RISE times
    the change at the last grab that saw a step (within 60 ms; grabs that saw no step do not
    count). Between beats each step changes the picture a little less than the one before."""
    f = recording.frames.astype(np.float32)
    change = np.zeros(len(f))
    change[1:] = np.abs(np.diff(f, axis=0)).mean(axis=(1, 2))
    pts = recording.video_pts
    times, last = [], None
    for j in range(1, len(change)):
        if change[j] < STILL:
            continue
        if last is not None and pts[j] - pts[last] <= 0.06 and pts[j] - pts[j - 1] <= 0.02:
            if change[j] >= RISE * change[last]:
                times.append(pts[j])
        last = j
    return np.array(times)


def pair(heard, times):
    """The offset of each beat's reaction: the typical offset is the most common difference
    between a beat and a jump up to 160 ms either side (beats come every 139 ms or more, so a
    larger offset would be taken for the next or last beat's); each beat then takes the jump
    nearest to its own time plus that, within 70 ms and closer than halfway to its neighbours."""
    if not heard or len(times) == 0:
        return []
    diffs = []
    for h in heard:
        lo, hi = np.searchsorted(times, h - 0.16), np.searchsorted(times, h + 0.16)
        diffs.extend(times[lo:hi] - h)
    counts, edges = np.histogram(diffs, bins=np.arange(-0.16, 0.1601, 0.005))
    smooth = np.convolve(counts, np.ones(5), mode="same")
    typical = edges[int(np.argmax(smooth))] + 0.0025
    offsets = []
    for i, h in enumerate(heard):
        gap = min([abs(h - o) for o in heard[max(0, i - 1):i + 2] if o != h] + [0.14])
        reach = min(0.07, gap / 2)
        centre = h + typical
        lo, hi = np.searchsorted(times, centre - reach), np.searchsorted(times, centre + reach)
        if hi > lo:
            k = lo + int(np.argmin(np.abs(times[lo:hi] - centre)))
            offsets.append((times[k] - h) * 1000.0)
    return offsets


def percentile(values, q):
    return float(np.percentile(np.array(values), q)) if values else float("nan")


def analyse(rec_path, song, beats):
    recording = Recording(rec_path)
    found = locate_beats(recording, song, beats)
    underruns, gap_ms = jumps(found, beats)
    times = reactions(recording)
    heard = {"knot": [], "tunnel": []}
    for i, frame in enumerate(beats):
        t = frame / RATE
        scene = "knot" if KNOT_FROM_S <= t <= KNOT_TO_S else "tunnel" if t >= TUNNEL_FROM_S else None
        if scene and found[i] >= 0:
            heard[scene].append(recording.audio_time(found[i]))
    result = {scene: pair(heard[scene], times) for scene in heard}
    return result, len(heard["knot"]) + len(heard["tunnel"]), underruns, gap_ms


def summary(label, offsets):
    if not offsets:
        return f"{label:8s} none found"
    size = [abs(o) for o in offsets]
    return (f"{label:8s} found {len(offsets):4d}  median {statistics.median(offsets):+7.1f} ms  "
            f"p95 |offset| {percentile(size, 95):6.1f} ms  mean {statistics.mean(offsets):+7.1f} ms")


def report(name, result, expected, underruns, gap_ms, wall, load, reported=None):
    both = result["knot"] + result["tunnel"]
    print(f"{name}: wall {wall:.2f} s, load at start {load:.2f}, beats expected {expected}")
    print("  " + summary("all", both))
    print("  " + summary("knot", result["knot"]))
    print("  " + summary("tunnel", result["tunnel"]))
    extra = f", {reported} reported by PulseAudio" if reported is not None else ""
    print(f"  underruns: {underruns} seen in the recording ({gap_ms:.1f} ms of silence inserted){extra}")
    sys.stdout.flush()


def run_program(args, work, song, beats):
    program = args.program or os.path.join(args.build, "yarvik")
    for n in range(args.runs):
        rig = Rig(os.path.join(work, f"run{n}"))
        try:
            rec = os.path.join(rig.work, "rec.nut")
            wall, load = rig.record([program], rec, args.busy)
            result, expected, underruns, gap_ms = analyse(rec, song, beats)
            report(f"run {n + 1} of {program}" + (f" with {args.busy} busy loops" if args.busy else ""),
                   result, expected, underruns, gap_ms, wall, load, rig.underruns_reported(rig.playing_until))
        finally:
            rig.close()


def run_clip(args, work, song, beats):
    capture = os.path.join(args.build, "tools", "capture", "yarvik-capture")
    frames = os.path.join(work, "clip")
    os.makedirs(frames, exist_ok=True)
    subprocess.run([capture, "--out", frames, "--seed", "1", "--fps", "60", "--from", "5", "--to", "45"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # The sound stays PCM, so that it is found in the recording as exactly as the program's.
    clip = os.path.join(work, "clip.mkv")
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-framerate", str(GRAB_FPS), "-i", os.path.join(frames, "frame_%06d.png"),
                    "-i", os.path.join(frames, "audio.wav"), "-c:v", "libx264", "-preset", "ultrafast", "-qp", "0",
                    "-pix_fmt", "yuv444p", "-c:a", "pcm_s16le", clip], check=True)
    shutil.rmtree(frames)
    for delay in [int(d) for d in args.delays.split(",")]:
        rig = Rig(os.path.join(work, f"clip{delay}"))
        try:
            rec = os.path.join(rig.work, "rec.nut")
            player = ["ffplay", "-loglevel", "error", "-autoexit", "-noborder", "-left", "0", "-top", "0",
                      "-x", "640", "-y", "480", "-af", f"adelay={delay}:all=1", clip]
            wall, load = rig.record(player, rec)
            result, expected, underruns, gap_ms = analyse(rec, song, beats)
            report(f"capture clip played with its sound {delay} ms late", result, expected, underruns, gap_ms,
                   wall, load, rig.underruns_reported(rig.playing_until))
        finally:
            rig.close()


STIMULUS_CODE = r"""
import ctypes, sys, time
rate, delay_ms, count = 44100, float(sys.argv[1]), int(sys.argv[2])
x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XSetWindowBackground.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong]
x11.XClearWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
display = x11.XOpenDisplay(None)
root = x11.XDefaultRootWindow(display)

def show(colour):
    x11.XSetWindowBackground(display, root, colour)
    x11.XClearWindow(display, root)
    x11.XSync(display, 0)

class SampleSpec(ctypes.Structure):
    _fields_ = [("format", ctypes.c_int), ("rate", ctypes.c_uint32), ("channels", ctypes.c_uint8)]
class BufferAttr(ctypes.Structure):
    _fields_ = [(n, ctypes.c_uint32) for n in ("maxlength", "tlength", "prebuf", "minreq", "fragsize")]
pulse = ctypes.CDLL("libpulse-simple.so.0")
pulse.pa_simple_new.restype = ctypes.c_void_p
pulse.pa_simple_write.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_size_t, ctypes.c_void_p]
pulse.pa_simple_get_latency.restype = ctypes.c_uint64
pulse.pa_simple_get_latency.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
sample_format = SampleSpec(3, rate, 2)  # PA_SAMPLE_S16LE
chunk = rate // 200            # 5 ms; 40 ms buffered, so that a busy machine does not run it dry
attr = BufferAttr(0xFFFFFFFF, chunk * 4 * 8, 0xFFFFFFFF, chunk * 4, 0xFFFFFFFF)
stream = pulse.pa_simple_new(None, b"stimulus", 1, None, b"stimulus", ctypes.byref(sample_format), None,
                             ctypes.byref(attr), None)
silence = bytes(chunk * 4)
click = b"".join(int(20000 * (1 if (i // 22) % 2 else -1)).to_bytes(2, "little", signed=True) * 2
                 for i in range(chunk))
show(0)
# A flash when the next frame written will be played, and the click `delay_ms` after it.
written, next_click, pending, flashes = 0, rate, [], []
while count > 0 or flashes:
    if not pending and written >= next_click and count > 0:
        flashes.append(time.time() + pulse.pa_simple_get_latency(stream, None) / 1e6)
        print("click", repr(flashes[-1] + delay_ms / 1000.0), flush=True)
        pending = [silence] * int(delay_ms * rate / 1000 / chunk) + [click]
        next_click += rate // 2 + (count % 7) * rate // 25
        count -= 1
    data = pending.pop(0) if pending else silence
    pulse.pa_simple_write(stream, data, len(data), None)
    written += chunk
    while flashes and flashes[0] <= time.time():
        show(0xFFFFFF)
        print("flash", repr(time.time()), flush=True)
        time.sleep(0.03)
        show(0)
        flashes.pop(0)
"""


def onsets(audio, threshold=8000.0, gap=0.2):
    """Samples where the recorded sound first goes loud after `gap` seconds of quiet."""
    loud = np.flatnonzero(np.abs(audio) > threshold)
    keep = [loud[0]] if len(loud) else []
    for k in loud[1:]:
        if k - keep[-1] > gap * RATE and k - loud[np.searchsorted(loud, k) - 1] > gap * RATE:
            keep.append(k)
    return np.array(keep)


def run_stimulus(args, work):
    """White flashes, each at the moment PulseAudio reckons the next frame written to it will
    be played, and clicks written that many milliseconds of --delays later, recorded as the
    program is: the measured offsets must be minus the delay plus the grabs' own wait (up to a
    grab interval, 8 ms on average)."""
    script = os.path.join(work, "stimulus.py")
    with open(script, "w") as f:
        f.write(STIMULUS_CODE)
    for delay in [int(d) for d in args.delays.split(",")]:
        rig = Rig(os.path.join(work, f"stimulus{delay}"))
        try:
            rec = os.path.join(rig.work, "rec.nut")
            wall, load = rig.record(["/usr/bin/python3", script, str(delay), "60"], rec, args.busy)
            recording = Recording(rec)
            brightness = recording.frames.astype(np.float32).mean(axis=(1, 2))
            lit = np.flatnonzero((brightness[1:] > 128) & (brightness[:-1] <= 128)) + 1
            flashes = recording.video_pts[lit]
            offsets = []
            for k in onsets(recording.audio):
                heard = recording.audio_time(k)
                near = flashes[np.abs(flashes - heard) < 0.25]
                if len(near) == 1:
                    offsets.append((near[0] - heard) * 1000.0)
            print(f"clicks {delay} ms after their flashes: load at start {load:.2f}, "
                  f"{rig.underruns_reported(rig.playing_until)} underruns reported by PulseAudio")
            print("  " + summary("clicks", offsets))
        finally:
            rig.close()


def run_underruns(args, work):
    """The program on the null sink with nothing recorded: PulseAudio's count of underruns."""
    program = args.program or os.path.join(args.build, "yarvik")
    for n in range(args.runs):
        rig = Rig(os.path.join(work, f"underruns{n}"))
        try:
            wall, load = rig.run([program], args.busy, args.pin)
            print(f"underrun run {n + 1} of {program} with {args.busy} busy loops: load at start {load:.2f}, "
                  f"wall {wall:.2f} s, {rig.underruns_reported(rig.playing_until)} underruns reported by PulseAudio")
            sys.stdout.flush()
        finally:
            rig.close()


def run_silent(args, work, song):
    """The run with no sound device (SDL's dummy driver): the time from the first picture (the
    knot fading in as the song starts) to the program's exit, against the song's length. The
    end adds the last fade-out (1 s) and the step that ends the loop."""
    program = args.program or os.path.join(args.build, "yarvik")
    for n in range(args.runs):
        rig = Rig(os.path.join(work, f"silent{n}"))
        try:
            env = dict(rig.env, SDL_AUDIODRIVER="dummy")
            screen = os.path.join(rig.work, "screen.nut")
            recorder = subprocess.Popen(
                ["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "x11grab", "-framerate", str(GRAB_FPS),
                 "-video_size", "640x480", "-i", f":{rig.display}", "-copyts", "-fps_mode", "passthrough",
                 "-vf", f"scale={GRAB_W}:{GRAB_H}:flags=area,format=gray", "-c:v", "rawvideo", "-f", "nut", screen],
                env=rig.env)
            time.sleep(2.0)
            wall, load = rig.run([program], args.busy, args.pin, env)
            recorder.send_signal(signal.SIGINT)
            recorder.wait(timeout=30)
            pts, _ = probe_packets(screen, "v")
            frames = np.frombuffer(decode(screen, "0:v", "rawvideo"), dtype=np.uint8).reshape(-1, GRAB_H, GRAB_W)
            lit = np.flatnonzero(frames.reshape(len(frames), -1).mean(axis=1) > 1.0)
            shown = rig.ended_at - pts[lit[0]] if len(lit) else float("nan")
            where = f" pinned to CPU {args.pin}" if args.pin is not None else ""
            print(f"silent run {n + 1} of {program} with {args.busy} busy loops{where}: load at start {load:.2f}, "
                  f"wall {wall:.2f} s; first picture to exit {shown:.2f} s = song {len(song) / RATE:.2f} s "
                  f"+ {shown - len(song) / RATE:.2f} s")
            sys.stdout.flush()
        finally:
            rig.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True)
    parser.add_argument("--program")
    parser.add_argument("--runs", type=int, default=1)
    parser.add_argument("--busy", type=int, default=0)
    parser.add_argument("--clip", action="store_true")
    parser.add_argument("--stimulus", action="store_true")
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--underruns", action="store_true")
    parser.add_argument("--pin", type=int)
    parser.add_argument("--delays", default="0,100")
    parser.add_argument("--keep")
    args = parser.parse_args()
    for tool in ("pulseaudio", "Xvfb", "ffmpeg", "ffprobe", "ffplay"):
        if shutil.which(tool) is None:
            raise SystemExit(f"live_sync: {tool} is missing (scripts/install-deps installs it)")
    work = args.keep or tempfile.mkdtemp(prefix="live_sync.")
    os.makedirs(work, exist_ok=True)
    try:
        if args.stimulus:
            run_stimulus(args, work)
            return
        if args.underruns:
            run_underruns(args, work)
            return
        song, beats = read_reference(args.build, work)
        if args.silent:
            run_silent(args, work, song)
            return
        if args.clip:
            run_clip(args, work, song, beats)
        else:
            run_program(args, work, song, beats)
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
