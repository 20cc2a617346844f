"""Outcomes of ads through the ad host, against the loopback ad server (ad_outcomes.sh)."""
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ad_server import AdServer, Run, check, fail, fresh_device, frame, response, unit  # noqa: E402

MEDIA = b"\x00\x00\x00\x18ftypmp42" + bytes(range(256)) * 8
FAR_FUTURE = 4102444800000  # 2100, in milliseconds


def vast(kind, impression, inner):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<VAST version="2.0"><Ad id="%s"><%s><AdSystem>Loopback</AdSystem>%s'
            '<Impression>%s</Impression><Creatives><Creative><Linear>%s</Linear></Creative></Creatives></%s></Ad></VAST>'
            % (kind, kind, "", impression, inner, kind))


def wrapper_unit(server):
    server.files["/vast/inline.xml"] = vast(
        "InLine", server.url("/imp/inline"),
        '<Duration>00:00:10</Duration><TrackingEvents></TrackingEvents><MediaFiles>'
        '<MediaFile delivery="progressive" type="video/mp4" width="320" height="240">%s</MediaFile></MediaFiles>'
        % server.url("/media/inline.mp4")).replace("<AdSystem>", "<AdTitle>Inline</AdTitle><AdSystem>").encode()
    server.files["/media/inline.mp4"] = MEDIA
    document = vast("Wrapper", server.url("/imp/wrapper"), "<TrackingEvents></TrackingEvents>").replace(
        "<Impression>", "<VASTAdTagURI>%s</VASTAdTagURI><Impression>" % server.url("/vast/inline.xml"))
    return unit("video", [frame("g-video", 3, document, caching=1)])


def capped_unit():
    made = unit("capped", [frame("g-capped", 2, "<html>capped</html>", {"rendered": ["updateViewCount?idHash=cap-hash"]})],
                cap=1, id_hash="cap-hash")
    made["expirationTime"] = FAR_FUTURE
    return made


def screen_has(run, text):
    if text not in run.out:
        fail("the screen never showed %r:\n%s" % (text, run.out[-4000:]))


def main(adhost):
    work = tempfile.mkdtemp(prefix="tandrel-adoutcomes-")
    server = AdServer()
    try:
        device = fresh_device(work)
        server.answer_space("video", 200, response([wrapper_unit(server)]))
        server.answer_space("capped", 200, response([capped_unit()]))
        for guid in ("g-show1", "g-refill1", "g-show2"):
            server.answer_space("banner", 200, response([unit("banner", [frame(guid, 2, "<html>%s</html>" % guid)])]))
        first = Run(adhost, device, [
            "network wifi", "settle",
            "ads fetchdisplay video", "settle", "expect spaceDidRender video 20",
            "ads event video videoStart", "settle",
            "ads fetchdisplay capped", "settle", "expect spaceDidRender capped 20", "ads event capped rendered",
            "ads show banner 3000", "expect show banner 3000: YES 20", "settle",
            "ads keywords a=b", "ads show banner 3000", "settle", "expect ad in banner: binding 2 guid g-show2 20",
            "background", "settle"], server, extra_args=["--test-views"]).check()

        for path in ("/vast/inline.xml", "/media/inline.mp4", "/imp/wrapper", "/imp/inline"):
            if not server.gets(path):
                fail("the server never saw GET %s" % path)
        screen_has(first, "ad in video: binding 3 guid g-video")
        screen_has(first, "event capped rendered: 1 actions")
        if "show banner 3000: NO" in first.out:
            fail("a waiting take answered NO although its reply brought a unit:\n" + first.out[-4000:])
        banner = server.ad_requests("banner")
        if len(banner) < 3:
            fail("%d requests for banner, not three or more" % len(banner))
        check("the keywords of the banner requests", [r["keywords"] for r in banner[:3]], [{}, {}, {"a": "b"}])

        before = len(server.ad_requests("capped"))
        Run(adhost, device, ["network wifi", "settle", "ads fetch capped", "settle"], server, extra_args=["--test-views"]).check()
        capped = server.ad_requests("capped")[before:]
        check("requests for capped after the relaunch", len(capped), 1)
        caps = [(c["idHash"], c["views"], c["newCap"]) for c in capped[0]["frequencyCapInfos"]]
        check("the caps of the relaunch's request", caps, [("cap-hash", 1, 1)])

        server.answer_space("broken", 500, b"server error")
        # Loopback stays reachable whatever the device's network: the server drops the request
        # as a network that is gone would.
        server.answer_space("broken", None)
        third = Run(adhost, device, ["network wifi", "settle", "ads fetchdisplay broken", "settle", "network none",
                                     "ads fetchdisplay broken", "settle"], server, extra_args=["--test-views"]).check()
        for shown in ("spaceDidFailToReceiveAd broken error 117", "spaceDidFailToRender broken error 117",
                      "spaceDidFailToReceiveAd broken error 102"):
            screen_has(third, shown)
        print("ad outcomes: VAST wrapper, caps across a relaunch, server error, no network, waiting take and keywords as expected")
    finally:
        server.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main(sys.argv[1])
