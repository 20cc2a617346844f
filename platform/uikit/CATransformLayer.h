#pragma once
// A layer that only carries its sublayers through its transform: it paints nothing of its own.

#include "platform/uikit/CALayer.h"

class CATransformLayer : public CALayer {
public:
    static std::shared_ptr<CATransformLayer> layer() { return std::make_shared<CATransformLayer>(); }
    bool paintsOwnLook() const override { return false; }
};
