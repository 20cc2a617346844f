"""Ads of other networks through the ad-space view: the ad host serves a frame naming a network
whose outside SDK is a stand-in, the stand-in's journal shows the plugin's calls, and a network
that fails falls over to the next unit; a network of the host's own replaces the built-in one."""
import sys

from ad_server import Run, fail, response, unit
from ad_space import Scenario, banner_frame, body_colour_page, last_screen, pixels, records, expect_in_order

BODY = (51, 102, 204)


def sdk_lines(out):
    return [line[len("sdk: "):] for line in last_screen(out).splitlines() if line.startswith("sdk: ")]


def serve_admob_then_html(s):
    network = banner_frame("g-admob", "", {"renderFailed": ["nextAdUnit"]}, binding=4)
    network["content"] = "AdMob"
    html = banner_frame("g-html", body_colour_page("Unit B"))
    s.server.answer_space("banner", 200, response([unit("banner", [network]), unit("banner", [html])]))


def admob_banner(adhost):
    s = Scenario(adhost)
    try:
        serve_admob_then_html(s)
        run = s.run(["ads key zidUvovAdMobPublisherID pub-1", "ads fetchdisplay banner", "expect spaceDidRender", "wait 1",
                     "pixel 160,545", "tap AdMob 320x50", "wait 1", "screen"])
        journal = sdk_lines(run.out)
        if not any("setAdUnitID:" in line and "pub-1" in line for line in journal):
            fail("the AdMob stand-in was not given the publisher id:\n%s" % "\n".join(journal))
        if not any("loadRequest:" in line for line in journal):
            fail("the AdMob stand-in was asked for no ad:\n%s" % "\n".join(journal))
        shown = last_screen(run.out)
        if "ad in banner: binding 4 guid g-admob" not in shown:
            fail("the AdMob frame is not the space's ad:\n%s" % shown)
        expect_in_order("the AdMob banner", records(run.out),
                        ["spaceDidRender banner", "spaceWillExpand banner", "spaceDidReceiveClick banner"])
        if pixels(run.out) == [(255, 255, 255)]:
            fail("nothing was drawn where the AdMob banner goes")
    finally:
        s.close()


def failed_network_falls_over(adhost):
    # The network's load fails, or the host runs without any outside SDK, as the shipped app does.
    for setup, args in ((["sdk admob fail 2"], ()), ([], ("--no-networks",))):
        s = Scenario(adhost)
        try:
            serve_admob_then_html(s)
            lines = ["network wifi", "settle", "ads key zidUvovAdMobPublisherID pub-1"] + setup + [
                "ads fetchdisplay banner", "expect Unit B", "wait 1", "screen", "pixel 160,545"]
            run = Run(s.adhost, s.device, lines, s.server, extra_args=args).check()
            what = " ".join(setup + list(args))
            shown = last_screen(run.out)
            if "ad in banner: binding 2 guid g-html" not in shown:
                fail("%s: the AdMob frame did not fall over to unit B:\n%s" % (what, shown))
            host = records(run.out)
            if any(line.startswith("spaceDidFailTo") for line in host):
                fail("%s: the host heard of the network's failure: %r" % (what, host))
            if pixels(run.out) != [BODY]:
                fail("%s: unit B is not at the bottom: %r" % (what, pixels(run.out)))
            if args and sdk_lines(run.out):
                fail("without the outside SDKs their journal is not empty: %r" % sdk_lines(run.out))
        finally:
            s.close()


def network_without_its_key(adhost):
    s = Scenario(adhost)
    try:
        network = banner_frame("g-admob", "", binding=4)
        network["content"] = "AdMob"
        s.server.answer_space("banner", 200, response([unit("banner", [network])]))
        run = s.run(["ads loglevel 2", "ads fetchdisplay banner", "expect spaceDidFailToReceiveAd", "sdk nosuch ok", "screen"],
                    expect_errors=["nosuch"])
        expect_in_order("a network frame without its key", records(run.out), ["spaceDidFailToReceiveAd banner"])
        if "VuderuZidUvov: must supply zidUvovAdMobPublisherID in delegate for AdMob ads" not in run.err:
            fail("the plugin did not say which key it lacks:\n%s" % run.err[-2000:])
        if any(line.startswith("spaceDidRender") for line in records(run.out)):
            fail("a frame no network filled was rendered: %r" % records(run.out))
        if not any(line.startswith("error:") and "nosuch" in line for line in run.out.splitlines()):
            fail("`sdk nosuch ok` gave no clear error")
    finally:
        s.close()


def custom_network(adhost):
    s = Scenario(adhost)
    try:
        network = banner_frame("g-inmobi", "", binding=4)
        network["content"] = "InMobi"
        s.server.answer_space("banner", 200, response([unit("banner", [network])]))
        run = s.run(["ads custom InMobi", "ads fetchdisplay banner", "wait 1", "sdk custom networkDidReceiveAd", "wait 1", "screen",
                     "pixel 160,545"])
        journal = sdk_lines(run.out)
        expect_in_order("the host's network", journal,
                        ['custom getAd:withFrame:loadInterstitial: "banner"', "custom reports networkDidReceiveAd",
                         'custom adWillDisplayForSpace:viewContainer:showInterstitial: "banner"'])
        if "ad in banner: binding 4 guid g-inmobi" not in last_screen(run.out):
            fail("the host's network's ad is not the space's ad:\n%s" % last_screen(run.out))
        if pixels(run.out) in ([(255, 255, 255)], [BODY]):
            fail("the host's network's view is not where the banner goes: %r" % pixels(run.out))
    finally:
        s.close()


def main(adhost):
    admob_banner(adhost)
    failed_network_falls_over(adhost)
    network_without_its_key(adhost)
    custom_network(adhost)
    print("ad networks: the AdMob stand-in's banner and its click, a failed or absent network falling over to the next unit, "
          "a frame the network cannot fill, the host's own network as expected")


if __name__ == "__main__":
    main(sys.argv[1])
