"""Served video ads through the ad-space view: the ad host plays them against the loopback ad
server; the movie line, the screen's pixels, the delegate's records and the server's tracking
requests are checked."""
import glob
import io
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ad_server import AdServer, Run, check, fail, fresh_device, frame, response, unit  # noqa: E402
from ad_space import expect_in_order, last_screen, pixels, records  # noqa: E402

RED, BLUE = "red", "blue"
QUARTILES = ["start", "firstQuartile", "midpoint", "thirdQuartile", "complete"]


def colours(out):
    """Each `pixel` answer named red, blue or by its values: the video's encoding shifts them a little."""
    def name(rgb):
        if rgb[0] > 230 and max(rgb[1:]) < 25:
            return RED
        if rgb[2] > 230 and max(rgb[:2]) < 25:
            return BLUE
        return rgb
    return [name(p) for p in pixels(out)]


def ffmpeg(work, name, *args):
    path = os.path.join(work, name)
    subprocess.run(["ffmpeg", "-v", "error", "-y", *args, path], check=True)
    with open(path, "rb") as f:
        return f.read()


def red_then_blue(work):
    """A 10 s video: red for 5 s, then blue."""
    return ffmpeg(work, "video.mp4", "-f", "lavfi", "-i", "color=c=red:s=320x240:r=5:d=5", "-f", "lavfi", "-i",
                  "color=c=blue:s=320x240:r=5:d=5", "-filter_complex", "[0:v][1:v]concat=n=2:v=1[v]", "-map", "[v]",
                  "-c:v", "mpeg4", "-q:v", "2")


def player_bundle(work):
    """The player's control images, real pictures so that the overlay draws and names them."""
    data = io.BytesIO()
    with zipfile.ZipFile(data, "w") as z:
        for name in ("closeX", "play_button", "pause_button", "more_info"):
            z.writestr(name + ".png", ffmpeg(work, name + ".png", "-f", "lavfi", "-i", "color=c=gray:s=50x50", "-frames:v", "1"))
    return data.getvalue()


def vast_document(server):
    tracking = "".join('<Tracking event="%s">%s</Tracking>' % (e, server.url("/track?e=" + e)) for e in QUARTILES)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<VAST version="2.0"><Ad id="video"><InLine><AdSystem>Loopback</AdSystem>'
            '<AdTitle>Red then blue</AdTitle><Impression>%s</Impression><Creatives><Creative><Linear>'
            '<Duration>00:00:10</Duration><TrackingEvents>%s</TrackingEvents>'
            '<VideoClicks><ClickThrough>%s</ClickThrough><ClickTracking>%s</ClickTracking></VideoClicks><MediaFiles>'
            '<MediaFile delivery="progressive" type="video/mp4" width="320" height="240">%s</MediaFile></MediaFiles>'
            '</Linear></Creative></Creatives></InLine></Ad></VAST>'
            % (server.url("/track?e=impression"), tracking, server.url("/landing.html"), server.url("/track?e=click"),
               server.url("/media/video.mp4")))


def video_unit(space, made):
    result = unit(space, [made])
    result.update({"videoAutoPlay": True, "closableTime": 5000, "rewardable": True})
    return result


def takeover(made):
    made["adSpaceLayout"].update({"format": "takeover", "fix": "both", "adWidth": 320, "adHeight": 480})
    return made


class Scenario:
    def __init__(self, adhost):
        self.adhost = adhost
        self.work = tempfile.mkdtemp(prefix="tandrel-advideo-")
        self.server = AdServer()
        self.device = fresh_device(self.work)
        self.server.files["/sdk/ios.zip"] = player_bundle(self.work)
        self.server.files["/media/video.mp4"] = red_then_blue(self.work)
        self.server.files["/landing.html"] = b'<html><body style="background-color:#3366cc">Landing page</body></html>'
        self.server.answer_space("", 200, response([], {"sdkAssetUrl": self.server.url("/sdk/"), "cacheSizeMb": 20,
                                                        "maxAssetSizeKb": 20240}))

    def serve_vast(self, space, native=True):
        made = takeover(frame("g-vast", 3, vast_document(self.server), callbacks(self.server, native), caching=1))
        self.server.answer_space(space, 200, response([video_unit(space, made)]))

    def run(self, lines, expect_errors=()):
        return Run(self.adhost, self.device, ["network wifi", "settle"] + lines, self.server).check(expect_errors)

    def pings(self):
        return [r.path.split("e=", 1)[1] for r in self.server.gets("/track")]

    def close(self):
        self.server.close()
        shutil.rmtree(self.work, ignore_errors=True)


def answers(out):
    """Each command of the run with what followed it, in order."""
    return [(part.split("\n", 1)[0], part.split("\n", 1)[-1]) for part in out.split("\n> ")[1:]]


def after(out, command, nth=0):
    found = [text for cmd, text in answers(out) if cmd == command]
    if len(found) <= nth:
        fail("the run has no %r number %d:\n%s" % (command, nth + 1, out[-3000:]))
    return found[nth]


def position(text):
    found = re.search(r"^movie: video\.mp4 10\.0 s at (\d+\.\d) s (\w+)", text, re.M)
    if not found:
        fail("no playing movie of 10.0 s on the screen:\n%s" % text)
    return float(found.group(1)), found.group(2)


def callbacks(server, native=True):
    """The frame reports its start and its click to the server through its callbacks; the click opens the
    landing page in another app (native) or in the in-app browser."""
    return {"videoStart": ["sendUrlAsync?url=" + server.url("/track?e=videoStart").replace("?", "%3F").replace("=", "%3D")],
            "videoClicked": ["directOpen?url=" + server.url("/landing.html") + ("&native=true" if native else "")]}


# The impression and the start go out together on connections of their own, so either may reach
# the server first; every later ping follows the movie's position.
STARTING_PINGS = {"impression", "videoStart"}


def check_pings(what, got, wanted):
    def settled(pings):
        head = sorted(p for p in pings[:2] if p in STARTING_PINGS)
        return head + pings[len(head):]
    if settled(got) != settled(wanted):
        fail("%s: the server saw %r, not %r" % (what, got, wanted))


def vast_plays_through(adhost):
    s = Scenario(adhost)
    try:
        s.serve_vast("video")
        run = s.run(["ads fetchdisplay video", "settle", "expect spaceDidRender video 20", "screen",
                     "wait 2", "pixel 240,160", "wait 4", "settle", "pixel 240,160", "screen", "wait 5", "settle", "screen"])
        if not s.server.gets("/media/video.mp4") or "movie: video.mp4 10.0 s" not in after(run.out, "screen"):
            fail("the served video was not fetched and shown as 10.0 s:\n%s" % after(run.out, "screen"))
        video = s.server.files["/media/video.mp4"]
        cached = [p for p in glob.glob(os.path.join(s.device, "**", "VuderuFiles", "asset_cache", "**"), recursive=True)
                  if os.path.isfile(p) and open(p, "rb").read() == video]
        if not cached:
            fail("the video is not in the asset cache")
        at2 = after(run.out, "wait 2")
        if not 2.0 <= position(at2)[0] < 3.0 or "countdown: 8" not in at2:
            fail("after 2 s the movie is not near 2.0 s with the countdown at 8:\n%s" % at2)
        check("the centre at 2 s and at 6 s", colours(run.out), [RED, BLUE])
        at6 = after(run.out, "screen", 1)
        if position(at6) < (6.0, "") or "[closeX]" not in at6 or "[more_info]" not in at6:
            fail("past 6 s the movie does not play on with its close and more-info controls:\n%s" % at6)
        check_pings("the pings of the played video", s.pings(),
                    ["impression", "videoStart", "firstQuartile", "midpoint", "thirdQuartile", "complete"])
        expect_in_order("the played video", records(run.out),
                        ["spaceDidRender video interstitial YES", "videoDidFinish video", "spaceWillDismiss video",
                         "spaceDidDismiss video"])
        if "ad in video: none" not in last_screen(run.out) or "movie:" in last_screen(run.out):
            fail("the takeover is not gone at the end:\n%s" % last_screen(run.out))
    finally:
        s.close()


def scrub_and_close(adhost):
    s = Scenario(adhost)
    try:
        s.serve_vast("video")
        run = s.run(["ads fetchdisplay video", "settle", "expect spaceDidRender video 20", "wait 1", "seek 9", "settle",
                     "screen", "wait 5", "settle", "tap closeX", "settle", "wait 1", "screen"])
        scrubbed, state = position(after(run.out, "screen"))
        if scrubbed >= 3.0 or state != "playing":
            fail("a scrub to 9 s was not undone: the movie is at %.1f s %s" % (scrubbed, state))
        check_pings("the pings of the video closed at 6 s", s.pings(), ["impression", "videoStart", "firstQuartile", "midpoint"])
        expect_in_order("the closed video", records(run.out),
                        ["spaceDidRender video", "videoDidNotFinish video", "spaceWillDismiss video", "spaceDidDismiss video"])
        if "videoDidFinish video" in last_screen(run.out) or "ad in video: none" not in last_screen(run.out):
            fail("the closed video reported it finished or stayed:\n%s" % last_screen(run.out))
    finally:
        s.close()


def click_out(adhost):
    s = Scenario(adhost)
    try:
        s.serve_vast("video")
        run = s.run(["ads fetchdisplay video", "settle", "expect spaceDidRender video 20", "wait 6", "settle",
                     "tap more_info", "settle", "screen", "background", "settle", "foreground", "settle", "screen"])
        check_pings("the pings up to the click", s.pings(), ["impression", "videoStart", "firstQuartile", "midpoint", "click"])
        clicked = after(run.out, "screen")
        # The opened page is listed once, under the command that opened it.
        opening = after(run.out, "tap more_info") + after(run.out, "settle", 2)
        if "opened: " + s.server.url("/landing.html") not in opening:
            fail("the click did not open the click-through:\n%s" % opening)
        check("the movie after the click", position(clicked)[1], "paused")
        # The page went to another app: coming back, the video plays on from under its cover.
        back = run.out.split("> screen")[-1]
        check("the movie back in the app", position(back)[1], "playing")
        # The takeover's own spinner stays behind the video; the player's cover is gone.
        if back.count("(spinning)") >= clicked.count("(spinning)"):
            fail("the loading cover is still up back in the app:\n%s" % back)
        expect_in_order("the clicked video", records(run.out), ["spaceDidRender video", "spaceDidReceiveClick video"])
    finally:
        s.close()


def in_app_browser(adhost):
    s = Scenario(adhost)
    try:
        s.serve_vast("video", native=False)
        run = s.run(["ads fetchdisplay video", "settle", "expect spaceDidRender video 20", "wait 6", "settle",
                     "tap more_info", "settle", "expect Landing page 10", "screen", "tap back", "settle", "screen",
                     "wait 5", "settle", "screen"])
        check_pings("the pings up to the click", s.pings(), ["impression", "videoStart", "firstQuartile", "midpoint", "click",
                                                            "thirdQuartile", "complete"])
        browsing = after(run.out, "screen")
        if "opened: " in browsing or "Landing page" not in browsing or "[back]" not in browsing:
            fail("the click did not show the landing page in the in-app browser:\n%s" % browsing)
        back = after(run.out, "screen", 1)
        if "Landing page" in back or position(back)[1] != "playing":
            fail("back from the browser the video does not play on:\n%s" % back)
        expect_in_order("the video clicked into the browser", records(run.out),
                        ["spaceDidRender video", "spaceDidReceiveClick video", "videoDidFinish video", "spaceDidDismiss video"])
        if "ad in video: none" not in last_screen(run.out) or "movie:" in last_screen(run.out):
            fail("the takeover is not gone at the end:\n%s" % last_screen(run.out))
    finally:
        s.close()


STORE_URL = "https://itunes.apple.com/app/id6443123456"


def store_banner(s):
    """A banner whose link opens the store page of app 6443123456 natively."""
    page = ('<html><head><script>document.addEventListener("click",function(e){if(e.target.id==="open"){'
            'e.preventDefault();vuderuadapter.executeCall("open","url","%s");}});</script></head>'
            '<body style="background-color:#3366cc">Store ad <a id="open" href="#">Open</a></body></html>' % STORE_URL)
    made = frame("g-store", 2, page, {"open": ["directOpen?%{eventParams}&native=true"]})
    made["adSpaceLayout"].update({"fix": "width", "alignment": "b-c", "adWidth": 320, "adHeight": 50})
    s.server.answer_space("banner", 200, response([unit("banner", [made])]))


def store_page(adhost):
    """The store answers after its second: its page stands in front of the banner until Done."""
    s = Scenario(adhost)
    try:
        store_banner(s)
        run = s.run(["ads fetchdisplay banner", "expect spaceDidRender", "expect Store ad", "tap Open", "wait 1.5",
                     "settle", "tap Done", "settle", "screen"])
        shown = after(run.out, "settle", 1)
        if "store: id 6443123456" not in shown:
            fail("the store page did not show after its second:\n%s" % shown)
        back = last_screen(run.out)
        if "store: id" in back or "Store ad" not in back or "opened: " in back:
            fail("Done did not return to the ad:\n%s" % back)
        expect_in_order("the store page", records(run.out), ["spaceDidRender banner", "spaceDidReceiveClick banner"])
        if any(r.startswith("spaceWillLeaveApplication") for r in records(run.out)):
            fail("the store page in the app reported leaving it: %r" % records(run.out))
    finally:
        s.close()


def store_never_loads(adhost):
    """A store that never answers: after its 8 s wait the link goes to the system."""
    s = Scenario(adhost)
    try:
        store_banner(s)
        # The wait runs on the real clock: not before its 8 s, and on a loaded machine perhaps later.
        run = s.run(["store never", "ads fetchdisplay banner", "expect spaceDidRender", "expect Store ad", "tap Open",
                     "wait 7", "expect opened: %s 30" % STORE_URL, "settle", "screen"])
        if "opened: " in after(run.out, "wait 7"):
            fail("the store's link went to the system before its wait was over:\n%s" % after(run.out, "wait 7"))
        handed = after(run.out, "expect opened: %s 30" % STORE_URL)
        if "opened: " + STORE_URL not in handed:
            fail("a store that never loads did not hand the link to the system:\n%s\n%s" % (handed, run.err[-3000:]))
        expect_in_order("the store that never loads", records(run.out),
                        ["spaceDidRender banner", "spaceWillLeaveApplication banner"])
    finally:
        s.close()


def driver_errors(adhost):
    s = Scenario(adhost)
    try:
        run = s.run(["seek 3", "store maybe"], expect_errors=("no movie on screen", "store takes ok [SECONDS], fail or never"))
        check("the errors of seek without a movie and of an unknown store answer",
              [line for line in run.out.splitlines() if line.startswith("error:")],
              ["error: no movie on screen", "error: store takes ok [SECONDS], fail or never"])
    finally:
        s.close()


def native_video(adhost):
    s = Scenario(adhost)
    try:
        made = takeover(frame("g-native", 3, s.server.url("/media/video.mp4"), callbacks(s.server), caching=1))
        s.server.answer_space("native", 200, response([video_unit("native", made)]))
        run = s.run(["ads fetchdisplay native", "settle", "expect spaceDidRender native 20", "wait 2", "pixel 240,160",
                     "wait 9", "settle", "screen"])
        if position(after(run.out, "wait 2"))[0] < 2.0:
            fail("the native video did not play:\n%s" % after(run.out, "wait 2"))
        check("the native video's centre at 2 s", colours(run.out), [RED])
        check_pings("the native video's pings", s.pings(), ["videoStart"])
        expect_in_order("the native video", records(run.out),
                        ["spaceDidRender native interstitial YES", "videoDidFinish native", "spaceDidDismiss native"])
    finally:
        s.close()


def main(adhost):
    vast_plays_through(adhost)
    scrub_and_close(adhost)
    click_out(adhost)
    native_video(adhost)
    in_app_browser(adhost)
    store_page(adhost)
    store_never_loads(adhost)
    driver_errors(adhost)
    print("ad video: a VAST video played through with its pings in order, a scrub ahead undone, a click out and a close "
          "before the end, a native video played through, a click into the in-app browser and back, the store page and "
          "back, a store that never loads handing its link to the system, the driver's errors")


if __name__ == "__main__":
    main(sys.argv[1])
