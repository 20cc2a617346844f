#include "platform/uikit/UITableView.h"

#include "platform/uikit/UILabel.h"

#include <algorithm>
#include <cmath>
#include <set>

// A plain table is white behind its rows; a grouped one shows the system's grey between its sections.
UITableView::UITableView(const CGRect& frame, UITableViewStyle style) : UIScrollView(frame), style_(style) {
    setBackgroundColor(style == UITableViewStylePlain ? UIColor::whiteColor()
                                                      : UIColor::colorWithRed(239 / 255.0, 239 / 255.0, 244 / 255.0, 1));
}

void UITableView::setDataSource(const std::shared_ptr<UITableViewDataSource>& dataSource) {
    dataSource_ = dataSource;
    reloadData();
}

void UITableView::setRowHeight(CGFloat height) {
    rowHeight_ = height;
    setNeedsLayout();
}

std::shared_ptr<UITableViewCell> UITableView::dequeueReusableCellWithIdentifier(const std::string& identifier) {
    auto it = reusePool_.find(identifier);
    if (it == reusePool_.end() || it->second.empty()) return nullptr;
    auto cell = it->second.back();
    it->second.pop_back();
    cell->prepareForReuse();
    return cell;
}

void UITableView::recycleVisibleCells() {
    for (auto& [indexPath, cell] : visible_) {
        cell->removeFromSuperview();
        if (!cell->reuseIdentifier().empty()) reusePool_[cell->reuseIdentifier()].push_back(cell);
    }
    visible_.clear();
}

void UITableView::reloadData() {
    recycleVisibleCells();
    countsLoaded_ = false;
    rowCounts_.clear();
    selected_.reset();
    setNeedsLayout();
}

void UITableView::reloadSectionsWithRowAnimation(const std::vector<long>&, UITableViewRowAnimation animation) {
    // The headless table has nothing to animate; the sections' rows are read again like all others.
    lastRowAnimation_ = animation;
    reloadData();
}

void UITableView::insertRowsAtIndexPathsWithRowAnimation(const std::vector<NSIndexPath>& rows, UITableViewRowAnimation animation) {
    reloadRowsAtIndexPathsWithRowAnimation(rows, animation);
}

void UITableView::deleteRowsAtIndexPathsWithRowAnimation(const std::vector<NSIndexPath>& rows, UITableViewRowAnimation animation) {
    reloadRowsAtIndexPathsWithRowAnimation(rows, animation);
}

void UITableView::reloadRowsAtIndexPathsWithRowAnimation(const std::vector<NSIndexPath>&, UITableViewRowAnimation animation) {
    lastRowAnimation_ = animation;
    if (updateDepth_ > 0) {
        reloadAfterUpdates_ = true;
        return;
    }
    reloadData();
}

void UITableView::endUpdates() {
    if (updateDepth_ > 0 && --updateDepth_ == 0 && reloadAfterUpdates_) {
        reloadAfterUpdates_ = false;
        reloadData();
    }
}

void UITableView::setBackgroundView(const UIViewPtr& view) {
    if (background_) background_->removeFromSuperview();
    background_ = view;
    if (view) insertSubviewAtIndex(view, 0);
    setNeedsLayout();
}

void UITableView::loadCountsIfNeeded() {
    if (countsLoaded_) return;
    countsLoaded_ = true;
    rowCounts_.clear();
    auto source = dataSource();
    if (!source) return;
    long sections = std::max(0L, source->numberOfSectionsInTableView(*this));
    for (long s = 0; s < sections; ++s) rowCounts_.push_back(std::max(0L, source->tableViewNumberOfRowsInSection(*this, s)));
}

long UITableView::numberOfSections() {
    loadCountsIfNeeded();
    return static_cast<long>(rowCounts_.size());
}

long UITableView::numberOfRowsInSection(long section) {
    loadCountsIfNeeded();
    return section >= 0 && section < static_cast<long>(rowCounts_.size()) ? rowCounts_[section] : 0;
}

long UITableView::totalRows() {
    loadCountsIfNeeded();
    long total = 0;
    for (long c : rowCounts_) total += c;
    return total;
}

CGFloat UITableView::headerHeight() const { return header_ ? header_->frame().size.height : 0; }

NSIndexPath UITableView::indexPathForGlobalRow(long global) const {
    long section = 0;
    for (long count : rowCounts_) {
        if (global < count) return {section, global};
        global -= count;
        ++section;
    }
    return {section, global};
}

long UITableView::globalRow(const NSIndexPath& indexPath) const {
    long global = 0;
    for (long s = 0; s < indexPath.section && s < static_cast<long>(rowCounts_.size()); ++s) global += rowCounts_[s];
    return global + indexPath.row;
}

CGRect UITableView::rectForRowAtIndexPath(const NSIndexPath& indexPath) {
    loadCountsIfNeeded();
    return CGRectMake(0, headerHeight() + static_cast<CGFloat>(globalRow(indexPath)) * rowHeight_, bounds().size.width, rowHeight_);
}

CGSize UITableView::contentSize() {
    CGFloat footer = footer_ ? footer_->frame().size.height : 0;
    return {bounds().size.width, headerHeight() + static_cast<CGFloat>(totalRows()) * rowHeight_ + footer};
}

void UITableView::setTableHeaderView(const UIViewPtr& view) {
    if (header_) header_->removeFromSuperview();
    header_ = view;
    if (view) addSubview(view);
    setNeedsLayout();
}

void UITableView::setTableFooterView(const UIViewPtr& view) {
    if (footer_) footer_->removeFromSuperview();
    footer_ = view;
    if (view) addSubview(view);
    setNeedsLayout();
}

void UITableView::layoutSubviews() {
    loadCountsIfNeeded();
    auto b = bounds();
    long rows = totalRows();
    CGFloat top = headerHeight();
    if (background_) background_->setFrame(b);
    if (header_) header_->setFrame(CGRectMake(0, 0, b.size.width, header_->frame().size.height));
    if (footer_)
        footer_->setFrame(CGRectMake(0, top + static_cast<CGFloat>(rows) * rowHeight_, b.size.width, footer_->frame().size.height));

    // Only the rows that intersect the visible part of the content get cells.
    std::set<NSIndexPath> wanted;
    if (rows > 0 && rowHeight_ > 0 && b.size.height > 0) {
        long first = static_cast<long>(std::floor((b.origin.y - top) / rowHeight_));
        long last = static_cast<long>(std::ceil((b.origin.y + b.size.height - top) / rowHeight_)) - 1;
        first = std::max(0L, first);
        last = std::min(rows - 1, last);
        for (long g = first; g <= last; ++g) wanted.insert(indexPathForGlobalRow(g));
    }
    for (auto it = visible_.begin(); it != visible_.end();) {
        if (wanted.count(it->first)) {
            ++it;
            continue;
        }
        it->second->removeFromSuperview();
        if (!it->second->reuseIdentifier().empty()) reusePool_[it->second->reuseIdentifier()].push_back(it->second);
        it = visible_.erase(it);
    }
    auto source = dataSource();
    for (auto& indexPath : wanted) {
        auto found = visible_.find(indexPath);
        std::shared_ptr<UITableViewCell> cell = found != visible_.end() ? found->second : nullptr;
        if (!cell) {
            if (!source) break;
            cell = source->tableViewCellForRowAtIndexPath(*this, indexPath);
            if (!cell) cell = UITableViewCell::initWithStyleReuseIdentifier(UITableViewCellStyleDefault, "");
            visible_[indexPath] = cell;
            insertSubviewAtIndex(cell, background_ ? 1 : 0);
        }
        cell->setSelectedAnimated(selected_ == indexPath, false);
        cell->setFrame(CGRectMake(0, top + static_cast<CGFloat>(globalRow(indexPath)) * rowHeight_, b.size.width, rowHeight_));
    }
    UIView::layoutSubviews();
}

std::shared_ptr<UITableViewCell> UITableView::cellForRowAtIndexPath(const NSIndexPath& indexPath) const {
    auto it = visible_.find(indexPath);
    return it != visible_.end() ? it->second : nullptr;
}

std::vector<std::shared_ptr<UITableViewCell>> UITableView::visibleCells() const {
    std::vector<std::shared_ptr<UITableViewCell>> cells;
    for (auto& [indexPath, cell] : visible_) cells.push_back(cell);
    return cells;
}

std::vector<NSIndexPath> UITableView::indexPathsForVisibleRows() const {
    std::vector<NSIndexPath> paths;
    for (auto& [indexPath, cell] : visible_) paths.push_back(indexPath);
    return paths;
}

std::optional<NSIndexPath> UITableView::indexPathForCell(const UITableViewCell* cell) const {
    for (auto& [indexPath, c] : visible_)
        if (c.get() == cell) return indexPath;
    return std::nullopt;
}

std::optional<NSIndexPath> UITableView::indexPathForRowAtPoint(CGPoint point) {
    long rows = totalRows();
    CGFloat y = point.y - headerHeight();
    if (y < 0 || rowHeight_ <= 0 || point.x < 0 || point.x >= bounds().size.width) return std::nullopt;
    long global = static_cast<long>(std::floor(y / rowHeight_));
    if (global >= rows) return std::nullopt;
    return indexPathForGlobalRow(global);
}

void UITableView::selectRowAtIndexPath(const std::optional<NSIndexPath>& indexPath, bool animated,
                                       UITableViewScrollPosition position) {
    if (selected_) {
        if (auto cell = cellForRowAtIndexPath(*selected_)) cell->setSelectedAnimated(false, animated);
    }
    selected_ = indexPath;
    if (!indexPath) return;
    if (auto cell = cellForRowAtIndexPath(*indexPath)) cell->setSelectedAnimated(true, animated);
    if (position != UITableViewScrollPositionNone) scrollToRowAtIndexPath(*indexPath, position, animated);
}

void UITableView::deselectRowAtIndexPathAnimated(const NSIndexPath& indexPath, bool animated) {
    if (auto cell = cellForRowAtIndexPath(indexPath)) cell->setSelectedAnimated(false, animated);
    if (selected_ == indexPath) selected_.reset();
}

void UITableView::scrollToRowAtIndexPath(const NSIndexPath& indexPath, UITableViewScrollPosition position, bool) {
    auto row = rectForRowAtIndexPath(indexPath);
    auto b = bounds();
    CGFloat y = b.origin.y;
    switch (position) {
    case UITableViewScrollPositionTop: y = row.origin.y; break;
    case UITableViewScrollPositionMiddle: y = row.origin.y - (b.size.height - row.size.height) / 2; break;
    case UITableViewScrollPositionBottom: y = row.origin.y + row.size.height - b.size.height; break;
    case UITableViewScrollPositionNone:
        if (row.origin.y < y) y = row.origin.y;
        else if (row.origin.y + row.size.height > y + b.size.height) y = row.origin.y + row.size.height - b.size.height;
        break;
    }
    CGFloat maxY = std::max<CGFloat>(0, contentSize().height - b.size.height);
    setContentOffset({b.origin.x, std::clamp<CGFloat>(y, 0, maxY)});
}

void UITableView::describeToScreen(UIScreenDescription& screen) {
    UIScrollView::describeToScreen(screen);
    layoutIfNeeded();
    auto visible = indexPathsForVisibleRows();
    if (visible.empty()) {
        screen.addLine("rows: none");
        if (background_) screen.addLine("background: " + UILabelTextsInView(background_));
    } else {
        screen.addLine("rows " + std::to_string(visible.front().row) + "-" + std::to_string(visible.back().row) + " of " +
                       std::to_string(totalRows()) + ":");
    }
    auto me = self<UITableView>();
    for (auto& indexPath : visible) {
        auto cell = cellForRowAtIndexPath(indexPath);
        screen.addLine("  " + std::to_string(indexPath.row) + ": " + cell->screenText());
        screen.addTappable(cell->textLabel()->text(), [me, row = std::to_string(indexPath.row)](UIScreenReply& reply) {
            return me->tapRow(row, reply);
        }, cell);
    }
    screen.addCommand("row", [me](const std::string& row, UIScreenReply& reply) { return me->tapRow(row, reply); });
    screen.addCommand("accessory", [me](const std::string& row, UIScreenReply& reply) { return me->tapAccessory(row, reply); });
    screen.addCommand("delete", [me](const std::string& row, UIScreenReply& reply) { return me->deleteRow(row, reply); });
    screen.addCommand("scroll", [me](const std::string& where, UIScreenReply& reply) { return me->scroll(where, reply); });
}

UIView::TapOutcome UITableView::tapWithEvent(const std::shared_ptr<UIEvent>& event, UIScreenReply& reply) {
    if (!event || event->allTouches().empty()) return TapOutcome::Passed;
    auto indexPath = indexPathForRowAtPoint(event->allTouches()[0]->locationInView(self<UIView>()));
    if (!indexPath) return TapOutcome::Passed;
    return tapRow(std::to_string(indexPath->row), reply) ? TapOutcome::Taken : TapOutcome::Refused;
}

std::shared_ptr<UITableViewCell> UITableView::showRow(const std::string& text, UIScreenReply& reply) {
    layoutIfNeeded();
    auto row = UIScreenDescription::index(text);
    if (!row || *row >= numberOfRowsInSection(0)) return reply.refuse("no row " + text), nullptr;
    scrollToRowAtIndexPath({0, *row}, UITableViewScrollPositionNone, false);
    layoutIfNeeded();
    return cellForRowAtIndexPath({0, *row});
}

bool UITableView::tapRow(const std::string& text, UIScreenReply& reply) {
    if (!showRow(text, reply)) return false;
    NSIndexPath indexPath{0, *UIScreenDescription::index(text)};
    selectRowAtIndexPath(indexPath, false, UITableViewScrollPositionNone);
    if (auto d = delegate()) d->tableViewDidSelectRowAtIndexPath(*this, indexPath);
    return true;
}

bool UITableView::tapAccessory(const std::string& text, UIScreenReply& reply) {
    auto cell = showRow(text, reply);
    if (!cell) return false;
    if (auto accessory = cell->accessoryView()) return UIScreenDescription::touch(accessory, reply);
    auto type = cell->accessoryType();
    if (type == UITableViewCellAccessoryDetailButton || type == UITableViewCellAccessoryDetailDisclosureButton) {
        if (auto d = delegate()) d->tableViewAccessoryButtonTappedForRowWithIndexPath(*this, {0, *UIScreenDescription::index(text)});
        return true;
    }
    return reply.refuse("row " + text + " has no accessory button");
}

bool UITableView::deleteRow(const std::string& text, UIScreenReply& reply) {
    if (!showRow(text, reply)) return false;
    NSIndexPath indexPath{0, *UIScreenDescription::index(text)};
    auto source = dataSource();
    auto d = delegate();
    if (!source || !source->tableViewCanEditRowAtIndexPath(*this, indexPath)) return reply.refuse("row " + text + " cannot be deleted");
    auto style = d ? d->tableViewEditingStyleForRowAtIndexPath(*this, indexPath) : UITableViewCellEditingStyleDelete;
    if (style != UITableViewCellEditingStyleDelete) return reply.refuse("row " + text + " cannot be deleted");
    source->tableViewCommitEditingStyleForRowAtIndexPath(*this, UITableViewCellEditingStyleDelete, indexPath);
    return true;
}

// "down" and "up" move by the rows that fit on screen; a row number (or "to N") brings that row to
// the top, or as near it as the content allows.
bool UITableView::scroll(const std::string& where, UIScreenReply& reply) {
    layoutIfNeeded();
    std::string target = where.rfind("to ", 0) == 0 ? where.substr(3) : where;
    if (UIScreenDescription::index(target)) {
        auto row = showRow(target, reply);
        if (!row) return false;
        scrollToRowAtIndexPath({0, *UIScreenDescription::index(target)}, UITableViewScrollPositionTop, false);
        layoutIfNeeded();
        return true;
    }
    if (where != "down" && where != "up") return reply.refuse("scroll down, up or to a row number");
    auto b = bounds();
    CGFloat page = rowHeight_ > 0 ? std::max<CGFloat>(1, std::floor(b.size.height / rowHeight_)) * rowHeight_ : b.size.height;
    CGFloat maxY = std::max<CGFloat>(0, contentSize().height - b.size.height);
    CGFloat y = std::clamp<CGFloat>(b.origin.y + (where == "down" ? page : -page), 0, maxY);
    if (y == b.origin.y) return reply.refuse(where == "down" ? "the table is scrolled to its end" : "the table is scrolled to its top");
    setContentOffset({b.origin.x, y});
    layoutIfNeeded();
    return true;
}

std::optional<NSIndexPath> UITableView::rowOfTouch(const UITouch& touch) {
    return indexPathForRowAtPoint(touch.locationInView(self<UIView>()));
}

void UITableView::touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    touchedRow_ = touches.empty() ? std::nullopt : rowOfTouch(*touches.front());
    if (!touchedRow_) UIView::touchesBeganWithEvent(touches, event);
}

void UITableView::touchesMovedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    if (!touchedRow_) UIView::touchesMovedWithEvent(touches, event);
}

void UITableView::touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    auto began = touchedRow_;
    touchedRow_.reset();
    if (!began) return UIView::touchesEndedWithEvent(touches, event);
    auto ended = rowOfTouch(*touches.front());
    if (!ended || ended->row != began->row || ended->section != began->section) return;
    UIScreenReply reply;
    tapRow(std::to_string(ended->row), reply);
}

void UITableView::touchesCancelledWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    if (!touchedRow_) return UIView::touchesCancelledWithEvent(touches, event);
    touchedRow_.reset();
}
