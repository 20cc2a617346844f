#!/usr/bin/env python3
"""The ad host's screens for the gallery: ad_screens.py ADHOST OUT_DIR writes the in-app browser
(browser.png) and the in-app store page (store.png) of a banner served by the loopback ad server."""
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ad_server import AdServer, Run, fresh_device, frame, response, unit  # noqa: E402

STORE_URL = "https://itunes.apple.com/app/id6443123456"


def banner(server, url, native):
    """A banner whose link opens the URL: in the app's browser, or natively (the store page)."""
    page = ('<html><head><script>document.addEventListener("click",function(e){if(e.target.id==="open"){'
            'e.preventDefault();vuderuadapter.executeCall("open","url","%s");}});</script></head>'
            '<body style="background-color:#3366cc">Banner <a id="open" href="#">Open</a></body></html>' % url)
    made = frame("g-banner", 2, page, {"open": ["directOpen?%{eventParams}" + ("&native=true" if native else "")]})
    made["adSpaceLayout"].update({"fix": "width", "alignment": "b-c", "adWidth": 320, "adHeight": 50})
    server.answer_space("banner", 200, response([unit("banner", [made])]))


def shoot(adhost, out, name, url, native, waits):
    work = tempfile.mkdtemp(prefix="tandrel-adscreens-")
    server = AdServer()
    try:
        server.files["/landing.html"] = b'<html><body style="background-color:#ffffff">Landing page</body></html>'
        banner(server, url(server), native)
        lines = ["network wifi", "settle", "ads fetchdisplay banner", "expect spaceDidRender", "expect Banner", "tap Open"]
        lines += waits + ["screenshot " + os.path.join(out, name + ".png"), "screen"]
        run = Run(adhost, fresh_device(work), lines, server).check()
        with open(os.path.join(out, name + ".txt"), "w") as f:
            f.write(run.out)
    finally:
        server.close()
        shutil.rmtree(work, ignore_errors=True)


def main():
    adhost, out = sys.argv[1], os.path.abspath(sys.argv[2])
    shoot(adhost, out, "browser", lambda s: s.url("/landing.html"), False, ["settle", "expect Landing page 10"])
    shoot(adhost, out, "store", lambda s: STORE_URL, True, ["wait 1.5", "settle"])


main()
