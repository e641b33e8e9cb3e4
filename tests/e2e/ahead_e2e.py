"""End-to-end: decoding ahead changes nothing that is seen. The viewer steps through the same folder
with decoding ahead and with it switched off (LUMIVANE_DECODE_AHEAD=0); after every key the window
title and a screenshot of the whole window (picture, status bar, file list) must be the same."""
import os
import time

from PIL import Image, ImageDraw

from e2e_support import E2ECase, copy_viewer, main


def make_pictures(folder):
    def picture(name, size, colours, **save):
        image = Image.new("RGB", size, colours[0])
        draw = ImageDraw.Draw(image)
        w, h = size
        draw.rectangle([w // 4, h // 4, 3 * w // 4, 3 * h // 4], fill=colours[1])
        draw.ellipse([w // 3, h // 3, w // 2, h // 2], fill=colours[2])
        image.save(os.path.join(folder, name), **save)

    picture("a.jpg", (1600, 1200), ((200, 30, 30), (30, 200, 30), (20, 20, 220)), quality=90)
    picture("b.bmp", (1200, 300), ((250, 250, 0), (0, 0, 0), (0, 200, 200)))
    picture("c.jpg", (500, 1400), ((90, 0, 160), (250, 250, 250), (250, 120, 0)), quality=85)
    with open(os.path.join(folder, "d.jpg"), "wb") as f:
        f.write(b"\xff\xd8\xff\xe0 not really a JPEG")
    frames = [Image.new("RGB", (200, 100), c) for c in ((255, 0, 0), (255, 0, 0))]
    frames[0].save(os.path.join(folder, "e.gif"), save_all=True, append_images=frames[1:], duration=100, loop=0)
    picture("f.bmp", (300, 200), ((10, 100, 10), (200, 200, 200), (0, 0, 0)))
    picture("g.jpg", (2400, 1600), ((0, 60, 120), (220, 180, 140), (255, 255, 255)), quality=95)


# PgDn and PgUp in both directions, a reversal, a change of the file shown next, and the ends.
KEYS = ["Next", "Next", "Next", "Prior", "Next", "Next", "Next", "Next", "Next", "Prior", "Prior", "Home", "End"]


class AheadCase(E2ECase):
    def setUp(self):
        super().setUp()
        make_pictures(self.pictures)

    def run_viewer(self, label, env):
        exe = copy_viewer(self.folder(label))  # its own settings file
        # Started with the first picture, as from a file manager.
        self.session.start([exe, os.path.join(self.pictures, "a.jpg")], cwd=self.pictures, env=env)
        window = self.session.find_window("Lumivane")
        seen = []
        for step, key in enumerate(["(start)"] + KEYS):
            if step == 8:
                # With f.bmp on display, g.jpg has been decoded ahead; it changes before it is shown.
                picture = Image.new("RGB", (640, 480), (255, 0, 255))
                picture.save(os.path.join(self.pictures, "g.jpg"), quality=90)
            if key != "(start)":
                self.session.key(window, key)
            time.sleep(0.8)  # a person's pace: the neighbours are decoded, the window painted
            shot = os.path.join(self.root, f"{label}-{step}.png")
            self.session.screenshot(shot, window)
            seen.append((key, self.session.title(window), Image.open(shot).convert("RGB").tobytes()))
        self.close_and_wait(window)
        return seen

    def test_stepping_shows_the_same_with_and_without_decoding_ahead(self):
        off = self.run_viewer("off", {"LUMIVANE_DECODE_AHEAD": "0"})
        make_pictures(self.pictures)  # g.jpg as it was at the start
        ahead = self.run_viewer("ahead", {})
        titles = [t for _, t, _ in off]
        self.assertTrue(titles[0].endswith("a.jpg"), titles[0])
        self.assertTrue(any(t.endswith("g.jpg") for t in titles))
        for step, (a, b) in enumerate(zip(off, ahead)):
            self.assertEqual(a[1], b[1], f"title after key {step} ({a[0]})")
            self.assertTrue(a[2] == b[2], f"window pixels after key {step} ({a[0]}), {a[1]}")


if __name__ == "__main__":
    main()
