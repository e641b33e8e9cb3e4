"""Times the viewer's start-up in a private X server: from process start until its window is
mapped, and (with --picture) until the fitted picture's centre pixel is on screen. The same
program start of a plain Qt window is timed in the same run as the reference.

  /usr/bin/python3 tools/measure_startup.py --viewer build/release/app/lumivane \
      --reference build/release/bench/qt_hello [--picture photo.jpg --colour RRGGBB] [--runs 10]
"""
import argparse
import os
import shutil
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import XSession  # noqa: E402


def close_to(pixel, colour, tolerance=12):
    """JPEG pictures are not exact: a channel may be off by a few steps."""
    return all(abs(a - b) <= tolerance for a, b in zip(pixel, colour))


def time_one(session, argv, title, cwd, colour=None, point=None):
    start = time.perf_counter()
    session.start(argv, cwd=cwd)
    window = session.find_window(title, timeout=30)
    mapped = time.perf_counter() - start
    shown = None
    if colour is not None:
        deadline = time.time() + 30
        while time.time() < deadline:
            try:
                if close_to(session.pixel(*point, window), colour):
                    shown = time.perf_counter() - start
                    break
            except Exception:
                pass
            time.sleep(0.001)
    session.close_app(window)
    return mapped, shown


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--viewer", required=True)
    parser.add_argument("--reference")
    parser.add_argument("--picture")
    parser.add_argument("--colour", help="RRGGBB expected at the picture's centre")
    parser.add_argument("--size", default="1920x1080")
    parser.add_argument("--runs", type=int, default=10)
    args = parser.parse_args()
    width, height = (int(v) for v in args.size.split("x"))
    work = tempfile.mkdtemp(prefix="lumivane-startup-")
    viewer = os.path.join(work, "lumivane")
    shutil.copy2(args.viewer, viewer)  # its settings file is written beside it
    session = XSession(width, height)
    try:
        # Default bounds: the whole screen width, height less 25; browsing panel 157 + splitter 3,
        # status bar 19: the picture's centre is the image panel's centre.
        point = (160 + (width - 160) // 2, (height - 25 - 19) // 2)
        colour = tuple(bytes.fromhex(args.colour)) if args.colour else None
        results = {"viewer window": [], "viewer picture": [], "reference window": []}
        for _ in range(args.runs):
            argv = [viewer] + ([os.path.abspath(args.picture)] if args.picture else [])
            mapped, shown = time_one(session, argv, "Lumivane", work, colour, point)
            results["viewer window"].append(mapped)
            if shown is not None:
                results["viewer picture"].append(shown)
            if args.reference:
                mapped, _ = time_one(session, [os.path.abspath(args.reference)], "Lumivane reference", work)
                results["reference window"].append(mapped)
        for name, values in results.items():
            if values:
                print(f"{name:18s} median {statistics.median(values) * 1000:7.1f} ms  "
                      f"min {min(values) * 1000:7.1f} ms  ({len(values)} runs)")
    finally:
        session.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
