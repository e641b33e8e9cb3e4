#!/usr/bin/env python3
"""Checks what installing the viewer puts on a system.

    install_test.py tree BUILD_DIR CMAKE SOURCE_DIR      cmake --install into a temporary DESTDIR
    install_test.py package BUILD_DIR CPACK SOURCE_DIR   cpack -G DEB, then the package's contents

Exits 77 (skipped) when a Debian tool the check needs is missing.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

SKIP = 77
ICON_SIZES = (16, 32, 48, 128, 256)
MIME_TYPES = ('image/bmp', 'image/jpeg', 'image/gif', 'image/vnd.microsoft.icon', 'image/x-icon',
              'image/png', 'image/webp')
EXPECTED_FILES = {'usr/bin/lumivane', 'usr/share/applications/lumivane.desktop',
                  'usr/share/man/man1/lumivane.1.gz'} | {
    f'usr/share/icons/hicolor/{s}x{s}/apps/lumivane.png' for s in ICON_SIZES}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print('FAIL:', message)


def files_under(root):
    found = set()
    for folder, _, names in os.walk(root):
        for name in names:
            found.add(os.path.relpath(os.path.join(folder, name), root))
    return found


def read_png_rgba(path):
    """Width, height and RGBA rows of an 8-bit RGBA PNG without row filters (as the build writes)."""
    data = open(path, 'rb').read()
    assert data[:8] == b'\x89PNG\r\n\x1a\n', f'{path} is no PNG'
    pos, idat, header = 8, b'', None
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b'IHDR':
            header = struct.unpack('>IIBBBBB', body)
        elif kind == b'IDAT':
            idat += body
        pos += 12 + length
    width, height, depth, colour = header[:4]
    assert (depth, colour) == (8, 6), f'{path}: not 8-bit RGBA'
    raw = zlib.decompress(idat)
    stride = 1 + 4 * width
    rows = []
    for y in range(height):
        line = raw[y * stride:(y + 1) * stride]
        assert line[0] == 0, f'{path}: filtered row'
        rows.append([tuple(line[1 + 4 * x:5 + 4 * x]) for x in range(width)])
    return width, height, rows


def read_ico_rgba(path, size):
    """The RGBA rows of the 4-bit image of one size in an icon file."""
    data = open(path, 'rb').read()
    _, _, count = struct.unpack('<HHH', data[:6])
    for i in range(count):
        width, _, _, _, _, _, length, offset = struct.unpack('<BBBBHHII', data[6 + 16 * i:22 + 16 * i])
        if (width or 256) != size:
            continue
        image = data[offset:offset + length]
        header_size = struct.unpack('<I', image[:4])[0]
        palette = [image[header_size + 4 * n:header_size + 4 * n + 3][::-1] for n in range(16)]
        xor_stride = ((size * 4 + 31) // 32) * 4
        and_stride = ((size + 31) // 32) * 4
        xor_start = header_size + 64
        and_start = xor_start + xor_stride * size
        rows = []
        for y in range(size):
            source = size - 1 - y  # bottom-up
            row = []
            for x in range(size):
                byte = image[xor_start + source * xor_stride + x // 2]
                index = byte >> 4 if x % 2 == 0 else byte & 0x0F
                masked = image[and_start + source * and_stride + x // 8] >> (7 - x % 8) & 1
                row.append(tuple(palette[index]) + ((0,) if masked else (255,)))
            rows.append(row)
        return rows
    raise AssertionError(f'{path} has no {size}x{size} image')


def check_tree(root, source_dir):
    """The files of an installed tree rooted at root (with usr/ inside)."""
    found = files_under(root)
    check(found == EXPECTED_FILES, f'installed files differ: extra {sorted(found - EXPECTED_FILES)}, '
                                   f'missing {sorted(EXPECTED_FILES - found)}')
    program = os.path.join(root, 'usr/bin/lumivane')
    check(os.access(program, os.X_OK), 'the program is not executable')
    if os.path.exists(program):
        check(open(program, 'rb').read(4) == b'\x7fELF', 'the program is no ELF file')

    entry_path = os.path.join(root, 'usr/share/applications/lumivane.desktop')
    if os.path.exists(entry_path):
        entry = {}
        for line in open(entry_path, encoding='utf-8'):
            if '=' in line and not line.startswith('#'):
                key, value = line.rstrip('\n').split('=', 1)
                entry[key] = value
        check(entry.get('Name') == 'Lumivane', 'desktop entry Name')
        check(entry.get('Exec') == 'lumivane %f', 'desktop entry Exec passes one file')
        check(entry.get('Icon') == 'lumivane', 'desktop entry Icon names the themed icon')
        mime = entry.get('MimeType', '').split(';')
        for wanted in MIME_TYPES:
            check(wanted in mime, f'desktop entry MimeType lacks {wanted}')
        validator = shutil.which('desktop-file-validate')
        if validator:
            result = subprocess.run([validator, entry_path], capture_output=True, text=True)
            check(result.returncode == 0 and not result.stdout.strip(),
                  f'desktop-file-validate: {result.stdout}{result.stderr}')

    ico = os.path.join(source_dir, 'resources/lumivane.ico')
    for size in ICON_SIZES:
        path = os.path.join(root, f'usr/share/icons/hicolor/{size}x{size}/apps/lumivane.png')
        if not os.path.exists(path):
            continue
        width, height, rows = read_png_rgba(path)
        check((width, height) == (size, size), f'{size} px icon is {width}x{height}')
        if size in (16, 32):
            check(rows == read_ico_rgba(ico, size), f'{size} px icon differs from the window icon')


def run_tree(build_dir, cmake, source_dir):
    with tempfile.TemporaryDirectory(prefix='lumivane-install-') as destdir:
        env = dict(os.environ, DESTDIR=destdir)
        subprocess.run([cmake, '--install', build_dir, '--prefix', '/usr'], env=env, check=True,
                       stdout=subprocess.DEVNULL)
        check_tree(destdir, source_dir)
    if shutil.which('desktop-file-validate') is None:
        print('desktop-file-validate missing: the desktop entry is not validated')
        return False
    return True


def dpkg_field(deb, name):
    out = subprocess.run(['dpkg-deb', '-f', deb, name], capture_output=True, text=True, check=True)
    return out.stdout.strip()


def run_package(build_dir, cpack, source_dir):
    if not (shutil.which('dpkg-deb') and shutil.which('dpkg-shlibdeps')):
        print('dpkg-deb or dpkg-shlibdeps missing: the package is not built')
        return False
    with tempfile.TemporaryDirectory(prefix='lumivane-package-') as out:
        subprocess.run([cpack, '-G', 'DEB', '-B', out, '--config', os.path.join(build_dir, 'CPackConfig.cmake')],
                       check=True, stdout=subprocess.DEVNULL)
        debs = [name for name in os.listdir(out) if name.endswith('.deb')]
        check(len(debs) == 1 and debs[0].startswith('lumivane_'), f'package files: {debs}')
        if not debs:
            return True
        deb = os.path.join(out, debs[0])
        info = subprocess.run(['dpkg-deb', '-I', deb], capture_output=True, text=True, check=True).stdout
        print(info)
        check(dpkg_field(deb, 'Package') == 'lumivane', 'package name')
        check(dpkg_field(deb, 'Section') == 'graphics', 'package section')
        depends = [d.strip().split(' ')[0] for d in dpkg_field(deb, 'Depends').split(',')]
        for wanted in ('libc6', 'libstdc++6', 'libqt6core6', 'libqt6gui6', 'libqt6widgets6', 'libjpeg62-turbo',
                       'qt6-qpa-plugins', 'fonts-liberation'):
            check(wanted in depends, f'Depends lacks {wanted}: {depends}')
        listing = subprocess.run(['dpkg-deb', '-c', deb], capture_output=True, text=True, check=True).stdout
        listed = {line.split()[-1].lstrip('./') for line in listing.splitlines() if not line.startswith('d')}
        check(listed == EXPECTED_FILES, f'package contents differ: {sorted(listed ^ EXPECTED_FILES)}')
        unpacked = os.path.join(out, 'root')
        subprocess.run(['dpkg-deb', '-x', deb, unpacked], check=True)
        check_tree(unpacked, source_dir)
    return True


def main():
    mode, build_dir, tool, source_dir = sys.argv[1:5]
    complete = run_tree(build_dir, tool, source_dir) if mode == 'tree' else run_package(build_dir, tool, source_dir)
    if failures:
        print(f'{len(failures)} check(s) failed')
        return 1
    return 0 if complete else SKIP


if __name__ == '__main__':
    sys.exit(main())
