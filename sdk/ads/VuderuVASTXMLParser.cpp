#include "sdk/ads/VuderuVASTXMLParser.h"

#include "sdk/ads/VuderuAdManager.h"
#include "sdk/analytics/VuderuLog.h"

#include <algorithm>

VuderuVASTXMLParser::VuderuVASTXMLParser(std::string adGuid, DelegatePtr delegate) : adGuid_(std::move(adGuid)), delegate_(std::move(delegate)) {}

std::shared_ptr<VuderuVASTXMLParser> VuderuVASTXMLParser::initWithAdGUIDWithDelegate(std::string adGuid, DelegatePtr delegate) {
    return std::make_shared<VuderuVASTXMLParser>(std::move(adGuid), std::move(delegate));
}

void VuderuVASTXMLParser::parse(const std::string& text) {
    if (finished_) return;
    auto self = this->self<VuderuVASTXMLParser>();
    // Refused before a copy of it is made, as the XML parser would refuse it.
    if (text.size() > kMaxDocumentLength) {
        VuderuLog("Parse Error: VAST document of %lu bytes is longer than %lu bytes", static_cast<unsigned long>(text.size()),
                  static_cast<unsigned long>(kMaxDocumentLength));
        finish(Outcome::Failure);
        return;
    }
    mainParser_ = NSXMLParser::initWithData(NSData::dataWithString(text));
    mainParser_->setDelegate(std::shared_ptr<NSXMLParserDelegate>(self));
    mainParser_->setMaximumLength(kMaxDocumentLength);
    droppedUrls_ = false;
    insideTag_.clear();
    taken_.clear();
    bool parsed = mainParser_->parse();
    // A document that did not parse has already ended the chain.
    if (finished_) return;
    continueChain(parsed);
}

void VuderuVASTXMLParser::continueChain(bool parsed) {
    if (!recordWrapperURI()) {
        VuderuLog("VuderuAds: VAST wrapper chain returns to %@", currentWrapperURI_);
        finish(Outcome::Failure);
        return;
    }
    if (adFormatType_ != VuderuVASTAdFormatWrapper) {
        storeManager(parsed);
        return;
    }
    // A wrapper that names nothing further would be fetched again for ever; a long chain is
    // cut where the bound lies.
    if (currentUriArray_.empty() || currentWrapperDepth_ >= kMaxWrapperFetches || !followsWrappers_) {
        VuderuLog("VuderuAds: VAST wrapper chain ends without an ad at depth %d", currentWrapperDepth_);
        finish(Outcome::Failure);
        return;
    }
    currentUriArray_.clear();
    currentUriEntry_.reset();
    // The answer is read no further than a document may be long.
    wrapperTask_ = VuderuHttpAsyncTask::getBounded(currentWrapperURI_, kMaxDocumentLength,
                                                   std::shared_ptr<VuderuHttpAsyncTaskDelegate>(self<VuderuVASTXMLParser>()));
}

bool VuderuVASTXMLParser::recordWrapperURI() {
    // Kept under the root ad's id, or under "" when the first ad has none, so that a cycle is
    // found either way.
    const std::string root = rootAdId_.value_or("");
    auto chain = chainedUrls_.find(root);
    if (chain != chainedUrls_.end()) {
        if (currentUriArray_.empty()) return true;
        currentWrapperURI_ = currentUriArray_.front();
        if (std::find(chain->second.begin(), chain->second.end(), currentWrapperURI_) != chain->second.end()) return false;
        chain->second.push_back(currentWrapperURI_);
        return true;
    }
    std::vector<std::string> uris;
    if (!currentUriArray_.empty()) {
        currentWrapperURI_ = currentUriArray_.front();
        uris.push_back(currentWrapperURI_);
    }
    chainedUrls_[root] = std::move(uris);
    return true;
}

void VuderuVASTXMLParser::storeManager(bool parsed) {
    vuderuVASTManager_ = managerBuilder_.build();
    mainParser_.reset();
    VuderuAdManager::instance()->setVastManagerForAdGuid(adGuid_, vuderuVASTManager_);
    if (adFormatType_ == VuderuVASTAdFormatInLine) VuderuLog(parsed ? "Parse completed successfully!" : "Parse unsuccessful!");
    finish(Outcome::Success);
}

void VuderuVASTXMLParser::finish(Outcome outcome) {
    if (finished_) return;
    finished_ = true;
    wrapperTask_.reset();
    // Letting go of the delegate ends what the chain holds.
    DelegatePtr delegate = std::move(delegate_);
    if (!delegate) return;
    switch (outcome) {
        case Outcome::Success: delegate->parseSuccessful(adGuid_); break;
        case Outcome::Failure: delegate->parseDidFail(adGuid_); break;
        case Outcome::Cancel: delegate->parsetDidCancel(adGuid_); break;
    }
}

void VuderuVASTXMLParser::parserParseErrorOccurred(NSXMLParser&, const NSErrorPtr& parseError) {
    VuderuLog("Parse Error: %@", parseError ? parseError->description() : std::string("(null)"));
    finish(Outcome::Failure);
}

void VuderuVASTXMLParser::requestSuccessfulWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) {
    if (finished_ || task != wrapperTask_) return;
    wrapperTask_.reset();
    std::string text;
    if (response && response->body()) text = std::string(response->body()->stringView());
    if (task->connection() && task->connection()->originalRequest() && task->connection()->originalRequest()->URL()) {
        currentWrapperURI_ = task->connection()->originalRequest()->URL()->absoluteString();
    }
    ++currentWrapperDepth_;
    parse(text);
}

void VuderuVASTXMLParser::requestDidFailWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr&) {
    if (task == wrapperTask_) finish(Outcome::Failure);
}

void VuderuVASTXMLParser::requestDidCancelWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr&) {
    if (task == wrapperTask_) finish(Outcome::Cancel);
}

void VuderuVASTXMLParser::resetValues() {
    mediaFiles_->clear();
    creatives_->clear();
    impressions_->clear();
    ads_->clear();
    trackingEventsDic_->clear();
}
