#pragma once
// Which assets a group shows: photos, videos or both.

#include "platform/foundation/NSObject.h"

#include <memory>

class ALAssetsFilter;
using ALAssetsFilterPtr = std::shared_ptr<ALAssetsFilter>;

class ALAssetsFilter : public NSObject {
public:
    enum class Shows { Photos, Videos, All };
    explicit ALAssetsFilter(Shows shows) : shows_(shows) {}

    static ALAssetsFilterPtr allPhotos() { return std::make_shared<ALAssetsFilter>(Shows::Photos); }
    static ALAssetsFilterPtr allVideos() { return std::make_shared<ALAssetsFilter>(Shows::Videos); }
    static ALAssetsFilterPtr allAssets() { return std::make_shared<ALAssetsFilter>(Shows::All); }

    Shows shows() const { return shows_; }
    bool showsPhotos() const { return shows_ != Shows::Videos; }
    bool showsVideos() const { return shows_ != Shows::Photos; }

private:
    Shows shows_;
};
