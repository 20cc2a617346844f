#pragma once
// Stand-ins for the outside ad-network SDKs (AdMob, InMobi, Millennial Media, Mobclix, Jumptap,
// Greystripe, iAd), for tests and the host program only. registerAll() registers one class
// object under each outside class name the plugins look up; a class left unregistered is a
// missing class. Every message a stand-in receives (and every question it asks a plugin) is
// written to one journal. Loads end on the platform clock as the network's outcome says, along
// the network's road: delegate callbacks, Millennial's completion blocks and notifications,
// the Jumptap widget's questions, Greystripe's delegate questions, iAd's callbacks.
//
// Banners are views in the network's colour labelled "AdMob 320x50"; a tap runs the network's
// click callbacks. Interstitials present a full-screen controller with a "Close" button that
// runs the dismiss callbacks.

#include "platform/foundation/NSObjCRuntime.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class AdNetworkStandIns {
public:
    struct Outcome {
        enum class Kind { Ok, Fail, Never, Refuse };
        Kind kind = Kind::Ok;
        double seconds = 0.5;  // until an ok load ends
        long code = 1;         // the error code of a failure
    };

    // Registers (or removes) every stand-in class.
    static void registerAll();
    static void unregisterAll();
    // The networks by their lower-case names ("admob", "millennial media" also as "millennial").
    static std::vector<std::string> networks();
    static bool knowsNetwork(const std::string& network);

    static void setOutcome(const std::string& network, Outcome outcome);
    static Outcome outcome(const std::string& network);
    // Runs a callback of the network's tables by name on its current object; NO (with the
    // reason) when the network, the callback or a current object is missing. `apid`, when not
    // empty, is the APID Millennial's notice carries instead of the object's own.
    static bool fireCallback(const std::string& network, const std::string& callback, std::string* reason = nullptr,
                             const std::string& apid = {});

    // One line of the driver's `sdk` command: "NETWORK ok [SECONDS]" (0.5 by default), "NETWORK fail
    // [CODE]", "NETWORK never", "NETWORK refuse" (its objects cannot be made), "NETWORK CALLBACK"
    // (fireCallback; "millennial CALLBACK APID" posts the notice with another APID), or "custom REPORT" (the host's network reports). NO with the reason in
    // `reply` for anything else.
    static bool command(const std::string& line, std::string* reply);

    // The journal, one line per message: "GADBannerView setAdUnitID: \"pub-1\"".
    static std::vector<std::string> journal();
    static void clearJournal();
    // Hears each line as it is written (the host program prints them).
    static void setJournalListener(std::function<void(const std::string& line)> listener);

    // Forgets every object, outcome and journal line (tests).
    static void reset();
};
