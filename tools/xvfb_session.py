"""Runs the viewer on a private X server, saves a screenshot of its window once the picture is
shown, closes the window as a user would (so the settings file is written) and prints the
screenshot's path."""
import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import XSession  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--screenshot", required=True)
    parser.add_argument("--size", default="1024x768")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = [c for c in args.command if c != "--"]
    width, height = (int(v) for v in args.size.split("x"))
    session = XSession(width, height)
    try:
        session.start(command)
        window = session.find_window("Lumivane")
        # A file on the command line is shown when the window is shown; give it a moment to paint.
        time.sleep(1.0)
        os.makedirs(os.path.dirname(os.path.abspath(args.screenshot)), exist_ok=True)
        session.screenshot(args.screenshot, window)
        print("Window title:", session.title(window))
        session.close_window(window)
        session.wait_app()
        print("Screenshot:", os.path.abspath(args.screenshot))
    finally:
        session.stop()


if __name__ == "__main__":
    main()
