#pragma once
// Segues that flip a page: modal presentation, navigation push and pop. The base segue carries
// the flip style, taken from defaultStyle when made (1, backward, for the pop); performing the
// base itself is a misuse.

#include "platform/uikit/UIStoryboardSegue.h"

#include <cstdint>

class FTFlipSegue : public UIStoryboardSegue {
public:
    FTFlipSegue(std::string identifier, const std::shared_ptr<UIViewController>& source,
                const std::shared_ptr<UIViewController>& destination);
    std::uint64_t style() const { return style_; }
    void setStyle(std::uint64_t style) { style_ = style; }
    virtual std::uint64_t defaultStyle() const { return 0; }
    // Raises "Incomplete Implementation".
    void perform() override;

protected:
    void doInit() { style_ = defaultStyle(); }

private:
    std::uint64_t style_ = 0;
};

class FTFlipModalSegue : public FTFlipSegue {
public:
    using FTFlipSegue::FTFlipSegue;
    void perform() override;
};

class FTFlipNavPushSegue : public FTFlipSegue {
public:
    using FTFlipSegue::FTFlipSegue;
    void perform() override;
};

class FTFlipNavPopSegue : public FTFlipSegue {
public:
    FTFlipNavPopSegue(std::string identifier, const std::shared_ptr<UIViewController>& source,
                      const std::shared_ptr<UIViewController>& destination);
    std::uint64_t defaultStyle() const override { return 1; }
    void perform() override;
};
