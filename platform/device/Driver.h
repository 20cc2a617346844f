#pragma once
// The driver: reads the headless screen as text and acts on it as a person would with a touch
// screen. Tests use it directly; the binary reads its commands from a script or standard input.

#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

#include <memory>
#include <optional>
#include <string>

class Driver {
public:
    // The screen of the application's key window, as text.
    std::string screen();

    // One command line; returns what the command says back (empty when it just acted), or an
    // error beginning with "error: ". `quit` becomes true for the quit command.
    std::string execute(const std::string& line, bool* quit = nullptr);
    static std::string help();

    // Acting. Each returns false (and sets lastError) when there is nothing to act on.
    bool tap(const std::string& text);
    bool tapRow(long row);
    bool tapAccessory(long row);
    bool deleteRow(long row);
    bool back();
    bool selectTab(const std::string& titleOrIndex);
    bool shake();
    bool openURL(const std::string& url, const std::string& sourceApplication);
    bool pressAlertButton(const std::string& title);
    bool completeSheet(const std::string& activityType);
    bool cancelSheet();
    bool pullToRefresh();
    // Lets time pass: the platform clock moves on (manual clock) or the main loop runs for that long.
    void advance(double seconds);
    // Runs the main loop until nothing is left to do now.
    void drain();
    const std::string& lastError() const { return lastError_; }

    // What the screen shows.
    std::shared_ptr<UIWindow> window() const;
    // The full-screen controller on top (following presentations), and the sheet over it if any.
    std::shared_ptr<UIViewController> topViewController() const;
    std::shared_ptr<UIActivityViewController> visibleSheet() const;
    // The innermost content controller of the top controller (inside tab bar and navigation).
    std::shared_ptr<UIViewController> contentViewController() const;
    std::shared_ptr<UINavigationController> visibleNavigationController() const;
    std::shared_ptr<UITableView> visibleTable() const;
    std::shared_ptr<UIAlertView> visibleAlert() const;

private:
    bool fail(const std::string& message);
    bool touchControl(const std::shared_ptr<UIView>& view);
    std::shared_ptr<UITableViewCell> showRow(long row);
    std::string lastError_;
};

// How the screen names an image: its bundle name, or "image".
std::string DriverImageName(const UIImagePtr& image);
