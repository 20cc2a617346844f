#include "platform/uikit/UIButton.h"
#include "platform/uikit/UITableViewController.h"

#include <gtest/gtest.h>

namespace {
class CountingTable : public UITableViewController {
public:
    explicit CountingTable(long rows) : rows(rows) {}
    long tableViewNumberOfRowsInSection(UITableView&, long) override { return rows; }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& tableView, const NSIndexPath& indexPath) override {
        ++asked;
        auto cell = tableView.dequeueReusableCellWithIdentifier("Cell");
        if (!cell) {
            ++made;
            cell = UITableViewCell::initWithStyleReuseIdentifier(UITableViewCellStyleSubtitle, "Cell");
        }
        cell->textLabel()->setText("row " + std::to_string(indexPath.row));
        return cell;
    }
    long rows;
    int asked = 0;
    int made = 0;
};
} // namespace

TEST(UITableView, MakesCellsOnlyForRowsOnScreenAndReusesThem) {
    auto controller = std::make_shared<CountingTable>(100000);
    auto table = controller->tableView();
    table->setFrame(CGRectMake(0, 0, 320, 440)); // ten rows of 44 points
    table->layoutIfNeeded();
    EXPECT_EQ(table->visibleCells().size(), 10u);
    EXPECT_EQ(controller->made, 10);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 9})->textLabel()->text(), "row 9");
    EXPECT_FALSE(table->cellForRowAtIndexPath({0, 10}));
    EXPECT_EQ(table->contentSize().height, 4400000);

    // Half a row down: eleven rows show; the cells that left are reused, none is made anew.
    table->scrollToRowAtIndexPath({0, 99990}, UITableViewScrollPositionTop, false);
    table->layoutIfNeeded();
    EXPECT_EQ(table->contentOffset().y, 4400000 - 440); // clamped to the end
    EXPECT_EQ(table->indexPathsForVisibleRows().front(), (NSIndexPath{0, 99990}));
    EXPECT_EQ(controller->made, 10);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 99999})->textLabel()->text(), "row 99999");
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 99999})->frame().origin.y, 99999 * 44);
}

TEST(UITableView, RowAtPointAccountsForScrollingAndEnds) {
    auto controller = std::make_shared<CountingTable>(3);
    auto table = controller->tableView();
    table->setFrame(CGRectMake(0, 0, 320, 440));
    table->layoutIfNeeded();
    EXPECT_EQ(table->indexPathForRowAtPoint({10, 50}), (NSIndexPath{0, 1}));
    EXPECT_FALSE(table->indexPathForRowAtPoint({10, 132}));
    EXPECT_FALSE(table->indexPathForRowAtPoint({10, -1}));
    auto footer = std::make_shared<UIView>(CGRectMake(0, 0, 320, 20));
    table->setTableFooterView(footer);
    table->layoutIfNeeded();
    EXPECT_EQ(footer->frame(), CGRectMake(0, 132, 320, 20));
    // A button inside a cell finds its row through the touch location.
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(CGRectMake(0, 0, 26, 26));
    table->cellForRowAtIndexPath({0, 2})->setAccessoryView(button);
    table->layoutIfNeeded();
    auto inTable = button->convertPointToView({13, 13}, table);
    EXPECT_EQ(table->indexPathForRowAtPoint(inTable), (NSIndexPath{0, 2}));
    EXPECT_EQ(button->frame().origin.x, 320 - 15 - 26);
}

TEST(UITableView, ReloadAsksTheDataSourceAgainAndKeepsForeignSubviews) {
    auto controller = std::make_shared<CountingTable>(5);
    auto table = controller->tableView();
    table->setFrame(CGRectMake(0, 0, 320, 440));
    auto extra = std::make_shared<UIView>();
    table->addSubview(extra);
    table->layoutIfNeeded();
    EXPECT_EQ(controller->asked, 5);
    controller->rows = 2;
    table->reloadSectionsWithRowAnimation({0}, UITableViewRowAnimationFade);
    table->layoutIfNeeded();
    EXPECT_EQ(controller->asked, 7);
    EXPECT_EQ(table->numberOfRowsInSection(0), 2);
    EXPECT_EQ(table->visibleCells().size(), 2u);
    EXPECT_EQ(table->lastRowAnimation(), UITableViewRowAnimationFade);
    EXPECT_EQ(extra->superview(), table);
    EXPECT_EQ(controller->made, 5);
}

TEST(UITableView, SelectionFollowsTheCell) {
    auto controller = std::make_shared<CountingTable>(5);
    auto table = controller->tableView();
    table->setFrame(CGRectMake(0, 0, 320, 440));
    table->layoutIfNeeded();
    table->selectRowAtIndexPath(NSIndexPath{0, 1}, false, UITableViewScrollPositionNone);
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 1})->isSelected());
    table->deselectRowAtIndexPathAnimated({0, 1}, true);
    EXPECT_FALSE(table->cellForRowAtIndexPath({0, 1})->isSelected());
    EXPECT_FALSE(table->indexPathForSelectedRow());
}
