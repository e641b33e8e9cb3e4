"""Stepping benchmark: key -> next picture fully on screen, under a private Xvfb.

Steps through a folder of large pictures (24 and 12 megapixel JPEGs, 4000 x 3000 BMPs) at a person's
pace (one key a second, PgDn then PgUp), then sends bursts of keys at once and times until the
last picture is on screen. Runs the viewer with decoding ahead, the same build with it switched
off (LUMIVANE_DECODE_AHEAD=0) and, when installed, feh and nsxiv on the same folder. Reports median,
p90 and the slowest step, and each viewer's peak memory (VmHWM).

Each picture carries five flat marker squares (centre and corners) in a colour of its own; a
picture counts as on screen when all five show its colour where the fit-to-window layout puts
them. Keys go through the XTEST extension, as xdotool sends them, without starting a process per key.

  /usr/bin/python3 bench/stepping.py --viewer build/release/app/lumivane [--steps 12] [--folder DIR]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from xsession import XSession  # noqa: E402
from Xlib import X, XK  # noqa: E402
from Xlib.ext import xtest  # noqa: E402

SCREEN = (1920, 1080)
# (name, width, height) in list order: the viewer sorts by name. Every fourth picture is a BMP.
PICTURES = []


def plan_pictures(count):
    PICTURES[:] = [(f"p{i:02d}.{'bmp' if i % 4 == 3 else 'jpg'}",) +
                   ((4000, 3000) if i % 4 == 3 else (6000, 4000) if i % 2 == 0 else (4000, 3000))
                   for i in range(count)]


def marker_colour(index):
    """Colours at least 64 apart on some channel from one another, and never grey like the texture."""
    levels = (0, 64, 128, 192, 255)
    colours = [(r, g, b) for r in levels for g in levels for b in levels if max(r, g, b) - min(r, g, b) >= 128]
    return colours[(index * 37) % len(colours)]


MARKERS = [(0.5, 0.5), (0.15, 0.15), (0.85, 0.15), (0.15, 0.85), (0.85, 0.85)]


def make_folder(folder):
    from PIL import Image, ImageDraw
    os.makedirs(folder, exist_ok=True)
    for index, (name, width, height) in enumerate(PICTURES):
        path = os.path.join(folder, name)
        if os.path.exists(path):
            continue
        # A photo-like texture: smooth colour fields with fine noise, which decodes like a photo.
        base = Image.effect_noise((width // 100, height // 100), 90).convert("RGB").resize((width, height),
                                                                                           Image.BICUBIC)
        noise = Image.effect_noise((width, height), 40).convert("RGB")
        picture = Image.blend(base, noise, 0.3)
        draw = ImageDraw.Draw(picture)
        side = width // 10
        for fx, fy in MARKERS:
            cx, cy = int(fx * width), int(fy * height)
            draw.rectangle([cx - side // 2, cy - side // 2, cx + side // 2, cy + side // 2],
                           fill=marker_colour(index))
        picture.save(path, quality=90) if name.endswith(".jpg") else picture.save(path)
    return [os.path.join(folder, p[0]) for p in PICTURES]


def fit(area, width, height):
    """Where a shrink-to-fit viewer centres the picture in area (x, y, w, h)."""
    ax, ay, aw, ah = area
    scale = min(1.0, aw / width, ah / height)
    w, h = width * scale, height * scale
    return ax + (aw - w) / 2, ay + (ah - h) / 2, w, h


class Viewer:
    def __init__(self, name, argv, env, title, area_of, keys):
        self.name, self.argv, self.env, self.title, self.area_of, self.keys = name, argv, env, title, area_of, keys


def viewers(args):
    lumivane_area = lambda g: (g[0] + 160, g[1], g[2] - 160, g[3] - 19)  # noqa: E731 browsing panel, status bar
    found = [
        Viewer("lumivane (ahead)", [args.viewer], {}, "Lumivane", lumivane_area, ("Next", "Prior")),
        Viewer("lumivane (ahead off)", [args.viewer], {"LUMIVANE_DECODE_AHEAD": "0"}, "Lumivane", lumivane_area,
               ("Next", "Prior")),
    ]
    if not args.peers:
        return found
    if shutil.which("feh"):
        found.append(Viewer("feh", ["feh", "--scale-down", "-g", "%dx%d+0+0" % SCREEN, "-B", "black"], {}, "feh",
                            lambda g: g, ("Right", "Left")))
    else:
        print("feh not installed: skipped")
    if shutil.which("nsxiv"):
        found.append(Viewer("nsxiv", ["nsxiv", "-g", "%dx%d+0+0" % SCREEN, "-s", "d", "-b"], {}, "nsxiv",
                            lambda g: g, ("n", "p")))
    else:
        print("nsxiv not installed: skipped")
    return found


def shows(session, area, index):
    _, width, height = PICTURES[index]
    x, y, w, h = fit(area, width, height)
    want = marker_colour(index)
    for fx, fy in MARKERS:
        got = session.pixel(x + fx * w, y + fy * h)
        if any(abs(a - b) > 40 for a, b in zip(got, want)):
            return False
    return True


def wait_shown(session, area, index, timeout=20.0):
    deadline = time.perf_counter() + timeout
    while time.perf_counter() < deadline:
        if shows(session, area, index):
            return time.perf_counter()
        time.sleep(0.0005)
    raise TimeoutError(f"picture {index} not shown")


def press(session, keysym_name, count=1):
    code = session.x.keysym_to_keycode(XK.string_to_keysym(keysym_name))
    for _ in range(count):
        xtest.fake_input(session.x, X.KeyPress, code)
        xtest.fake_input(session.x, X.KeyRelease, code)
    session.x.sync()


def peak_memory_mib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024.0
    return float("nan")


def run_viewer(session, viewer, files, steps, burst, work):
    first = files[0]
    argv = viewer.argv + sorted(files)  # the peers step through the files they are given
    if viewer.name.startswith("lumivane"):
        exe = os.path.join(work, "lumivane")
        shutil.copy2(viewer.argv[0], exe)  # its settings file is written beside it
        argv = [exe, first]
    session.start(argv, cwd=work, env=viewer.env)
    window = session.find_window(viewer.title, timeout=30)
    session.x.create_resource_object("window", window).set_input_focus(X.RevertToParent, X.CurrentTime)
    session.x.sync()
    area = viewer.area_of(session.geometry(window))
    wait_shown(session, area, 0)
    times = []
    index = 0
    plan = ["next"] * steps + ["prior"] * (steps // 2)
    for direction in plan:
        time.sleep(1.0)  # a person's pace
        index += 1 if direction == "next" else -1
        start = time.perf_counter()
        press(session, viewer.keys[0 if direction == "next" else 1])
        times.append(wait_shown(session, area, index) - start)
    # Bursts: back to the first picture, then every remaining key at once.
    bursts = []
    for _ in range(2):
        time.sleep(1.0)
        press(session, viewer.keys[1], index)
        try:
            wait_shown(session, area, 0, timeout=30)
        except TimeoutError:
            bursts.append(float("inf"))  # keys lost on the way back: the burst cannot be timed
            break
        index = 0
        time.sleep(1.0)
        start = time.perf_counter()
        press(session, viewer.keys[0], burst)
        try:
            bursts.append(wait_shown(session, area, burst, timeout=30) - start)
        except TimeoutError:
            bursts.append(float("inf"))  # never reached the last picture: keys lost or stalled
            break
        index = burst
    memory = peak_memory_mib(session.app.pid)
    session.close_app(window)
    return times, bursts, memory


def summary(values):
    ordered = sorted(values)
    p90 = ordered[min(len(ordered) - 1, int(round(0.9 * (len(ordered) - 1))))]
    return statistics.median(ordered) * 1000, p90 * 1000, ordered[-1] * 1000


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--viewer", required=True)
    parser.add_argument("--folder", help="where the test pictures are made (kept between runs)")
    parser.add_argument("--steps", type=int, default=12)
    parser.add_argument("--count", type=int, default=16, help="pictures in the folder; a burst is count - 1 keys")
    parser.add_argument("--rounds", type=int, default=1)
    parser.add_argument("--no-peers", dest="peers", action="store_false", help="only the viewer, ahead and off")
    parser.add_argument("--only", help="run only the viewer of this name")
    args = parser.parse_args()
    folder = args.folder or os.path.join(tempfile.gettempdir(), "lumivane-stepping")
    plan_pictures(args.count)
    files = make_folder(folder)
    steps = min(args.steps, len(files) - 1)
    burst = len(files) - 1
    work = tempfile.mkdtemp(prefix="lumivane-stepping-")
    session = XSession(*SCREEN)
    results = {}
    try:
        for _ in range(args.rounds):
            for viewer in viewers(args):  # interleaved: every viewer once per round
                if args.only and viewer.name != args.only:
                    continue
                try:
                    times, bursts, memory = run_viewer(session, viewer, files, steps, burst, work)
                except TimeoutError as error:
                    shot = os.path.join(tempfile.gettempdir(), "stepping-timeout.png")
                    session.screenshot(shot)
                    print(f"{viewer.name}: {error} (screen in {shot})")
                    if session.app and session.app.poll() is None:
                        session.app.kill()
                        session.app.wait()
                    continue
                entry = results.setdefault(viewer.name, ([], [], []))
                entry[0].extend(times)
                entry[1].extend(bursts)
                entry[2].append(memory)
    finally:
        session.stop()
        shutil.rmtree(work, ignore_errors=True)
    print(f"load average {os.getloadavg()[0]:.2f}; {steps} steps forward, {steps // 2} back, "
          f"bursts of {burst} keys")
    print(f"{'viewer':24} {'step median':>11} {'p90':>7} {'slowest':>8} {'burst':>8} {'peak MiB':>9}")
    for name, (times, bursts, memory) in results.items():
        median, p90, slowest = summary(times)
        print(f"{name:24} {median:9.1f}ms {p90:5.1f}ms {slowest:6.1f}ms {statistics.median(bursts) * 1000:6.0f}ms "
              f"{max(memory):9.0f}")


if __name__ == "__main__":
    main()
