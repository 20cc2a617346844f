#include "sdk/analytics/VuderuDataSenderIndex.h"

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {

constexpr const char* kIndexKey = "index";
constexpr const char* kSentReportSuccessfulKey = "VuderuSentReportSuccessfulKey";

const bool registeredVuderuDataSenderIndex = (NSKeyedUnarchiver::registerClass<VuderuDataSenderIndex>("VuderuDataSenderIndex"), true);

} // namespace

std::string VuderuDataSenderIndex::indexFilePath() {
    return VuderuUtil::filePathDirectory() + "/" + kIndexFileName;
}

std::shared_ptr<VuderuDataSenderIndex> VuderuDataSenderIndex::instantiatedIndex() {
    VuderuUtil::assertThreadIsNotMain();
    (void)registeredVuderuDataSenderIndex;
    if (auto index = VuderuUtil::safeUnarchiveObjectWithFile(indexFilePath()).objectAs<VuderuDataSenderIndex>()) return index;
    return std::make_shared<VuderuDataSenderIndex>();
}

VuderuDataSenderIndex::VuderuDataSenderIndex(const NSCoder& coder) {
    Value index = coder.decodeObjectForKey(kIndexKey);
    if (index.isDictionary()) {
        for (const auto& [key, blocks] : index.dictionary()) {
            if (!blocks.isArray()) continue;
            auto& list = indexMap_[key];
            for (const Value& block : blocks.array()) {
                if (auto info = block.objectAs<VuderuDataSenderBlockInfo>()) list.push_back(std::move(info));
            }
        }
    }
    sentReportSuccessfully_ = coder.decodeBoolForKey(kSentReportSuccessfulKey);
}

void VuderuDataSenderIndex::encodeWithCoder(NSCoder& coder) const {
    Value::Dictionary index;
    for (const auto& [key, blocks] : indexMap_) {
        Value::Array list;
        for (const auto& block : blocks) list.emplace_back(block);
        index[key] = Value(std::move(list));
    }
    coder.encodeObjectForKey(Value(std::move(index)), kIndexKey);
    coder.encodeBoolForKey(sentReportSuccessfully_, kSentReportSuccessfulKey);
}

void VuderuDataSenderIndex::saveState() {
    VuderuUtil::assertThreadIsNotMain();
    NSKeyedArchiver::archiveRootObjectToFile(Value(self<VuderuDataSenderIndex>()), indexFilePath());
}

void VuderuDataSenderIndex::addBlockInfoForDataKey(const VuderuDataSenderBlockInfoPtr& block, const std::optional<std::string>& dataKey) {
    if (!block || !dataKey) return;
    indexMap_[*dataKey].push_back(block);
    saveState();
}

void VuderuDataSenderIndex::removeBlockInfoWithIdentifierForDataKey(const std::optional<std::string>& identifier,
                                                                    const std::optional<std::string>& dataKey) {
    if (!identifier || !dataKey) return;
    auto found = indexMap_.find(*dataKey);
    if (found == indexMap_.end()) return;
    auto& blocks = found->second;
    for (auto it = blocks.begin(); it != blocks.end(); ++it) {
        if ((*it)->identifier() != *identifier) continue;
        (*it)->deletePersistentData();
        blocks.erase(it);
        saveState();
        return;
    }
}

void VuderuDataSenderIndex::setupForCurrentDataKey(const std::optional<std::string>& dataKey) {
    VuderuUtil::assertThreadIsNotMain();
    if (!dataKey) return;
    bool changed = false;
    for (auto it = indexMap_.begin(); it != indexMap_.end();) {
        if (it->first == *dataKey) {
            ++it;
            continue;
        }
        for (const auto& block : it->second) block->deletePersistentData();
        it = indexMap_.erase(it);
        changed = true;
    }
    // A removal deletes the block's file before it saves the index, so a process ended between
    // the two leaves a record that no resend can ever send: forget those here.
    if (auto current = indexMap_.find(*dataKey); current != indexMap_.end()) {
        auto fileManager = NSFileManager::defaultManager();
        const auto before = current->second.size();
        std::erase_if(current->second, [&](const VuderuDataSenderBlockInfoPtr& block) { return !fileManager->fileExistsAtPath(block->path()); });
        changed = changed || current->second.size() != before;
    }
    // Trimming runs at every start: a launch that never saw its last upload end never trimmed.
    if (!discardOutdatedBlocksForDataKey(dataKey) && changed) saveState();
}

bool VuderuDataSenderIndex::discardOutdatedBlocksForDataKey(const std::optional<std::string>& dataKey) {
    if (!dataKey || dataKey->empty()) return false;
    auto found = indexMap_.find(*dataKey);
    if (found == indexMap_.end() || found->second.size() <= kMaximumBlocksPerKey) return false;
    auto& blocks = found->second;
    const auto excess = static_cast<std::ptrdiff_t>(blocks.size() - kMaximumBlocksPerKey);
    for (auto it = blocks.begin(); it != blocks.begin() + excess; ++it) (*it)->deletePersistentData();
    blocks.erase(blocks.begin(), blocks.begin() + excess);
    saveState();
    return true;
}

std::vector<VuderuDataSenderBlockInfoPtr> VuderuDataSenderIndex::notSentBlocksForDataKey(const std::optional<std::string>& dataKey) const {
    VuderuUtil::assertThreadIsNotMain();
    if (!dataKey) return {};
    auto found = indexMap_.find(*dataKey);
    return found == indexMap_.end() ? std::vector<VuderuDataSenderBlockInfoPtr>{} : found->second;
}
