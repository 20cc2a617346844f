"""Served HTML ads through the ad-space view: the ad host runs scripts against the loopback ad
server and the screen, its pixels and the server's records are checked."""
import json
import re
import shutil
import sys
import tempfile
import urllib.parse

from ad_server import AdServer, Run, fail, fresh_device, frame, response, unit

BODY = (51, 102, 204)
WHITE = (255, 255, 255)
DIMMED = (204, 204, 204)


def body_colour_page(text):
    return ('<html><body style="background-color:#3366cc">%s</body></html>' % text)


def banner_frame(guid, display, callbacks=None, content=None, binding=2):
    made = frame(guid, binding, display, callbacks)
    made["adSpaceLayout"].update({"fix": "width", "alignment": "b-c", "adWidth": 320, "adHeight": 50})
    if content is not None:
        made["content"] = json.dumps(content)
    return made


def pixels(out):
    """Every `pixel X,Y` answer, in order, as (r, g, b)."""
    return [tuple(int(v) for v in m.groups()) for m in re.finditer(r"^\d+,\d+: (\d+) (\d+) (\d+) \d+$", out, re.M)]


def last_screen(out):
    return out.rsplit("screen: ", 1)[-1]


def records(out):
    """The ad host's recorded lines, as the last screen lists them."""
    return [line[len("ads: "):] for line in last_screen(out).splitlines() if line.startswith("ads: ")]


def expect_in_order(what, lines, wanted):
    at = 0
    for line in lines:
        if at < len(wanted) and line.startswith(wanted[at]):
            at += 1
    if at < len(wanted):
        fail("%s: %r not found in order in %r" % (what, wanted[at], lines))


class Scenario:
    def __init__(self, adhost):
        self.adhost = adhost
        self.work = tempfile.mkdtemp(prefix="tandrel-adspace-")
        self.server = AdServer()
        self.device = fresh_device(self.work)
        self.server.answer_space("", 200, response([], {"sdkAssetUrl": self.server.url("/sdk/"), "cacheSizeMb": 20,
                                                        "maxAssetSizeKb": 2024}))

    def run(self, lines, expect_errors=()):
        return Run(self.adhost, self.device, ["network wifi", "settle"] + lines, self.server).check(expect_errors)

    def close(self):
        self.server.close()
        shutil.rmtree(self.work, ignore_errors=True)


def templated_banner_and_click(adhost):
    s = Scenario(adhost)
    try:
        land = s.server.url("/land")
        # The page's own script survives the template's rendering of the body: it listens on the document.
        page = ('<html><head><script>document.addEventListener("click",function(e){if(e.target.id==="open"){'
                'e.preventDefault();vuderuadapter.executeCall("open","url","%s");}});</script></head>'
                '<body style="background-color:#3366cc">{{title}} <a id="open" href="#">Open</a></body></html>' % land)
        callbacks = {"open": ["directOpen?%{eventParams}&native=true"], "rendered": ["logEvent"], "clicked": ["logEvent", "sendAdLogs"]}
        s.server.answer_space("banner", 200, response([unit("banner", [banner_frame("g-banner", page, callbacks,
                                                                                   {"title": "Hello ad"})])]))
        run = s.run(["ads fetchdisplay banner", "expect spaceDidRender", "expect Hello ad", "pixel 160,545", "pixel 160,500",
                     "tap Open", "settle", "screen"])
        check_pixels = pixels(run.out)
        if check_pixels != [BODY, WHITE]:
            fail("the banner's pixels are %r, not the body colour at the bottom and white above" % check_pixels)
        if "opened: " + land not in run.out:
            fail("the click did not open %s:\n%s" % (land, last_screen(run.out)))
        expect_in_order("the click's callbacks", records(run.out),
                        ["spaceDidRender banner", "spaceDidReceiveClick banner", "spaceWillLeaveApplication banner"])
        types = [event["type"] for request in s.server.log_requests() for log in request["sdkAdLogs"]
                 if log["adLogGUID"] == "g-banner" for event in log["sdkAdEvents"]]
        for name in ("filled", "rendered", "clicked"):
            if name not in types:
                fail("the ad-log upload lacks the frame's %r event: %r" % (name, types))
    finally:
        s.close()


def closed_port_page(adhost):
    s = Scenario(adhost)
    try:
        s.server.answer_space("banner", 200, response([unit("banner", [banner_frame("g-page", "http://127.0.0.1:9/ad.html",
                                                                                   binding=1)])]))
        run = s.run(["ads fetchdisplay banner", "expect spaceDidFailToReceiveAd 20", "ads modal", "screen"],
                    expect_errors=["usage: ads modal SPACE"])
        expect_in_order("the closed port", records(run.out), ["spaceDidFailToReceiveAd banner error 114"])
        if "error: usage: ads modal SPACE" not in run.out:
            fail("ads modal without a space gave no clear error")
    finally:
        s.close()


def modal_banner(adhost):
    s = Scenario(adhost)
    try:
        s.server.answer_space("m", 200, response([unit("m", [banner_frame("g-modal", body_colour_page("Modal ad"))])]))
        run = s.run(["ads fetch m", "settle", "expect spaceDidReceiveAd", "ads modal m", "expect Modal ad", "pixel 20,100",
                     "pixel 160,284", "touch 297,22", "wait 1", "screen"])
        if pixels(run.out) != [(85, 85, 85), BODY]:
            fail("the modal banner is not centred on dark grey: %r" % pixels(run.out))
        expect_in_order("the modal banner", records(run.out),
                        ["spaceDidReceiveAd m", "spaceDidRender m", "spaceWillDismiss m", "spaceDidDismiss m"])
        if "ad in m: none" not in last_screen(run.out):
            fail("the modal banner's close button left the ad:\n%s" % last_screen(run.out))
    finally:
        s.close()


def covered_banner(adhost):
    s = Scenario(adhost)
    try:
        first = banner_frame("g-first", body_colour_page("First frame"), {"rendered": ["nextFrame?offset=next&delay=2"]})
        second = banner_frame("g-second", body_colour_page("Second frame"))
        s.server.answer_space("banner", 200, response([unit("banner", [first, second])]))
        run = s.run(["ads loglevel 2", "ads fetchdisplay banner", "expect spaceDidRender", "ads cover", "wait 2", "ads uncover",
                     "wait 1", "screen", "pixel 160,545", "pixel 160,500"])
        log = run.err
        hidden = [m.start() for m in re.finditer(r"Reporting state hidden to ad", log)]
        if len(hidden) != 1:
            fail("the covered banner reported hidden %d times" % len(hidden))
        default = log.find("Reporting state default to ad", hidden[0])
        switched = log.find("Next ad frame index [1]")
        if default < 0 or switched < default:
            fail("the banner switched frames while covered, or reported no default state before the switch")
        if "Second frame" not in run.out.split("> screen")[-1] or "First frame" in run.out.split("> screen")[-1]:
            fail("once uncovered the banner did not show its second frame alone:\n%s" % run.out.split("> screen")[-1])
        if pixels(run.out) != [BODY, WHITE]:
            fail("the second frame is not at the bottom: %r" % pixels(run.out))
    finally:
        s.close()


def takeover_frame(guid, page):
    made = frame(guid, 2, page, layout_format="takeover")
    made["adSpaceLayout"].update({"fix": "both", "adWidth": 320, "adHeight": 480})
    return made


def takeovers(adhost):
    s = Scenario(adhost)
    try:
        plain = takeover_frame("g-take", body_colour_page("Takeover ad"))
        s.server.answer_space("t", 200, response([unit("t", [plain])]))
        mraid_page = ('<html><head><script src="mraid.js"></script></head>'
                      '<body style="background-color:#3366cc">MRAID takeover</body></html>')
        mraid_unit = unit("u", [takeover_frame("g-mraid", mraid_page)])
        mraid_unit["supportMRAID"] = True
        s.server.answer_space("u", 200, response([mraid_unit]))
        run = s.run(["ads fetchdisplay t", "expect spaceDidRender", "expect close advertisement", "pixel 160,300",
                     "tap close advertisement", "wait 1", "screen",
                     "ads fetchdisplay u", "expect spaceDidRender u", "expect MRAID takeover", "wait 3", "touch 250,35", "screen",
                     "touch 285,35", "wait 1", "screen"])
        if pixels(run.out) != [BODY]:
            fail("the takeover does not cover the screen: %r" % pixels(run.out))
        screens = run.out.split("> screen")
        after_plain, after_wide, after_mraid = screens[1], screens[2], screens[3]
        for shown, space in ((after_plain, "t"), (after_mraid, "u")):
            if not shown.lstrip().startswith("screen: AdHostViewController") or ("ad in %s: none" % space) not in shown:
                fail("the takeover of %s was not removed with the app window in front:\n%s" % (space, shown))
        if "ad in u: binding 2 guid g-mraid" not in after_wide:
            fail("a touch outside the MRAID close corner closed the takeover:\n%s" % after_wide)
        expect_in_order("the takeovers", records(run.out),
                        ["spaceDidRender t interstitial YES", "spaceWillDismiss t interstitial YES", "spaceDidDismiss t interstitial YES",
                         "spaceDidRender u interstitial YES", "spaceWillDismiss u interstitial YES",
                         "spaceDidDismiss u interstitial YES"])
    finally:
        s.close()


def mraid_banner(adhost):
    s = Scenario(adhost)
    try:
        page = ('<html><head><script src="mraid.js"></script><script>document.addEventListener("click",function(e){'
                'if(e.target.id==="x"){e.preventDefault();mraid.addEventListener("stateChange",function(st){'
                'document.getElementById("st").innerHTML=st;});mraid.expand();}'
                'if(e.target.id==="c"){e.preventDefault();mraid.close();}});</script></head>'
                '<body style="background-color:#3366cc"><a id="x" href="#">Expand</a> <a id="c" href="#">Close</a> '
                '<span id="st">start</span></body></html>')
        made = unit("banner", [banner_frame("g-mraid", page, {"expand": ["doExpand?w=300&h=250"]})])
        made["supportMRAID"] = True
        s.server.answer_space("banner", 200, response([made]))
        run = s.run(["ads fetchdisplay banner", "expect spaceDidRender", "wait 3", "tap Expand", "wait 1", "screen",
                     "pixel 160,284", "pixel 20,170", "pixel 5,284", "pixel 160,150", "tap Close",
                     "wait 1", "screen", "pixel 160,545", "pixel 160,500"])
        expanded, collapsed = run.out.split("> screen")[1], run.out.split("> screen")[2]
        if "expanded" not in expanded:
            fail("the page did not hear it was expanded:\n%s" % expanded)
        if "default" not in collapsed:
            fail("the page did not hear it was back to default:\n%s" % collapsed)
        # Expanded: the page in a 300 by 250 rectangle in the middle of the screen, the host dimmed
        # around it (black at 0.2 over white).
        if pixels(run.out)[:4] != [BODY, BODY, DIMMED, DIMMED]:
            fail("the expanded page is not a 300 by 250 rectangle over the dimmed host: %r" % pixels(run.out)[:4])
        if pixels(run.out)[4:] != [BODY, WHITE]:
            fail("the collapsed banner is not back at the bottom: %r" % pixels(run.out)[4:])
        expect_in_order("the MRAID banner", records(run.out),
                        ["spaceWillExpand banner", "spaceWillCollapse banner", "spaceDidCollapse banner"])
    finally:
        s.close()


def main(adhost):
    templated_banner_and_click(adhost)
    closed_port_page(adhost)
    modal_banner(adhost)
    covered_banner(adhost)
    takeovers(adhost)
    mraid_banner(adhost)
    print("ad space: templated banner, click out of the app, closed port, modal banner, covered banner, takeovers, "
          "MRAID expand and collapse as expected")


if __name__ == "__main__":
    main(sys.argv[1])
