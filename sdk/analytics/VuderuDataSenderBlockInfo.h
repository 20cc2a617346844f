#pragma once
// One stored payload of a store-and-forward sender: a file in the SDK data directory named by a
// generated identifier, with the payload's size and the time it was last written. The record
// never keeps the payload in memory; data() reads the file each time.

#include "platform/foundation/NSCoder.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

class VuderuDataSenderBlockInfo : public NSObject, public NSCoding {
public:
    // A new identifier, and the payload written to its file (none for nil data); nil (logged)
    // when the file cannot be written.
    static std::shared_ptr<VuderuDataSenderBlockInfo> initWithData(const NSDataPtr& data);
    // Decodes as nil when the identifier is empty.
    static std::shared_ptr<VuderuDataSenderBlockInfo> initWithCoder(const NSCoder& coder);

    VuderuDataSenderBlockInfo(std::string identifier, std::uint64_t dataSize, std::shared_ptr<NSDate> creationDate);
    void encodeWithCoder(NSCoder& coder) const override;

    const std::string& identifier() const { return identifier_; }
    std::uint64_t dataSize() const { return dataSize_; }
    const std::shared_ptr<NSDate>& creationDate() const { return creationDate_; }
    // The payload file; empty when there is no identifier.
    std::string path() const;
    // Whether a file name is one a block's payload is stored under: an identifier as blocks are
    // given them (every sender's blocks are named alike).
    static bool isBlockFileName(const std::string& name);
    // Removes the payload files of the data directory that a sender's index does not name and
    // whose bytes `isOwnPayload` recognises. Senders share the directory and name their payloads
    // alike, so a file is told apart by its content: each sender removes only its own. Run it
    // where the sender writes its payloads, so that none of its own appears unnamed meanwhile;
    // another sender's payload appears whole (it is renamed into place), never half written.
    static void removeUnindexedBlockFiles(const std::set<std::string>& indexed, const std::function<bool(const NSData&)>& isOwnPayload);
    // The same files as blocks (their size, and now as their date), for a sender that adopts them.
    static std::vector<std::shared_ptr<VuderuDataSenderBlockInfo>> unindexedBlockFiles(const std::set<std::string>& indexed,
                                                                                      const std::function<bool(const NSData&)>& isOwnPayload);

    // nil when the file is missing.
    NSDataPtr data() const;
    // Rewrites the file atomically; NO for nil data (silently) or a failed write (logged).
    bool setData(const NSDataPtr& data);
    bool deletePersistentData();

    std::string description() const override;

private:
    std::string identifier_;
    std::uint64_t dataSize_ = 0;
    std::shared_ptr<NSDate> creationDate_;
};

using VuderuDataSenderBlockInfoPtr = std::shared_ptr<VuderuDataSenderBlockInfo>;
