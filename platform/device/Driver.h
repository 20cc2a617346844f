#pragma once
// The driver: reads the headless screen as text and acts on it as a person would with a touch
// screen. Tests use it directly; the binary reads its commands from a script or standard input.
//
// The driver knows no view class: it walks the window's controllers and views with a
// UIScreenDescription, and each of them adds its own lines and names what a command can act on
// (see UIScreenDescription.h). A new command is one row of the table in Driver.cpp.

#include "platform/dispatch/SteppedClock.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIFingers.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreenDescription.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class Driver {
public:
    // The screen of the application's key window, as text, with the URLs the app opened and the
    // documents it handed on since the screen was last shown this way.
    std::string screen();

    // One command line; returns what the command says back (empty when it just acted), or an
    // error beginning with "error: ". `quit` becomes true for the quit command.
    std::string execute(const std::string& line, bool* quit = nullptr);
    // How many commands execute() has answered with an error (a script then ends with status 1).
    std::size_t failedCommands() const { return failedCommands_; }
    // The line without a byte-order mark before it (a script saved with one).
    static std::string withoutByteOrderMark(const std::string& line);
    // A number as a person writes it: decimal digits with an optional sign, point and exponent.
    // Anything else (hexadecimal, inf, nan, spaces around it) is nullopt, as is a number too
    // large for a double.
    static std::optional<double> decimal(const std::string& text);
    static std::string help();
    // Text with every line made printable (UIScreenDescription::printable), its line breaks kept.
    static std::string printableLines(const std::string& text);

    // Commands a host program adds to the table before its driver runs (NAME takes the rest of
    // the line); help lists them after the driver's own. `run` answers through the reply: what it
    // says back, or why it refused. A name the table already has is not added again.
    using HostCommand = std::function<bool(Driver& driver, const std::string& argument, UIScreenReply& reply)>;
    static void addHostCommand(std::string name, std::string usage, std::string summary, HostCommand run);

    // Acting. Each returns false (and sets lastError) when there is nothing to act on; while a
    // sheet or an alert is up, only it can be acted on.
    bool tap(const std::string& text);
    bool tapRow(long row);
    bool tapAccessory(long row);
    bool deleteRow(long row);
    // "down", "up", or a row number ("to N" too).
    bool scroll(const std::string& where);
    bool back();
    bool selectTab(const std::string& titleOrIndex);
    bool shake();
    bool openURL(const std::string& url, const std::string& sourceApplication);
    bool pressAlertButton(const std::string& title);
    // The activity sheet's or the document menu's choice (an activity type, a menu entry), or cancel.
    bool completeSheet(const std::string& activityType);
    bool cancelSheet();
    // AirDrop's choice of the sheet or menu on screen; with a FILE (a host path), the image the
    // activity sheet sends is written there first as PNG, upright, at its scale, as the receiving
    // device gets it.
    bool airDrop(const std::string& file);
    bool pullToRefresh();
    // The display: the screen as a PNG file (a host path; nothing is written on failure), and
    // one pixel at a point given as "X,Y" in points, said back as "X,Y: R G B A".
    bool screenshot(const std::string& file);
    bool pixel(const std::string& point);
    // Fingers on the screen (points from the top left, "X,Y"): a touch, "X,Y TAPS" with its tap
    // count (a touch at the point of the one before, within the double-tap interval, counts one
    // more than it without TAPS); a drag in STEPS moves (10
    // by default); two fingers turning by DEGREES about a point (clockwise for positive); and the
    // device turned to portrait, upside-down, left or right. The ends of a drag and the centre of a
    // twist may name what the screen shows instead ("Title" in quotes when it has spaces).
    bool touchAt(const std::string& point);
    bool drag(const std::string& arguments);
    // A finger pressed at a point (or what shows TEXT) while SECONDS pass (1 by default), then lifted.
    bool hold(const std::string& arguments);
    bool twist(const std::string& arguments);
    // A finger swiping left, right, up or down: across the innermost view on screen that scrolls
    // that way, or from the centre of what shows TEXT.
    bool swipe(const std::string& arguments);
    bool rotate(const std::string& orientation);
    // Lets time pass as on a device (SteppedClock): from due timer to due timer on a manual clock,
    // with the queues settled after each; the main loop runs that long on the real clock.
    void advance(double seconds);
    // A person's wait of `seconds`, in all, on the script clock's one rule (see passTime): an error
    // for a wait the clock cannot count, and for one whose timers were too many to fire one by one
    // (the clock then stands where it got).
    bool wait(double seconds);
    // Lets time pass as wait() does until no transfer is in flight or about to begin, at most
    // `seconds`: work in hand may begin one, and so may a timer due within kAboutToBeginSeconds of
    // the start (those fire in turn). An error when a transfer is still in flight then. Once a
    // transfer ran, it ends where the last one ended, the screen as the device shows it then.
    bool settle(double seconds);
    // Waits until the screen text holds `text` (with the opened and handed lines printed since
    // the previous command began), letting time pass as wait() does for at most `seconds`. An
    // error when the text never shows.
    bool expect(const std::string& text, double seconds);
    // settle() fires the timers due this soon after its start, since they may begin a transfer (a
    // download starts a second after its choice).
    static constexpr double kAboutToBeginSeconds = 1.0;
    // Runs the main loop until nothing is left to do now.
    void drain();
    // Lets the queues finish the work in hand where the clock stands (SteppedClock::settle), but
    // not a transfer: one in flight runs on, and the waits that follow count its real time.
    static void settleWork();
    // The error for a wait longer than the clock can count.
    static std::string tooLongToWait(double seconds);
    const std::string& lastError() const { return lastError_; }
    // What the last action said back (the airdrop command says what was sent), or empty.
    const std::string& lastSaid() const { return lastSaid_; }

    // What the screen shows.
    std::shared_ptr<UIWindow> window() const;
    // The windows on screen in front of window() (a higher level, or the same level shown after
    // it), the front-most first.
    std::vector<std::shared_ptr<UIWindow>> otherWindows() const;
    // The window a finger at the point reaches first: the front-most visible window with a view there.
    std::shared_ptr<UIWindow> frontWindow(CGPoint point) const;
    // The full-screen controller on top (following presentations), and the sheet over it if any.
    std::shared_ptr<UIViewController> topViewController() const;
    std::shared_ptr<UIActivityViewController> visibleSheet() const;
    // The innermost content controller of the top controller (inside its containers).
    std::shared_ptr<UIViewController> contentViewController() const;
    std::shared_ptr<UINavigationController> visibleNavigationController() const;
    std::shared_ptr<UIAlertView> visibleAlert() const;
    // The screen as its controllers and views describe it, ready to act on.
    UIScreenDescription describe() const;

private:
    struct Command;
    struct HostEntry;
    static const std::vector<Command>& commands();
    static std::vector<HostEntry>& hostCommands();
    bool runHostCommand(const HostEntry& entry, const std::string& argument);
    // A command that the elements on screen take; `nothing` is the error when none does.
    bool act(const std::string& command, const std::string& argument, const std::string& nothing);
    bool fail(const std::string& message);
    // The activity sheet's first image item as PNG at a host path.
    bool writeSheetImage(const std::string& file);
    // Bytes at a host path, written beside it and renamed, so a failed write leaves no file behind.
    bool writeHostFile(const std::string& file, const std::vector<unsigned char>& bytes);
    // Fingers on the window whose steps let time pass through advance().
    UIFingers fingersOn(const std::shared_ptr<UIWindow>& window);
    // A point on the screen, or nullopt with lastError set (`what` names it in the error).
    std::optional<CGPoint> screenPoint(const std::string& text, const std::string& usage);
    // A point, or what the screen shows by that text, title or image name (its view's centre).
    std::optional<CGPoint> endpoint(const std::string& text, const std::string& usage);

    // The screen text; `markShown` makes the opened and handed lines it lists old news, and
    // `sinceEarlier` lists those already shown under the previous command too.
    std::string screenText(bool markShown, bool sinceEarlier);
    // Lets up to `seconds` pass on the script clock's one rule. Work in hand (queued work, a task
    // of the pool) runs where the clock stands and costs it nothing. While a URL transfer is in
    // flight the clock runs with real time, counted from the transfer's start (however many waits
    // that spans), each timer due on the way firing in turn; when the last one ends the clock
    // stands at its real end, and otherwise it jumps from one due timer to the next. On the real
    // clock the loop runs that long. Stops as soon as `done` holds (looked at after each step):
    // Done then; TimeUp once the time has passed; CutShort when the clock could not pass it all one
    // due timer at a time (SteppedClock::Walk). `settling` ends it instead once no transfer is in
    // flight or about to begin (see settle()).
    enum class Passed { Done, TimeUp, CutShort, Settled };
    Passed passTime(double seconds, const std::function<bool()>& done, bool settling = false);

    std::string lastError_;
    std::string lastSaid_;
    std::size_t failedCommands_ = 0;
    // lastSaid_ is screen text, escaped already.
    bool saidIsPrintable_ = false;
    std::size_t openedShown_ = 0;
    std::size_t handedShown_ = 0;
    // How many URLs the app had opened and documents handed on when a command began.
    struct EventCounts {
        std::size_t opened = 0;
        std::size_t handed = 0;
    };
    EventCounts previousCommand_;
    EventCounts thisCommand_;
    // The last touch, for counting the taps of the next one.
    struct LastTouch {
        CGPoint point;
        double time = 0;
        long taps = 0;
    };
    std::optional<LastTouch> lastTouch_;
};
