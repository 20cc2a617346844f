#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIFingers.h"
#include "platform/uikit/UIPageControl.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
// Writes what the scroll view tells it, with the offset at that moment.
class Listener : public UIScrollViewDelegate {
public:
    std::vector<std::string> log;
    std::vector<CGFloat> scrolledX;
    void scrollViewDidScroll(UIScrollView& v) override { scrolledX.push_back(v.contentOffset().x); }
    void scrollViewWillBeginDragging(UIScrollView&) override { log.push_back("begin"); }
    void scrollViewDidEndDraggingWillDecelerate(UIScrollView&, bool d) override { log.push_back(d ? "end-decelerate" : "end"); }
    void scrollViewDidEndDecelerating(UIScrollView& v) override { log.push_back("rest " + std::to_string(int(v.contentOffset().x))); }
    void scrollViewDidEndScrollingAnimation(UIScrollView& v) override {
        log.push_back("animated " + std::to_string(int(v.contentOffset().x)));
    }
};

// Three pages of 320 by 200 in a window, with a listener.
struct Pager {
    std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    std::shared_ptr<UIScrollView> scroll = std::make_shared<UIScrollView>(CGRectMake(0, 100, 320, 200));
    std::shared_ptr<Listener> listener = std::make_shared<Listener>();
    Pager() {
        scroll->setContentSize(CGSizeMake(960, 200));
        scroll->setPagingEnabled(true);
        scroll->setDelegate(listener);
        window->addSubview(scroll);
    }
    void drag(CGFloat fromX, CGFloat toX, int steps) { UIFingers(window).drag({fromX, 200}, {toX, 200}, steps); }
};
} // namespace

TEST(UIScrollView, OffsetIsTheBoundsOriginAndMovesSubviews) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    auto scroll = std::make_shared<UIScrollView>(CGRectMake(0, 0, 320, 200));
    window->addSubview(scroll);
    auto child = std::make_shared<UIView>(CGRectMake(400, 10, 50, 50));
    scroll->addSubview(child);
    scroll->setContentSize(CGSizeMake(960, 200));
    scroll->setContentOffset({320, 0});
    EXPECT_EQ(scroll->bounds().origin, CGPointMake(320, 0));
    EXPECT_EQ(child->convertPointToView({0, 0}, nullptr), CGPointMake(80, 10));
    EXPECT_EQ(scroll->maximumContentOffset(), CGPointMake(640, 0));
}

TEST(UIScrollView, PagingDragPassesTheOffsetsBetweenAndSettlesOnAPage) {
    struct Case {
        const char* name;
        CGFloat startPage;
        CGFloat fromX, toX;
        int steps;
        CGFloat restX;
    };
    const Case cases[] = {
        {"a slow drag past half a page turns it", 0, 300, 100, 40, 320},
        {"a slow short drag springs back", 0, 300, 200, 40, 0},
        {"a short flick turns the page", 0, 300, 220, 2, 320},
        {"a flick right from the middle page", 1, 20, 120, 2, 0},
        {"no page past the last", 2, 300, 20, 4, 640},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        Pager p;
        p.scroll->setContentOffset({c.startPage * 320, 0});
        p.listener->scrolledX.clear();
        p.drag(c.fromX, c.toX, c.steps);
        EXPECT_FALSE(p.scroll->isDragging());
        drainMain();
        EXPECT_EQ(p.scroll->contentOffset().x, c.restX);
        EXPECT_FALSE(p.scroll->isDecelerating());
        ASSERT_EQ(p.listener->log.size(), 3u);
        EXPECT_EQ(p.listener->log[0], "begin");
        EXPECT_EQ(p.listener->log[1], "end-decelerate");
        EXPECT_EQ(p.listener->log[2], "rest " + std::to_string(int(c.restX)));
        // The offsets run one way to the page, never beyond the content.
        for (auto x : p.listener->scrolledX) {
            EXPECT_GE(x, 0);
            EXPECT_LE(x, 640);
        }
        if (c.startPage * 320 != c.restX) {
            EXPECT_GT(p.listener->scrolledX.size(), 3u);
        }
    }
}

TEST(UIScrollView, SettleTakesMainLoopPassesAndANewDragStopsIt) {
    Pager p;
    p.drag(300, 200, 2);
    EXPECT_TRUE(p.scroll->isDecelerating());
    CGFloat released = p.scroll->contentOffset().x;
    EXPECT_GT(released, 0);
    EXPECT_LT(released, 320);
    // A finger landing again takes the content where it is; the old settle never reports.
    p.scroll->setContentOffset({released, 0});
    drainMain();
    EXPECT_EQ(p.scroll->contentOffset().x, released);
    EXPECT_EQ(p.listener->log.back(), "end-decelerate");
}

TEST(UIScrollView, AnimatedOffsetEndsWithTheAnimationCallback) {
    Pager p;
    p.scroll->setContentOffsetAnimated({640, 0}, true);
    EXPECT_EQ(p.scroll->contentOffset().x, 0);
    drainMain();
    EXPECT_EQ(p.scroll->contentOffset().x, 640);
    EXPECT_EQ(p.listener->log, (std::vector<std::string>{"animated 640"}));
    EXPECT_EQ(p.listener->scrolledX.size(), static_cast<std::size_t>(UIScrollView::kSettleSteps));
    p.scroll->setContentOffsetAnimated({0, 0}, false);
    EXPECT_EQ(p.scroll->contentOffset().x, 0);
}

TEST(UIScrollView, NonPagingDragStaysWhereReleasedWithinTheContent) {
    Pager p;
    p.scroll->setPagingEnabled(false);
    p.drag(300, 150, 10);
    drainMain();
    EXPECT_EQ(p.scroll->contentOffset().x, 150);
    EXPECT_EQ(p.listener->log, (std::vector<std::string>{"begin", "end"}));
    p.drag(10, 310, 10); // past the start: held at 0
    EXPECT_EQ(p.scroll->contentOffset().x, 0);
    // Content that fits does not move along that axis.
    p.scroll->setContentSize(CGSizeMake(320, 200));
    p.drag(300, 100, 10);
    EXPECT_EQ(p.scroll->contentOffset().x, 0);
}

TEST(UIScrollView, SwipeCommandMovesAPageOrRefuses) {
    Pager p;
    UIScreenReply reply;
    EXPECT_TRUE(p.scroll->swipe(UIScrollViewSwipe::Left, reply));
    drainMain();
    EXPECT_EQ(p.scroll->contentOffset().x, 320);
    EXPECT_TRUE(p.scroll->swipe(UIScrollViewSwipe::Right, reply));
    drainMain();
    EXPECT_EQ(p.scroll->contentOffset().x, 0);
    EXPECT_FALSE(p.scroll->swipe(UIScrollViewSwipe::Up, reply));
    EXPECT_EQ(reply.error, "nothing on screen scrolls up or down");
    EXPECT_FALSE(UIScrollViewSwipeFromName("sideways"));
}

TEST(UIScrollView, ADragOverATableScrollsItAndSelectsNoRow) {
    class Rows : public UITableViewDataSource, public UITableViewDelegate {
    public:
        long tableViewNumberOfRowsInSection(UITableView&, long) override { return 50; }
        std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&, const NSIndexPath&) override {
            return UITableViewCell::initWithStyleReuseIdentifier(UITableViewCellStyleDefault, "Cell");
        }
        void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath&) override { ++selected; }
        void scrollViewDidScroll(UIScrollView&) override { ++scrolled; }
        int selected = 0;
        int scrolled = 0;
    };
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    auto table = std::make_shared<UITableView>(CGRectMake(0, 0, 320, 440), UITableViewStylePlain);
    auto rows = std::make_shared<Rows>();
    table->setDataSource(rows);
    table->setDelegate(rows);
    window->addSubview(table);
    table->layoutIfNeeded();
    UIFingers(window).drag({160, 400}, {160, 100}, 10);
    EXPECT_EQ(table->contentOffset().y, 300);
    EXPECT_GT(rows->scrolled, 0);
    EXPECT_EQ(rows->selected, 0);
    UIFingers(window).tap({160, 20});
    EXPECT_EQ(rows->selected, 1);
}

TEST(UIPageControl, TouchesStepByHalfAndReportChanges) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    auto control = std::make_shared<UIPageControl>(CGRectMake(60, 400, 200, 36));
    window->addSubview(control);
    control->setNumberOfPages(3);
    int changes = 0;
    control->addTargetActionForControlEvents(
        window, [&](NSObject&, UIControl&, UIEvent*) { ++changes; }, UIControlEventValueChanged);
    const struct {
        CGFloat x;
        long page;
        int changes;
    } steps[] = {{250, 1, 1}, {250, 2, 2}, {250, 2, 2}, {70, 1, 3}, {70, 0, 4}, {70, 0, 4}};
    for (auto& s : steps) {
        UIFingers(window).tap({s.x, 410});
        EXPECT_EQ(control->currentPage(), s.page);
        EXPECT_EQ(changes, s.changes);
    }
    control->setCurrentPage(7);
    EXPECT_EQ(control->currentPage(), 2);
    control->setNumberOfPages(0);
    EXPECT_EQ(control->currentPage(), 0);
}
