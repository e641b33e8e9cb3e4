"""End-to-end tests: the real viewer in a real X server, driven with xdotool and read with xprop,
xwininfo, screenshots and its settings file."""
import os
import subprocess
import time

from PIL import Image

from e2e_support import E2ECase, main, program_path, write_bmp

TITLE_TEXT = "Picture viewer for the keyboard: step, zoom, slide show, rename, copy, move, sort."
VERSION = "Lumivane 1.5"


def quadrants(width, height):
    def colour(x, y):
        if y < height // 2:
            return (255, 0, 0) if x < width // 2 else (0, 255, 0)
        return (0, 0, 255) if x < width // 2 else (255, 255, 0)
    return colour


def xprop_title(session, window):
    out = subprocess.run(["xprop", "-display", session.name, "-id", hex(window), "_NET_WM_NAME"],
                         capture_output=True, text=True, check=True).stdout
    # _NET_WM_NAME(UTF8_STRING) = "..."
    return out.split("=", 1)[1].strip().strip('"') if "=" in out else ""


def xwininfo_geometry(session, window):
    out = subprocess.run(["xwininfo", "-display", session.name, "-id", hex(window)],
                         capture_output=True, text=True, check=True).stdout
    values = {}
    for line in out.splitlines():
        if ":" in line:
            key, _, value = line.strip().partition(":")
            values[key.strip()] = value.strip()
    return (int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
            int(values["Width"]), int(values["Height"]))


class ViewerCase(E2ECase):
    def start(self, *args):
        self.session.start([self.exe, *args], cwd=self.pictures)
        return self.session.find_window("Lumivane")

    def test_title_and_settings_written_at_close(self):
        write_bmp(os.path.join(self.pictures, "a.bmp"), 40, 30, quadrants(40, 30))
        window = self.start()
        self.assertEqual(xprop_title(self.session, window), f"{VERSION} - {TITLE_TEXT}")
        # No settings file yet: the window takes the screen width and the height less 25.
        self.assertEqual(xwininfo_geometry(self.session, window), (0, 0, 1024, 743))
        self.close_and_wait(window)
        with open(self.settings, "rb") as f:
            self.assertEqual(f.read(), b"0\r\n0\r\n743\r\n1024\r\n157\r\n")

    def test_bounds_restored_from_settings_file(self):
        with open(self.settings, "wb") as f:
            f.write(b"10\r\n20\r\n400\r\n500\r\n150\r\n")
        window = self.start()
        time.sleep(0.3)
        self.assertEqual(xwininfo_geometry(self.session, window), (20, 10, 500, 400))
        self.close_and_wait(window)
        with open(self.settings, "rb") as f:
            self.assertEqual(f.read(), b"10\r\n20\r\n400\r\n500\r\n150\r\n")

    def test_page_down_shows_fitted_picture(self):
        # 1200 x 900 in a 864 x 724 image panel: 864 x 647 at 0,38, i.e. at 160,38 in the window.
        write_bmp(os.path.join(self.pictures, "a.bmp"), 40, 30, quadrants(40, 30))
        write_bmp(os.path.join(self.pictures, "b.bmp"), 1200, 900, quadrants(1200, 900))
        window = self.start()
        self.session.key(window, "Next")  # PgDn with nothing selected selects the first file
        self.session.wait_for_title(window, lambda t: t.endswith("a.bmp"))
        self.session.key(window, "Next")
        title = self.session.wait_for_title(window, lambda t: t.endswith("b.bmp"))
        self.assertEqual(title, VERSION + " - " + program_path(os.path.join(self.pictures, "b.bmp")))
        time.sleep(0.5)
        shot = os.path.join(self.root, "shot.png")
        self.session.screenshot(shot, window)
        image = Image.open(shot).convert("RGB")
        left, top, width, height = 160, 38, 864, 647
        self.assertEqual(image.getpixel((left + width // 4, top + height // 4)), (255, 0, 0))
        self.assertEqual(image.getpixel((left + 3 * width // 4, top + height // 4)), (0, 255, 0))
        self.assertEqual(image.getpixel((left + width // 4, top + 3 * height // 4)), (0, 0, 255))
        self.assertEqual(image.getpixel((left + 3 * width // 4, top + 3 * height // 4)), (255, 255, 0))
        # Just outside the picture's top edge the panel shows through.
        self.assertNotEqual(image.getpixel((left + width // 4, top - 3)), (255, 0, 0))
        self.assertEqual(image.getpixel((left + width // 4, top + 1)), (255, 0, 0))
        self.close_and_wait(window)

    def test_animated_gif_plays_its_frames(self):
        frames = [Image.new("RGB", (120, 80), c) for c in ((255, 0, 0), (0, 255, 0), (0, 0, 255))]
        path = os.path.join(self.pictures, "anim.gif")
        frames[0].save(path, save_all=True, append_images=frames[1:], duration=100, loop=0)
        window = self.start(program_path(path))
        self.session.wait_for_title(window, lambda t: t.endswith("anim.gif"))
        # The GIF is centred in the 864 x 724 image panel, which starts at x = 160.
        centre = (160 + 864 // 2, 724 // 2)
        # The title changes before the first paint: sampling starts once the first frame is on
        # screen, and is quick beside the frames' 100 ms, so no frame falls between two samples.
        deadline = time.time() + 5
        while time.time() < deadline and self.session.pixel(*centre, window) != (255, 0, 0):
            time.sleep(0.005)
        seen = set()
        while time.time() < deadline and len(seen) < 3:
            seen.add(self.session.pixel(*centre, window))
            time.sleep(0.005)
        self.assertEqual(seen, {(255, 0, 0), (0, 255, 0), (0, 0, 255)})
        self.close_and_wait(window)


if __name__ == "__main__":
    main()
