#!/usr/bin/python3
"""Start -> picture on screen: the viewer against the Linux viewers people use.

Times each viewer from its start until the picture's pixels are on screen (the row through the
window's centre shows at least --colours distinct colours), then closes it as a window manager
would and records the whole process's CPU time and peak memory. Viewers run interleaved, round by
round, under one Xvfb 1920x1080 screen started with -noreset; the report gives medians and the
slowest round.

Cases: a 6000x4000 JPEG, a 4000x3000 BMP, a 2000x2000 256-colour GIF, and a picture in a folder
of 20,000 files (the folder case measures what each viewer does with the picture's folder).

The viewer runs twice: as it is and with its decoding ahead switched off (LUMIVANE_DECODE_AHEAD=0)
as a yardstick. Peers: feh, nsxiv and qimgv from Debian (install them for the benchmark only:
  apt-get install feh nsxiv qimgv), and the plain Qt viewer built with the benchmarks
(bench/peers/qt_label_viewer.cpp). Missing peers are skipped.

  /usr/bin/python3 bench/peers.py --viewer build/release/app/lumivane \\
      --qt-viewer build/release/bench/qt_label_viewer [--rounds 7] [--cases jpeg,bmp,gif,folder]

This is a benchmark, not a test: timings depend on the machine and its load (the report prints
the load average).
"""
import argparse
import os
import random
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

from PIL import Image
from Xlib import X

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from xsession import XSession  # noqa: E402

FOLDER_FILES = 20000


# ---- pictures ---------------------------------------------------------------------------------

def photo_like(width, height):
    """Gradients in red and green, noise in blue: every row holds many colours."""
    red = Image.linear_gradient("L").rotate(90).resize((width, height))
    green = Image.linear_gradient("L").resize((width, height))
    blue = Image.effect_noise((width, height), 48)
    return Image.merge("RGB", (red, green, blue))


def make_pictures(folder, cases):
    paths = {}
    if "jpeg" in cases:
        paths["jpeg"] = os.path.join(folder, "photo-6000x4000.jpg")
        photo_like(6000, 4000).save(paths["jpeg"], quality=90)
    if "bmp" in cases:
        paths["bmp"] = os.path.join(folder, "scan-4000x3000.bmp")
        photo_like(4000, 3000).save(paths["bmp"])
    if "gif" in cases:
        paths["gif"] = os.path.join(folder, "poster-2000x2000.gif")
        # Index = column band, so the centre row crosses every palette entry.
        row = bytes((x * 256) // 2000 for x in range(2000))
        image = Image.frombytes("P", (2000, 2000), row * 2000)
        palette = []
        for i in range(256):
            palette += [i, (i * 37) % 256, 255 - i]
        image.putpalette(palette)
        image.save(paths["gif"])
    if "folder" in cases:
        big = os.path.join(folder, "folder-20000")
        os.mkdir(big)
        rng = random.Random(20000)
        extensions = [".jpg"] * 5 + [".bmp", ".gif", ".JPG", ".txt", ".dat"]
        for i in range(FOLDER_FILES - 1):
            name = "%s_%08x_%d%s" % ("IMG" if i % 3 else "holiday", rng.getrandbits(32), i, extensions[i % 10])
            open(os.path.join(big, name), "wb").close()
        paths["folder"] = os.path.join(big, "IMG_zz_picture.jpg")
        photo_like(1600, 1200).save(paths["folder"], quality=90)
    return paths


# ---- one timed start --------------------------------------------------------------------------

def distinct_colours_on_centre_row(disp, window):
    try:
        geometry = window.get_geometry()
        origin = window.translate_coords(disp.screen().root, 0, 0)
    except Exception:  # the window went away
        return 0
    screen_width = disp.screen().width_in_pixels
    x = -origin.x
    y = -origin.y + geometry.height // 2
    x0, x1 = max(x, 0), min(x + geometry.width, screen_width)
    if x1 - x0 < 50:
        return 0
    raw = disp.screen().root.get_image(x0, y, x1 - x0, 1, X.ZPixmap, 0xFFFFFFFF).data
    return len({raw[i:i + 3] for i in range(0, len(raw), 4)})


def peak_memory_mib(pid):
    try:
        with open("/proc/%d/status" % pid) as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1]) / 1024.0
    except OSError:
        pass
    return float("nan")


def time_one(session, viewer, path, cwd, colours, timeout=30.0):
    """Returns (picture_ms, map_ms, cpu_ms, peak_MiB) or None when the picture never showed."""
    argv, extra_env = viewer
    disp = session.x
    root = disp.screen().root
    root.change_attributes(event_mask=X.SubstructureNotifyMask)
    disp.sync()
    while disp.pending_events():
        disp.next_event()
    start = time.perf_counter()
    process = subprocess.Popen(argv(path), cwd=cwd, env=dict(session.env, **extra_env), stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, start_new_session=True)
    window, mapped, shown, peak = None, None, None, float("nan")
    while time.perf_counter() - start < timeout:
        while disp.pending_events():
            event = disp.next_event()
            if event.type == X.MapNotify and window is None and not event.override:
                geometry = event.window.get_geometry()
                if geometry.width >= 100 and geometry.height >= 100:
                    window, mapped = event.window, (time.perf_counter() - start) * 1e3
        if window is not None and distinct_colours_on_centre_row(disp, window) >= colours:
            shown = (time.perf_counter() - start) * 1e3
            peak = peak_memory_mib(process.pid)
            break
        if process.poll() is not None:
            break
        time.sleep(0.002)
    if window is not None:
        session.close_window(window.id)
    usage = None
    deadline = time.perf_counter() + 10
    while time.perf_counter() < deadline:
        pid, _, usage = os.wait4(process.pid, os.WNOHANG)
        if pid == process.pid:
            break
        usage = None
        time.sleep(0.005)
    if usage is None:
        os.killpg(process.pid, signal.SIGKILL)
        _, _, usage = os.wait4(process.pid, 0)
    process.returncode = 0  # reaped above
    try:
        os.killpg(process.pid, signal.SIGKILL)  # helpers left in its group
    except ProcessLookupError:
        pass
    if shown is None:
        return None
    cpu = (usage.ru_utime + usage.ru_stime) * 1e3
    if peak != peak:  # exited before it could be read
        peak = usage.ru_maxrss / 1024.0
    return shown, mapped, cpu, peak


# ---- viewers ----------------------------------------------------------------------------------

def viewers(args, workdir):
    """{name: (argv of the picture's path, extra environment)} of the viewers found."""
    found = {}
    if args.viewer and os.access(args.viewer, os.X_OK):
        exe = os.path.join(workdir, "lumivane")
        shutil.copy2(args.viewer, exe)  # its settings file is written beside it
        found["lumivane"] = (lambda path: [exe, path], {})
        found["lumivane-off"] = (lambda path: [exe, path], {"LUMIVANE_DECODE_AHEAD": "0"})
    if args.qt_viewer and os.access(args.qt_viewer, os.X_OK):
        found["qt-label"] = (lambda path: [os.path.abspath(args.qt_viewer), path], {})
    if shutil.which("feh"):
        # --start-at reads the picture's folder, as a viewer that steps through it must.
        found["feh"] = (lambda path: ["feh", "--scale-down", "--start-at", path], {})
    if shutil.which("nsxiv"):
        found["nsxiv"] = (lambda path: ["nsxiv", path], {})
    if shutil.which("qimgv"):
        found["qimgv"] = (lambda path: ["qimgv", path], {})
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--viewer", default="build/release/app/lumivane")
    parser.add_argument("--qt-viewer", default="build/release/bench/qt_label_viewer")
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--cases", default="jpeg,bmp,gif,folder")
    parser.add_argument("--only", default="", help="comma-separated viewer names to run")
    parser.add_argument("--colours", type=int, default=200, help="distinct colours that mean 'picture shown'")
    args = parser.parse_args()
    cases = [c for c in args.cases.split(",") if c]
    workdir = tempfile.mkdtemp(prefix="lumivane-peers-")
    session = None
    try:
        found = viewers(args, workdir)
        if args.only:
            found = {name: viewer for name, viewer in found.items() if name in args.only.split(",")}
        if not found:
            sys.exit("no viewer to run")
        pictures = make_pictures(workdir, cases)
        session = XSession(1920, 1080)
        home = os.path.join(workdir, "home")  # fresh settings for every viewer
        os.mkdir(home)
        results = {(case, viewer): [] for case in cases for viewer in found}
        failures = {(case, viewer): 0 for case in cases for viewer in found}
        for round_number in range(args.rounds):
            for case in cases:
                order = list(found)
                random.Random(round_number * 31 + len(case)).shuffle(order)
                for viewer in order:
                    colours = min(args.colours, 200) if case == "gif" else args.colours
                    outcome = time_one(session, found[viewer], pictures[case], home, colours)
                    if outcome is None:
                        failures[(case, viewer)] += 1
                    else:
                        results[(case, viewer)].append(outcome)
            print("round %d of %d done" % (round_number + 1, args.rounds), file=sys.stderr)

        print("load average: %s" % " ".join("%.2f" % v for v in os.getloadavg()))
        print("%-7s %-12s %9s %9s %9s %9s %9s %s" % ("case", "viewer", "median", "slowest", "map", "cpu_ms",
                                                    "peak_MiB", "runs"))
        for case in cases:
            for viewer in found:
                runs = results[(case, viewer)]
                if not runs:
                    print("%-7s %-12s %9s  (never showed the picture)" % (case, viewer, "-"))
                    continue
                shown = [r[0] for r in runs]
                print("%-7s %-12s %9.0f %9.0f %9.0f %9.0f %9.1f %d%s" % (
                    case, viewer, statistics.median(shown), max(shown), statistics.median(r[1] for r in runs),
                    statistics.median(r[2] for r in runs), statistics.median(r[3] for r in runs), len(runs),
                    " (%d failed)" % failures[(case, viewer)] if failures[(case, viewer)] else ""))
    finally:
        if session is not None:
            session.stop()
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    main()
