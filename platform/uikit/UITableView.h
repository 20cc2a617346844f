#pragma once
// Tables: rows from a data source, cells only for the rows on screen, reused by identifier.

#include "platform/uikit/NSIndexPath.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UITableViewCell.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UITableView;

enum UITableViewStyle : long { UITableViewStylePlain = 0, UITableViewStyleGrouped = 1 };

enum UITableViewRowAnimation : long {
    UITableViewRowAnimationFade = 0,
    UITableViewRowAnimationRight = 1,
    UITableViewRowAnimationLeft = 2,
    UITableViewRowAnimationTop = 3,
    UITableViewRowAnimationBottom = 4,
    UITableViewRowAnimationNone = 5,
    UITableViewRowAnimationMiddle = 6,
    UITableViewRowAnimationAutomatic = 100,
};

enum UITableViewCellSeparatorStyle : long {
    UITableViewCellSeparatorStyleNone = 0,
    UITableViewCellSeparatorStyleSingleLine = 1,
};

enum UITableViewScrollPosition : long {
    UITableViewScrollPositionNone = 0,
    UITableViewScrollPositionTop = 1,
    UITableViewScrollPositionMiddle = 2,
    UITableViewScrollPositionBottom = 3,
};

class UITableViewDataSource {
public:
    virtual ~UITableViewDataSource() = default;
    virtual long numberOfSectionsInTableView(UITableView&) { return 1; }
    virtual long tableViewNumberOfRowsInSection(UITableView& tableView, long section) = 0;
    virtual std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& tableView,
                                                                           const NSIndexPath& indexPath) = 0;
    // Rows are editable (swipe to delete) only where the data source says so: a data source that
    // commits edits answers YES.
    virtual bool tableViewCanEditRowAtIndexPath(UITableView&, const NSIndexPath&) { return false; }
    virtual void tableViewCommitEditingStyleForRowAtIndexPath(UITableView&, UITableViewCellEditingStyle, const NSIndexPath&) {}
};

class UITableViewDelegate : public UIScrollViewDelegate {
public:
    virtual ~UITableViewDelegate() = default;
    virtual void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath&) {}
    virtual void tableViewAccessoryButtonTappedForRowWithIndexPath(UITableView&, const NSIndexPath&) {}
    virtual UITableViewCellEditingStyle tableViewEditingStyleForRowAtIndexPath(UITableView&, const NSIndexPath&) {
        return UITableViewCellEditingStyleDelete;
    }
};

class UITableView : public UIScrollView {
public:
    static constexpr CGFloat kDefaultRowHeight = 44;

    UITableView(const CGRect& frame, UITableViewStyle style);

    UITableViewStyle style() const { return style_; }
    std::shared_ptr<UITableViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(const std::shared_ptr<UITableViewDataSource>& dataSource);
    std::shared_ptr<UITableViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UITableViewDelegate>& delegate) {
        delegate_ = delegate;
        UIScrollView::setDelegate(delegate);
    }
    CGFloat rowHeight() const { return rowHeight_; }
    void setRowHeight(CGFloat height);

    // A cell set aside for reuse under the identifier, or nil.
    std::shared_ptr<UITableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);

    // Reads the row counts again; the cells on screen are asked for anew at the next layout.
    void reloadData();
    void reloadSectionsWithRowAnimation(const std::vector<long>& sections, UITableViewRowAnimation animation);
    // Row changes: the headless table reads its counts again, as for a reload, and keeps the
    // animation. Between beginUpdates and endUpdates they wait for the end of the batch.
    void insertRowsAtIndexPathsWithRowAnimation(const std::vector<NSIndexPath>& rows, UITableViewRowAnimation animation);
    void deleteRowsAtIndexPathsWithRowAnimation(const std::vector<NSIndexPath>& rows, UITableViewRowAnimation animation);
    void reloadRowsAtIndexPathsWithRowAnimation(const std::vector<NSIndexPath>& rows, UITableViewRowAnimation animation);
    void beginUpdates() { ++updateDepth_; }
    void endUpdates();
    // The animation of the last section or row change (tests read it).
    std::optional<UITableViewRowAnimation> lastRowAnimation() const { return lastRowAnimation_; }

    long numberOfSections();
    long numberOfRowsInSection(long section);

    // The cell of a row on screen, or nil.
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(const NSIndexPath& indexPath) const;
    std::vector<std::shared_ptr<UITableViewCell>> visibleCells() const;
    std::vector<NSIndexPath> indexPathsForVisibleRows() const;
    std::optional<NSIndexPath> indexPathForCell(const UITableViewCell* cell) const;
    // A point of the table's coordinates (its content, scrolled).
    std::optional<NSIndexPath> indexPathForRowAtPoint(CGPoint point);
    CGRect rectForRowAtIndexPath(const NSIndexPath& indexPath);

    void selectRowAtIndexPath(const std::optional<NSIndexPath>& indexPath, bool animated, UITableViewScrollPosition position);
    void deselectRowAtIndexPathAnimated(const NSIndexPath& indexPath, bool animated);
    std::optional<NSIndexPath> indexPathForSelectedRow() const { return selected_; }
    void scrollToRowAtIndexPath(const NSIndexPath& indexPath, UITableViewScrollPosition position, bool animated);

    // The header, the rows and the footer, measured from the data source.
    CGSize contentSize() override;

    // Behind the rows, the size of the table wherever it is scrolled.
    UIViewPtr backgroundView() const { return background_; }
    void setBackgroundView(const UIViewPtr& view);
    UITableViewCellSeparatorStyle separatorStyle() const { return separatorStyle_; }
    void setSeparatorStyle(UITableViewCellSeparatorStyle style) { separatorStyle_ = style; }

    UIViewPtr tableHeaderView() const { return header_; }
    void setTableHeaderView(const UIViewPtr& view);
    UIViewPtr tableFooterView() const { return footer_; }
    void setTableFooterView(const UIViewPtr& view);

    bool isEditing() const { return editing_; }
    void setEditingAnimated(bool editing, bool) { editing_ = editing; }

    void layoutSubviews() override;

    // The driver: the rows on screen as lines ("rows 0-10 of 30:", one line per row), each row's
    // text as something to tap, and the commands row, accessory, delete and scroll. Rows count
    // from 0 in section 0.
    void describeToScreen(UIScreenDescription& screen) override;
    // A tap on a row selects it.
    TapOutcome tapWithEvent(const std::shared_ptr<UIEvent>& event, UIScreenReply& reply) override;
    // A touch that ends on a row (where it began) selects the row; touches off the rows pass up.
    void touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesMovedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesCancelledWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;

private:
    std::optional<NSIndexPath> rowOfTouch(const UITouch& touch);
    std::optional<NSIndexPath> touchedRow_;
    // What the driver's commands do, as a finger would: the row is scrolled on screen first.
    std::shared_ptr<UITableViewCell> showRow(const std::string& row, UIScreenReply& reply);
    bool tapRow(const std::string& row, UIScreenReply& reply);
    bool tapAccessory(const std::string& row, UIScreenReply& reply);
    bool deleteRow(const std::string& row, UIScreenReply& reply);
    bool scroll(const std::string& where, UIScreenReply& reply);

    void loadCountsIfNeeded();
    void recycleVisibleCells();
    long totalRows();
    CGFloat headerHeight() const;
    // The index path of a row counted over all sections, and back.
    NSIndexPath indexPathForGlobalRow(long global) const;
    long globalRow(const NSIndexPath& indexPath) const;

    UITableViewStyle style_;
    std::weak_ptr<UITableViewDataSource> dataSource_;
    std::weak_ptr<UITableViewDelegate> delegate_;
    CGFloat rowHeight_ = kDefaultRowHeight;
    bool countsLoaded_ = false;
    std::vector<long> rowCounts_;
    std::map<NSIndexPath, std::shared_ptr<UITableViewCell>> visible_;
    std::map<std::string, std::vector<std::shared_ptr<UITableViewCell>>> reusePool_;
    std::optional<NSIndexPath> selected_;
    std::optional<UITableViewRowAnimation> lastRowAnimation_;
    UIViewPtr header_;
    UIViewPtr background_;
    UITableViewCellSeparatorStyle separatorStyle_ = UITableViewCellSeparatorStyleSingleLine;
    int updateDepth_ = 0;
    bool reloadAfterUpdates_ = false;
    UIViewPtr footer_;
    bool editing_ = false;
};
