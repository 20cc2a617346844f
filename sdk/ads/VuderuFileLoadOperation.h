#pragma once
// Reads a local asset. The file read is the path held in the resource id, not the URL (the URL
// only has to be there); every outcome goes to the delegate on the main thread, without waiting.

#include "platform/foundation/NSData.h"
#include "sdk/ads/VuderuLoadOperation.h"

class VuderuFileLoadOperation : public VuderuLoadOperation {
public:
    using VuderuLoadOperation::VuderuLoadOperation;

    NSDataPtr fileData() const;

protected:
    void executeLoading() override;

private:
    mutable std::mutex dataMutex_;
    NSDataPtr fileData_;
};
