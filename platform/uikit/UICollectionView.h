#pragma once
// Collection views: the items of one section from a data source, laid out by a flow layout, with
// cells only for the items on screen, reused by identifier; single or multiple selection, a footer
// from the data source and a background view behind the content.
#include "platform/uikit/NSIndexPath.h"
#include "platform/uikit/UICollectionViewCell.h"
#include "platform/uikit/UICollectionViewFlowLayout.h"
#include "platform/uikit/UIScrollView.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class UICollectionView;

inline constexpr char UICollectionElementKindSectionFooter[] = "UICollectionElementKindSectionFooter";

enum UICollectionViewScrollPosition : unsigned long {
    UICollectionViewScrollPositionNone = 0,
    UICollectionViewScrollPositionTop = 1 << 0,
    UICollectionViewScrollPositionCenteredVertically = 1 << 1,
    UICollectionViewScrollPositionBottom = 1 << 2,
};

class UICollectionViewDataSource {
public:
    virtual ~UICollectionViewDataSource() = default;
    virtual long collectionViewNumberOfItemsInSection(UICollectionView& collectionView, long section) = 0;
    virtual UICollectionViewCellPtr collectionViewCellForItemAtIndexPath(UICollectionView& collectionView,
                                                                         const NSIndexPath& indexPath) = 0;
    // The footer (kind UICollectionElementKindSectionFooter) when the layout gives it a height.
    virtual UIViewPtr collectionViewViewForSupplementaryElementOfKindAtIndexPath(UICollectionView&, const std::string&,
                                                                                 const NSIndexPath&) {
        return nullptr;
    }
};

class UICollectionViewDelegate : public UIScrollViewDelegate {
public:
    virtual bool collectionViewShouldSelectItemAtIndexPath(UICollectionView&, const NSIndexPath&) { return true; }
    virtual void collectionViewDidSelectItemAtIndexPath(UICollectionView&, const NSIndexPath&) {}
    virtual bool collectionViewShouldDeselectItemAtIndexPath(UICollectionView&, const NSIndexPath&) { return true; }
    virtual void collectionViewDidDeselectItemAtIndexPath(UICollectionView&, const NSIndexPath&) {}
    // Around a touch on an item: the highlight while the finger is down.
    virtual bool collectionViewShouldHighlightItemAtIndexPath(UICollectionView&, const NSIndexPath&) { return true; }
    virtual void collectionViewDidHighlightItemAtIndexPath(UICollectionView&, const NSIndexPath&) {}
    virtual void collectionViewDidUnhighlightItemAtIndexPath(UICollectionView&, const NSIndexPath&) {}
};

class UICollectionView : public UIScrollView {
public:
    using CellFactory = std::function<UICollectionViewCellPtr(const CGRect& frame)>;

    UICollectionView(const CGRect& frame, UICollectionViewFlowLayoutPtr layout);

    const UICollectionViewFlowLayoutPtr& collectionViewLayout() const { return layout_; }
    // The items move to their places in the new layout; the headless view has nothing to animate.
    void setCollectionViewLayoutAnimated(const UICollectionViewFlowLayoutPtr& layout, bool animated);
    std::shared_ptr<UICollectionViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(const std::shared_ptr<UICollectionViewDataSource>& dataSource);
    std::shared_ptr<UICollectionViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UICollectionViewDelegate>& delegate) {
        delegate_ = delegate;
        UIScrollView::setDelegate(delegate);
    }

    // The cells handed out under the identifier are made by the factory when none waits for reuse.
    void registerCellFactoryForReuseIdentifier(CellFactory factory, const std::string& identifier);
    // The same for supplementary views (the section footer) of a kind.
    using SupplementaryFactory = std::function<UIViewPtr(const CGRect& frame)>;
    void registerSupplementaryFactoryForKindWithReuseIdentifier(SupplementaryFactory factory, const std::string& kind,
                                                                const std::string& identifier);
    // The view shown for the kind until now when it was made under the identifier, else a new one
    // from the factory; nil for an unregistered identifier.
    UIViewPtr dequeueReusableSupplementaryViewOfKindWithReuseIdentifierForIndexPath(const std::string& kind, const std::string& identifier,
                                                                                   const NSIndexPath& indexPath);
    // A waiting cell (prepared for reuse) or a new one; a plain cell for an unregistered identifier.
    UICollectionViewCellPtr dequeueReusableCellWithReuseIdentifierForIndexPath(const std::string& identifier,
                                                                              const NSIndexPath& indexPath);

    void reloadData();
    long numberOfItemsInSection(long section);
    UICollectionViewCellPtr cellForItemAtIndexPath(const NSIndexPath& indexPath) const;
    std::vector<NSIndexPath> indexPathsForVisibleItems() const;
    std::vector<UICollectionViewCellPtr> visibleCells() const;
    std::optional<NSIndexPath> indexPathForItemAtPoint(CGPoint point);
    UIViewPtr footerView() const { return footer_; }

    bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool allows) { allowsSelection_ = allows; }
    bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
    void setAllowsMultipleSelection(bool allows) { allowsMultipleSelection_ = allows; }
    // In item order.
    std::vector<NSIndexPath> indexPathsForSelectedItems() const { return {selected_.begin(), selected_.end()}; }
    // Programmatic: the delegate is not asked or told.
    void selectItemAtIndexPath(const NSIndexPath& indexPath, bool animated, UICollectionViewScrollPosition position);
    void deselectItemAtIndexPath(const NSIndexPath& indexPath, bool animated);

    UIViewPtr backgroundView() const { return background_; }
    void setBackgroundView(const UIViewPtr& view);

    void scrollToItemAtIndexPath(const NSIndexPath& indexPath, UICollectionViewScrollPosition position, bool animated);

    CGSize contentSize() override;
    void layoutSubviews() override;
    // A touch on an item, as a finger: selects it, or deselects a selected one under multiple
    // selection, asking the delegate first.
    bool touchItem(long item, UIScreenReply& reply);
    // The driver: "items 0-5 of 12:", a line per item on screen (its accessibility label, or
    // "image"; "selected" and "disabled" marks), the footer's text, and the command `item N`.
    void describeToScreen(UIScreenDescription& screen) override;
    TapOutcome tapWithEvent(const std::shared_ptr<UIEvent>& event, UIScreenReply& reply) override;

private:
    CGFloat width() const { return bounds().size.width; }
    void loadCountIfNeeded();
    void placeFooter();
    std::string itemText(const UICollectionViewCellPtr& cell) const;

    UICollectionViewFlowLayoutPtr layout_;
    std::weak_ptr<UICollectionViewDataSource> dataSource_;
    std::weak_ptr<UICollectionViewDelegate> delegate_;
    std::map<std::string, CellFactory> factories_;
    std::map<std::string, SupplementaryFactory> supplementaryFactories_;
    std::map<std::string, UIViewPtr> supplementaryPool_;
    std::map<std::string, std::vector<UICollectionViewCellPtr>> reusePool_;
    std::map<NSIndexPath, UICollectionViewCellPtr> visible_;
    std::set<NSIndexPath> selected_;
    std::optional<long> count_;
    UIViewPtr footer_;
    UIViewPtr background_;
    bool allowsSelection_ = true;
    bool allowsMultipleSelection_ = false;
};
