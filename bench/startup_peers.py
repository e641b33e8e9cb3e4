"""Start-up benchmark: program start -> picture on screen, the viewer against its peers.

Builds ../shared/tools/vtime.c (or takes --vtime), starts one Xvfb (1920x1080, -noreset) and runs
the viewer, the viewer with decoding ahead switched off (LUMIVANE_DECODE_AHEAD=0), and feh and
nsxiv when installed, interleaved in every round. Reports per program the median and slowest round
of "picture on screen", CPU time and peak memory, as vtime measures them.

  /usr/bin/python3 bench/startup_peers.py --viewer build/release/app/lumivane --picture big.jpg [--rounds 7]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def build_vtime(work):
    source = os.path.join(HERE, "..", "..", "shared", "tools", "vtime.c")
    if not os.path.exists(source):
        source = "/work/shared/tools/vtime.c"
    out = os.path.join(work, "vtime")
    subprocess.run(["cc", "-O2", source, "-o", out, "-lX11"], check=True)
    return out


def start_xvfb(width, height):
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{width}x{height}x24", "-noreset",
                             "-nolisten", "tcp"], pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    os.close(write_fd)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read_fd, 16)
        if not chunk:
            raise RuntimeError("Xvfb did not start")
        number += chunk
    os.close(read_fd)
    return xvfb, ":" + number.decode().strip()


def parse(line):
    """vtime's line of key value pairs."""
    parts = line.split()
    values = {}
    for key, value in zip(parts[0::2], parts[1::2]):
        try:
            values[key] = float(value)
        except ValueError:
            pass
    return values


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--viewer", required=True)
    parser.add_argument("--picture", required=True)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--vtime")
    parser.add_argument("--mincol", type=int, default=20)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="lumivane-startup-")
    vtime = args.vtime or build_vtime(work)
    exe = os.path.join(work, "lumivane")
    shutil.copy2(args.viewer, exe)  # the settings file is written beside it
    picture = os.path.abspath(args.picture)
    programs = [("lumivane", [exe, picture], {}),
                ("lumivane (ahead off)", [exe, picture], {"LUMIVANE_DECODE_AHEAD": "0"})]
    if shutil.which("feh"):
        programs.append(("feh", ["feh", "--scale-down", "-g", "1920x1080", picture], {}))
    if shutil.which("nsxiv"):
        programs.append(("nsxiv", ["nsxiv", "-g", "1920x1080", picture], {}))
    xvfb, display = start_xvfb(1920, 1080)
    results = {name: [] for name, _, _ in programs}
    try:
        for _ in range(args.rounds):
            for name, argv, extra in programs:
                env = dict(os.environ, DISPLAY=display, **extra)
                env.pop("QT_QPA_PLATFORM", None)
                run = subprocess.run([vtime, str(args.mincol), "--", *argv], env=env, capture_output=True, text=True,
                                     timeout=60)
                lines = [line for line in run.stdout.splitlines() if line.startswith("map_ms")]
                if lines:
                    results[name].append(parse(lines[-1]))
    finally:
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(work, ignore_errors=True)
    print(f"load average {os.getloadavg()[0]:.2f}; {args.rounds} interleaved rounds; {os.path.basename(picture)}")
    print(f"{'program':22} {'median':>8} {'slowest':>8} {'cpu':>7} {'peak MiB':>9}")
    for name, rows in results.items():
        shown = [r.get("img_ms", -1) for r in rows]
        shown = [s for s in shown if s >= 0]
        if not shown:
            print(f"{name:22} no picture seen ({rows[:1]})")
            continue
        cpu = statistics.median(r.get("cpu_ms", float("nan")) for r in rows)
        memory = statistics.median(r.get("hwm_MiB", float("nan")) for r in rows)
        print(f"{name:22} {statistics.median(shown):6.0f}ms {max(shown):6.0f}ms {cpu:5.0f}ms {memory:9.0f}")


if __name__ == "__main__":
    sys.exit(main())
