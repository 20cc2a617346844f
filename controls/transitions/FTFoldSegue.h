#pragma once
// Segues that fold: modal presentation, navigation push and pop. The base segue carries the fold
// style, taken from defaultStyle when made (1, backwards, for the pop).

#include "platform/uikit/UIStoryboardSegue.h"

#include <cstdint>

class FTFoldSegue : public UIStoryboardSegue {
public:
    FTFoldSegue(std::string identifier, const std::shared_ptr<UIViewController>& source,
                const std::shared_ptr<UIViewController>& destination);
    std::uint64_t style() const { return style_; }
    void setStyle(std::uint64_t style) { style_ = style; }
    virtual std::uint64_t defaultStyle() const { return 0; }

protected:
    void doInit() { style_ = defaultStyle(); }

private:
    std::uint64_t style_ = 0;
};

class FTFoldModalSegue : public FTFoldSegue {
public:
    using FTFoldSegue::FTFoldSegue;
    void perform() override;
};

class FTFoldNavPushSegue : public FTFoldSegue {
public:
    using FTFoldSegue::FTFoldSegue;
    void perform() override;
};

class FTFoldNavPopSegue : public FTFoldSegue {
public:
    FTFoldNavPopSegue(std::string identifier, const std::shared_ptr<UIViewController>& source,
                      const std::shared_ptr<UIViewController>& destination);
    std::uint64_t defaultStyle() const override { return 1; }
    void perform() override;
};
