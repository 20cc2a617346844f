#include "sdk/ads/VuderuFileLoadOperation.h"

namespace {

const std::string kVuderuErrorDomain = "Vuderu";
constexpr long kFileNotFoundCode = 1001;

} // namespace

NSDataPtr VuderuFileLoadOperation::fileData() const {
    std::lock_guard guard(dataMutex_);
    return fileData_;
}

void VuderuFileLoadOperation::executeLoading() {
    if (!assetUrl()) {
        setOperationError(NSError::errorWithDomain(kVuderuErrorDomain, kFileNotFoundCode, {{NSLocalizedDescriptionKey, "Could not find file."}}));
        reportOnMainThread(Outcome::Failed);
    } else {
        NSErrorPtr error;
        auto data = NSData::dataWithContentsOfFile(resourceId(), &error);
        if (data) {
            std::lock_guard guard(dataMutex_);
            fileData_ = data;
        } else {
            setOperationError(error);
        }
        reportOnMainThread(data ? Outcome::Finished : Outcome::Failed);
    }
    finishOperation();
}
