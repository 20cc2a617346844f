"""The player-asset bundle through the ad host, against the loopback ad server (ad_bundle.sh)."""
import glob
import io
import os
import plistlib
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ad_server import AdServer, Run, check, fail, fresh_device, response  # noqa: E402


def main(adhost):
    work = tempfile.mkdtemp(prefix="tandrel-adbundle-")
    server = AdServer()
    try:
        device = fresh_device(work)
        only_close = io.BytesIO()
        with zipfile.ZipFile(only_close, "w") as z:
            z.writestr("closeX.png", b"\x89PNG only the close image")
        # The first download fails; the next one finds the bundle.
        server.files["/sdk/ios.zip"] = [None, only_close.getvalue()]
        server.answer_space("", 200, response([], {"sdkAssetUrl": server.url("/sdk/"), "cacheSizeMb": 20, "maxAssetSizeKb": 2024}))
        Run(adhost, device, ["network wifi", "settle", "ads fetch banner", "settle"], server, extra_args=["--test-views"]).check()

        check("the bundle downloads", len(server.gets("/sdk/ios.zip")), 2)
        files = glob.glob(os.path.join(device, "**", "Caches", "VuderuFiles"), recursive=True)
        if len(files) != 1:
            fail("no VuderuFiles folder in the device's Caches")
        unpacked = sorted(os.path.basename(p) for p in glob.glob(os.path.join(files[0], "sdk_cache", "**", "*.png"), recursive=True))
        check("the unpacked images", unpacked, ["closeX.png"])
        with open(os.path.join(files[0], "local_asset_info_lookup.plist"), "rb") as f:
            entry = plistlib.load(f).get("sdk_player_assets", {})
        check("the bundle's index entry", entry.get("downloadStatus"), "downloadCompleted")

        # What an unpack killed half-way leaves in the bundle's folder, as its writer names and marks
        # it, goes with the next run that uses the cache (here a new bundle's); a file of that shape
        # that no writer marked stays.
        dead = subprocess.Popen(["true"])
        dead.wait()
        bundle = os.path.dirname(glob.glob(os.path.join(files[0], "sdk_cache", "**", "closeX.png"), recursive=True)[0])
        killed = ".tdpart-%d.0-1-pause_button.png" % dead.pid
        unmarked = ".tdpart-%d.0-2-play_button.png" % dead.pid
        # One in a folder of the bundle that the next one does not write into: the launch's sweep of
        # the cache takes that one.
        os.makedirs(os.path.join(bundle, "img"))
        for folder, name in ((bundle, killed), (bundle, unmarked), (os.path.join(bundle, "img"), killed)):
            with open(os.path.join(folder, name), "wb") as f:
                f.write(b"\0" * 65536)
            if name == killed:
                os.setxattr(os.path.join(folder, name), "user.tandrel.partial", killed.encode())
        server.files["/sdk2/ios.zip"] = [only_close.getvalue()]
        server.answer_space("", 200, response([], {"sdkAssetUrl": server.url("/sdk2/"), "cacheSizeMb": 20, "maxAssetSizeKb": 2024}))
        Run(adhost, device, ["network wifi", "settle", "ads fetch banner", "settle"], server, extra_args=["--test-views"]).check()
        check("the new bundle downloads", len(server.gets("/sdk2/ios.zip")), 1)
        left = sorted(n for n in os.listdir(bundle) if n.startswith(".tdpart-"))
        check("the temporaries left in the bundle's folder after the next run", left, [unmarked])
        check("the temporaries left beneath it", os.listdir(os.path.join(bundle, "img")), [])
        print("ad bundle: a failed download asked for again, a bundle of the close image alone unpacked, "
              "a killed unpack's temporary swept by the next run")
    finally:
        server.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main(sys.argv[1])
