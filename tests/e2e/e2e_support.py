"""What the end-to-end tests share: the viewer under test (the first argument), pictures written
byte by byte, paths in the viewer's own form, and a test case that gives every test a fresh folder,
its own copy of the viewer and a private X server."""
import os
import shutil
import struct
import sys
import tempfile
import unittest

from xsession import XSession

EXECUTABLE = None  # set by main()


def write_bmp(path, width, height, colour):
    """A 24-bit bottom-up BMP. colour is (r, g, b) for a picture of one colour, or a function
    giving the (r, g, b) of pixel (x, y)."""
    row_bytes = (width * 3 + 3) & ~3
    padding = b"\0" * (row_bytes - width * 3)
    if callable(colour):
        pixels = bytearray()
        for y in range(height - 1, -1, -1):
            for x in range(width):
                r, g, b = colour(x, y)
                pixels += bytes((b, g, r))
            pixels += padding
    else:
        pixels = (bytes((colour[2], colour[1], colour[0])) * width + padding) * height
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 0, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def program_path(native):
    """A path as the viewer shows and takes it: a drive letter and backslashes."""
    return "C:" + native.replace("/", "\\")


def copy_viewer(folder):
    """A copy of the viewer in folder; its settings file, Lumivane.dat, is written beside it."""
    exe = os.path.join(folder, "lumivane")
    shutil.copy2(EXECUTABLE, exe)
    return exe


class E2ECase(unittest.TestCase):
    """Every test gets a fresh folder (root) that other users may enter, the viewer copied to
    root/bin with its settings file beside it, an empty root/pictures and a 1024 x 768 X server."""

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="lumivane-e2e-")
        self.addCleanup(shutil.rmtree, self.root, True)
        os.chmod(self.root, 0o755)
        self.bin_dir = self.folder("bin")
        self.exe = copy_viewer(self.bin_dir)
        self.settings = os.path.join(self.bin_dir, "Lumivane.dat")
        self.pictures = self.folder("pictures")
        self.session = XSession(1024, 768)
        self.addCleanup(lambda: self.session.stop())  # the test may have started a new session

    def folder(self, name):
        path = os.path.join(self.root, name)
        os.makedirs(path, exist_ok=True)
        return path

    def close_and_wait(self, window):
        """Closes the window as its close box would; the viewer must end with status 0."""
        self.session.close_window(window)
        self.assertEqual(0, self.session.wait_app())


def main():
    """Runs the tests of the calling script on the viewer named by the first argument."""
    global EXECUTABLE
    EXECUTABLE = os.path.abspath(sys.argv.pop(1))
    unittest.main(module="__main__", verbosity=2)
