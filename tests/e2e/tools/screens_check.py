#!/usr/bin/env python3
"""Checks the gallery's pictures (scripts/screens): screens_check.py OUT_DIR looks at the key pixels
of each layer a screen must show, the size of each turned picture and the lines the turned runs'
screen texts must show. Points and areas are in screen points as the interface stands (the pictures
are at scale 2, 568 by 320 points in landscape).
screens_check.py FILE X,Y [X,Y ...] prints the pixels at the points instead."""
import struct
import sys
import zlib

SCALE = 2


def read_png(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit("%s is not a PNG" % path)
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or colour not in (2, 6) or interlace:
                raise SystemExit("%s: only 8-bit RGB(A) PNGs without interlacing are read" % path)
            channels = 4 if colour == 6 else 3
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up, corner = previous[i], previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append(line)
        previous = line
    return width, channels, rows


# What each picture must show: a colour at a point, or somewhere in an area (x, y, width, height).
BLUE_BUTTON = (0, 122, 255)
PANEL = (248, 248, 248)
DIMMED_WHITE = (153, 153, 153)
CHECKS = [
    ("welcome", "the welcome's backdrop", (160, 100), (48, 86, 143), 15),
    ("files", "the navigation bar's tint", (20, 40), (91, 165, 255), 2),
    ("files", "the bar's tint behind the status bar", (20, 10), (91, 165, 255), 2),
    ("files", "the received button's image in the bar's black tint", (300, 42), (0, 0, 0), 10),
    ("files", "the selected tab's title in its highlighted colour", (0, 548, 106, 14), (91, 135, 255), 30),
    ("files", "the Media tab's title in white", (213, 548, 107, 14), (255, 255, 255), 10),
    ("progress", "the progress bar's success colour", (160, 10), (0, 255, 0), 10),
    ("received", "the received file's row in the popover", (20, 115, 100, 30), (0, 0, 0), 40),
    ("received", "the popover's bar starts at its top", (200, 70), (42, 42, 42), 3),
    ("received-menu", "the document menu's AirDrop entry", (100, 455, 120, 30), BLUE_BUTTON, 40),
    ("alert-music-error", "the screen dimmed round the alert", (5, 300), (153, 153, 153), 4),
    ("alert-music-error", "the alert's box", (30, 300), PANEL, 3),
    ("alert-music-error", "the alert's button", (100, 305, 120, 30), BLUE_BUTTON, 40),
    ("alert-clean", "the alert's two buttons side by side", (170, 300, 110, 40), BLUE_BUTTON, 40),
    ("files-sheet", "the screen dimmed over the sheet", (5, 200), DIMMED_WHITE, 4),
    ("files-sheet", "the sheet's Cancel button", (20, 540), PANEL, 3),
    ("files-sheet", "the Cancel button's title", (100, 520, 120, 40), BLUE_BUTTON, 40),
    ("compose-mail", "the mail sheet's bar", (160, 30), (247, 247, 247), 3),
    ("compose-mail", "the mail sheet covers the screen", (160, 400), (255, 255, 255), 3),
    ("compose-facebook", "the screen dimmed round the card", (5, 300), (153, 153, 153), 40),
    ("compose-facebook", "the card", (20, 200), PANEL, 3),
    ("music-picker", "the song list hides the Music panel", (160, 300), (255, 255, 255), 3),
    ("music-picker", "the bar's colour behind the status bar hides the parked triangle", (160, 10), (247, 247, 247), 3),
    ("video-albums", "the picker hides the Videos panel", (160, 300), (255, 255, 255), 3),
    ("video-albums", "the camera roll's poster", (50, 110), (246, 252, 228), 20),
    ("video-albums", "the album's name", (100, 85, 120, 30), (0, 0, 0), 40),
    ("video-albums", "the album's chevron", (285, 85, 20, 30), (199, 199, 199), 20),
    ("video-grid", "a video's thumbnail", (40, 100), (219, 161, 4), 25),
    ("video-grid", "the video band's white duration", (0, 130, 80, 20), (255, 255, 255), 20),
    ("video-grid-chosen", "the check mark of the chosen video", (50, 70, 28, 28), BLUE_BUTTON, 40),
    ("camera", "the live picture's test pattern", (100, 300), (237, 15, 131), 20),
    ("video-trim", "the kept half's yellow frame on the trim bar", (10, 40, 4, 44), (255, 255, 0), 20),
    ("video-trim", "the trimmed-off half of the bar", (240, 62), (85, 85, 85), 10),
    ("video-trim", "the recorded picture under the bar, turned as the live picture was", (100, 300), (237, 15, 131), 20),
    ("video-trim", "the Retake button", (10, 508, 90, 44), BLUE_BUTTON, 40),
    ("store", "the app's icon", (60, 130), (89, 140, 230), 10),
    ("store", "the Done button", (250, 20, 70, 44), BLUE_BUTTON, 40),
    ("browser", "the browser's back button", (0, 0, 100, 44), BLUE_BUTTON, 40),
    ("browser", "the browser's close button", (220, 0, 100, 44), BLUE_BUTTON, 40),
    # Turned to landscape (568 by 320 points), upright either way.
    ("welcome-left", "the welcome's backdrop across the landscape width", (548, 100), (55, 99, 161), 15),
    ("welcome-left", "the Skip button at the landscape bottom right", (505, 292, 50, 20), BLUE_BUTTON, 40),
    ("welcome-right", "the Skip button at the landscape bottom right", (505, 292, 50, 20), BLUE_BUTTON, 40),
    ("files-left", "the navigation bar's tint", (20, 40), (91, 165, 255), 2),
    ("files-left", "the received button at the landscape right", (548, 42), (0, 0, 0), 10),
    ("files-left", "the tab bar along the landscape bottom", (5, 300), (42, 42, 42), 3),
    ("files-left", "the gear over the middle tab", (284, 290), (91, 130, 255), 10),
    ("files-right", "the received button at the landscape right", (548, 42), (0, 0, 0), 10),
    ("files-right", "the gear over the middle tab", (284, 290), (91, 130, 255), 10),
    ("files-upside-down", "a refused turn keeps the landscape bar", (20, 40), (91, 165, 255), 2),
    ("received-left", "the popover's list, upright below the button", (300, 150), (255, 255, 255), 3),
    ("received-left", "the popover's title in its dark bar", (340, 75, 120, 20), (0, 0, 0), 40),
    ("received-left", "the screen dimmed beside the popover", (100, 250), (217, 217, 217), 4),
    ("received-right", "the popover's list, upright below the button", (300, 150), (255, 255, 255), 3),
    ("received-right", "the popover's title in its dark bar", (340, 75, 120, 20), (0, 0, 0), 40),
    ("camera-left", "the back button atop the column at x 540", (540, 30), (173, 175, 255), 25),
    ("camera-left", "the capture button in the column", (540, 140), (213, 149, 240), 25),
    ("camera-right", "the back button atop the column at x 540", (540, 30), (255, 167, 182), 25),
    ("video-grid-left", "the grid's side inset of 2", (1, 100), (255, 255, 255), 3),
    ("video-grid-left", "the first thumbnail", (40, 100), (219, 161, 4), 25),
    ("video-grid-left", "the spacing of 3 between thumbnails", (82.5, 100), (255, 255, 255), 3),
    ("video-grid-left", "the second thumbnail after the spacing", (120, 100), (178, 201, 4), 25),
    ("video-grid-right", "the grid's side inset of 2", (1, 100), (255, 255, 255), 3),
    ("video-grid-right", "the spacing of 3 between thumbnails", (82.5, 100), (255, 255, 255), 3),
    # Turned under screens already open.
    ("media-menu-left", "the dropped triangle's top bar below the navigation bar", (200, 75), (231, 231, 231), 3),
    ("media-menu-right", "the dropped triangle's top bar below the navigation bar", (200, 75), (231, 231, 231), 3),
    # The Media panels chosen sideways, and chosen upright then turned: laid out for the landscape
    # screen, their buttons between the navigation bar and the tab bar across the full width.
    ("photos-left", "the library button below the parked triangle", (250, 180), (170, 170, 170), 3),
    ("photos-left", "the tab bar across the landscape width", (560, 300), (42, 42, 42), 3),
    ("videos-left", "the library button below the parked triangle", (250, 180), (170, 170, 170), 3),
    ("music-right", "Send at the landscape right", (490, 244), (0, 255, 0), 3),
    ("music-right", "Browse at the landscape left", (30, 230), (128, 128, 128), 3),
    ("photos-turned-left", "the library button below the parked triangle", (250, 180), (170, 170, 170), 3),
    ("photos-turned-left", "the tab bar across the landscape width", (560, 300), (42, 42, 42), 3),
    ("videos-turned-right", "the library button below the parked triangle", (250, 180), (170, 170, 170), 3),
    ("music-turned-right", "Send at the landscape right", (490, 244), (0, 255, 0), 3),
    ("music-turned-right", "Browse at the landscape left", (30, 230), (128, 128, 128), 3),
    ("music-turned-right", "the record's label in the middle", (284, 180), (91, 165, 255), 3),
    ("received-menu-left", "the document menu along the landscape bottom", (284, 300), (248, 248, 248), 3),
    ("received-menu-left", "the menu's AirDrop entry, upright", (240, 210, 90, 25), BLUE_BUTTON, 40),
    ("received-menu-right", "the document menu along the landscape bottom", (284, 300), (248, 248, 248), 3),
    ("received-menu-right", "the menu's AirDrop entry, upright", (240, 210, 90, 25), BLUE_BUTTON, 40),
    ("welcome-turned-left", "the welcome's backdrop across the landscape width", (548, 100), (55, 99, 161), 15),
    ("welcome-turned-right", "the welcome's backdrop across the landscape width", (548, 100), (55, 99, 161), 15),
    ("quality-sheet-left", "a quality button reaching the landscape right", (540, 145), (65, 65, 65), 3),
    ("quality-sheet-left", "the sheet's panel at the left edge", (10, 300), (109, 175, 255), 3),
    ("quality-sheet-right", "a quality button reaching the landscape right", (540, 145), (65, 65, 65), 3),
    ("photo-picker-left", "the picker's bar along the landscape bottom", (400, 305), (57, 185, 238), 12),
    ("photo-picker-left", "the bar's Cancel", (5, 290, 60, 20), (0, 0, 0), 40),
    ("photo-picker-right", "the picker's bar along the landscape bottom", (400, 305), (57, 185, 238), 12),
    ("photo-picker-right", "the bar's Cancel", (5, 290, 60, 20), (0, 0, 0), 40),
    ("video-camera-left", "the camera's live picture", (284, 100), (107, 28, 247), 25),
    ("video-trim-left", "the recorded picture between the bar and the buttons", (284, 170), (157, 5, 220), 25),
    ("video-trim-left", "the Retake button", (10, 260, 90, 44), BLUE_BUTTON, 40),
    ("video-trim-right", "the recorded picture between the bar and the buttons", (284, 170), (157, 5, 220), 25),
    # Filmed turned right: the clip keeps the live picture's orientation, its test pattern's
    # corner at the top left in both.
    ("video-camera-right", "the live picture's pattern corner, white then red", (20, 20), (255, 255, 255), 3),
    ("video-camera-right", "the live picture's pattern corner, red", (80, 20), (255, 0, 0), 3),
    ("video-trim-filmed-right", "the recorded pattern corner, red then white", (185, 100), (255, 0, 0), 3),
    ("video-trim-filmed-right", "the recorded pattern corner, white", (205, 100), (255, 255, 255), 3),
]


# The turned pictures, in points: landscape is 568 by 320; a turn the phone refuses keeps the last.
LANDSCAPE = (568, 320)
SIZES = {
    "welcome-left": LANDSCAPE, "welcome-right": LANDSCAPE, "files-left": LANDSCAPE, "files-right": LANDSCAPE,
    "received-left": LANDSCAPE, "received-right": LANDSCAPE, "files-upside-down": LANDSCAPE,
    "files-upright": (320, 568), "camera-left": LANDSCAPE, "camera-right": LANDSCAPE,
    "video-grid-left": LANDSCAPE, "video-grid-right": LANDSCAPE,
    "media-menu-left": LANDSCAPE, "media-menu-right": LANDSCAPE, "videos-left": LANDSCAPE, "music-right": LANDSCAPE,
    "photos-left": LANDSCAPE, "photos-turned-left": LANDSCAPE, "videos-turned-right": LANDSCAPE, "music-turned-right": LANDSCAPE,
    "received-menu-left": LANDSCAPE, "received-menu-right": LANDSCAPE, "welcome-turned-left": LANDSCAPE,
    "welcome-turned-right": LANDSCAPE, "quality-sheet-left": LANDSCAPE, "quality-sheet-right": LANDSCAPE,
    "photo-picker-left": LANDSCAPE, "photo-picker-right": LANDSCAPE, "video-camera-left": LANDSCAPE,
    "video-trim-left": LANDSCAPE, "video-trim-right": LANDSCAPE, "video-camera-right": LANDSCAPE,
    "video-trim-filmed-right": LANDSCAPE,
}

# Lines a run's screen text must show (OUT_DIR/RUN.txt), with what they stand for.
TEXTS = [
    ("landscape", "the welcome launched on the device's left side", "orientation: landscape, turned left, 568 by 320 points"),
    ("landscape", "the Files tab turned right", "orientation: landscape, turned right, 568 by 320 points"),
    ("landscape", "the received files' popover", "popover:"),
    ("landscape-right", "the welcome launched on the device's right side", "orientation: landscape, turned right, 568 by 320 points"),
    ("camera-turned", "the camera turned left", "orientation: landscape, turned left, 568 by 320 points"),
    ("camera-turned", "the camera turned right", "orientation: landscape, turned right, 568 by 320 points"),
    ("grid-turned", "the asset grid turned", "orientation: landscape, turned left, 568 by 320 points"),
    ("media-turned", "the Media tab's Videos panel chosen sideways", 'menu: parked, "Videos"'),
    ("media-turned", "the Media tab's Music panel chosen sideways", 'menu: parked, "Music"'),
    ("picker-turned", "the photo picker's Cancel listed sideways", "bar: [Cancel]"),
    ("picker-turned", "the Photos panel after the turned picker's Cancel", 'menu: parked, "Photos"'),
    ("menu-turned", "the document menu turned", "menu: "),
    ("sheet-turned", "the quality sheet turned", "action sheet: "),
    ("sheet-turned", "the quality sheet turned, its title above the screen's top unlisted",
     "action sheet: [High Quality] [Medium Quality] [Low Quality] [Cancel]"),
    ("panels-turned", "the Photos panel chosen sideways", 'menu: parked, "Photos"'),
]


def check_turned(folder):
    failures = []
    for name, (width, height) in SIZES.items():
        got_width, _, rows = read_png("%s/%s.png" % (folder, name))
        if (got_width, len(rows)) != (width * SCALE, height * SCALE):
            failures.append("%s: %d by %d pixels, not %d by %d" % (name, got_width, len(rows), width * SCALE, height * SCALE))
    for run, what, line in TEXTS:
        if line not in open("%s/%s.txt" % (folder, run), encoding="utf-8", errors="replace").read():
            failures.append("%s: %s: the text never shows %r" % (run, what, line))
    return failures


def near(pixel, colour, tolerance):
    return all(abs(a - b) <= tolerance for a, b in zip(pixel[:3], colour))


def pixel_at(picture, x, y):
    width, channels, rows = picture
    px, py = int(x * SCALE), int(y * SCALE)
    values = list(rows[py][px * channels:(px + 1) * channels])
    return values + ([255] if channels == 3 else [])


def check(folder):
    pictures, failures = {}, []
    for name, what, where, colour, tolerance in CHECKS:
        if name not in pictures:
            pictures[name] = read_png("%s/%s.png" % (folder, name))
        picture = pictures[name]
        if len(where) == 2:
            got = pixel_at(picture, *where)
            if not near(got, colour, tolerance):
                failures.append("%s: %s: %s at %s, not %s" % (name, what, tuple(got[:3]), where, colour))
            continue
        x, y, w, h = where
        found = any(near(pixel_at(picture, x + i / SCALE, y + j / SCALE), colour, tolerance)
                    for j in range(int(h * SCALE)) for i in range(int(w * SCALE)))
        if not found:
            failures.append("%s: %s: no %s in %s" % (name, what, colour, where))
    failures += check_turned(folder)
    for failure in failures:
        print("FAILED: " + failure, file=sys.stderr)
    print("screens: %d checks of %d pictures, %d sizes and %d texts, %d failed" %
          (len(CHECKS), len(pictures), len(SIZES), len(TEXTS), len(failures)))
    return not failures


def main():
    if len(sys.argv) == 2:
        sys.exit(0 if check(sys.argv[1]) else 1)
    picture = read_png(sys.argv[1])
    for point in sys.argv[2:]:
        x, y = (float(v) for v in point.split(","))
        print("%s: %d %d %d %d" % (point, *pixel_at(picture, x, y)))


main()
