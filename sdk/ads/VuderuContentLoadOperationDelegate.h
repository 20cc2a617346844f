#pragma once
// The receiver of an asset load's outcome (the asset cache). Which thread each call arrives on is
// the operation's to say (see VuderuHttpLoadOperation and VuderuFileLoadOperation).

#include <memory>

class VuderuLoadOperation;

class VuderuContentLoadOperationDelegate {
public:
    virtual ~VuderuContentLoadOperationDelegate() = default;
    virtual void loadOperationDidFinishLoading(const std::shared_ptr<VuderuLoadOperation>& operation) = 0;
    virtual void loadOperationDidFailLoading(const std::shared_ptr<VuderuLoadOperation>& operation) = 0;
    virtual void loadOperationDidCancel(const std::shared_ptr<VuderuLoadOperation>& operation) = 0;
};
