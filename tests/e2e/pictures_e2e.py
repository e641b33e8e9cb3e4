"""End-to-end: photos with an EXIF orientation show upright, and WebP files open from the command
line with their transparent parts showing the panel's colour."""
import os
import time

from PIL import Image

from e2e_support import E2ECase, main, program_path

PANEL_LEFT = 160  # the image panel starts right of the browsing panel

def bounding_box(image, keep):
    """The smallest box holding every pixel for which keep((r, g, b)) is true."""
    mask = Image.new("1", image.size)
    mask.putdata([1 if keep(p) else 0 for p in image.getdata()])
    return mask.getbbox()


def near(colour, wanted, tolerance=40):
    return all(abs(a - b) <= tolerance for a, b in zip(colour, wanted))


class PictureCase(E2ECase):
    def show(self, path):
        self.session.start([self.exe, program_path(path)], cwd=self.pictures)
        window = self.session.find_window("Lumivane")
        self.session.wait_for_title(window, lambda t: t.endswith(os.path.basename(path)))
        time.sleep(0.5)
        shot = os.path.join(self.root, "shot.png")
        self.session.screenshot(shot, window)
        image = Image.open(shot).convert("RGB")
        self.close_and_wait(window)
        return image.crop((PANEL_LEFT, 0, image.width, image.height - 30))

    def test_a_photo_turned_by_its_camera_shows_upright(self):
        # 300 x 200 stored red | green over blue | yellow; orientation 6 turns it a quarter
        # clockwise: 200 x 300 with blue top-left and red top-right.
        stored = Image.new("RGB", (300, 200))
        for box, colour in (((0, 0, 150, 100), (255, 0, 0)), ((150, 0, 300, 100), (0, 255, 0)),
                            ((0, 100, 150, 200), (0, 0, 255)), ((150, 100, 300, 200), (255, 255, 0))):
            stored.paste(colour, box)
        exif = Image.Exif()
        exif[0x0112] = 6
        path = os.path.join(self.pictures, "turned.jpg")
        stored.save(path, "JPEG", quality=95, exif=exif.tobytes())
        panel = self.show(path)
        box = bounding_box(panel, lambda p: max(p) - min(p) > 150)
        self.assertIsNotNone(box)
        left, top, right, bottom = box
        self.assertLessEqual(abs((right - left) - 200), 2)
        self.assertLessEqual(abs((bottom - top) - 300), 2)
        self.assertTrue(near(panel.getpixel((left + 50, top + 75)), (0, 0, 255)))
        self.assertTrue(near(panel.getpixel((left + 150, top + 75)), (255, 0, 0)))
        self.assertTrue(near(panel.getpixel((left + 50, top + 225)), (255, 255, 0)))
        self.assertTrue(near(panel.getpixel((left + 150, top + 225)), (0, 255, 0)))

    def test_a_webp_with_transparency_shows_the_panel_through_it(self):
        picture = Image.new("RGBA", (240, 160), (0, 0, 0, 0))
        picture.paste((200, 0, 200, 255), (0, 0, 120, 160))
        path = os.path.join(self.pictures, "half.webp")
        picture.save(path, "WEBP", lossless=True)
        panel = self.show(path)
        box = bounding_box(panel, lambda p: near(p, (200, 0, 200), 8))
        self.assertIsNotNone(box)
        left, top, right, bottom = box
        self.assertEqual((right - left, bottom - top), (120, 160))
        # Right of the opaque half, where the picture is transparent, the panel shows.
        background = panel.getpixel((5, 5))
        self.assertEqual(panel.getpixel((right + 60, top + 80)), background)


if __name__ == "__main__":
    main()
