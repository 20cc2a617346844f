// The operation archived and unarchived (NSCoding): its request, state, response, error, body and count.
#include "netkit/NKURLConnectionOperation.h"

#include "platform/foundation/NSKeyedUnarchiver.h"

namespace {

const bool registeredNKURLConnectionOperation =
    (NSKeyedUnarchiver::registerClass("NKURLConnectionOperation",
                                      [](const NSCoder& coder) -> std::shared_ptr<NSObject> {
                                          return NKURLConnectionOperation::initWithCoder(coder);
                                      }),
     true);

// An error as archived: its domain, code, and the user-info entries an archive can hold.
Value archivedError(const NSErrorPtr& error) {
    if (!error) return {};
    Value::Dictionary userInfo;
    for (const auto& [key, value] : error->userInfo()) {
        if (value.isString() || value.isNumber()) {
            userInfo[key] = value;
        } else if (auto url = value.objectAs<NSURL>()) {
            userInfo[key] = url->absoluteString();
        }
    }
    return Value(Value::Dictionary{{"domain", error->domain()}, {"code", static_cast<long long>(error->code())}, {"userInfo", userInfo}});
}

NSErrorPtr unarchivedError(const Value& value) {
    if (!value.isDictionary() || !value["domain"].isString()) return nullptr;
    Value::Dictionary userInfo = value["userInfo"].isDictionary() ? value["userInfo"].dictionary() : Value::Dictionary{};
    return NSError::errorWithDomain(value["domain"].string(), static_cast<long>(value["code"].integerValue()), userInfo);
}

} // namespace

void NKURLConnectionOperation::encodeWithCoder(NSCoder& coder) const {
    // Archiving stops a running transfer: what is archived must not change under the archiver.
    const_cast<NKURLConnectionOperation*>(this)->pause();
    coder.encodeObjectForKey(Value(request()), "request");
    NKConnectionOperationState state = state_;
    if (state == NKOperationPausedState || state == NKOperationExecutingState) state = NKOperationReadyState;
    coder.encodeInt64ForKey(state, "state");
    coder.encodeObjectForKey(response() ? Value(response()) : Value(), "response");
    coder.encodeObjectForKey(archivedError(NKURLConnectionOperation::error()), "error");
    NSDataPtr data = responseData();
    coder.encodeObjectForKey(data ? Value(data->vector()) : Value(), "responseData");
    coder.encodeInt64ForKey(totalBytesRead_, "totalBytesRead");
}

NKURLConnectionOperationPtr NKURLConnectionOperation::initWithCoder(const NSCoder& coder) {
    auto operation = initWithRequest(coder.decodeObjectForKey("request").objectAs<NSURLRequest>());
    if (operation) operation->decodeRestFrom(coder);
    return operation;
}

void NKURLConnectionOperation::decodeRestFrom(const NSCoder& coder) {
    setState(coder.decodeInt64ForKey("state"));
    MutexLock guard(*lock_);
    response_ = coder.decodeObjectForKey("response").objectAs<NSURLResponse>();
    error_ = unarchivedError(coder.decodeObjectForKey("error"));
    Value data = coder.decodeObjectForKey("responseData");
    responseData_ = data.isData() ? std::make_shared<NSData>(data.data()) : nullptr;
    totalBytesRead_ = coder.decodeInt64ForKey("totalBytesRead");
}
