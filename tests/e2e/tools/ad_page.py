"""Pages in the ad host's web view loader, against the loopback server (ad_page.sh)."""
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ad_server import AdServer, Run, fail, fresh_device  # noqa: E402

FIRST = b"""<html><body style="background-color: #00ff00"><p>The first page</p><a href="/second.html">Onwards</a>
<div id="button" style="position:absolute; left:20px; top:200px; width:120px; height:40px">Press me</div>
<div id="out">not pressed</div>
<script>document.getElementById('button').addEventListener('click', function () {
  document.getElementById('out').textContent = 'pressed once';
});</script></body></html>"""
SECOND = b"<html><body><p>The second page</p></body></html>"
# Images a creative adds by script: a tracking pixel outside the document and a broken image
# written with innerHTML, whose handlers write what they heard into the page.
PIXELS = b"""<html><body><p id="pixel">pixel waiting</p><p id="broken">broken waiting</p><div id="slot"></div>
<script>var p = new Image(1, 1);
p.onload = function () { document.getElementById('pixel').textContent = 'pixel counted'; };
p.src = '/pixel.gif?imp=1';
document.getElementById('slot').innerHTML =
  "<img src='/missing.gif' onerror=\\"document.getElementById('broken').textContent = 'broken image ' + event.type\\">";
</script></body></html>"""
GIF = b"GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;"
LOOPING = "<html><body><p>Before the loop</p><script>for (;;) {}</script><p>After the loop</p></body></html>"


def main(adhost):
    work = tempfile.mkdtemp(prefix="tandrel-adpage-")
    server = AdServer()
    try:
        device = fresh_device(work)
        server.files["/first.html"] = FIRST
        server.files["/second.html"] = SECOND
        server.files["/pixels.html"] = PIXELS
        server.files["/pixel.gif"] = GIF
        looping = os.path.join(work, "looping.html")
        with open(looping, "w") as f:
            f.write(LOOPING)
        run = Run(adhost, device, [
            "page /no/such/file",
            "page " + server.url("/first.html"), "expect The first page",
            "pixel 300,300",
            "touch 30,210", "expect pressed once",
            "tap Onwards", "expect The second page",
            "page " + server.url("/pixels.html"), "expect pixel counted", "expect broken image error",
            "page " + looping, "screen", "ads help"], server).check(expect_errors=["no page file at /no/such/file"])
        out = run.out
        if "error: no page file at /no/such/file" not in out:
            fail("a missing file gave no clear error:\n" + out[:2000])
        if "300,300: 0 255 0 255" not in out:
            fail("pixel did not read the body's colour:\n" + out[-3000:])
        if not server.gets("/second.html"):
            fail("the link was not followed")
        if not server.gets("/pixel.gif") or not server.gets("/missing.gif"):
            fail("the images the page's script added were not fetched")
        tail = out[out.rfind("> page " + looping):]
        if "After the loop" not in tail or "ads help: this list" not in tail:
            fail("the looping page did not leave the next commands answered:\n" + tail[-3000:])
        # The pre-render time-out of a page whose subframe never arrives stops the load, and is
        # armed only when the unit has one.
        stalled = os.path.join(work, "stalled.html")
        with open(stalled, "w") as f:
            f.write('<html><body><p>Waiting</p><script>var frame = document.createElement("iframe"); frame.src = "%s";'
                    ' document.body.appendChild(frame);</script></body></html>' % server.url("/stall"))
        timed = Run(adhost, device, ["ads loglevel 2", "page %s 300" % stalled, "wait 1", "ads help"], server).check()
        if "Webview loading timed out" not in timed.err:
            fail("the pre-render time-out did not fire:\n" + timed.err[-3000:])
        untimed = Run(adhost, device, ["ads loglevel 2", "page " + stalled, "wait 1", "ads help"], server).check()
        if "Webview loading timed out" in untimed.err:
            fail("a page without a pre-render time-out was timed out")
        print("ad page: text, link, touch, colour, script-added images, looping page and missing file as expected")
    finally:
        server.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main(sys.argv[1])
