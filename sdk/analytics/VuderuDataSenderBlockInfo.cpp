#include "sdk/analytics/VuderuDataSenderBlockInfo.h"

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSUUID.h"
#include "platform/foundation/StoreFile.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {

constexpr const char* kIdentifierKey = "identifier";
constexpr const char* kDataSizeKey = "dataSize";
constexpr const char* kCreationDateKey = "creationDate";

const bool registeredVuderuDataSenderBlockInfo = (NSKeyedUnarchiver::registerClass("VuderuDataSenderBlockInfo",
                                                          [](const NSCoder& coder) -> std::shared_ptr<NSObject> {
                                                              return VuderuDataSenderBlockInfo::initWithCoder(coder);
                                                          }),
                         true);

} // namespace

VuderuDataSenderBlockInfo::VuderuDataSenderBlockInfo(std::string identifier, std::uint64_t dataSize, std::shared_ptr<NSDate> creationDate)
    : identifier_(std::move(identifier)), dataSize_(dataSize), creationDate_(std::move(creationDate)) {}

std::shared_ptr<VuderuDataSenderBlockInfo> VuderuDataSenderBlockInfo::initWithData(const NSDataPtr& data) {
    (void)registeredVuderuDataSenderBlockInfo;
    auto block = std::make_shared<VuderuDataSenderBlockInfo>(VuderuUtil::generateCFUUID(), 0, nullptr);
    const std::string path = block->path();
    if (block->identifier_.empty() || path.empty() || (data && !data->writeToFile(path, true))) {
        VuderuLog("Failed to create VuderuDataSenderBlockInfo for data size %lu", static_cast<unsigned long>(data ? data->length() : 0));
        return nullptr;
    }
    block->dataSize_ = data ? data->length() : 0;
    block->creationDate_ = NSDate::date();
    return block;
}

std::shared_ptr<VuderuDataSenderBlockInfo> VuderuDataSenderBlockInfo::initWithCoder(const NSCoder& coder) {
    Value identifier = coder.decodeObjectForKey(kIdentifierKey);
    if (!identifier.isString() || identifier.string().empty()) return nullptr;
    Value date = coder.decodeObjectForKey(kCreationDateKey);
    return std::make_shared<VuderuDataSenderBlockInfo>(identifier.string(), static_cast<std::uint64_t>(coder.decodeInt64ForKey(kDataSizeKey)),
                                                       date.isDate() ? NSDate::dateWithTimeIntervalSince1970(date.date().secondsSince1970) : nullptr);
}

void VuderuDataSenderBlockInfo::encodeWithCoder(NSCoder& coder) const {
    coder.encodeObjectForKey(Value(identifier_), kIdentifierKey);
    coder.encodeInt64ForKey(static_cast<std::int64_t>(dataSize_), kDataSizeKey);
    coder.encodeObjectForKey(creationDate_ ? Value(Value::Date{creationDate_->timeIntervalSince1970()}) : Value(), kCreationDateKey);
}

std::string VuderuDataSenderBlockInfo::path() const {
    if (identifier_.empty()) return {};
    return VuderuUtil::filePathDirectory() + "/" + identifier_;
}

bool VuderuDataSenderBlockInfo::isBlockFileName(const std::string& name) {
    auto identifier = NSUUID::initWithUUIDString(name);
    return identifier && identifier->UUIDString() == name;
}

std::vector<std::shared_ptr<VuderuDataSenderBlockInfo>> VuderuDataSenderBlockInfo::unindexedBlockFiles(
    const std::set<std::string>& indexed, const std::function<bool(const NSData&)>& isOwnPayload) {
    std::vector<std::shared_ptr<VuderuDataSenderBlockInfo>> found;
    const std::string folder = VuderuUtil::filePathDirectory();
    auto fileManager = NSFileManager::defaultManager();
    for (const std::string& name : fileManager->contentsOfDirectoryAtPath(folder, nullptr).value_or(std::vector<std::string>{})) {
        if (!isBlockFileName(name) || indexed.count(name)) continue;
        const std::string path = folder + "/" + name;
        NSDataPtr data = NSDataWithContentsOfStoreFile(path);
        if (data && isOwnPayload(*data)) found.push_back(std::make_shared<VuderuDataSenderBlockInfo>(name, data->length(), NSDate::date()));
    }
    return found;
}

void VuderuDataSenderBlockInfo::removeUnindexedBlockFiles(const std::set<std::string>& indexed,
                                                          const std::function<bool(const NSData&)>& isOwnPayload) {
    for (const auto& block : unindexedBlockFiles(indexed, isOwnPayload)) NSFileManager::defaultManager()->removeItemAtPath(block->path(), nullptr);
}

NSDataPtr VuderuDataSenderBlockInfo::data() const {
    std::string file = path();
    if (file.empty()) return nullptr;
    NSErrorPtr error;
    NSDataPtr data = NSDataWithContentsOfStoreFile(file, &error);
    // A file far larger than any block is damaged: never read into memory, never sent.
    if (!data && error && error->code() == NSFileReadTooLargeError) VuderuLog("Vuderu: Block [%@] is too large; ignored", identifier_);
    return data;
}

bool VuderuDataSenderBlockInfo::setData(const NSDataPtr& data) {
    if (!data) return false;
    if (!data->writeToFile(path(), true)) {
        VuderuLog("Vuderu: Failed store block with id [%@]", identifier_);
        return false;
    }
    dataSize_ = data->length();
    creationDate_ = NSDate::date();
    return true;
}

bool VuderuDataSenderBlockInfo::deletePersistentData() {
    VuderuUtil::assertThreadIsNotMain();
    std::string file = path();
    if (file.empty()) return false;
    return std::make_shared<NSFileManager>()->removeItemAtPath(file, nullptr);
}

std::string VuderuDataSenderBlockInfo::description() const {
    return "Block [" + identifier_ + ", " + (creationDate_ ? creationDate_->description() : std::string("(null)")) + "]";
}
