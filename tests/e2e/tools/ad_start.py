"""The smallest host of the ads against the loopback ad server (ad_start.sh)."""
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ad_server import AdServer, Run, fail, fresh_device, frame, response, unit  # noqa: E402


def main(adstart):
    work = tempfile.mkdtemp(prefix="tandrel-adstart-")
    server = AdServer()
    try:
        device = fresh_device(work)
        server.answer_space("start", 200, response([unit("start", [frame("g-start", 2, "<html><body>started</body></html>")])]))
        run = Run(adstart, device, ["network wifi", "settle", "expect rendered start in VuderuAd 20", "quit"], server).check()
        if "rendered start in VuderuAd" not in run.out:
            fail("the ad was not shown in an ad-space view:\n" + run.out[-4000:])
        if not server.ad_requests("start"):
            fail("the host never asked for an ad")
        print("ad start: the linked ad views showed the ad with no call but the README's")
    finally:
        server.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main(sys.argv[1])
