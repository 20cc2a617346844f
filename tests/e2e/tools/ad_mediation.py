"""Mediation through the ad-space view in the ad host: a network whose SDK never answers leaves the
space's ad in place, a second frame of one network within its throttle window falls over to the
next unit, a Millennial interstitial is presented over the root and counted by its own notices, and
without the outside SDKs the host hears the view's own failure codes."""
import sys

from ad_server import Run, fail, frame, response, unit
from ad_space import Scenario, banner_frame, body_colour_page, last_screen, records, expect_in_order

NEXT_UNIT = {"renderFailed": ["nextAdUnit"]}


def network_unit(space, guid, network, callbacks=None):
    made = banner_frame(guid, "", callbacks, binding=4)
    made["content"] = network
    return unit(space, [made])


def html_unit(space, guid, text):
    return unit(space, [banner_frame(guid, body_colour_page(text))])


def screens_shown(out):
    """What each `screen` command printed, in order."""
    return [chunk.split("\n> ")[0] for chunk in out.split("> screen\n")[1:]]


def shown_ad(out, space="banner"):
    for line in last_screen(out).splitlines():
        if line.startswith("ad in %s: " % space):
            return line[len("ad in %s: " % space):]
    return None


def network_that_never_answers(adhost):
    # Nothing times the network out: the AdMob frame never becomes ready, the space keeps unit A's
    # ad, and the next request passes over the stuck frame to unit C.
    s = Scenario(adhost)
    try:
        s.server.answer_space("banner", 200, response([html_unit("banner", "g-a", "Unit A"),
                                                       network_unit("banner", "g-admob", "AdMob", NEXT_UNIT),
                                                       html_unit("banner", "g-c", "Unit C")]))
        run = s.run(["ads key zidUvovAdMobPublisherID pub-1", "ads fetchdisplay banner", "expect Unit A", "sdk admob never",
                     "ads fetchdisplay banner", "wait 5", "screen", "ads fetchdisplay banner", "expect Unit C", "wait 1", "screen"])
        waiting = run.out.split("> ads fetchdisplay banner")[2]
        if "GADBannerView loadRequest:" not in waiting:
            fail("the second request did not ask AdMob for its ad:\n%s" % waiting)
        if shown_ad(waiting) != "binding 2 guid g-a" or "Unit A" not in last_screen(waiting):
            fail("while AdMob said nothing the space lost its ad:\n%s" % last_screen(waiting))
        if any(line.startswith("spaceDidFailTo") for line in records(run.out)):
            fail("the network that never answered was reported as failed: %r" % records(run.out))
        if shown_ad(run.out) != "binding 2 guid g-c":
            fail("the request after the silent network did not take the next unit:\n%s" % last_screen(run.out))
    finally:
        s.close()


def throttle_per_network_and_space(adhost):
    # "admob" is the same network as "AdMob": within 2 s of the first request it has no plugin, the
    # frame fails and its unit falls over to the HTML one; later AdMob serves the space again.
    s = Scenario(adhost)
    try:
        s.server.answer_space("banner", 200, response([network_unit("banner", "g-admob-1", "AdMob", NEXT_UNIT),
                                                       network_unit("banner", "g-admob-2", "admob", NEXT_UNIT),
                                                       html_unit("banner", "g-b", "Unit B"),
                                                       network_unit("banner", "g-admob-3", "AdMob", NEXT_UNIT)]))
        run = s.run(["ads loglevel 2", "ads key zidUvovAdMobPublisherID pub-1", "sdk admob ok 0.1", "ads fetchdisplay banner", "expect spaceDidRender",
                     "screen", "ads fetchdisplay banner", "expect Unit B", "screen", "wait 2.5", "ads fetchdisplay banner", "wait 1",
                     "screen"])
        screens = screens_shown(run.out)
        for at, (guid, requests) in enumerate((("g-admob-1", 1), ("g-b", 1), ("g-admob-3", 2))):
            if shown_ad(screens[at]) != "binding %d guid %s" % (4 if "admob" in guid else 2, guid):
                fail("step %d does not show %s:\n%s" % (at + 1, guid, last_screen(screens[at])))
            asked = last_screen(screens[at]).count("GADBannerView loadRequest:")
            if asked != requests:
                fail("step %d: AdMob was asked for %d ads, not %d" % (at + 1, asked, requests))
        if "Ad from admob not available" not in run.err:
            fail("the throttled frame did not say its network is not available:\n%s" % run.err[-2000:])
    finally:
        s.close()


def millennial_interstitial(adhost):
    s = Scenario(adhost)
    try:
        takeover = frame("g-mm", 4, "", {"rendered": ["logEvent"], "clicked": ["logEvent"]}, layout_format="takeover")
        takeover["adSpaceLayout"].update({"fix": "both", "adWidth": 320, "adHeight": 480})
        takeover["content"] = "Millennial Media"
        s.server.answer_space("t", 200, response([unit("t", [takeover])]))
        run = s.run(["ads loglevel 2", "ads key zidUvovMillennialInterstitalAppKey apid-1", "sdk millennial ok 0.1", "ads fetchdisplay t", "wait 2",
                     "screen", "sdk millennial adModalDidAppear: apid-2", "sdk millennial adWasTapped: apid-2",
                     "sdk millennial adModalDidDismiss: apid-2", "wait 1", "screen", "tap Close", "wait 1", "screen"])
        screens = screens_shown(run.out)
        journal = [line[len("sdk: "):] for line in last_screen(run.out).splitlines() if line.startswith("sdk: ")]
        expect_in_order("the Millennial interstitial", journal,
                        ['MMInterstitial fetchWithRequest:apid:onCompletion: <MMRequest> "apid-1"',
                         'MMInterstitial displayForApid:fromViewController:withOrientation:onCompletion: "apid-1" <AdHostViewController>',
                         'MMInterstitial posts MillennialMediaAdModalDidAppear "apid-1"',
                         'MMInterstitial posts MillennialMediaAdModalDidAppear "apid-2"',
                         'MMInterstitial posts MillennialMediaAdModalDidDismiss "apid-2"',
                         'MMInterstitial posts MillennialMediaAdModalDidDismiss "apid-1"'])
        for at in (0, 1):
            # Before and after the notices of another APID, the interstitial's controller is in front.
            if not screens[at].lstrip().startswith("screen: UIViewController"):
                fail("the interstitial is not presented over the host's screen:\n%s" % screens[at][:600])
        # Only the notice carrying the interstitial's own APID counts it rendered.
        if run.err.count("Millennial modal did appear") != 1:
            fail("notices of another APID reached the plugin:\n%s" % run.err[-3000:])
        expect_in_order("the Millennial interstitial", records(run.out),
                        ["spaceDidRender t interstitial YES", "spaceWillDismiss t interstitial YES", "spaceDidDismiss t interstitial YES"])
        if any(line.startswith("spaceDidReceiveClick") for line in records(run.out)):
            fail("a tap notice of another APID counted as a click: %r" % records(run.out))
        after = last_screen(run.out)
        if not after.lstrip().startswith("AdHostViewController") or shown_ad(run.out, "t") != "none":
            fail("closing the interstitial did not bring the host's screen back:\n%s" % after)
    finally:
        s.close()


def failure_codes_without_networks(adhost):
    # The first frame of each space arrives with the server's reply and is prepared before it is
    # shown: its failure is the manager's "no ads" 104. The second is taken from the cache to be
    # shown at once, and the host hears the view's own code: 108 when the AdMob plugin could not
    # make its view, 109 when there is no plugin for iAd.
    s = Scenario(adhost)
    try:
        for space, network in (("a", "AdMob"), ("i", "iad")):
            s.server.answer_space(space, 200, response([network_unit(space, "g-%s-1" % space, network),
                                                        network_unit(space, "g-%s-2" % space, network)]))
        lines = ["network wifi", "settle", "ads key zidUvovAdMobPublisherID pub-1"]
        for space in ("a", "i"):
            # Past the throttle window, so the second frame reaches its network again.
            lines += ["ads fetchdisplay %s" % space, "expect spaceDidFailToReceiveAd %s" % space, "wait 2.5",
                      "ads fetchdisplay %s" % space, "expect spaceDidFailToReceiveAd %s error 10" % space]
        run = Run(s.adhost, s.device, lines + ["wait 1", "screen"], s.server, extra_args=("--no-networks",)).check()
        failures = [line for line in records(run.out) if line.startswith("spaceDidFailTo")]
        network_failure = "(VuderuAds: Ad Network could not satisfy request)"
        wanted = ["spaceDidFailToReceiveAd a error 104 (VuderuAds: No ads available for this space.)",
                  "spaceDidFailToReceiveAd a error 108 " + network_failure,
                  "spaceDidFailToReceiveAd i error 104 (VuderuAds: No ads available for this space.)",
                  "spaceDidFailToReceiveAd i error 109 " + network_failure]
        if failures != wanted:
            fail("without the outside SDKs the host heard %r, not %r" % (failures, wanted))
    finally:
        s.close()


def main(adhost):
    network_that_never_answers(adhost)
    throttle_per_network_and_space(adhost)
    millennial_interstitial(adhost)
    failure_codes_without_networks(adhost)
    print("ad mediation: a silent network keeping the space's ad, the throttle window, a Millennial interstitial "
          "filtered by its APID, the failure codes without the outside SDKs as expected")


if __name__ == "__main__":
    main(sys.argv[1])
