// The session's files (the current session, the saved session records), its creation over a
// session left from the previous run, and the hand-over of reports to the sender.

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSURL.h"
#include "sdk/analytics/VuderuDataSender.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuHTTPResponse.h"
#include "sdk/analytics/VuderuImpl.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuSession.h"
#include "sdk/analytics/VuderuUtil.h"
#include "sdk/crashreporter/VuderuCrashReport.h"
#include "sdk/crashreporter/VuderuCrashReporter.h"

#include <atomic>
#include <mutex>

namespace {

std::atomic<int> gMaxSessions{VuderuSession::kDefaultMaxSessions};

std::mutex gCurrentSessionLock;
std::shared_ptr<VuderuImpl> gCurrentSession;

std::string sessionFilePath(const char* name) {
    auto keyHash = static_cast<std::int32_t>(static_cast<std::uint32_t>(NSString::hash(VuderuImpl::instance()->apiKey())));
    return NSString::stringWithFormat("%@/.%@%d_%@.archive", VuderuUtil::filePathDirectory(), name, keyHash, VuderuSession::getAgentVersion());
}

void archiveToFile(const Value& root, const std::string& path) {
    if (NSKeyedArchiver::archiveRootObjectToFile(root, path)) VuderuUtil::addSkipBackupAttributeToItemAtURL(NSURL::fileURLWithPath(path));
}

// The crash report a previous run left goes with the session of the process that crashed: the
// left-over session when that process wrote it, otherwise a session of its own (the process
// crashed before it had written its session, and the left-over one, if any, is an older run's).
// Returns that own session, or nil.
std::shared_ptr<VuderuSession> takePendingCrashReport(VuderuSession* leftOver, const std::string& apiKey) {
    auto storage = VuderuGlobalVariableStorage::sharedInstance();
    if (!storage->crashReportingEnabled()) return nullptr;
    auto reporter = std::dynamic_pointer_cast<VuderuCrashReporter>(storage->vuderuCrashReporter());
    if (!reporter || !reporter->hasPendingCrashReport()) return nullptr;
    NSErrorPtr error;
    NSDataPtr data = reporter->loadPendingCrashReportDataAndReturnError(&error);
    if (!data) VuderuLog("VuderuSession: Could not load crash report data: %@", error ? error->description() : std::string("nil"));
    auto report = data ? VuderuCrashReport::initWithData(*data, nullptr) : nullptr;
    const auto& process = report ? report->processInfo() : nullptr;
    // What cannot be read for its process goes with the left-over session, as it always did.
    const bool leftOversOwn =
        leftOver && (!process || leftOver->processID() == 0 || static_cast<std::uint64_t>(leftOver->processID()) == process->processID());
    if (leftOversOwn || (!leftOver && !data)) {
        if (leftOver) {
            leftOver->setCrashed(true);
            if (data) leftOver->setCrashReportData(data);
        }
        return nullptr;
    }
    if (!data) return nullptr;
    std::shared_ptr<NSDate> start;
    if (process) start = process->processStartTime();
    if (!start && report && report->systemInfo()) start = report->systemInfo()->timestamp();
    auto own = std::make_shared<VuderuSession>(apiKey, storage->appVersion(), start ? start : NSDate::date());
    own->setCrashed(true);
    own->setCrashReportData(data);
    return own;
}

} // namespace

void VuderuSession::setupCurrentSessionWithKey(const std::optional<std::string>& apiKey) {
    std::lock_guard lock(gCurrentSessionLock);
    gCurrentSession = VuderuImpl::instance();
    gCurrentSession->setupForApiKey(apiKey);
}

std::shared_ptr<VuderuImpl> VuderuSession::currentSession() {
    std::lock_guard lock(gCurrentSessionLock);
    return gCurrentSession;
}

void VuderuSession::cleanup() {
    VuderuImpl::cleanup();
    {
        std::lock_guard lock(gCurrentSessionLock);
        gCurrentSession.reset();
    }
    VuderuDataSender::cleanup();
}

std::string VuderuSession::sessionsFilePath() { return sessionFilePath("vuderuStored"); }

std::string VuderuSession::currentSessionFilePath() { return sessionFilePath("vuderuCurrent"); }

void VuderuSession::removeCurrentSessionFile() { NSFileManager::defaultManager()->removeItemAtPath(currentSessionFilePath(), nullptr); }

void VuderuSession::saveToDisk() {
    serializationVersion_ = kSerializationVersion;
    archiveToFile(Value(self<VuderuSession>()), currentSessionFilePath());
}

void VuderuSession::setMaxSessions(int maxSessions) { gMaxSessions = maxSessions; }

int VuderuSession::maxSessions() { return gMaxSessions; }

Value::Array VuderuSession::savedSessions() {
    Value saved = VuderuUtil::safeUnarchiveObjectWithFile(sessionsFilePath());
    return saved.isArray() ? saved.array() : Value::Array();
}

void VuderuSession::setSavedSessions(const Value::Array& sessions) { archiveToFile(Value(sessions), sessionsFilePath()); }

Value::Array VuderuSession::removeOldSessionsIfNecessary(Value::Array sessions) {
    const auto limit = static_cast<std::size_t>(std::max(0, maxSessions()));
    if (sessions.size() <= limit) return sessions;
    const std::size_t excess = sessions.size() - limit;
    VuderuLog("VuderuSession: Max sessions allowed[%d] exceeded", maxSessions());
    VuderuLog("VuderuSession: Removing [%lu] sessions from saved sessions", static_cast<unsigned long>(excess));
    sessions.erase(sessions.begin(), sessions.begin() + static_cast<std::ptrdiff_t>(excess));
    return sessions;
}

void VuderuSession::addToSavedSessions(VuderuSession& session) {
    VuderuLog("VuderuSession: Add session with startTime[%@] to saved sessions", session.startTime());
    Value::Array sessions = savedSessions();
    if (NSDataPtr record = session.data()) sessions.emplace_back(record->vector());
    setSavedSessions(removeOldSessionsIfNecessary(std::move(sessions)));
}

std::shared_ptr<VuderuSession> VuderuSession::sessionWithApiKeyStartTime(const std::string& apiKey, const std::shared_ptr<NSDate>& startTime) {
    auto leftOver = fromArchive(VuderuUtil::safeUnarchiveObjectWithFile(currentSessionFilePath()));
    auto crashedOnItsOwn = takePendingCrashReport(leftOver.get(), apiKey);
    if (leftOver) {
        addToSavedSessions(*leftOver);
        VuderuLog("VuderuSession: Add crashed former session");
    }
    if (crashedOnItsOwn) addToSavedSessions(*crashedOnItsOwn);
    // Purged once saved: a launch ended before this sends the report again rather than never.
    auto storage = VuderuGlobalVariableStorage::sharedInstance();
    if (auto reporter = std::dynamic_pointer_cast<VuderuCrashReporter>(storage->vuderuCrashReporter());
        reporter && storage->crashReportingEnabled() && reporter->hasPendingCrashReport())
        reporter->purgePendingCrashReport();
    removeCurrentSessionFile();
    auto session = std::make_shared<VuderuSession>(apiKey, VuderuGlobalVariableStorage::sharedInstance()->appVersion(), startTime);
    session->saveToDisk();
    VuderuLog("VuderuSession: Created active session with API[%@]", apiKey);
    return session;
}

bool VuderuSession::sendSessionsToServerIncludingCurrentSession(bool includeCurrent) {
    auto storage = VuderuGlobalVariableStorage::sharedInstance();
    if (VuderuUtil::hasUserOptedOut() && !storage->optOutSessionPending()) {
        VuderuLog("VuderuSession: User is opted out, not sending session report");
        setSavedSessions({});
        return false;
    }
    try {
        VuderuLog("VuderuSession: Sending sessions to server, include current %@", std::string(includeCurrent ? "YES" : "NO"));
        Value::Array sessions = savedSessions();
        if (includeCurrent) {
            if (NSDataPtr record = data()) sessions.emplace_back(record->vector());
        }
        if (auto savedResponse = storage->savedResponseUrl()) {
            VuderuHTTPResponse::readFromURL(*savedResponse);
            return false;
        }
        storage->setOptOutSessionPending(false);
        NSDataPtr report = dataForSessions(sessions);
        auto sender = VuderuDataSender::instance();
        if (sender) sender->sendSessionsData(report);
        VuderuLog("VuderuSession: Scheduled send %lu session(s).", static_cast<unsigned long>(sessions.size()));
        setSavedSessions({});
        return sender != nullptr;
    } catch (...) {
        VuderuUtil::handleException(std::current_exception());
    }
    return false;
}
