"""The player-asset bundle through the ad host, against the loopback ad server (ad_bundle.sh)."""
import glob
import io
import os
import plistlib
import shutil
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
        print("ad bundle: a failed download asked for again, a bundle of the close image alone unpacked")
    finally:
        server.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main(sys.argv[1])
