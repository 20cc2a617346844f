// The session's files (the current session, the saved session records), its creation over a
// session left from the previous run, and the hand-over of reports to the sender.

#include "platform/foundation/StoreFile.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/ThreadSafety.h"
#include "sdk/analytics/VuderuDataSender.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuHTTPResponse.h"
#include "sdk/analytics/VuderuImpl.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuSession.h"
#include "sdk/analytics/VuderuUtil.h"
#include "sdk/crashreporter/VuderuCrashReport.h"
#include "sdk/crashreporter/VuderuCrashReporter.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace {

std::atomic<int> gMaxSessions{VuderuSession::kDefaultMaxSessions};

Mutex gCurrentSessionLock;
std::function<void()> gFileStepObserver;
std::shared_ptr<VuderuImpl> gCurrentSession TD_GUARDED_BY(gCurrentSessionLock);

std::string sessionFilePath(const char* name) {
    auto keyHash = static_cast<std::int32_t>(static_cast<std::uint32_t>(NSString::hash(VuderuImpl::instance()->apiKey())));
    return NSString::stringWithFormat("%@/.%@%d_%@.archive", VuderuUtil::filePathDirectory(), name, keyHash, VuderuSession::getAgentVersion());
}

void archiveToFile(const Value& root, const std::string& path) {
    if (NSKeyedArchiver::archiveRootObjectToFile(root, path)) VuderuUtil::addSkipBackupAttributeToItemAtURL(NSURL::fileURLWithPath(path));
}

// Whether `needle` stands somewhere in `haystack`.
bool bytesContain(const Value::Data& haystack, const std::uint8_t* needle, std::size_t length) {
    if (length == 0 || haystack.size() < length) return false;
    return std::search(haystack.begin(), haystack.end(), needle, needle + length) != haystack.end();
}

// The saved-sessions file holds the session records and, after a set-up took the session a run
// left, one marker naming the current-session file it took: the two are written in one step, so
// that a set-up cut short after it never takes that session again.
const std::string kTakenSessionMarker = "vuderuTakenSession:";

std::string takenSessionMarker(const NSData& currentFile) {
    return kTakenSessionMarker + std::to_string(VuderuUtil::dataChecksum(currentFile)) + ":" + std::to_string(currentFile.length());
}

bool isTakenSessionMarker(const Value& element) { return element.isString() && element.string().rfind(kTakenSessionMarker, 0) == 0; }

Value::Array savedSessionFileElements() {
    Value saved = VuderuUtil::safeUnarchiveObjectWithFile(VuderuSession::sessionsFilePath());
    return saved.isArray() ? saved.array() : Value::Array();
}

// Whether a saved record already carries these bytes (a crash report taken by a set-up that was
// cut short before it purged the report).
bool savedRecordCarries(const Value::Array& saved, const NSData& bytes) {
    for (const Value& element : saved)
        if (element.isData() && bytesContain(element.data(), bytes.bytes(), bytes.length())) return true;
    return false;
}

// The crash reports earlier runs left (queued by the reporter, or pending when it was not
// enabled), each with the session of the process that crashed: the left-over session when that
// process wrote it, otherwise a session of its own (the process crashed before it had written its
// session, and the left-over one, if any, is an older run's). A report a saved record already
// carries is only purged. Returns the sessions of their own and the reports' paths.
struct TakenCrashReports {
    std::vector<std::shared_ptr<VuderuSession>> ownSessions;
    std::vector<std::string> paths;
};

TakenCrashReports takeCrashReports(VuderuSession* leftOver, const Value::Array& saved, const std::string& apiKey) {
    TakenCrashReports taken;
    auto storage = VuderuGlobalVariableStorage::sharedInstance();
    if (!storage->crashReportingEnabled()) return taken;
    auto reporter = std::dynamic_pointer_cast<VuderuCrashReporter>(storage->vuderuCrashReporter());
    if (!reporter) return taken;
    for (const std::string& path : reporter->pendingCrashReportPaths()) {
        taken.paths.push_back(path);
        NSErrorPtr error;
        NSDataPtr data = VuderuCrashReporter::loadCrashReportDataAtPathError(path, &error);
        if (!data) VuderuLog("VuderuSession: Could not load crash report data: %@", error ? error->description() : std::string("nil"));
        if (data && savedRecordCarries(saved, *data)) continue;
        auto report = data ? VuderuCrashReport::initWithData(*data, nullptr) : nullptr;
        const auto& process = report ? report->processInfo() : nullptr;
        // What cannot be read for its process goes with the left-over session, as it always did;
        // the left-over session carries one crash, its process's.
        const bool leftOversOwn = leftOver && !leftOver->crashReportData() &&
                                  (!process || leftOver->processID() == 0 ||
                                   static_cast<std::uint64_t>(leftOver->processID()) == process->processID());
        if (leftOversOwn || (!leftOver && !data)) {
            if (leftOver) {
                leftOver->setCrashed(true);
                if (data) leftOver->setCrashReportData(data);
            }
            continue;
        }
        if (!data) continue;
        std::shared_ptr<NSDate> start;
        if (process) start = process->processStartTime();
        if (!start && report && report->systemInfo()) start = report->systemInfo()->timestamp();
        auto own = std::make_shared<VuderuSession>(apiKey, storage->appVersion(), start ? start : NSDate::date());
        own->setCrashed(true);
        own->setCrashReportData(data);
        taken.ownSessions.push_back(std::move(own));
    }
    return taken;
}

} // namespace

void VuderuSession::setupCurrentSessionWithKey(const std::optional<std::string>& apiKey) {
    MutexLock lock(gCurrentSessionLock);
    gCurrentSession = VuderuImpl::instance();
    gCurrentSession->setupForApiKey(apiKey);
}

std::shared_ptr<VuderuImpl> VuderuSession::currentSession() {
    MutexLock lock(gCurrentSessionLock);
    return gCurrentSession;
}

void VuderuSession::cleanup() {
    VuderuImpl::cleanup();
    {
        MutexLock lock(gCurrentSessionLock);
        gCurrentSession.reset();
    }
    VuderuDataSender::cleanup();
}

void VuderuSession::setFileStepObserverForTesting(std::function<void()> observer) { gFileStepObserver = std::move(observer); }

void VuderuSession::fileStepDone() {
    if (gFileStepObserver) gFileStepObserver();
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
    Value::Array records = savedSessionFileElements();
    records.erase(std::remove_if(records.begin(), records.end(), isTakenSessionMarker), records.end());
    return records;
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
    // Whatever a kill leaves of this, the next set-up takes each session and crash once: the
    // left-over session, the crashes' own sessions and the marker of the taken current-session
    // file are saved in one write; the current-session file and the crash reports go after it.
    NSDataPtr currentFile = NSDataWithContentsOfStoreFile(currentSessionFilePath());
    const std::string marker = currentFile ? takenSessionMarker(*currentFile) : std::string();
    Value::Array saved = savedSessionFileElements();
    const bool alreadyTaken = !marker.empty() && std::any_of(saved.begin(), saved.end(), [&](const Value& element) {
        return element.isString() && element.string() == marker;
    });
    auto leftOver = alreadyTaken ? nullptr : fromArchive(VuderuUtil::safeUnarchiveObjectWithFile(currentSessionFilePath()));
    TakenCrashReports crashes = takeCrashReports(leftOver.get(), saved, apiKey);
    Value::Array records;
    for (Value& element : saved)
        if (!isTakenSessionMarker(element)) records.push_back(std::move(element));
    if (leftOver) {
        VuderuLog("VuderuSession: Add session with startTime[%@] to saved sessions", leftOver->startTime());
        if (NSDataPtr record = leftOver->data()) records.emplace_back(record->vector());
        VuderuLog("VuderuSession: Add crashed former session");
    }
    for (const auto& own : crashes.ownSessions) {
        VuderuLog("VuderuSession: Add session with startTime[%@] to saved sessions", own->startTime());
        if (NSDataPtr record = own->data()) records.emplace_back(record->vector());
    }
    if (leftOver || !crashes.ownSessions.empty() || alreadyTaken) {
        records = removeOldSessionsIfNecessary(std::move(records));
        if (!marker.empty()) records.emplace_back(marker);
        setSavedSessions(records);
        fileStepDone();
    }
    removeCurrentSessionFile();
    fileStepDone();
    // Purged once saved: a launch ended before this finds them carried and only purges them.
    for (const std::string& path : crashes.paths) {
        VuderuCrashReporter::purgeCrashReportAtPathError(path, nullptr);
        fileStepDone();
    }
    auto session = std::make_shared<VuderuSession>(apiKey, VuderuGlobalVariableStorage::sharedInstance()->appVersion(), startTime);
    session->saveToDisk();
    fileStepDone();
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
        // A report stored by a run that ended before it emptied the saved sessions already
        // carries them: they go with that report only.
        if (auto sender = VuderuDataSender::instance()) {
            sessions.erase(std::remove_if(sessions.begin(), sessions.end(),
                                          [&](const Value& record) { return record.isData() && sender->storedReportCarries(record.data()); }),
                           sessions.end());
        }
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
        fileStepDone();
        fileStepDone();
        return sender != nullptr;
    } catch (...) {
        VuderuUtil::handleException(std::current_exception());
    }
    return false;
}
