#include "platform/uikit/UICollectionView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScreenDescription.h"

#include <gtest/gtest.h>

namespace {
// A grid of numbered items; item 3 cannot be touched. It records what the delegate hears.
class Grid : public UICollectionViewDataSource, public UICollectionViewDelegate {
public:
    explicit Grid(long items) : items(items) {}
    long collectionViewNumberOfItemsInSection(UICollectionView&, long) override { return items; }
    UICollectionViewCellPtr collectionViewCellForItemAtIndexPath(UICollectionView& view, const NSIndexPath& indexPath) override {
        auto cell = view.dequeueReusableCellWithReuseIdentifierForIndexPath("Cell", indexPath);
        cell->setAccessibilityLabel(indexPath.item() % 2 ? "photo " + std::to_string(indexPath.item()) : "");
        cell->setUserInteractionEnabled(indexPath.item() != 3);
        return cell;
    }
    UIViewPtr collectionViewViewForSupplementaryElementOfKindAtIndexPath(UICollectionView&, const std::string& kind,
                                                                         const NSIndexPath&) override {
        auto label = std::make_shared<UILabel>(CGRectZero);
        label->setText(kind == UICollectionElementKindSectionFooter ? std::to_string(items) + " Photos" : "?");
        return label;
    }
    bool collectionViewShouldSelectItemAtIndexPath(UICollectionView& view, const NSIndexPath&) override {
        return static_cast<long>(view.indexPathsForSelectedItems().size()) < limit;
    }
    void collectionViewDidSelectItemAtIndexPath(UICollectionView&, const NSIndexPath& indexPath) override {
        heard.push_back("+" + std::to_string(indexPath.item()));
    }
    void collectionViewDidDeselectItemAtIndexPath(UICollectionView&, const NSIndexPath& indexPath) override {
        heard.push_back("-" + std::to_string(indexPath.item()));
    }
    long items;
    long limit = 100;
    std::vector<std::string> heard;
};

struct GridFixture {
    explicit GridFixture(long items) : grid(std::make_shared<Grid>(items)) {
        auto layout = std::make_shared<UICollectionViewFlowLayout>();
        layout->itemSize = CGSizeMake(100, 100);
        layout->minimumInteritemSpacing = 5;
        layout->minimumLineSpacing = 10;
        layout->sectionInset = UIEdgeInsets{10, 0, 10, 0};
        layout->footerReferenceSize = CGSizeMake(320, 40);
        view = std::make_shared<UICollectionView>(CGRectMake(0, 0, 320, 400), layout);
        view->registerCellFactoryForReuseIdentifier(
            [this](const CGRect& frame) {
                ++made;
                return std::make_shared<UICollectionViewCell>(frame);
            },
            "Cell");
        view->setDataSource(grid);
        view->setDelegate(grid);
        view->layoutIfNeeded();
    }
    std::string screen() {
        UIScreenDescription description;
        description.describeView(view);
        return description.text();
    }
    bool item(long n) {
        UIScreenReply reply;
        UIScreenDescription description;
        description.describeView(view);
        return description.perform("item", std::to_string(n), reply).value_or(false);
    }
    std::shared_ptr<Grid> grid;
    std::shared_ptr<UICollectionView> view;
    int made = 0;
};
} // namespace

TEST(UICollectionView, FlowLayoutPlacesRowsAndTheFooterAndMakesCellsOnlyForVisibleItems) {
    GridFixture f(1000);
    // Three columns of 100 in 320 points: 10 spare points spread over two gaps.
    EXPECT_EQ(f.view->cellForItemAtIndexPath({0, 2})->frame(), CGRectMake(220, 10, 100, 100));
    EXPECT_EQ(f.view->cellForItemAtIndexPath({0, 4})->frame(), CGRectMake(110, 120, 100, 100));
    // Rows start at 10, 120, 230, 340: four rows show in 400 points.
    EXPECT_EQ(f.view->visibleCells().size(), 12u);
    EXPECT_EQ(f.made, 12);
    // 334 rows: 10 + 334*100 + 333*10 + 10, then the footer's 40.
    EXPECT_EQ(f.view->contentSize().height, 10 + 33400 + 3330 + 10 + 40);
    EXPECT_EQ(f.view->footerView()->frame(), CGRectMake(0, 36750, 320, 40));

    f.view->scrollToItemAtIndexPath({0, 999}, UICollectionViewScrollPositionNone, false);
    f.view->layoutIfNeeded();
    // Just enough to show the last item: above the bottom inset and the footer.
    EXPECT_EQ(f.view->contentOffset().y, f.view->maximumContentOffset().y - 10 - 40);
    EXPECT_TRUE(f.view->cellForItemAtIndexPath({0, 999}));
    EXPECT_FALSE(f.view->cellForItemAtIndexPath({0, 0}));
    EXPECT_LE(f.made, 15) << "cells that left the screen are reused";
}

TEST(UICollectionView, TouchesSelectOneOrManyAskingTheDelegate) {
    GridFixture f(9);
    EXPECT_TRUE(f.item(0));
    EXPECT_TRUE(f.item(1));
    EXPECT_EQ(f.grid->heard, (std::vector<std::string>{"+0", "-0", "+1"})) << "a single selection moves";
    EXPECT_FALSE(f.item(3)) << "a disabled item refuses the touch";
    EXPECT_FALSE(f.item(9));

    f.grid->heard.clear();
    f.view->setAllowsMultipleSelection(true);
    f.grid->limit = 2;
    EXPECT_TRUE(f.item(4));
    EXPECT_TRUE(f.item(5)) << "the delegate turns it down; the touch itself lands";
    EXPECT_TRUE(f.item(1)) << "touching a selected item deselects it";
    EXPECT_TRUE(f.item(5));
    EXPECT_EQ(f.grid->heard, (std::vector<std::string>{"+4", "-1", "+5"}));
    EXPECT_EQ(f.view->indexPathsForSelectedItems(), (std::vector<NSIndexPath>{{0, 4}, {0, 5}}));
    EXPECT_TRUE(f.view->cellForItemAtIndexPath({0, 5})->isSelected());

    f.view->reloadData();
    EXPECT_TRUE(f.view->indexPathsForSelectedItems().empty());
}

TEST(UICollectionView, TheScreenListsItemsByLabelOrImageWithMarksAndTheFooter) {
    GridFixture f(5);
    f.view->selectItemAtIndexPath({0, 1}, false, UICollectionViewScrollPositionNone);
    auto background = std::make_shared<UIView>(CGRectZero);
    f.view->setBackgroundView(background);
    f.view->layoutIfNeeded();
    EXPECT_EQ(background->frame(), f.view->bounds());
    EXPECT_EQ(f.view->subviews().front(), background);
    auto text = f.screen();
    for (const char* line : {"items 0-4 of 5:", "  0: image", "  1: photo 1 [selected]", "  3: photo 3 [disabled]", "footer: 5 Photos"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}
