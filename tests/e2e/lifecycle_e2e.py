"""End-to-end tests of the viewer's life cycle in a real X server: no message box ever opens for
bad pictures, termination signals and a lost display end the program cleanly, the settings file
goes to the user's configuration folder when the program's folder is not writable, relative
arguments and double clicks."""
import os
import pwd
import shutil
import signal
import struct
import subprocess
import time

from PIL import Image

from e2e_support import E2ECase, main, write_bmp
from xsession import XSession


def undecodable_jpeg(width, height):
    """A JPEG whose header reads but that cannot be decoded (no quantisation table)."""
    sof = b"\xff\xc0\x00\x0b\x08" + struct.pack(">HH", height, width) + b"\x01\x01\x11\x00"
    sos = b"\xff\xda\x00\x08\x01\x01\x00\x00\x3f\x00"
    return b"\xff\xd8" + sof + sos + b"\x5a" * 64 + b"\xff\xd9"


def icon_with_entry(width_byte, data):
    """An icon file with one entry whose image bytes are data."""
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", width_byte, width_byte, 0, 0, 1, 32, len(data), 22)
    return header + entry + data


def write_animated_gif(path):
    frames = [Image.new("P", (40, 30), colour) for colour in (1, 2)]
    for frame in frames:
        frame.putpalette([0, 0, 0, 255, 0, 0, 0, 0, 255] + [0] * (256 * 3 - 9))
    frames[0].save(path, save_all=True, append_images=frames[1:], duration=20, loop=0)


def settings_lines(path):
    with open(path, "rb") as f:
        return f.read().split(b"\r\n")


class LifecycleCase(E2ECase):
    def start(self, args=(), cwd=None, env=None, prefix=(), stderr=None):
        return self.session.start([*prefix, self.exe, *args], cwd=cwd or self.pictures, env=env, stderr=stderr)

    def write_bad_pictures(self):
        write_bmp(os.path.join(self.pictures, "a_good.bmp"), 60, 40, (0, 128, 0))
        bad = {
            "b_corrupt.jpg": undecodable_jpeg(32, 32),
            "c_huge.jpg": undecodable_jpeg(65500, 65500),
            "d_png_entry.ico": icon_with_entry(16, b"\x89PNG\r\n\x1a\n" + b"\xee" * 40),
            "e_size_zero.ico": icon_with_entry(0, b"\xee" * 60),
            "f_garbage.ico": icon_with_entry(16, b"\xee" * 60),
        }
        for copy in range(3):
            for name, data in bad.items():
                stem, ext = os.path.splitext(name)
                with open(os.path.join(self.pictures, f"{stem}{copy}{ext}"), "wb") as f:
                    f.write(data)

    def test_slide_show_over_bad_pictures_opens_no_box_and_the_window_still_closes(self):
        self.write_bad_pictures()
        self.start([os.path.join(self.pictures, "a_good.bmp")])
        window = self.session.find_window("Lumivane")
        self.session.key(window, "F3")  # ask for the interval
        box = self.session.find_window("Slide Show")
        self.session.key(box, "ctrl+a", "1", "0", "0")
        # The box is gone before xdotool has finished with it, which it reports as a failure.
        subprocess.run(["xdotool", "key", "--window", str(box), "Return"], env=self.session.env)
        deadline = time.time() + 10
        while len(self.session.shown_windows()) > 1 and time.time() < deadline:
            time.sleep(0.05)
        self.assertEqual(1, len(self.session.shown_windows()), "the interval box closed")
        self.session.key(window, "F4")  # slide show on
        most = 0
        deadline = time.time() + 15
        while time.time() < deadline:
            most = max(most, len(self.session.shown_windows()))
            if self.session.title(window).endswith("f_garbage2.ico"):
                break
            time.sleep(0.05)
        self.assertTrue(self.session.title(window).endswith("f_garbage2.ico"), "the show reached the end")
        time.sleep(0.5)
        most = max(most, len(self.session.shown_windows()))
        self.assertEqual(1, most, "no message box opened")
        self.close_and_wait(window)

    def test_termination_signals_close_like_the_close_box(self):
        for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            with self.subTest(signal=number):
                if os.path.exists(self.settings):
                    os.remove(self.settings)
                write_animated_gif(os.path.join(self.pictures, "anim.gif"))
                app = self.start([os.path.join(self.pictures, "anim.gif")])
                self.session.find_window("anim.gif")
                app.send_signal(number)
                self.assertEqual(0, self.session.wait_app())
                lines = settings_lines(self.settings)
                self.assertEqual(6, len(lines))  # five lines, each ended by CR LF
                self.assertEqual([b"0", b"0", b"743", b"1024", b"157", b""], lines)

    def test_lost_display_ends_with_one_line_and_a_failure_status(self):
        write_bmp(os.path.join(self.pictures, "still.bmp"), 60, 40, (0, 0, 255))
        write_animated_gif(os.path.join(self.pictures, "anim.gif"))
        for name in ("still.bmp", "anim.gif"):
            with self.subTest(picture=name):
                app = self.start([os.path.join(self.pictures, name)], stderr=subprocess.PIPE)
                self.session.find_window(name)
                time.sleep(0.3)
                self.session.xvfb.kill()
                self.session.xvfb.wait()
                try:
                    _, err = app.communicate(timeout=20)
                except subprocess.TimeoutExpired:
                    app.kill()
                    self.fail("the viewer went on without its display")
                self.assertGreater(app.returncode, 0, "an exit status, not a signal")
                messages = [line for line in err.decode(errors="replace").splitlines()
                            if line.strip() and "XDG_RUNTIME_DIR" not in line]
                self.assertEqual(1, len(messages), messages)
                self.session.stop()
                self.session = XSession(1024, 768)

    def test_relative_argument_with_a_folder_part(self):
        write_bmp(os.path.join(self.pictures, "a.bmp"), 60, 40, (255, 0, 0))
        self.start(["pictures/a.bmp"], cwd=self.root)
        window = self.session.find_window("Lumivane")
        title = self.session.wait_for_title(window, lambda t: t.endswith("a.bmp"))
        self.assertIn("pictures", title)

    def test_double_click_leaves_no_drag(self):
        write_bmp(os.path.join(self.pictures, "red.bmp"), 200, 100, (255, 0, 0))
        self.start([os.path.join(self.pictures, "red.bmp")])
        window = self.session.find_window("red.bmp")
        time.sleep(0.5)
        env = self.session.env

        def pointer(x, y):
            subprocess.run(["xdotool", "mousemove", str(x), str(y)], env=env, check=True)
            time.sleep(0.2)

        # The picture is centred in the image panel (x 160..1024, y 0..724): x 492..692. It is
        # double-clicked near its right edge; hiding the browsing panel centres it in the whole
        # width (x 412..612), away from the pointer, where the release then lands.
        pointer(680, 362)
        subprocess.run(["xdotool", "click", "--repeat", "2", "--delay", "60", "1"], env=env, check=True)
        time.sleep(0.5)
        # No button held: moving over the picture must not move it.
        pointer(600, 362)
        pointer(560, 340)
        pointer(520, 330)
        shot = self.session.screenshot(os.path.join(self.root, "after.png"), window)
        image = Image.open(shot).convert("RGB")
        for corner in ((414, 314), (610, 314), (414, 410), (610, 410)):
            self.assertEqual((255, 0, 0), image.getpixel(corner), corner)
        self.assertNotEqual((255, 0, 0), image.getpixel((405, 362)))

    def test_settings_go_to_the_config_folder_when_the_program_folder_is_read_only(self):
        if os.geteuid() != 0:
            self.skipTest("needs root to run the viewer as another user")
        try:
            nobody = pwd.getpwnam("nobody")
        except KeyError:
            self.skipTest("no user nobody")
        setpriv = shutil.which("setpriv")
        if setpriv is None:
            self.skipTest("no setpriv")
        write_bmp(os.path.join(self.pictures, "a.bmp"), 60, 40, (255, 0, 0))
        os.chmod(self.bin_dir, 0o755)
        config = os.path.join(self.root, "config")
        os.makedirs(config)
        os.chown(config, nobody.pw_uid, nobody.pw_gid)
        self.start([], env={"XDG_CONFIG_HOME": config, "HOME": config},
                   prefix=[setpriv, f"--reuid={nobody.pw_uid}", f"--regid={nobody.pw_gid}", "--clear-groups"])
        window = self.session.find_window("Lumivane")
        self.close_and_wait(window)
        self.assertFalse(os.path.exists(self.settings))
        lines = settings_lines(os.path.join(config, "lumivane", "Lumivane.dat"))
        self.assertEqual([b"0", b"0", b"743", b"1024", b"157", b""], lines)
        self.assertEqual(["lumivane"], os.listdir(config))


if __name__ == "__main__":
    main()
