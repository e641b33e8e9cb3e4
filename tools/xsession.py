"""A private X server session for driving the viewer: Xvfb, xdotool keys, window title and
geometry, screenshots and a real close request (WM_DELETE_WINDOW, as a window's close box sends).

Used by run.sh (no display), by the end-to-end tests and by the start-up measurements."""
import os
import subprocess
import time

from Xlib import X, display as xdisplay, protocol


class XSession:
    def __init__(self, width=1024, height=768):
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{width}x{height}x24", "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read_fd, 16)
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            number += chunk
        os.close(read_fd)
        self.name = ":" + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.name)
        self.env.pop("QT_QPA_PLATFORM", None)
        self.x = xdisplay.Display(self.name)
        self.app = None

    def start(self, argv, cwd=None, env=None, stderr=None):
        merged = dict(self.env)
        if env:
            merged.update(env)
        self.app = subprocess.Popen(argv, cwd=cwd, env=merged, stderr=stderr)
        return self.app

    def is_shown(self, window_id):
        """Whether the window still exists and is mapped."""
        try:
            window = self.x.create_resource_object("window", window_id)
            return window.get_attributes().map_state == X.IsViewable
        except Exception:  # gone meanwhile
            return False

    def shown_windows(self):
        """The ids of the mapped top-level windows."""
        return [w.id for w in self.x.screen().root.query_tree().children if self.is_shown(w.id)]

    def find_window(self, name_part="Lumivane", timeout=20.0):
        """The id of the first mapped top-level window whose title contains name_part."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            for window_id in self.shown_windows():
                try:
                    if name_part in self.title(window_id):
                        return window_id
                except Exception:  # gone meanwhile
                    continue
            time.sleep(0.02)
        raise TimeoutError(f"no window titled '{name_part}'")

    def title(self, window_id):
        window = self.x.create_resource_object("window", window_id)
        net_name = self.x.intern_atom("_NET_WM_NAME")
        utf8 = self.x.intern_atom("UTF8_STRING")
        prop = window.get_full_property(net_name, utf8)
        if prop is not None:
            value = prop.value
            return value.decode("utf-8", "replace") if isinstance(value, bytes) else str(value)
        name = window.get_wm_name()
        return name or ""

    def geometry(self, window_id):
        """(x, y, width, height) of the window on the screen."""
        window = self.x.create_resource_object("window", window_id)
        geom = window.get_geometry()
        pos = window.translate_coords(self.x.screen().root, 0, 0)
        return (-pos.x, -pos.y, geom.width, geom.height)

    def key(self, window_id, *keys):
        for k in keys:
            subprocess.run(["xdotool", "key", "--window", str(window_id), k], env=self.env, check=True)

    def wait_for_title(self, window_id, predicate, timeout=10.0):
        deadline = time.time() + timeout
        while time.time() < deadline:
            t = self.title(window_id)
            if predicate(t):
                return t
            time.sleep(0.02)
        raise TimeoutError(f"title stayed '{self.title(window_id)}'")

    def pixel(self, x, y, window_id=None):
        """The (r, g, b) on screen at x, y of the window (of the whole screen without one)."""
        window = self.x.screen().root if window_id is None else self.x.create_resource_object("window", window_id)
        raw = window.get_image(int(x), int(y), 1, 1, X.ZPixmap, 0xFFFFFFFF).data
        return raw[2], raw[1], raw[0]

    def screenshot(self, path, window_id=None):
        target = "root" if window_id is None else hex(window_id)
        subprocess.run(["import", "-display", self.name, "-window", target, path], check=True)
        return path

    def close_window(self, window_id):
        """Asks the window to close, as its close box would."""
        window = self.x.create_resource_object("window", window_id)
        wm_protocols = self.x.intern_atom("WM_PROTOCOLS")
        wm_delete = self.x.intern_atom("WM_DELETE_WINDOW")
        event = protocol.event.ClientMessage(window=window, client_type=wm_protocols,
                                             data=(32, [wm_delete, X.CurrentTime, 0, 0, 0]))
        window.send_event(event)
        self.x.flush()

    def wait_app(self, timeout=15.0):
        return self.app.wait(timeout=timeout)

    def close_app(self, window_id, timeout=10.0):
        """Closes the window as its close box would and waits for the program to end; kills it
        when it has not ended within timeout seconds. Returns its exit status, None if killed."""
        self.close_window(window_id)
        try:
            return self.wait_app(timeout)
        except subprocess.TimeoutExpired:
            self.app.kill()
            self.app.wait()
            return None

    def stop(self):
        if self.app and self.app.poll() is None:
            self.app.kill()
            self.app.wait()
        try:
            self.x.close()
        except Exception:
            pass
        self.xvfb.terminate()
        self.xvfb.wait()
