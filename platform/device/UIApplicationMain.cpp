#include "platform/device/UIApplicationMain.h"

#include "platform/device/Driver.h"
#include "platform/device/HandOver.h"
#include "platform/device/SampleDevice.h"
#include "platform/dispatch/SteppedClock.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/foundation/PrintableText.h"
#include "platform/system/DeviceProfile.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIApplicationLifeCycle.h"

#include <cerrno>
#include <fcntl.h>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <malloc.h>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Under a bound on the address space (ulimit -v) the process keeps to one malloc arena: every
// further arena reserves 64 MB of address space, which the work itself then runs short of.
void fitAllocatorToAddressSpaceLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) ::mallopt(M_ARENA_MAX, 1);
}
constexpr const char* kPrompt = "tandrel> ";
constexpr std::size_t kReadChunk = 4096;
// How long one wait of the main loop lasts when nothing happens; anything that happens ends it.
constexpr double kIdleWaitSeconds = 1.0;
constexpr mode_t kDeviceFolderMode = 0755;
// The sender of a URL opened at launch without one: the browser, as for a bookmarklet.
constexpr const char* kDefaultURLSource = "com.apple.mobilesafari";
constexpr const char* UIApplicationLaunchOptionsURLKey = "UIApplicationLaunchOptionsURLKey";
constexpr const char* UIApplicationLaunchOptionsSourceApplicationKey = "UIApplicationLaunchOptionsSourceApplicationKey";

// The device's orientation for a side it is held on, as the driver's rotate names them.
std::optional<UIDeviceOrientation> heldOrientation(const std::string& side) {
    if (side == "portrait") return UIDeviceOrientationPortrait;
    if (side == "upside-down") return UIDeviceOrientationPortraitUpsideDown;
    if (side == "left") return UIDeviceOrientationLandscapeLeft;
    if (side == "right") return UIDeviceOrientationLandscapeRight;
    return std::nullopt;
}

struct Options {
    std::string device;
    std::string script;
    std::string model;
    // A launch by a hand-over: a file of this machine put into the app's inbox, or a URL.
    std::string handover;
    std::string openURL;
    std::string source;
    std::string accounts;
    // The side the device is held on at launch: portrait, upside-down, left or right.
    std::string held;
    bool sample = false;
    bool help = false;
    std::string error;
};

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) o.error = a + " needs a value";
            else into = argv[++i];
        };
        if (a == "--device") value(o.device);
        else if (a == "--script") value(o.script);
        else if (a == "--model") value(o.model);
        else if (a == "--handover") value(o.handover);
        else if (a == "--open") value(o.openURL);
        else if (a == "--source") value(o.source);
        else if (a == "--accounts") value(o.accounts);
        else if (a == "--orientation") value(o.held);
        else if (a == "--sample") o.sample = true;
        else if (a == "--help" || a == "-h") o.help = true;
        else o.error = "unknown option " + a;
    }
    if (!o.handover.empty() && !o.openURL.empty()) o.error = "--handover and --open cannot go together";
    if (!o.source.empty() && o.handover.empty() && o.openURL.empty()) o.error = "--source goes with --handover or --open";
    if (!o.model.empty() && o.model != "iPhone" && o.model != "iPad") o.error = "--model is iPhone or iPad";
    if (!o.accounts.empty() && !DeviceAccounts::parse(o.accounts, o.error)) o.error = "--accounts: " + o.error;
    if (!o.held.empty() && !heldOrientation(o.held)) o.error = "--orientation is portrait, upside-down, left or right";
    return o;
}

std::string absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char cwd[4096];
    return ::getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + path : path;
}

bool isFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The host folder of the device's "/": the folder given (--device, else $TANDREL_DEVICE), which
// must exist, since a mistyped path would otherwise start an empty device; or the sample device,
// made on first use, in the folder given or in the user's data folder. Empty after an error.
std::string deviceFolder(const Options& options) {
    std::string given = options.device;
    const char* env = std::getenv("TANDREL_DEVICE");
    if (given.empty() && env && *env) given = env;
    if (!given.empty()) given = absolute(given);
    if (options.sample || given.empty()) {
        std::string sample = given.empty() ? SampleDevice::defaultFolder() : given;
        if (!SampleDevice::ensureAt(sample)) {
            std::cerr << "tandrel: cannot make the sample device in " << sample << "\n";
            return "";
        }
        return sample;
    }
    if (!isFolder(given)) {
        std::cerr << "tandrel: no device folder at " << given << " (make it first, or add --sample to make the sample device there)\n";
        return "";
    }
    return given;
}

struct LaunchURL {
    NSURLPtr url;
    std::string source;
    std::string error;
};

// The URL a hand-over at launch opens the app with; a file is first copied into the inbox.
LaunchURL launchURLFor(const Options& options) {
    LaunchURL launch;
    if (!options.handover.empty()) {
        auto copy = HandOver::copyIntoInbox(options.handover, launch.error);
        if (!copy) return launch;
        launch.url = NSURL::fileURLWithPath(*copy);
        launch.source = options.source.empty() ? HandOver::kAirDropSource : options.source;
    } else if (!options.openURL.empty()) {
        launch.url = NSURL::URLWithString(options.openURL);
        if (!launch.url) launch.error = "not a URL: " + options.openURL;
        launch.source = options.source.empty() ? kDefaultURLSource : options.source;
    }
    return launch;
}

// Runs one command and prints what it says and the screen after it; false when it quits.
bool runCommand(Driver& driver, const std::string& rawLine, bool echo) {
    const std::string line = Driver::withoutByteOrderMark(rawLine);
    // The line as typed: its escapes stand as they are, and only raw controls show as escapes.
    if (echo) std::cout << "> " << PrintableText(line, PrintableBackslash::AsTyped) << "\n";
    bool quit = false;
    std::string said = driver.execute(line, &quit);
    if (quit) return false;
    std::cout << said;
    // Every command but screen and help is followed by the screen (screenshot too).
    auto start = line.find_first_not_of(" \t");
    std::string name = start == std::string::npos ? "" : line.substr(start, line.find_first_of(" \t\r", start) - start);
    bool quiet = name.empty() || name[0] == '#' || name == "screen" || name == "help";
    if (!quiet) std::cout << driver.screen();
    std::cout << std::flush;
    return true;
}

// The status a script ends with: 1 when any of its commands was answered with an error (the run
// goes on after one), else 0.
int endStatus(const Driver& driver) { return driver.failedCommands() > 0 ? 1 : 0; }

// Reads commands line by line with nothing running between them (a regular file as input).
int runLines(Driver& driver, std::istream& in, bool echo) {
    std::string line;
    while (std::getline(in, line))
        if (!runCommand(driver, line, echo)) break;
    return endStatus(driver);
}

// The script's file, opened before the app launches so that a mistyped path is an error at once.
bool openScript(const std::string& path, std::ifstream& in) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::cerr << "tandrel: cannot read the script " << path << ": it is a folder\n";
        return false;
    }
    in.open(path);
    if (!in) {
        std::cerr << "tandrel: cannot read the script " << path << ": " << std::strerror(errno) << "\n";
        return false;
    }
    return true;
}

// Standard input is a source of the main run loop, so timers and queued work go on while the app
// waits for the next line. Lines run from the outer loop, never inside the source's handler: a
// command drains the loop, and the handler must not run commands within itself.
int runStandardInput(Driver& driver) {
    bool interactive = ::isatty(STDIN_FILENO);
    struct stat st;
    if (::fstat(STDIN_FILENO, &st) != 0) return 0;
    // A regular file or a device such as /dev/null is always readable and cannot be watched: its
    // lines simply run in order.
    if (S_ISREG(st.st_mode) || (S_ISCHR(st.st_mode) && !interactive)) return runLines(driver, std::cin, !interactive);
    auto loop = NSRunLoop::mainRunLoop();
    std::string pending;
    bool endOfInput = false;
    NSRunLoop::SourceId source = 0;
    source = loop->addFileDescriptor(STDIN_FILENO, NSRunLoop::Readable, [&](int fd, int) {
        char buffer[kReadChunk];
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) return;
        if (n <= 0) {
            endOfInput = true;
            loop->removeFileDescriptor(source);
            return;
        }
        pending.append(buffer, static_cast<std::size_t>(n));
    });
    if (source == 0) {
        int status = runLines(driver, std::cin, !interactive);
        return interactive ? 0 : status;
    }
    if (interactive) std::cout << "Type help for the commands.\n" << kPrompt << std::flush;
    bool quit = false;
    while (!quit) {
        std::size_t newline;
        bool ranCommand = false;
        while (!quit && (newline = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, newline);
            pending.erase(0, newline + 1);
            quit = !runCommand(driver, line, !interactive);
            ranCommand = true;
        }
        if (quit) break;
        if (endOfInput) {
            if (!pending.empty()) runCommand(driver, pending, !interactive);
            break;
        }
        if (ranCommand && interactive) std::cout << kPrompt << std::flush;
        loop->runOnce(kIdleWaitSeconds);
    }
    if (!endOfInput) loop->removeFileDescriptor(source);
    // A person at the prompt saw each error as it came; a script piped in ends with its status.
    return interactive ? 0 : endStatus(driver);
}
} // namespace

int UIApplicationMain(int argc, char** argv, const std::string&, const std::string& delegateClassName) {
    fitAllocatorToAddressSpaceLimit();
    // A closed standard input is input that has ended: /dev/null stands in for it, before any file
    // the app opens could take its number.
    if (::fcntl(STDIN_FILENO, F_GETFD) == -1) {
        int empty = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (empty > STDIN_FILENO) {
            ::dup2(empty, STDIN_FILENO);
            ::close(empty);
        }
    }
    auto options = parse(argc, argv);
    if (options.help || !options.error.empty()) {
        if (!options.error.empty()) std::cerr << "tandrel: " << options.error << "\n";
        std::cerr << "usage: tandrel [--device DIR] [--sample] [--model iPhone|iPad] [--script FILE]\n"
                     "               [--handover PATH | --open URL] [--source ID] [--accounts mail,sms,facebook,twitter|none]\n"
                     "               [--orientation portrait|upside-down|left|right]\n" << Driver::help();
        return options.error.empty() ? 0 : 2;
    }
    std::ifstream script;
    if (!options.script.empty() && !openScript(options.script, script)) return 1;
    std::string root = deviceFolder(options);
    if (root.empty()) return 1;
    DeviceRoot::setRoot(root);
    // Every device has its /tmp (the Files tab zips into it) and the app's temporary folder
    // NSTemporaryDirectory(); a device folder made by hand may not.
    for (const std::string& folder : {std::string("/tmp"), std::string("/var"), NSHomeDirectory(), NSTemporaryDirectory()})
        ::mkdir(DeviceRoot::hostPath(folder).c_str(), kDeviceFolderMode);
    if (!options.model.empty()) DeviceProfile::update([&](DeviceProfile& p) { p.model = options.model; });
    if (!options.accounts.empty()) {
        std::string unused;
        auto accounts = DeviceAccounts::parse(options.accounts, unused);
        DeviceProfile::update([&](DeviceProfile& p) { p.accounts = *accounts; });
    }
    // A script runs on the manual clock, so its waits are exact and its screens repeatable.
    if (!options.script.empty()) PlatformClock::setManual();

    auto application = UIApplication::sharedApplication();
    auto delegate = UIApplication::makeDelegate(delegateClassName);
    if (!delegate) {
        std::cerr << "tandrel: no application delegate class named " << delegateClassName << "\n";
        return 1;
    }
    application->setDelegate(delegate);
    // A device held sideways launches the app in that orientation when the app allows it.
    if (!options.held.empty()) application->rotateDevice(*heldOrientation(options.held));
    auto launchURL = launchURLFor(options);
    if (!launchURL.error.empty()) {
        std::cerr << "tandrel: " << launchURL.error << "\n";
        return 1;
    }
    // The app opened by a hand-over is told so at launch, and then handed the URL.
    Value launchOptions;
    if (launchURL.url) {
        launchOptions = Value(Value::Dictionary{{UIApplicationLaunchOptionsURLKey, Value(launchURL.url->absoluteString())},
                                                {UIApplicationLaunchOptionsSourceApplicationKey, Value(launchURL.source)}});
    }
    bool launched = delegate->applicationDidFinishLaunchingWithOptions(*application, launchOptions);
    if (launched && launchURL.url) application->handleOpenURL(launchURL.url, launchURL.source);
    UIApplicationDidFinishLaunchingBecomeActive();

    Driver driver;
    // What the launch queued runs before the first screen (a transfer it began runs on).
    Driver::settleWork();
    int status = 0;
    if (!options.script.empty()) {
        std::cout << driver.screen();
        status = runLines(driver, script, true);
    } else {
        std::cout << driver.screen();
        status = runStandardInput(driver);
    }
    std::cout << std::flush;
    return status;
}
