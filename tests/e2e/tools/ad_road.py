"""The road of one ad through the ad host, against the loopback ad server (ad_road.sh)."""
import glob
import io
import os
import plistlib
import shutil
import sys
import tempfile
import urllib.parse
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ad_server import AdServer, Run, check, fail, fresh_device, frame, response, unit  # noqa: E402

VIDEO = b"\x00\x00\x00\x18ftypmp42" + bytes(range(256)) * 16


def bundle():
    data = io.BytesIO()
    with zipfile.ZipFile(data, "w") as z:
        z.writestr("closeX.png", b"\x89PNG close")
        z.writestr("play_button.png", b"\x89PNG play")
    return data.getvalue()


def action(name, **params):
    return name + "?" + "&".join("%s=%s" % (k, urllib.parse.quote(v, safe="{}")) for k, v in params.items())


def main(adhost):
    work = tempfile.mkdtemp(prefix="tandrel-adroad-")
    server = AdServer()
    try:
        device = fresh_device(work)
        server.files["/sdk/ios.zip"] = bundle()
        server.files["/video.mp4"] = VIDEO
        server.answer_space("", 200, response([], {"sdkAssetUrl": server.url("/sdk/"), "cacheSizeMb": 20, "maxAssetSizeKb": 2024}))
        callbacks = {"rendered": [action("sendUrlAsync", url=server.url("/track?g=%{guid}")), "logEvent", "sendAdLogs"],
                     "clicked": ["sendAdLogs"]}
        server.answer_space("banner", 200, response([unit("banner", [frame("g-banner", 3, server.url("/video.mp4"), callbacks, caching=1)])]))
        run = Run(adhost, device, ["network wifi", "settle", "ads fetchdisplay banner 7", "settle", "expect spaceDidRender banner 20",
                                   "ads event banner rendered", "settle", "ads event banner clicked", "settle"], server).check()

        spaces = [r["adSpaceName"] for r in server.ad_requests()]
        check("the spaces asked for first", spaces[:2], ["", "banner"])
        check("the banner's placement", server.ad_requests("banner")[0]["testAds"]["adspacePlacement"], 7)

        caches = glob.glob(os.path.join(device, "**", "Caches", "VuderuFiles"), recursive=True)
        if len(caches) != 1:
            fail("no VuderuFiles folder in the device's Caches: %r" % caches)
        files = caches[0]
        unpacked = glob.glob(os.path.join(files, "sdk_cache", "**", "closeX.png"), recursive=True)
        if not unpacked or open(unpacked[0], "rb").read() != b"\x89PNG close":
            fail("the bundle was not unpacked in sdk_cache: %r" % glob.glob(os.path.join(files, "sdk_cache", "**"), recursive=True))
        videos = [p for p in glob.glob(os.path.join(files, "asset_cache", "**"), recursive=True)
                  if os.path.isfile(p) and open(p, "rb").read() == VIDEO]
        if not videos:
            fail("the video is not in asset_cache")
        with open(os.path.join(files, "local_asset_info_lookup.plist"), "rb") as f:
            index = plistlib.load(f)
        entries = [e for e in index.values() if isinstance(e, dict) and e.get("downloadStatus") == "downloadCompleted"
                   and e.get("cachedAssetPath", "").endswith(os.path.basename(videos[0]))]
        if not entries:
            fail("no complete index entry for the video: %r" % index)
        for key in ("cachedAssetPath", "cbKey", "resourceId", "cachedTime", "expiryTime", "lastAccessTime", "removalType"):
            if key not in entries[0]:
                fail("the video's index entry has no %s: %r" % (key, entries[0]))

        screen = run.out
        for shown in ("ads: spaceDidReceiveAd banner", "ads: spaceDidRender banner", "test ad banner: binding 3 guid g-banner",
                      "ad in banner: binding 3 guid g-banner", "event banner rendered: 3 actions"):
            if shown not in screen:
                fail("the screen never showed %r:\n%s" % (shown, screen[-3000:]))

        tracking = server.gets("/track")
        check("the tracking GETs", [r.path for r in tracking], ["/track?g=g-banner"])
        check("the tracking GET's content type", tracking[0].headers.get("Content-Type"), "application/octet-stream")

        logs = server.log_requests()
        if len(logs) < 2:
            fail("%d ad-log uploads, not two or more" % len(logs))

        def events(upload):
            return [e for log in upload["sdkAdLogs"] if log["adLogGUID"] == "g-banner" for e in log["sdkAdEvents"]]

        first = [e["type"] for e in events(logs[0])]
        if "requested" not in first or "rendered" not in first:
            fail("the first upload's log of g-banner holds %r" % first)
        later = [e for upload in logs[1:] for e in events(upload) if e["type"] == "sendUrlStatusResult"]
        if not any(e["params"].get("response") == "200" for e in later):
            fail("no later upload carries the tracking status 200: %r" % later)
        print("ad road: configuration, fetch and display, bundle, asset cache, tracking and ad logs as expected")
    finally:
        server.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main(sys.argv[1])
