#pragma once
// The report sender's persistent index: the stored blocks of each data key, oldest first, and
// whether any report upload has ever succeeded. Kept as the keyed archive "VuderuSenderIndex.info"
// in the SDK data directory; touched only on the session queue.

#include "platform/foundation/NSCoder.h"
#include "platform/foundation/NSObject.h"
#include "sdk/analytics/VuderuDataSenderBlockInfo.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VuderuDataSenderIndex : public NSObject, public NSCoding {
public:
    static constexpr std::size_t kMaximumBlocksPerKey = 50;
    static constexpr const char* kIndexFileName = "VuderuSenderIndex.info";
    using IndexMap = std::map<std::string, std::vector<VuderuDataSenderBlockInfoPtr>>;

    // The index file read back (a damaged one is deleted), or a fresh empty index.
    static std::shared_ptr<VuderuDataSenderIndex> instantiatedIndex();
    static std::string indexFilePath();

    VuderuDataSenderIndex() = default;
    explicit VuderuDataSenderIndex(const NSCoder& coder);
    void encodeWithCoder(NSCoder& coder) const override;

    const IndexMap& indexMap() const { return indexMap_; }
    bool sentReportSuccessfully() const { return sentReportSuccessfully_; }
    void setSentReportSuccessfully(bool sent) { sentReportSuccessfully_ = sent; }

    void saveState();
    void addBlockInfoForDataKey(const VuderuDataSenderBlockInfoPtr& block, const std::optional<std::string>& dataKey);
    void removeBlockInfoWithIdentifierForDataKey(const std::optional<std::string>& identifier, const std::optional<std::string>& dataKey);
    // Drops every other key's blocks (files included) and the current key's records whose file is
    // gone, then trims the current key to the limit.
    void setupForCurrentDataKey(const std::optional<std::string>& dataKey);
    // Deletes the oldest blocks beyond the limit and saves; NO when there was nothing to cut.
    bool discardOutdatedBlocksForDataKey(const std::optional<std::string>& dataKey);
    std::vector<VuderuDataSenderBlockInfoPtr> notSentBlocksForDataKey(const std::optional<std::string>& dataKey) const;

private:
    IndexMap indexMap_;
    bool sentReportSuccessfully_ = false;
};
