#include "platform/device/Driver.h"

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIRefreshControl.h"
#include "platform/uikit/UITabBarController.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {
// Enough passes to finish any chain of follow-up work, few enough to stop a loop that re-queues itself.
constexpr int kMaxDrainPasses = 10000;

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

std::string barItemText(const std::shared_ptr<UIBarButtonItem>& item) {
    if (!item) return "";
    std::string text = !item->title().empty() ? item->title() : DriverImageName(item->image());
    if (!item->isEnabled()) text += " (disabled)";
    return "[" + text + "]";
}

std::string accessoryText(const std::shared_ptr<UITableViewCell>& cell) {
    if (auto view = cell->accessoryView()) {
        if (auto button = std::dynamic_pointer_cast<UIButton>(view)) {
            if (!button->accessibilityLabel().empty()) return "[" + button->accessibilityLabel() + "]";
            if (!button->currentTitle().empty()) return "[" + button->currentTitle() + "]";
            auto image = button->currentBackgroundImage() ? button->currentBackgroundImage() : button->currentImage();
            return "[" + DriverImageName(image) + "]";
        }
        if (auto imageView = std::dynamic_pointer_cast<UIImageView>(view)) return "(" + DriverImageName(imageView->image()) + ")";
        return "[accessory]";
    }
    switch (cell->accessoryType()) {
    case UITableViewCellAccessoryDisclosureIndicator: return ">";
    case UITableViewCellAccessoryDetailDisclosureButton: return "[i] >";
    case UITableViewCellAccessoryCheckmark: return "(checked)";
    case UITableViewCellAccessoryDetailButton: return "[i]";
    case UITableViewCellAccessoryNone: break;
    }
    return "";
}

// The first table of a view tree, depth first.
std::shared_ptr<UITableView> findTable(const UIViewPtr& view) {
    if (!view || view->isHidden()) return nullptr;
    if (auto table = std::dynamic_pointer_cast<UITableView>(view)) return table;
    for (auto& s : view->subviews())
        if (auto table = findTable(s)) return table;
    return nullptr;
}

// The text a person sees on a view, or its accessibility label.
bool viewShows(const UIViewPtr& view, const std::string& text) {
    if (!view->accessibilityLabel().empty() && view->accessibilityLabel() == text) return true;
    if (auto label = std::dynamic_pointer_cast<UILabel>(view)) return label->text() == text;
    if (auto button = std::dynamic_pointer_cast<UIButton>(view)) {
        if (button->currentTitle() == text) return true;
        auto image = button->currentBackgroundImage() ? button->currentBackgroundImage() : button->currentImage();
        return image && image->name() == text;
    }
    return false;
}

UIViewPtr findShowing(const UIViewPtr& view, const std::string& text) {
    if (!view || view->isHidden() || view->alpha() < 0.01) return nullptr;
    // Front-most first, as a finger would meet them.
    for (auto it = view->subviews().rbegin(); it != view->subviews().rend(); ++it)
        if (auto found = findShowing(*it, text)) return found;
    return viewShows(view, text) ? view : nullptr;
}

// Digits only; a number too large for a row or tab is no number at all.
std::optional<long> parseIndex(const std::string& s) {
    long n = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
    if (s.empty() || s[0] < '0' || s[0] > '9' || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return n;
}

// A whole, finite, non-negative number of seconds: anything else would wait for ever or not at all.
std::optional<double> parseSeconds(const std::string& s) {
    if (s.empty()) return std::nullopt;
    char* end = nullptr;
    double seconds = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size() || !std::isfinite(seconds) || seconds < 0) return std::nullopt;
    return seconds;
}
} // namespace

std::string DriverImageName(const UIImagePtr& image) {
    if (!image) return "";
    return image->name().empty() ? "image" : image->name();
}

// The app's window, also while the system's alert window is key above it.
std::shared_ptr<UIWindow> Driver::window() const { return UIApplication::sharedApplication()->keyWindowUnderAlerts(); }

std::shared_ptr<UIViewController> Driver::topViewController() const {
    auto w = window();
    auto top = w ? w->rootViewController() : nullptr;
    while (top) {
        auto presented = top->presentedViewController();
        if (!presented || presented->modalPresentationStyle() == UIModalPresentationOverFullScreen) break;
        top = presented;
    }
    return top;
}

std::shared_ptr<UIActivityViewController> Driver::visibleSheet() const {
    auto top = topViewController();
    return top ? std::dynamic_pointer_cast<UIActivityViewController>(top->presentedViewController()) : nullptr;
}

std::shared_ptr<UIViewController> Driver::contentViewController() const {
    auto c = topViewController();
    while (c) {
        if (auto tabs = std::dynamic_pointer_cast<UITabBarController>(c)) {
            c = tabs->selectedViewController();
        } else if (auto nav = std::dynamic_pointer_cast<UINavigationController>(c)) {
            auto top = nav->topViewController();
            if (!top) break;
            c = top;
        } else {
            break;
        }
    }
    return c;
}

std::shared_ptr<UINavigationController> Driver::visibleNavigationController() const {
    auto content = contentViewController();
    return content ? content->navigationController() : nullptr;
}

std::shared_ptr<UITableView> Driver::visibleTable() const {
    auto content = contentViewController();
    return content && content->isViewLoaded() ? findTable(content->view()) : nullptr;
}

std::shared_ptr<UIAlertView> Driver::visibleAlert() const {
    auto& alerts = UIApplication::sharedApplication()->visibleAlerts();
    return alerts.empty() ? nullptr : alerts.back();
}

std::string Driver::screen() {
    std::ostringstream out;
    auto w = window();
    if (!w) return "(no window)\n";
    w->layoutIfNeeded();
    auto top = topViewController();
    auto content = contentViewController();
    out << "screen: " << (content ? content->className() : std::string("none")) << "\n";

    if (auto nav = visibleNavigationController()) {
        auto item = content->navigationItem();
        out << "nav: " << quoted(item->title());
        auto stack = nav->viewControllers();
        if (stack.size() > 1 && !item->hidesBackButton()) {
            auto previous = stack[stack.size() - 2];
            std::string backTitle = previous->navigationItem()->title().empty() ? "Back" : previous->navigationItem()->title();
            out << " | back: [< " << backTitle << "]";
        }
        if (auto left = item->leftBarButtonItem()) out << " | left: " << barItemText(left);
        if (auto right = item->rightBarButtonItem()) out << " | right: " << barItemText(right);
        out << "\n";
    }

    if (auto table = visibleTable()) {
        table->layoutIfNeeded();
        long total = 0;
        for (long s = 0; s < table->numberOfSections(); ++s) total += table->numberOfRowsInSection(s);
        auto visible = table->indexPathsForVisibleRows();
        if (visible.empty()) {
            out << "rows: none\n";
        } else {
            out << "rows " << visible.front().row << "-" << visible.back().row << " of " << total << ":\n";
            for (auto& indexPath : visible) {
                auto cell = table->cellForRowAtIndexPath(indexPath);
                out << "  " << indexPath.row << ": " << cell->textLabel()->text();
                if (auto detail = cell->detailTextLabel(); detail && !detail->text().empty()) out << " — " << detail->text();
                auto accessory = accessoryText(cell);
                if (!accessory.empty()) out << "  " << accessory;
                out << "\n";
            }
        }
    }

    if (auto tabs = std::dynamic_pointer_cast<UITabBarController>(top)) {
        out << "tabs:";
        auto items = tabs->tabBar()->items();
        for (std::size_t i = 0; i < items.size(); ++i) {
            out << (i ? " |" : "") << " ";
            bool selected = i == tabs->selectedIndex();
            out << (selected ? "*" : "") << quoted(items[i]->title()) << (items[i]->isEnabled() ? "" : " (disabled)");
        }
        out << "\n";
    }

    if (auto sheet = visibleSheet()) {
        out << "sheet: activity\n";
        for (auto& item : sheet->activityItems()) {
            auto url = item.objectAs<NSURL>();
            out << "  item: " << (url ? url->absoluteString() : item.description()) << "\n";
        }
        out << "  excluded: " << NSString::componentsJoinedByString(sheet->excludedActivityTypes(), ", ") << "\n";
        out << "  offers: " << NSString::componentsJoinedByString(sheet->availableActivityTypes(), ", ") << "\n";
    }

    for (auto& alert : UIApplication::sharedApplication()->visibleAlerts()) {
        out << "alert: " << quoted(alert->title());
        if (!alert->message().empty()) out << " " << quoted(alert->message());
        out << " buttons:";
        for (long i = 0; i < alert->numberOfButtons(); ++i) out << " [" << alert->buttonTitleAtIndex(i) << "]";
        if (auto accessory = std::dynamic_pointer_cast<UIImageView>(alert->accessoryView()))
            out << " image: " << DriverImageName(accessory->image());
        out << "\n";
    }

    auto& opened = UIApplication::sharedApplication()->openedURLs();
    for (auto& url : opened) out << "opened: " << url->absoluteString() << "\n";
    return out.str();
}

bool Driver::fail(const std::string& message) {
    lastError_ = message;
    return false;
}

bool Driver::touchControl(const std::shared_ptr<UIView>& view) {
    auto w = window();
    // The touch lands on whatever is front-most at the view's center, as a finger would.
    auto b = view->bounds();
    CGPoint inWindow = view->convertPointToView({b.origin.x + b.size.width / 2, b.origin.y + b.size.height / 2}, nullptr);
    auto hit = w ? w->hitTestWithEvent(inWindow, nullptr) : nullptr;
    if (!hit) hit = view;
    auto touch = std::make_shared<UITouch>(w, hit, inWindow);
    auto event = std::make_shared<UIEvent>(UIEventTypeTouches, UIEventSubtypeNone, std::vector<std::shared_ptr<UITouch>>{touch});
    for (auto v = hit; v; v = v->superview()) {
        if (auto control = std::dynamic_pointer_cast<UIControl>(v)) {
            if (!control->isEnabled()) return fail("that control is disabled");
            control->sendActionsForControlEvents(UIControlEventTouchDown, event);
            control->sendActionsForControlEvents(UIControlEventTouchUpInside, event);
            return true;
        }
        if (auto cell = std::dynamic_pointer_cast<UITableViewCell>(v)) {
            for (auto t = cell->superview(); t; t = t->superview()) {
                if (auto table = std::dynamic_pointer_cast<UITableView>(t)) {
                    auto indexPath = table->indexPathForCell(cell.get());
                    if (!indexPath) break;
                    return tapRow(indexPath->row);
                }
            }
        }
    }
    return fail("nothing to tap there");
}

bool Driver::tap(const std::string& text) {
    if (auto alert = visibleAlert()) return pressAlertButton(text);
    if (auto nav = visibleNavigationController()) {
        auto content = contentViewController();
        auto item = content->navigationItem();
        for (auto& barItem : {item->rightBarButtonItem(), item->leftBarButtonItem()}) {
            if (!barItem) continue;
            if (barItem->title() == text || barItem->accessibilityLabel() == text || DriverImageName(barItem->image()) == text) {
                if (!barItem->isEnabled()) return fail("that button is disabled");
                barItem->performAction();
                return true;
            }
        }
        auto stack = nav->viewControllers();
        if (stack.size() > 1) {
            auto previous = stack[stack.size() - 2]->navigationItem()->title();
            if (text == previous || text == "Back") return back();
        }
    }
    if (auto table = visibleTable()) {
        table->layoutIfNeeded();
        for (auto& indexPath : table->indexPathsForVisibleRows()) {
            if (table->cellForRowAtIndexPath(indexPath)->textLabel()->text() == text) return tapRow(indexPath.row);
        }
    }
    auto w = window();
    if (w) {
        w->layoutIfNeeded();
        if (auto found = findShowing(w, text)) return touchControl(found);
    }
    if (auto tabs = std::dynamic_pointer_cast<UITabBarController>(topViewController())) {
        for (auto& item : tabs->tabBar()->items())
            if (item->title() == text) return selectTab(text);
    }
    return fail("nothing on screen shows " + quoted(text));
}

std::shared_ptr<UITableViewCell> Driver::showRow(long row) {
    auto table = visibleTable();
    if (!table) return fail("no table on screen"), nullptr;
    table->layoutIfNeeded();
    if (row < 0 || row >= table->numberOfRowsInSection(0)) return fail("no row " + std::to_string(row)), nullptr;
    table->scrollToRowAtIndexPath({0, row}, UITableViewScrollPositionNone, false);
    table->layoutIfNeeded();
    return table->cellForRowAtIndexPath({0, row});
}

bool Driver::tapRow(long row) {
    auto cell = showRow(row);
    if (!cell) return false;
    auto table = visibleTable();
    NSIndexPath indexPath{0, row};
    table->selectRowAtIndexPath(indexPath, false, UITableViewScrollPositionNone);
    if (auto delegate = table->delegate()) delegate->tableViewDidSelectRowAtIndexPath(*table, indexPath);
    return true;
}

bool Driver::tapAccessory(long row) {
    auto cell = showRow(row);
    if (!cell) return false;
    if (auto accessory = cell->accessoryView()) return touchControl(accessory);
    auto type = cell->accessoryType();
    if (type == UITableViewCellAccessoryDetailButton || type == UITableViewCellAccessoryDetailDisclosureButton) {
        auto table = visibleTable();
        if (auto delegate = table->delegate()) delegate->tableViewAccessoryButtonTappedForRowWithIndexPath(*table, {0, row});
        return true;
    }
    return fail("row " + std::to_string(row) + " has no accessory button");
}

bool Driver::deleteRow(long row) {
    auto cell = showRow(row);
    if (!cell) return false;
    auto table = visibleTable();
    NSIndexPath indexPath{0, row};
    auto source = table->dataSource();
    auto delegate = table->delegate();
    if (!source || !source->tableViewCanEditRowAtIndexPath(*table, indexPath)) return fail("row " + std::to_string(row) + " cannot be deleted");
    auto style = delegate ? delegate->tableViewEditingStyleForRowAtIndexPath(*table, indexPath) : UITableViewCellEditingStyleDelete;
    if (style != UITableViewCellEditingStyleDelete) return fail("row " + std::to_string(row) + " cannot be deleted");
    source->tableViewCommitEditingStyleForRowAtIndexPath(*table, UITableViewCellEditingStyleDelete, indexPath);
    return true;
}

bool Driver::back() {
    auto nav = visibleNavigationController();
    if (!nav || nav->viewControllers().size() < 2) return fail("there is no back button");
    nav->popViewControllerAnimated(true);
    return true;
}

bool Driver::selectTab(const std::string& titleOrIndex) {
    auto tabs = std::dynamic_pointer_cast<UITabBarController>(topViewController());
    if (!tabs) return fail("no tab bar on screen");
    auto items = tabs->tabBar()->items();
    std::optional<std::size_t> index;
    if (auto n = parseIndex(titleOrIndex)) {
        if (static_cast<std::size_t>(*n) < items.size()) index = static_cast<std::size_t>(*n);
    } else {
        // The first enabled item of that title, else the first of that title.
        for (std::size_t i = 0; i < items.size() && !index; ++i)
            if (items[i]->title() == titleOrIndex && items[i]->isEnabled()) index = i;
        for (std::size_t i = 0; i < items.size() && !index; ++i)
            if (items[i]->title() == titleOrIndex) index = i;
    }
    if (!index) return fail("no tab " + quoted(titleOrIndex));
    if (!items[*index]->isEnabled()) return fail("tab " + std::to_string(*index) + " is disabled");
    tabs->tabBarDidSelectItemAtIndex(*index);
    return true;
}

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

bool Driver::pressAlertButton(const std::string& title) {
    auto alert = visibleAlert();
    if (!alert) return fail("no alert on screen");
    for (long i = 0; i < alert->numberOfButtons(); ++i) {
        if (alert->buttonTitleAtIndex(i) == title) {
            alert->clickButtonAtIndex(i);
            return true;
        }
    }
    return fail("the alert has no button " + quoted(title));
}

bool Driver::completeSheet(const std::string& activityType) {
    auto sheet = visibleSheet();
    if (!sheet) return fail("no activity sheet on screen");
    std::string type = activityType.empty() ? UIActivityTypeAirDrop : activityType;
    if (!sheet->finishWithActivityType(type)) return fail("the sheet does not offer " + type);
    return true;
}

bool Driver::cancelSheet() {
    auto sheet = visibleSheet();
    if (!sheet) return fail("no activity sheet on screen");
    sheet->cancel();
    return true;
}

bool Driver::pullToRefresh() {
    auto table = visibleTable();
    if (!table) return fail("no table on screen");
    for (auto& v : table->subviews()) {
        if (auto refresh = std::dynamic_pointer_cast<UIRefreshControl>(v)) {
            refresh->pull();
            return true;
        }
    }
    return fail("the table has no refresh control");
}

void Driver::drain() {
    auto loop = NSRunLoop::mainRunLoop();
    for (int i = 0; i < kMaxDrainPasses && loop->runOnce(0); ++i) {
    }
}

void Driver::advance(double seconds) {
    drain();
    if (PlatformClock::isManual()) {
        PlatformClock::advance(seconds);
        drain();
    } else {
        NSRunLoop::mainRunLoop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(seconds));
    }
}

std::string Driver::help() {
    return "commands:\n"
           "  screen                 show the screen\n"
           "  tap TEXT               tap what shows TEXT (a row, a button, a bar button, a tab, an alert button)\n"
           "  row N                  tap row N\n"
           "  accessory N            tap the accessory button of row N\n"
           "  delete N               swipe row N and delete it\n"
           "  back                   the navigation bar's back button\n"
           "  tab N|TITLE            select a tab\n"
           "  refresh                pull the table down to refresh\n"
           "  shake                  shake the device\n"
           "  open URL [SOURCE]      hand the app a URL, as the system does\n"
           "  press TITLE            press an alert's button\n"
           "  airdrop                complete the activity sheet through AirDrop\n"
           "  complete TYPE          complete the activity sheet with another activity type\n"
           "  cancel                 cancel the activity sheet\n"
           "  wait SECONDS           let time pass\n"
           "  help                   this list\n"
           "  quit                   end the app\n";
}

std::string Driver::execute(const std::string& rawLine, bool* quit) {
    std::string line = NSString::stringByTrimmingWhitespaceAndNewlines(rawLine);
    if (quit) *quit = false;
    if (line.empty() || line[0] == '#') return "";
    auto space = line.find(' ');
    std::string command = line.substr(0, space);
    std::string argument = space == std::string::npos ? "" : NSString::stringByTrimmingWhitespace(line.substr(space + 1));
    lastError_.clear();
    bool ok = true;
    auto needIndex = [&](auto action) {
        auto n = parseIndex(argument);
        return n ? action(*n) : fail(command + " needs a row number");
    };
    if (command == "screen") return screen();
    if (command == "help") return help();
    if (command == "quit" || command == "exit") {
        if (quit) *quit = true;
        return "";
    }
    if (command == "tap") ok = argument.empty() ? fail("tap what?") : tap(argument);
    else if (command == "row") ok = needIndex([&](long n) { return tapRow(n); });
    else if (command == "accessory") ok = needIndex([&](long n) { return tapAccessory(n); });
    else if (command == "delete") ok = needIndex([&](long n) { return deleteRow(n); });
    else if (command == "back") ok = back();
    else if (command == "tab") ok = selectTab(argument);
    else if (command == "refresh") ok = pullToRefresh();
    else if (command == "shake") ok = shake();
    else if (command == "open") {
        auto parts = NSString::componentsSeparatedByString(argument, " ");
        ok = argument.empty() ? fail("open what?") : openURL(parts[0], parts.size() > 1 ? parts[1] : "com.apple.mobilesafari");
    } else if (command == "press") ok = pressAlertButton(argument);
    else if (command == "airdrop") ok = completeSheet(UIActivityTypeAirDrop);
    else if (command == "complete") ok = completeSheet(argument);
    else if (command == "cancel") ok = cancelSheet();
    else if (command == "wait") {
        auto seconds = parseSeconds(argument);
        if (!seconds) ok = fail("wait needs a number of seconds");
        else advance(*seconds);
    } else ok = fail("unknown command " + quoted(command) + " (help lists the commands)");
    drain();
    return ok ? "" : "error: " + lastError_ + "\n";
}
