#include "platform/device/Driver.h"

#include "platform/system/DeviceProfile.h"

#include <unistd.h>

#include "platform/device/HandOver.h"
#include "platform/dispatch/SteppedClock.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/RegularFile.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/net/SCNetworkReachability.h"
#include "platform/uikit/CLLocationManager.h"
#include "platform/uikit/SKStoreProductViewController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIApplicationLifeCycle.h"
#include "platform/system/DeviceProfile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>

namespace {
// The source application of a URL handed over without one: the browser, as for a bookmarklet.
constexpr const char* kDefaultSourceApplication = "com.apple.mobilesafari";

// How long `settle` and `expect` let time pass at most, unless told.
constexpr double kDefaultSettleSeconds = 10;
constexpr double kDefaultExpectSeconds = 10;

// "LAT LON [HACC VACC]": finite numbers, latitude within ±90 and longitude within ±180.
std::shared_ptr<CLLocation> parseLocation(const std::string& argument) {
    std::vector<double> numbers;
    for (const auto& part : NSString::componentsSeparatedByString(argument, " ")) {
        if (part.empty()) continue;
        auto value = Driver::decimal(part);
        if (!value) return nullptr;
        numbers.push_back(*value);
    }
    if (numbers.size() != 2 && numbers.size() != 4) return nullptr;
    if (std::fabs(numbers[0]) > 90 || std::fabs(numbers[1]) > 180) return nullptr;
    double horizontal = numbers.size() == 4 ? numbers[2] : 0;
    double vertical = numbers.size() == 4 ? numbers[3] : 0;
    return std::make_shared<CLLocation>(CLLocationCoordinate2D{numbers[0], numbers[1]}, 0, horizontal, vertical, NSDate::date());
}

} // namespace

// A read through a null pointer. The load is written out, so that neither the compiler nor the
// sanitizers stand in for the fault. Exported, so that a crash report names it even when it is
// written before the reporter has read the executable's full symbol table.
[[gnu::noinline]] void faultByNullRead();
[[gnu::noinline]] void faultByNullRead() {
    const int* volatile address = nullptr;
#if defined(__x86_64__)
    int value;
    __asm__ volatile("movl (%1), %0" : "=r"(value) : "r"(address) : "memory");
    (void)value;
#else
    (void)*static_cast<const volatile int*>(address);
#endif
}

namespace {

// A non-negative decimal number of seconds: anything else would wait for ever or not at all.
std::optional<double> parseSeconds(const std::string& s) {
    auto seconds = Driver::decimal(s);
    if (!seconds || *seconds < 0) return std::nullopt;
    return seconds;
}

// The answer to a command the table does not have (or hides).
std::string unknownCommand(const std::string& name) {
    return "unknown command " + UIScreenDescription::quoted(name) + " (help lists the commands)";
}

// A byte-order mark a script's editor put before its first line.
constexpr std::string_view kByteOrderMark = "\xef\xbb\xbf";
} // namespace

// One command of the table: its name and help, what its argument must be, and either what it
// does or, for commands the elements on screen take (run is null), the error when none does.
struct Driver::Command {
    // ExactText: the rest of the line as typed, its leading spaces kept (a name may begin with one).
    enum class Argument { None, Text, ExactText, OptionalText, RowNumber, Seconds };
    std::string name;
    std::string usage;
    std::string summary;
    Argument argument = Argument::None;
    std::string nothing;
    bool (*run)(Driver&, const std::string& argument) = nullptr;
};

const std::vector<Driver::Command>& Driver::commands() {
    using A = Command::Argument;
    static const std::vector<Command> table = {
        {"screen", "", "show the screen", A::None, "",
         [](Driver& d, const std::string&) {
             // Printable already, line by line.
             d.lastSaid_ = d.screen();
             d.saidIsPrintable_ = true;
             return true;
         }},
        {"tap", "TEXT", "tap what the screen shows as TEXT, escapes as shown (a row, a button, a bar button, a tab, an alert button)",
         A::ExactText, "", [](Driver& d, const std::string& text) { return d.tap(text); }},
        {"row", "N", "tap row N (scrolled on screen first)", A::RowNumber, "no table on screen"},
        {"item", "N", "touch grid item N (scrolled on screen first)", A::RowNumber, "no grid on screen"},
        {"accessory", "N", "tap the accessory button of row N", A::RowNumber, "no table on screen"},
        {"delete", "N", "swipe row N and delete it", A::RowNumber, "no table on screen"},
        {"scroll", "down|up|N", "scroll the table a screen down or up, or to row N", A::Text, "no table on screen"},
        {"back", "", "the navigation bar's back button", A::None, "there is no back button"},
        {"tab", "N|TITLE", "select a tab", A::OptionalText, "no tab bar on screen"},
        {"refresh", "", "pull the table down to refresh", A::None, "nothing on screen refreshes when pulled down"},
        {"touch", "X,Y [TAPS]", "touch the screen at a point (points from the top left), TAPS times in a row", A::Text, "",
         [](Driver& d, const std::string& point) { return d.touchAt(point); }},
        {"hold", "X,Y [SECONDS]", "press a finger on the screen at a point (or shown TEXT) for a while (1 s unless given)", A::Text, "",
         [](Driver& d, const std::string& arguments) { return d.hold(arguments); }},
        {"drag", "X,Y X,Y [STEPS]", "drag a finger from one point (or shown TEXT) to another", A::Text, "",
         [](Driver& d, const std::string& arguments) { return d.drag(arguments); }},
        {"swipe", "left|right|up|down [TEXT]", "swipe a finger across what scrolls (across TEXT when given)", A::Text, "",
         [](Driver& d, const std::string& arguments) { return d.swipe(arguments); }},
        {"twist", "X,Y DEGREES", "turn two fingers about a point (clockwise for positive degrees)", A::Text, "",
         [](Driver& d, const std::string& arguments) { return d.twist(arguments); }},
        {"rotate", "portrait|upside-down|left|right", "turn the device", A::Text, "",
         [](Driver& d, const std::string& orientation) { return d.rotate(orientation); }},
        {"shake", "", "shake the device", A::None, "", [](Driver& d, const std::string&) { return d.shake(); }},
        {"open", "URL [SOURCE]", "hand the app a URL, as the system does", A::Text, "",
         [](Driver& d, const std::string& argument) {
             auto parts = NSString::componentsSeparatedByString(argument, " ");
             return d.openURL(parts[0], parts.size() > 1 ? parts[1] : kDefaultSourceApplication);
         }},
        {"handover", "PATH [SOURCE]", "hand the app a file of this machine, as AirDrop does (into its inbox, then opened; quote a PATH with spaces)",
         A::Text, "",
         [](Driver& d, const std::string& argument) {
             auto parts = HandOver::commandWords(argument);
             if (!parts || parts->empty() || parts->size() > 2)
                 return d.fail("handover takes PATH [SOURCE], a PATH with spaces quoted as a shell quotes it ('My Report.pdf')");
             std::string error;
             if (!HandOver::handOverFile((*parts)[0], parts->size() > 1 ? (*parts)[1] : HandOver::kAirDropSource, error)) return d.fail(error);
             return true;
         }},
        {"press", "TITLE", "press an alert's button", A::OptionalText, "no alert on screen"},
        {"seek", "SECONDS", "scrub the movie on screen to SECONDS, as a viewer's finger does", A::Seconds, "no movie on screen"},
        {"airdrop", "[FILE]", "send what the activity sheet or the document menu offers through AirDrop (FILE: a PNG of the image sent)",
         A::OptionalText, "", [](Driver& d, const std::string& file) { return d.airDrop(file); }},
        {"complete", "TYPE|ENTRY", "complete the activity sheet with another activity type, or choose a document menu entry",
         A::OptionalText, "no activity sheet or document menu on screen"},
        {"cancel", "", "cancel the activity sheet, the document menu or a compose sheet", A::None, "no sheet on screen"},
        {"send", "", "send what the compose sheet shows (recorded; nothing leaves the machine)", A::None,
         "no compose sheet on screen"},
        {"accounts", "LIST|none", "the accounts the device is signed in to: mail,sms,facebook,twitter or none", A::Text, "",
         [](Driver& d, const std::string& list) {
             std::string error;
             auto accounts = DeviceAccounts::parse(list, error);
             if (!accounts) return d.fail(error);
             DeviceProfile::update([&](DeviceProfile& p) { p.accounts = *accounts; });
             d.lastSaid_ = "accounts: " + accounts->description();
             return true;
         }},
        {"network", "none|wifi|cellular|measured", "set the device's network (measured: this machine's own)", A::Text, "",
         [](Driver& d, const std::string& name) {
             auto network = SCDeviceNetworkFromName(name);
             if (!network) return d.fail("no network named " + name + " (none, wifi, cellular or measured)");
             SCNetworkReachabilitySetDeviceNetwork(*network);
             return true;
         }},
        {"photos", "deny|allow", "answer the app's request for the photo library", A::Text, "",
         [](Driver& d, const std::string& answer) {
             if (answer != "deny" && answer != "allow") return d.fail("photos takes deny or allow");
             DeviceProfile::update([&](DeviceProfile& p) { p.photoLibraryAccessDenied = answer == "deny"; });
             return true;
         }},
        {"camera", "pattern|PATH", "what the cameras see: a test pattern naming the camera, or an image file of this machine",
         A::Text, "",
         [](Driver& d, const std::string& what) {
             if (what != "pattern") {
                 // Checked as the camera reads it: without waiting, and only a regular file.
                 NSRegularFile image = NSOpenRegularFileAt(AT_FDCWD, what);
                 if (!image) return d.fail(image.notRegular ? what + " is not an image file (only a regular file can be)" : "no image file at " + what);
             }
             DeviceProfile::update([&](DeviceProfile& p) { p.cameraImagePath = what == "pattern" ? std::string() : what; });
             return true;
         }},
        {"store", "ok [SECONDS]|fail|never", "how the in-app store answers loads (ok after 1 s unless given)", A::Text, "",
         [](Driver& d, const std::string& argument) {
             auto parts = NSString::componentsSeparatedByString(argument, " ");
             auto seconds = parts.size() == 2 ? parseSeconds(parts[1]) : std::optional<double>(SKStoreProductViewController::kDefaultAnswerSeconds);
             using Answer = SKStoreProductViewController::Answer;
             if (parts[0] == "ok" && seconds) SKStoreProductViewController::setAnswer(Answer::Ok, *seconds);
             else if (parts[0] == "fail" && parts.size() == 1) SKStoreProductViewController::setAnswer(Answer::Fail);
             else if (parts[0] == "never" && parts.size() == 1) SKStoreProductViewController::setAnswer(Answer::Never);
             else return d.fail("store takes ok [SECONDS], fail or never");
             return true;
         }},
        {"wait", "SECONDS", "let time pass as a person waits: SECONDS in all, a transfer running in real time meanwhile", A::Seconds, "",
         [](Driver& d, const std::string& seconds) { return d.wait(*parseSeconds(seconds)); }},
        {"screenshot", "FILE", "write the screen as a PNG image at the screen's scale", A::Text, "",
         [](Driver& d, const std::string& file) { return d.screenshot(file); }},
        {"pixel", "X,Y", "the red, green, blue and alpha of the screen at a point", A::Text, "",
         [](Driver& d, const std::string& point) { return d.pixel(point); }},
        {"help", "", "this list", A::None, "",
         [](Driver& d, const std::string&) {
             d.lastSaid_ = help();
             return true;
         }},
        {"background", "", "send the app to the background", A::None, "",
         [](Driver&, const std::string&) {
             UIApplicationMoveToBackground();
             return true;
         }},
        {"foreground", "", "bring the app back to the foreground", A::None, "",
         [](Driver&, const std::string&) {
             UIApplicationMoveToForeground();
             return true;
         }},
        {"location", "LAT LON [HACC VACC]", "move the device (accuracies in metres)", A::Text, "",
         [](Driver& d, const std::string& argument) {
             auto location = parseLocation(argument);
             if (!location) return d.fail("a location is LAT LON [HACC VACC]: latitude -90..90, longitude -180..180");
             CLLocationManager::deviceDidUpdateLocation(location);
             return true;
         }},
        {"settle", "[SECONDS]", "run in real time until no transfer is in flight (10 s at most unless given)", A::OptionalText, "",
         [](Driver& d, const std::string& argument) {
             auto bound = argument.empty() ? std::optional<double>(kDefaultSettleSeconds) : parseSeconds(argument);
             if (!bound) return d.fail("settle takes a number of seconds");
             if (!SteppedClock::canWait(*bound)) return d.fail(tooLongToWait(*bound));
             return d.settle(*bound);
         }},
        {"expect", "TEXT [SECONDS]", "let time pass until the screen shows TEXT (10 s at most unless given)", A::Text, "",
         [](Driver& d, const std::string& argument) {
             // A last word that is a number of seconds is the bound, unless it is all there is.
             auto space = argument.rfind(' ');
             auto bound = space == std::string::npos ? std::nullopt : parseSeconds(argument.substr(space + 1));
             std::string text = bound ? NSString::stringByTrimmingWhitespace(argument.substr(0, space)) : argument;
             if (bound && !SteppedClock::canWait(*bound)) return d.fail(tooLongToWait(*bound));
             return d.expect(text, bound.value_or(kDefaultExpectSeconds));
         }},
        // Hidden (no summary): `crash segv` ends the app by a real fault, for the crash reporter's
        // road; any other line beginning with crash is unknown, as the help shows no crash.
        {"crash", "segv", "", A::OptionalText, "",
         [](Driver& d, const std::string& kind) {
             if (kind != "segv") return d.fail(unknownCommand("crash"));
             faultByNullRead();
             return d.fail("the null read did not fault");
         }},
        {"quit", "", "end the app", A::None, "",
         [](Driver& d, const std::string&) {
             UIApplicationWillTerminate();
             d.drain();
             return true;
         }},
    };
    return table;
}

struct Driver::HostEntry {
    std::string name;
    std::string usage;
    std::string summary;
    HostCommand run;
};

std::vector<Driver::HostEntry>& Driver::hostCommands() {
    static std::vector<HostEntry> added;
    return added;
}

void Driver::addHostCommand(std::string name, std::string usage, std::string summary, HostCommand run) {
    auto& table = commands();
    auto& added = hostCommands();
    auto same = [&](const auto& c) { return c.name == name; };
    if (std::any_of(table.begin(), table.end(), same) || std::any_of(added.begin(), added.end(), same)) return;
    added.push_back({std::move(name), std::move(usage), std::move(summary), std::move(run)});
}

bool Driver::runHostCommand(const HostEntry& entry, const std::string& argument) {
    UIScreenReply reply;
    bool done = entry.run(*this, argument, reply);
    lastSaid_ = reply.said;
    return done || fail(reply.error);
}

// The app's window, also while another window or the system's alert window is key above it.
std::shared_ptr<UIWindow> Driver::window() const { return UIApplication::sharedApplication()->appWindow(); }

// Presented controllers show their views in the window, above the root controller's.
std::shared_ptr<UIViewController> Driver::topViewController() const {
    auto w = window();
    if (!w) return nullptr;
    auto top = w->rootViewController();
    for (auto& view : w->subviews()) {
        auto c = view->viewController();
        if (c && c->presentingViewController() && c->modalPresentationStyle() != UIModalPresentationOverFullScreen) top = c;
    }
    return top;
}

std::shared_ptr<UIActivityViewController> Driver::visibleSheet() const {
    auto w = window();
    if (!w) return nullptr;
    auto& views = w->subviews();
    for (auto it = views.rbegin(); it != views.rend(); ++it)
        if (auto sheet = std::dynamic_pointer_cast<UIActivityViewController>((*it)->viewController())) return sheet;
    return nullptr;
}

std::shared_ptr<UIViewController> Driver::contentViewController() const {
    auto c = topViewController();
    while (c) {
        auto child = c->childForAppearance();
        if (!child) break;
        c = child;
    }
    return c;
}

std::shared_ptr<UINavigationController> Driver::visibleNavigationController() const {
    auto content = contentViewController();
    return content ? content->navigationController() : nullptr;
}

std::shared_ptr<UIAlertView> Driver::visibleAlert() const {
    auto& alerts = UIApplication::sharedApplication()->visibleAlerts();
    return alerts.empty() ? nullptr : alerts.back();
}

UIScreenDescription Driver::describe() const {
    UIScreenDescription description;
    description.describeWindow(window(), otherWindows());
    // The alerts stand above every window, the last shown in front.
    for (auto& alert : UIApplication::sharedApplication()->visibleAlerts()) description.describeView(alert);
    return description;
}

std::string Driver::screen() { return screenText(true, false); }

std::string Driver::screenText(bool markShown, bool sinceEarlier) {
    if (!window()) return "(no window)\n";
    auto description = describe();
    auto content = contentViewController();
    std::string out = "screen: " + (content ? content->className() : std::string("none")) + "\n";
    out += description.text();
    // What the app opened or handed on shows once, under the screen that follows it (the lists
    // only grow, unless a test empties them).
    auto application = UIApplication::sharedApplication();
    const auto& opened = application->openedURLs();
    const auto& handed = application->handedDocuments();
    if (openedShown_ > opened.size()) openedShown_ = 0;
    if (handedShown_ > handed.size()) handedShown_ = 0;
    const std::size_t openedFrom = sinceEarlier ? std::min(openedShown_, std::min(previousCommand_.opened, opened.size())) : openedShown_;
    const std::size_t handedFrom = sinceEarlier ? std::min(handedShown_, std::min(previousCommand_.handed, handed.size())) : handedShown_;
    for (auto i = openedFrom; i < opened.size(); ++i)
        out += UIScreenDescription::printable("opened: " + opened[i]->absoluteString()) + "\n";
    for (auto i = handedFrom; i < handed.size(); ++i)
        out += UIScreenDescription::printable("handed: " + handed[i].application + " " +
                                              (handed[i].url ? handed[i].url->absoluteString() : std::string())) + "\n";
    if (markShown) {
        openedShown_ = opened.size();
        handedShown_ = handed.size();
    }
    return out;
}

bool Driver::fail(const std::string& message) {
    lastError_ = message;
    return false;
}

bool Driver::act(const std::string& command, const std::string& argument, const std::string& nothing) {
    UIScreenReply reply;
    auto done = describe().perform(command, argument, reply);
    if (!done) return fail(nothing);
    lastSaid_ = reply.said;
    return *done || fail(reply.error);
}

bool Driver::tap(const std::string& text) {
    UIScreenReply reply;
    auto description = describe();
    // The text as typed, spaces and all; else without the spaces around it.
    const std::string trimmed = NSString::stringByTrimmingWhitespace(text);
    bool done = description.tap(text, reply);
    if (!done && trimmed != text) {
        UIScreenReply again;
        if ((done = description.tap(trimmed, again))) reply = again;
    }
    lastSaid_ = reply.said;
    return done || fail(reply.error);
}

bool Driver::airDrop(const std::string& file) {
    if (!file.empty() && !writeSheetImage(file)) return false;
    return act("airdrop", "", "no activity sheet or document menu on screen");
}

bool Driver::tapRow(long row) { return act("row", std::to_string(row), "no table on screen"); }
bool Driver::tapAccessory(long row) { return act("accessory", std::to_string(row), "no table on screen"); }
bool Driver::deleteRow(long row) { return act("delete", std::to_string(row), "no table on screen"); }
bool Driver::scroll(const std::string& where) { return act("scroll", where, "no table on screen"); }
bool Driver::back() { return act("back", "", "there is no back button"); }
bool Driver::selectTab(const std::string& titleOrIndex) { return act("tab", titleOrIndex, "no tab bar on screen"); }
bool Driver::pressAlertButton(const std::string& title) { return act("press", title, "no alert on screen"); }
bool Driver::completeSheet(const std::string& activityType) {
    return act("complete", activityType, "no activity sheet or document menu on screen");
}
bool Driver::cancelSheet() { return act("cancel", "", "no sheet on screen"); }
bool Driver::pullToRefresh() { return act("refresh", "", "nothing on screen refreshes when pulled down"); }

bool Driver::shake() {
    UIApplication::sharedApplication()->sendShake();
    return true;
}

bool Driver::openURL(const std::string& text, const std::string& sourceApplication) {
    auto url = NSURL::URLWithString(text);
    if (!url) return fail("not a URL: " + text);
    UIApplication::sharedApplication()->handleOpenURL(url, sourceApplication);
    return true;
}


std::string Driver::help() {
    std::string out = "commands:\n";
    auto line = [&](const std::string& name, const std::string& usage, const std::string& summary) {
        if (summary.empty()) return;
        std::string call = name + (usage.empty() ? "" : " " + usage);
        call.resize(std::max<std::size_t>(call.size() + 1, 23), ' ');
        out += "  " + call + summary + "\n";
    };
    for (auto& c : commands()) line(c.name, c.usage, c.summary);
    for (auto& c : hostCommands()) line(c.name, c.usage, c.summary);
    out += "Rows count from 0. tap finds only what is on screen: scroll brings the later rows of a table on\n"
           "screen. While a sheet or an alert is up, commands reach it alone.\n";
    return out;
}

std::optional<double> Driver::decimal(const std::string& text) {
    std::size_t i = 0;
    auto digits = [&] {
        std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        return i - start;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t mantissa = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (digits() == 0) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    double value = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

std::string Driver::withoutByteOrderMark(const std::string& line) {
    return line.starts_with(kByteOrderMark) ? line.substr(kByteOrderMark.size()) : line;
}

std::string Driver::execute(const std::string& rawLine, bool* quit) {
    const std::string typed = withoutByteOrderMark(rawLine);
    std::string line = NSString::stringByTrimmingWhitespaceAndNewlines(typed);
    if (quit) *quit = false;
    if (line.empty() || line[0] == '#') return "";
    auto space = line.find(' ');
    std::string name = line.substr(0, space);
    // The rest of the line as typed, spaces at both ends kept (a name may begin or end with one);
    // only the line's end is dropped.
    std::string exactArgument;
    if (space != std::string::npos) {
        exactArgument = typed.substr(typed.find(line) + space + 1);
        while (!exactArgument.empty() && (exactArgument.back() == '\n' || exactArgument.back() == '\r')) exactArgument.pop_back();
    }
    std::string argument = NSString::stringByTrimmingWhitespace(exactArgument);
    lastError_.clear();
    lastSaid_.clear();
    saidIsPrintable_ = false;
    // What the app opens or hands on from here is this command's; expect sees it, and the
    // previous command's, but nothing older.
    auto application = UIApplication::sharedApplication();
    previousCommand_ = thisCommand_;
    thisCommand_ = {application->openedURLs().size(), application->handedDocuments().size()};
    if (name == "exit") name = "quit";
    if (name == "quit" && quit) *quit = true;

    auto& table = commands();
    auto command = std::find_if(table.begin(), table.end(), [&](const Command& c) { return c.name == name; });
    auto& added = hostCommands();
    auto host = std::find_if(added.begin(), added.end(), [&](const HostEntry& c) { return c.name == name; });
    bool ok = false;
    using A = Command::Argument;
    if (command == table.end() && host != added.end()) ok = runHostCommand(*host, argument);
    else if (command == table.end()) ok = fail(unknownCommand(name));
    else if ((command->argument == A::Text || command->argument == A::ExactText) && argument.empty()) ok = fail(name + " what?");
    else if (command->argument == A::RowNumber && !UIScreenDescription::index(argument)) ok = fail(name + " needs a row number");
    else if (command->argument == A::Seconds && !parseSeconds(argument)) ok = fail(name + " needs a number of seconds");
    else if (command->run) ok = command->run(*this, command->argument == A::ExactText ? exactArgument : argument);
    else ok = act(command->name, argument, command->nothing);

    // What the command posted to the queues runs before the next command, and before time moves
    // on; a transfer it began runs on, its real time counted by the waits that follow.
    if ((command != table.end() && command->name != "screen" && command->name != "help" && command->name != "quit") || host != added.end())
        settleWork();
    if (!ok) {
        ++failedCommands_;
        return "error: " + printableLines(lastError_) + "\n";
    }
    std::string said = saidIsPrintable_ ? lastSaid_ : printableLines(lastSaid_);
    if (!said.empty() && said.back() != '\n') said += "\n";
    return said;
}

// What a command says names files, pages and songs: each of its lines is made printable.
std::string Driver::printableLines(const std::string& text) {
    std::string out;
    for (std::size_t start = 0; start < text.size();) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        out += UIScreenDescription::printable(text.substr(start, end - start));
        if (end < text.size()) out += '\n';
        start = end + 1;
    }
    return out;
}
