"""Hostile ad servers through the ad host, against the loopback ad server (ad_hostile.sh)."""
import glob
import io
import os
import re
import shutil
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ad_server import AdServer, Run, fail, fresh_device, frame, response, unit  # noqa: E402

UNITS = 200000
BOMB_ENTRIES = 8
BOMB_ENTRY_BYTES = 32 << 20
BUNDLE_LIMIT = 16 << 20


def varint(value):
    zigzag = (value << 1) ^ (value >> 63)
    out = bytearray()
    while zigzag > 0x7F:
        out.append((zigzag & 0x7F) | 0x80)
        zigzag >>= 7
    out.append(zigzag)
    return bytes(out)


def many_units(count):
    """A reply of `count` copies of one small unit, written as Avro writes an array of them."""
    one = response([unit("huge", [frame("g-huge", 2, "<html>x</html>")])])
    tail = b"\x00\x00\x02"  # the array's end, no errors, no configuration
    assert one.startswith(varint(1)) and one.endswith(tail)
    return varint(count) + one[1:-len(tail)] * count + tail


def bomb():
    packed = io.BytesIO()
    zeros = bytes(1 << 20)
    with zipfile.ZipFile(packed, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("closeX.png", b"\x89PNG the close image")
        for i in range(BOMB_ENTRIES):
            with z.open("zeros%d.png" % i, "w", force_zip64=True) as entry:
                for _ in range(BOMB_ENTRY_BYTES // len(zeros)):
                    entry.write(zeros)
    return packed.getvalue()


def memory(run):
    """(now, peak) in KB of each `ads memory` line, in order."""
    return [(int(m.group(1)), int(m.group(2))) for m in re.finditer(r"memory: (\d+) KB, peak (\d+) KB", run.out)]


def folder_bytes(root):
    return sum(os.path.getsize(os.path.join(d, f)) for d, _, files in os.walk(root) for f in files)


def many_units_case(adhost, work):
    server = AdServer()
    try:
        body = many_units(UNITS)
        server.answer_space("huge", 200, body)
        run = Run(adhost, fresh_device(os.path.join(work, "units")), [
            "network wifi", "settle", "ads memory", "ads fetchdisplay huge", "expect spaceDidFailToReceiveAd huge 30",
            "settle", "ads memory", "quit"], server, extra_args=["--test-views"]).check()
        if "spaceDidFailToReceiveAd huge error 117" not in run.out:
            fail("the reply of %d units was not refused with 117:\n%s" % (UNITS, run.out[-3000:]))
        (_, before), (_, after) = memory(run)
        grown = (after - before) * 1024
        sanitized = "(sanitized)" in run.out
        if grown > 4 * len(body) and not sanitized:
            fail("the reply of %d bytes grew the peak by %d bytes, more than four times" % (len(body), grown))
        print("  %d units in %d bytes: refused with 117, peak memory grew %d bytes (%.1f times the reply%s)"
              % (UNITS, len(body), grown, grown / len(body), ", sanitized: not bounded" if sanitized else ""))
    finally:
        server.close()


def bomb_case(adhost, work):
    server = AdServer()
    try:
        device = fresh_device(os.path.join(work, "bomb"))
        archive = bomb()
        server.files["/sdk/ios.zip"] = archive
        server.answer_space("", 200, response([], {"sdkAssetUrl": server.url("/sdk/"), "cacheSizeMb": 20, "maxAssetSizeKb": 2024}))
        run = Run(adhost, device, ["network wifi", "settle", "ads fetch banner", "settle", "wait 2", "settle"], server,
                  extra_args=["--test-views"]).check()
        if not server.gets("/sdk/ios.zip"):
            fail("the bundle was never fetched")
        unpacked = 0
        for root, dirs, _ in os.walk(device):
            if "sdk_cache" in dirs:
                unpacked = folder_bytes(os.path.join(root, "sdk_cache")) - len(archive)
        if unpacked > BUNDLE_LIMIT:
            fail("the bundle of %d bytes unpacked %d bytes, past its limit" % (len(archive), unpacked))
        if not any(os.path.basename(p) == "closeX.png" for p in glob.glob(os.path.join(device, "**", "sdk_cache", "**", "*"), recursive=True)):
            fail("the bundle's image was not unpacked beside the refused entries")
        if "it would unpack past the limit of" not in run.out + run.err:
            fail("no log line names the refused entries:\n" + (run.out + run.err)[-3000:])
        print("  a bundle of %d bytes holding %d: %d bytes unpacked" % (len(archive), BOMB_ENTRIES * BOMB_ENTRY_BYTES, unpacked))
    finally:
        server.close()


def frame_loop_case(adhost, work):
    server = AdServer()
    try:
        device = fresh_device(os.path.join(work, "loop"))
        frames = [frame("g-loop-a", 2, "<html><body>a</body></html>", {"rendered": ["nextFrame?offset=next"]}),
                  frame("g-loop-b", 2, "<html><body>b</body></html>", {"rendered": ["nextFrame?offset=0"]})]
        server.answer_space("loop", 200, response([unit("loop", frames)]))
        run = Run(adhost, device, ["network wifi", "settle", "ads fetchdisplay loop", "wait 8", "background", "settle", "quit"],
                  server).check()
        stopped = "VuderuAd: space loop loaded 100 frames without a pause or a touch; its frame loop stops"
        if stopped not in run.out + run.err:
            fail("the frame loop never stopped:\n" + (run.out + run.err)[-3000:])
        archived = sum(os.path.getsize(os.path.join(d, f)) for d, _, files in os.walk(device) for f in files if "adLogManager" in f)
        if archived > 1 << 20:
            fail("the ad-log archive holds %d bytes" % archived)
        print("  a frame loop stopped after 100 frames; the ad-log archive holds %d bytes" % archived)
    finally:
        server.close()


def main(adhost):
    work = tempfile.mkdtemp(prefix="tandrel-adhostile-")
    try:
        many_units_case(adhost, work)
        bomb_case(adhost, work)
        frame_loop_case(adhost, work)
        print("ad hostile: a huge reply, a bundle bomb and a frame loop each stayed within bounds")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main(sys.argv[1])
