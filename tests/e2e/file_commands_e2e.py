"""End-to-end tests of the file commands (F2, F5, F6, F7, Delete) under faults: the real viewer in a
real X server. Every case hashes every file it set up before and after the command, so that a
command that damages or loses a file fails the test.

Volume cases mount small tmpfs volumes and bind mounts; they need root and are skipped otherwise.
Every mount is undone on every way out of a test."""
import hashlib
import os
import subprocess
import threading
import time
import unittest

from e2e_support import E2ECase, main, program_path, write_bmp

IS_ROOT = os.geteuid() == 0
ROOT_NOTE = "needs root to mount volumes (run the suite as root)"


def write_grey_bmp(path, width, height, shade):
    """A 24-bit BMP of one grey shade; width and height decide its size in bytes."""
    write_bmp(path, width, height, (shade, shade, shade))


def tree_hashes(*folders):
    """{path: sha256} of every entry below the folders; links and special files by their kind."""
    result = {}
    for folder in folders:
        for base, dirs, files in os.walk(folder):
            for name in dirs + files:
                path = os.path.join(base, name)
                if os.path.islink(path):
                    result[path] = "link:" + os.readlink(path)
                elif os.path.isdir(path):
                    result[path] = "dir"
                elif os.path.isfile(path):
                    with open(path, "rb") as f:
                        result[path] = hashlib.sha256(f.read()).hexdigest()
                else:
                    result[path] = "special"
    return result


class FileCommandsCase(E2ECase):
    def setUp(self):
        super().setUp()
        self.mounts = []
        self.addCleanup(self.unmount_all)  # runs before the folder is removed
        self.window = None

    # ---- set-up helpers ------------------------------------------------------------------------

    def mount(self, *args):
        target = args[-1]
        done = subprocess.run(["mount", *args], capture_output=True, text=True)
        if done.returncode != 0:
            self.skipTest("cannot mount here: " + done.stderr.strip())
        self.mounts.append(target)
        return target

    def unmount_all(self):
        while self.mounts:
            subprocess.run(["umount", "-l", self.mounts.pop()], check=False)

    def start(self, shown_file):
        self.session.start([self.exe, program_path(shown_file)], cwd=self.pictures)
        self.window = self.session.find_window("Lumivane")
        self.wait_title_ends(os.path.basename(shown_file))

    # ---- driving the viewer and its dialogs -----------------------------------------------------

    def key(self, *keys):
        self.session.key(self.window, *keys)

    def title(self):
        return self.session.title(self.window)

    def wait_title_ends(self, name, timeout=10.0):
        return self.session.wait_for_title(self.window, lambda t: t.endswith("\\" + name), timeout)

    def find_dialog(self, title, timeout=20.0):
        """A shown top-level window other than the main window whose title is exactly `title`,
        once it has the keyboard focus (so that keys sent to it are taken)."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            for window_id in self.session.shown_windows():
                try:
                    if window_id != self.window and self.session.title(window_id) == title \
                            and self.has_focus(window_id):
                        return window_id
                except Exception:  # gone meanwhile
                    continue
            time.sleep(0.05)
        raise TimeoutError(f"no dialog titled '{title}'")

    def has_focus(self, window_id):
        focus = self.session.x.get_input_focus().focus
        return not isinstance(focus, int) and focus.id == window_id

    def no_dialog_shown(self, title, wait=0.7):
        try:
            self.find_dialog(title, timeout=wait)
        except TimeoutError:
            return True
        return False

    def answer_input(self, caption, text):
        box = self.find_dialog(caption)
        self.send_keys(box, "key", "ctrl+a", "BackSpace")
        self.send_keys(box, "type", "--delay", "5", text)
        self.closing_key(box, "Return")

    def answer_confirm(self, key="y"):
        box = self.find_dialog("Confirm")
        self.closing_key(box, key)

    def close_message_box(self):
        """Waits for a message box (the viewer's own title) and closes it with Return. Its text
        cannot be read from outside; the unit suite checks every text exactly."""
        box = self.find_dialog("Lumivane")
        self.closing_key(box, "Return")

    def send_keys(self, box, command, *args):
        """Types into the dialog that has the focus, as a keyboard would (XTEST input)."""
        self.assertTrue(self.has_focus(box), "the dialog lost the focus")
        subprocess.run(["xdotool", command, *args], env=self.session.env, check=True)

    def closing_key(self, box, key):
        self.send_keys(box, "key", key)
        if not self.wait_closed(box, timeout=20.0):
            raise TimeoutError("the dialog stayed open")

    def wait_closed(self, box, timeout):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if not self.session.is_shown(box):
                return True
            time.sleep(0.02)
        return False

    def set_target(self, folder):
        self.key("F5")
        self.answer_input("Inform directory", program_path(folder))

    def expect_message(self, _text):
        """A message box is shown (the argument names the text the viewer must show) and closed."""
        self.close_message_box()

    def assert_no_leftovers(self, folder, expected):
        self.assertEqual(sorted(os.listdir(folder)), sorted(expected), "no temporary file may stay")

    # ---- F7 and F6 onto the file itself ---------------------------------------------------------

    def check_move_onto_itself(self, target_folder, extra_folders=()):
        before = tree_hashes(self.pictures, *extra_folders)
        self.set_target(target_folder)
        self.key("F7")
        self.answer_confirm("y")
        self.expect_message("Move Error!")
        self.assertEqual(tree_hashes(self.pictures, *extra_folders), before)
        self.key("F6")
        self.answer_confirm("y")
        self.expect_message("Copy Error!")
        self.assertEqual(tree_hashes(self.pictures, *extra_folders), before)
        self.assertTrue(self.title().endswith("\\one.bmp"))

    def test_move_into_its_own_folder_keeps_the_file(self):
        write_grey_bmp(os.path.join(self.pictures, "one.bmp"), 20, 10, 40)
        write_grey_bmp(os.path.join(self.pictures, "two.bmp"), 10, 10, 80)
        self.start(os.path.join(self.pictures, "one.bmp"))
        self.check_move_onto_itself(self.pictures)

    def test_move_through_a_symlinked_folder_keeps_the_file(self):
        write_grey_bmp(os.path.join(self.pictures, "one.bmp"), 20, 10, 40)
        link = os.path.join(self.root, "link")
        os.symlink(self.pictures, link)
        self.start(os.path.join(self.pictures, "one.bmp"))
        self.check_move_onto_itself(link)

    def test_move_onto_a_hard_link_of_itself_keeps_both_names(self):
        write_grey_bmp(os.path.join(self.pictures, "one.bmp"), 20, 10, 40)
        other = self.folder("other")
        os.link(os.path.join(self.pictures, "one.bmp"), os.path.join(other, "one.bmp"))
        self.start(os.path.join(self.pictures, "one.bmp"))
        self.check_move_onto_itself(other, [other])

    @unittest.skipUnless(IS_ROOT, ROOT_NOTE)
    def test_move_through_a_bind_mount_keeps_the_file(self):
        write_grey_bmp(os.path.join(self.pictures, "one.bmp"), 20, 10, 40)
        bound = self.mount("--bind", self.pictures, self.folder("bound"))
        self.start(os.path.join(self.pictures, "one.bmp"))
        self.check_move_onto_itself(bound)

    # ---- overwriting on a full volume -----------------------------------------------------------

    def full_volume_with_old_target(self):
        """A 1 MiB volume holding an older huge.bmp and too little room for the new one."""
        volume = self.mount("-t", "tmpfs", "-o", "size=1m", "tmpfs", self.folder("volume"))
        write_grey_bmp(os.path.join(volume, "huge.bmp"), 200, 200, 10)  # about 120 KB
        with open(os.path.join(volume, "filler"), "wb") as f:
            f.write(b"\1" * (700 * 1024))
        write_grey_bmp(os.path.join(self.pictures, "huge.bmp"), 300, 300, 200)  # about 270 KB
        write_grey_bmp(os.path.join(self.pictures, "next.bmp"), 10, 10, 90)
        return volume

    @unittest.skipUnless(IS_ROOT, ROOT_NOTE)
    def test_failed_overwrite_keeps_old_target_and_source(self):
        volume = self.full_volume_with_old_target()
        before = tree_hashes(self.pictures, volume)
        self.start(os.path.join(self.pictures, "huge.bmp"))
        self.set_target(volume)
        self.key("F6")
        self.answer_confirm("y")
        self.expect_message("Copy Error!")
        self.assertEqual(tree_hashes(self.pictures, volume), before)
        self.assert_no_leftovers(volume, ["huge.bmp", "filler"])
        self.key("F7")
        self.answer_confirm("y")
        self.expect_message("Move Error!")
        self.assertEqual(tree_hashes(self.pictures, volume), before)
        self.assert_no_leftovers(volume, ["huge.bmp", "filler"])
        self.assertTrue(self.title().endswith("\\huge.bmp"))

    @unittest.skipUnless(IS_ROOT, ROOT_NOTE)
    def test_overwriting_move_across_volumes_replaces_target_then_removes_source(self):
        volume = self.mount("-t", "tmpfs", "-o", "size=4m", "tmpfs", self.folder("roomy"))
        write_grey_bmp(os.path.join(volume, "huge.bmp"), 200, 200, 10)
        write_grey_bmp(os.path.join(self.pictures, "huge.bmp"), 300, 300, 200)
        write_grey_bmp(os.path.join(self.pictures, "next.bmp"), 10, 10, 90)
        source_hash = tree_hashes(self.pictures)[os.path.join(self.pictures, "huge.bmp")]
        self.start(os.path.join(self.pictures, "huge.bmp"))
        self.set_target(volume)
        self.key("F7")
        self.answer_confirm("y")
        self.wait_title_ends("next.bmp")
        self.assertFalse(os.path.exists(os.path.join(self.pictures, "huge.bmp")))
        self.assertEqual(tree_hashes(volume), {os.path.join(volume, "huge.bmp"): source_hash})

    # ---- a FIFO where the shown file was ---------------------------------------------------------

    def test_fifo_in_place_of_the_shown_file_does_not_block(self):
        shown = os.path.join(self.pictures, "a.bmp")
        write_grey_bmp(shown, 20, 10, 40)
        write_grey_bmp(os.path.join(self.pictures, "b.bmp"), 10, 10, 80)
        self.start(shown)
        os.remove(shown)
        os.mkfifo(shown)
        try:
            self.key("F8")  # shows the selected file again, now a FIFO
            # A viewer blocked in open() never takes the next key: this fails by timeout.
            self.key("Next")
            self.wait_title_ends("b.bmp", timeout=10.0)
            self.key("Prior")
            self.wait_title_ends("a.bmp", timeout=10.0)
            self.key("F6")  # no target yet: the window still answers with its message
            self.expect_message("No Target Directory informed. Press F5 to inform.")
            self.set_target(self.folder("target"))
            self.key("F6")
            self.expect_message("Copy Error!")
            self.assertEqual(os.listdir(os.path.join(self.root, "target")), [])
        finally:
            self.release_fifo(shown)

    @staticmethod
    def release_fifo(path):
        """Opens the FIFO for writing without blocking, so that a viewer stuck in open() gets free."""
        def unblock():
            try:
                fd = os.open(path, os.O_WRONLY | os.O_NONBLOCK)
                os.close(fd)
            except OSError:
                pass
        thread = threading.Thread(target=unblock, daemon=True)
        thread.start()
        thread.join(2.0)

    # ---- rename ---------------------------------------------------------------------------------

    def test_failed_rename_says_so_and_keeps_the_selection(self):
        for name, shade in (("a.bmp", 10), ("b.bmp", 20), ("c.bmp", 30)):
            write_grey_bmp(os.path.join(self.pictures, name), 10, 10, shade)
        self.start(os.path.join(self.pictures, "b.bmp"))
        before = tree_hashes(self.pictures)
        for answer in ("c.bmp", "missing\\b.bmp", "n" * 256 + ".bmp"):
            with self.subTest(answer=answer[:20]):
                self.key("F2")
                self.answer_input("Rename", answer)
                self.expect_message("Rename Error!")
                self.assertEqual(tree_hashes(self.pictures), before)
                self.assertTrue(self.title().endswith("\\b.bmp"))
                self.key("F8")  # shows the selected file again: still b.bmp
                self.wait_title_ends("b.bmp")

    def test_rename_keeps_the_filter_and_shows_the_selected_file(self):
        for name, shade in (("a.bmp", 10), ("b.bmp", 20), ("c.bmp", 30)):
            write_grey_bmp(os.path.join(self.pictures, name), 10, 10, shade)
        self.start(os.path.join(self.pictures, "b.bmp"))
        hashes = tree_hashes(self.pictures)
        self.key("F2")
        self.answer_input("Rename", "z.bmp")
        self.wait_title_ends("z.bmp")
        self.key("F2")
        self.answer_input("Rename", "z.bmpX")  # not listed by the mask: the entry now at its place
        self.wait_title_ends("c.bmp")
        self.key("Prior")
        self.wait_title_ends("a.bmp")  # the folder is still listed
        self.assertTrue(self.no_dialog_shown("Lumivane"))
        self.assertEqual(sorted(os.listdir(self.pictures)), ["a.bmp", "c.bmp", "z.bmpX"])
        self.assertEqual(tree_hashes(self.pictures)[os.path.join(self.pictures, "z.bmpX")],
                         hashes[os.path.join(self.pictures, "b.bmp")])


if __name__ == "__main__":
    main()
