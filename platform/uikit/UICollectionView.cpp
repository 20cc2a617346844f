#include "platform/uikit/UICollectionView.h"

#include "platform/uikit/UIEvent.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScreenDescription.h"

#include <algorithm>
#include <cmath>

UICollectionView::UICollectionView(const CGRect& frame, UICollectionViewFlowLayoutPtr layout)
    : UIScrollView(frame), layout_(layout ? std::move(layout) : std::make_shared<UICollectionViewFlowLayout>()) {}

void UICollectionView::setDataSource(const std::shared_ptr<UICollectionViewDataSource>& dataSource) {
    dataSource_ = dataSource;
    reloadData();
}

void UICollectionView::registerCellFactoryForReuseIdentifier(CellFactory factory, const std::string& identifier) {
    factories_[identifier] = std::move(factory);
}

void UICollectionView::setCollectionViewLayoutAnimated(const UICollectionViewFlowLayoutPtr& layout, bool) {
    if (!layout) return;
    layout_ = layout;
    setNeedsLayout();
}

void UICollectionView::registerSupplementaryFactoryForKindWithReuseIdentifier(SupplementaryFactory factory, const std::string& kind,
                                                                              const std::string& identifier) {
    supplementaryFactories_[kind + "/" + identifier] = std::move(factory);
}

UIViewPtr UICollectionView::dequeueReusableSupplementaryViewOfKindWithReuseIdentifierForIndexPath(const std::string& kind,
                                                                                                const std::string& identifier,
                                                                                                const NSIndexPath&) {
    auto key = kind + "/" + identifier;
    if (auto waiting = supplementaryPool_.find(key); waiting != supplementaryPool_.end()) return waiting->second;
    auto factory = supplementaryFactories_.find(key);
    if (factory == supplementaryFactories_.end()) return nullptr;
    auto view = factory->second(CGRectMake(0, 0, width(), layout_->footerReferenceSize.height));
    supplementaryPool_[key] = view;
    return view;
}

UICollectionViewCellPtr UICollectionView::dequeueReusableCellWithReuseIdentifierForIndexPath(const std::string& identifier,
                                                                                             const NSIndexPath&) {
    auto& pool = reusePool_[identifier];
    if (!pool.empty()) {
        auto cell = pool.back();
        pool.pop_back();
        cell->setSelected(false);
        cell->prepareForReuse();
        return cell;
    }
    CGRect frame = CGRectMake(0, 0, layout_->itemSize.width, layout_->itemSize.height);
    auto factory = factories_.find(identifier);
    auto cell = factory != factories_.end() ? factory->second(frame) : std::make_shared<UICollectionViewCell>(frame);
    cell->setReuseIdentifier(identifier);
    return cell;
}

void UICollectionView::reloadData() {
    count_.reset();
    for (auto& [indexPath, cell] : visible_) {
        cell->removeFromSuperview();
        reusePool_[cell->reuseIdentifier()].push_back(cell);
    }
    visible_.clear();
    selected_.clear();
    if (footer_) footer_->removeFromSuperview();
    footer_ = nullptr;
    setNeedsLayout();
}

void UICollectionView::loadCountIfNeeded() {
    if (count_) return;
    auto source = dataSource();
    count_ = source ? std::max(0L, source->collectionViewNumberOfItemsInSection(*this, 0)) : 0;
    if (source && layout_->footerReferenceSize.height > 0)
        footer_ = source->collectionViewViewForSupplementaryElementOfKindAtIndexPath(*this, UICollectionElementKindSectionFooter, {0, 0});
    if (footer_) addSubview(footer_);
}

long UICollectionView::numberOfItemsInSection(long section) {
    loadCountIfNeeded();
    return section == 0 ? *count_ : 0;
}

CGSize UICollectionView::contentSize() { return layout_->contentSize(numberOfItemsInSection(0), width()); }

void UICollectionView::setBackgroundView(const UIViewPtr& view) {
    if (background_) background_->removeFromSuperview();
    background_ = view;
    if (view) insertSubviewAtIndex(view, 0);
    setNeedsLayout();
}

void UICollectionView::layoutSubviews() {
    long count = numberOfItemsInSection(0);
    auto b = bounds();
    // The background stays behind the content wherever it is scrolled.
    if (background_) background_->setFrame(b);
    if (footer_) footer_->setFrame(layout_->footerFrame(count, b.size.width));

    std::set<NSIndexPath> wanted;
    for (long item = 0; item < count; ++item) {
        auto frame = layout_->frameForItem(item, b.size.width);
        if (frame.origin.y > b.origin.y + b.size.height) break;
        if (CGRectIntersectsRect(frame, b)) wanted.insert({0, item});
    }
    for (auto it = visible_.begin(); it != visible_.end();) {
        if (wanted.count(it->first)) {
            ++it;
            continue;
        }
        it->second->removeFromSuperview();
        reusePool_[it->second->reuseIdentifier()].push_back(it->second);
        it = visible_.erase(it);
    }
    auto source = dataSource();
    for (const auto& indexPath : wanted) {
        auto& cell = visible_[indexPath];
        if (!cell) {
            cell = source ? source->collectionViewCellForItemAtIndexPath(*this, indexPath) : nullptr;
            if (!cell) cell = std::make_shared<UICollectionViewCell>(CGRectZero);
            insertSubviewAtIndex(cell, background_ ? 1 : 0);
        }
        cell->setSelected(selected_.count(indexPath) > 0);
        cell->setFrame(layout_->frameForItem(indexPath.item(), b.size.width));
    }
    UIView::layoutSubviews();
}

UICollectionViewCellPtr UICollectionView::cellForItemAtIndexPath(const NSIndexPath& indexPath) const {
    auto it = visible_.find(indexPath);
    return it != visible_.end() ? it->second : nullptr;
}

std::vector<NSIndexPath> UICollectionView::indexPathsForVisibleItems() const {
    std::vector<NSIndexPath> paths;
    for (auto& [indexPath, cell] : visible_) paths.push_back(indexPath);
    return paths;
}

std::vector<UICollectionViewCellPtr> UICollectionView::visibleCells() const {
    std::vector<UICollectionViewCellPtr> cells;
    for (auto& [indexPath, cell] : visible_) cells.push_back(cell);
    return cells;
}

std::optional<NSIndexPath> UICollectionView::indexPathForItemAtPoint(CGPoint point) {
    long count = numberOfItemsInSection(0);
    for (long item = 0; item < count; ++item)
        if (CGRectContainsPoint(layout_->frameForItem(item, width()), point)) return NSIndexPath{0, item};
    return std::nullopt;
}

void UICollectionView::selectItemAtIndexPath(const NSIndexPath& indexPath, bool animated, UICollectionViewScrollPosition position) {
    if (indexPath.item() < 0 || indexPath.item() >= numberOfItemsInSection(0)) return;
    if (!allowsMultipleSelection_) {
        for (auto& other : selected_)
            if (auto cell = cellForItemAtIndexPath(other)) cell->setSelected(false);
        selected_.clear();
    }
    selected_.insert(indexPath);
    if (auto cell = cellForItemAtIndexPath(indexPath)) cell->setSelected(true);
    if (position != UICollectionViewScrollPositionNone) scrollToItemAtIndexPath(indexPath, position, animated);
}

void UICollectionView::deselectItemAtIndexPath(const NSIndexPath& indexPath, bool) {
    selected_.erase(indexPath);
    if (auto cell = cellForItemAtIndexPath(indexPath)) cell->setSelected(false);
}

void UICollectionView::scrollToItemAtIndexPath(const NSIndexPath& indexPath, UICollectionViewScrollPosition position, bool animated) {
    if (indexPath.item() < 0 || indexPath.item() >= numberOfItemsInSection(0)) return;
    auto frame = layout_->frameForItem(indexPath.item(), width());
    auto b = bounds();
    CGFloat y = b.origin.y;
    if (position & UICollectionViewScrollPositionTop) y = frame.origin.y;
    else if (position & UICollectionViewScrollPositionCenteredVertically) y = CGRectGetMidY(frame) - b.size.height / 2;
    else if (position & UICollectionViewScrollPositionBottom) y = CGRectGetMaxY(frame) - b.size.height;
    else if (frame.origin.y < y) y = frame.origin.y;  // none: just enough to show it
    else if (CGRectGetMaxY(frame) > y + b.size.height) y = CGRectGetMaxY(frame) - b.size.height;
    y = std::clamp(y, CGFloat(0), maximumContentOffset().y);
    setContentOffsetAnimated(CGPointMake(b.origin.x, y), animated);
    setNeedsLayout();
}

bool UICollectionView::touchItem(long item, UIScreenReply& reply) {
    if (item < 0 || item >= numberOfItemsInSection(0)) return reply.refuse("no item " + std::to_string(item));
    NSIndexPath indexPath{0, item};
    scrollToItemAtIndexPath(indexPath, UICollectionViewScrollPositionNone, false);
    layoutIfNeeded();
    auto cell = cellForItemAtIndexPath(indexPath);
    if (cell && !cell->isUserInteractionEnabled()) return reply.refuse("item " + std::to_string(item) + " is disabled");
    if (!allowsSelection_) return true;
    auto d = delegate();
    // The finger goes down (a highlight when the delegate allows it) and up again before the
    // selection changes.
    if (d && d->collectionViewShouldHighlightItemAtIndexPath(*this, indexPath)) {
        d->collectionViewDidHighlightItemAtIndexPath(*this, indexPath);
        d->collectionViewDidUnhighlightItemAtIndexPath(*this, indexPath);
    }
    if (selected_.count(indexPath) && allowsMultipleSelection_) {
        if (d && !d->collectionViewShouldDeselectItemAtIndexPath(*this, indexPath)) return true;
        deselectItemAtIndexPath(indexPath, false);
        if (d) d->collectionViewDidDeselectItemAtIndexPath(*this, indexPath);
        return true;
    }
    if (d && !d->collectionViewShouldSelectItemAtIndexPath(*this, indexPath)) return true;
    auto previous = selected_;
    selectItemAtIndexPath(indexPath, false, UICollectionViewScrollPositionNone);
    if (d && !allowsMultipleSelection_)
        for (auto& other : previous)
            if (other != indexPath) d->collectionViewDidDeselectItemAtIndexPath(*this, other);
    if (d) d->collectionViewDidSelectItemAtIndexPath(*this, indexPath);
    return true;
}

UIView::TapOutcome UICollectionView::tapWithEvent(const std::shared_ptr<UIEvent>& event, UIScreenReply& reply) {
    if (!event || event->allTouches().empty()) return TapOutcome::Passed;
    auto indexPath = indexPathForItemAtPoint(event->allTouches()[0]->locationInView(self<UIView>()));
    if (!indexPath) return TapOutcome::Passed;
    return touchItem(indexPath->item(), reply) ? TapOutcome::Taken : TapOutcome::Refused;
}

std::string UICollectionView::itemText(const UICollectionViewCellPtr& cell) const {
    std::string text = cell->accessibilityLabel();
    if (text.empty()) text = UILabelTextsInView(cell);
    if (text.empty()) text = "image";
    if (cell->isSelected()) text += " [selected]";
    if (!cell->isUserInteractionEnabled()) text += " [disabled]";
    return text;
}

void UICollectionView::describeToScreen(UIScreenDescription& screen) {
    UIScrollView::describeToScreen(screen);
    layoutIfNeeded();
    auto visible = indexPathsForVisibleItems();
    if (visible.empty()) {
        screen.addLine("items: none");
        if (background_) screen.addLine("background: " + UILabelTextsInView(background_));
    } else {
        screen.addLine("items " + std::to_string(visible.front().item()) + "-" + std::to_string(visible.back().item()) + " of " +
                       std::to_string(numberOfItemsInSection(0)) + ":");
    }
    for (auto& indexPath : visible) screen.addLine("  " + std::to_string(indexPath.item()) + ": " + itemText(cellForItemAtIndexPath(indexPath)));
    if (footer_) screen.addLine("footer: " + UILabelTextsInView(footer_));
    auto me = self<UICollectionView>();
    screen.addCommand("item", [me](const std::string& item, UIScreenReply& reply) {
        auto index = UIScreenDescription::index(item);
        if (!index) return reply.refuse("no item " + item);
        return me->touchItem(*index, reply);
    });
}
