#include "netkit/NKURLSessionManagerTaskDelegate.h"

#include "netkit/NKURLSessionManager.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSNotificationCenter.h"

const std::string NKNetworkingTaskDidCompleteNotification = "com.netkit.networking.task.complete";
const std::string NKNetworkingTaskDidCompleteResponseSerializerKey = "com.netkit.networking.task.complete.responseserializer";
const std::string NKNetworkingTaskDidCompleteResponseDataKey = "com.netkit.networking.complete.finish.responsedata";
const std::string NKNetworkingTaskDidCompleteSerializedResponseKey = "com.netkit.networking.task.complete.serializedresponse";
const std::string NKNetworkingTaskDidCompleteAssetPathKey = "com.netkit.networking.task.complete.assetpath";
const std::string NKNetworkingTaskDidCompleteErrorKey = "com.netkit.networking.task.complete.error";
const std::string NKURLSessionDownloadTaskDidFailToMoveFileNotification = "com.netkit.networking.session.download.file-manager-error";

dispatch_queue_t url_session_manager_processing_queue() {
    static dispatch_queue_t queue = dispatch_queue_create("com.netkit.networking.session.manager.processing", DISPATCH_QUEUE_CONCURRENT);
    return queue;
}

dispatch_group_t url_session_manager_completion_group() {
    static dispatch_group_t group = dispatch_group_create();
    return group;
}

NKURLSessionManagerTaskDelegate::NKURLSessionManagerTaskDelegate()
    : data_(NSData::data()), uploadProgress_(std::make_shared<NSProgress>(nullptr, Value::Dictionary{})),
      downloadProgress_(std::make_shared<NSProgress>(nullptr, Value::Dictionary{})) {}

NSURLPtr NKURLSessionManagerTaskDelegate::downloadFileURL() const {
    MutexLock guard(mutex_);
    return downloadFileURL_;
}

NSDataPtr NKURLSessionManagerTaskDelegate::mutableData() const {
    MutexLock guard(mutex_);
    return data_;
}

void NKURLSessionManagerTaskDelegate::URLSessionTaskDidSendBodyData(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, long long,
                                                                    long long totalBytesSent, long long totalBytesExpectedToSend) {
    uploadProgress_->setTotalUnitCount(totalBytesExpectedToSend);
    uploadProgress_->setCompletedUnitCount(totalBytesSent);
}

void NKURLSessionManagerTaskDelegate::URLSessionDataTaskDidReceiveData(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&,
                                                                       const NSDataPtr& data) {
    {
        MutexLock guard(mutex_);
        data_->appendData(*data);
    }
    downloadProgress_->setCompletedUnitCount(downloadProgress_->completedUnitCount() + static_cast<long long>(data->length()));
}

void NKURLSessionManagerTaskDelegate::URLSessionDownloadTaskDidWriteData(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&, long long,
                                                                         long long totalBytesWritten, long long totalBytesExpectedToWrite) {
    downloadProgress_->setTotalUnitCount(totalBytesExpectedToWrite);
    downloadProgress_->setCompletedUnitCount(totalBytesWritten);
}

void NKURLSessionManagerTaskDelegate::URLSessionDownloadTaskDidResumeAtOffset(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&,
                                                                              long long fileOffset, long long expectedTotalBytes) {
    downloadProgress_->setTotalUnitCount(expectedTotalBytes);
    downloadProgress_->setCompletedUnitCount(fileOffset);
}

void NKURLSessionManagerTaskDelegate::URLSessionDownloadTaskDidFinishDownloadingToURL(const NSURLSessionPtr& session,
                                                                                      const NSURLSessionDownloadTaskPtr& task,
                                                                                      const NSURLPtr& location) {
    NSURLPtr destination = downloadTaskDidFinishDownloading ? downloadTaskDidFinishDownloading(session, task, location) : nullptr;
    NSErrorPtr moveError;
    // A destination that is the file's own place needs no move.
    if (destination && destination->path() != location->path() &&
        !NSFileManager::defaultManager()->moveItemAtPath(location->path(), destination->path(), &moveError)) {
        if (!moveError) moveError = NSError::errorWithDomain(NSCocoaErrorDomain, 4);
        NSNotificationCenter::defaultCenter()->postNotificationName(NKURLSessionDownloadTaskDidFailToMoveFileNotification, Value(task),
                                                                    moveError->userInfo());
    }
    MutexLock guard(mutex_);
    downloadFileURL_ = destination;
    moveError_ = moveError;
}

void NKURLSessionManagerTaskDelegate::URLSessionTaskDidCompleteWithError(const NSURLSessionPtr&, const NSURLSessionTaskPtr& task,
                                                                         const NSErrorPtr& error) {
    auto strongManager = manager.lock();
    auto self = this->self<NKURLSessionManagerTaskDelegate>();
    auto userInfo = std::make_shared<Value::Dictionary>();
    std::shared_ptr<NKURLResponseSerialization> serializer = strongManager ? strongManager->responseSerializer() : nullptr;
    if (auto object = std::dynamic_pointer_cast<NSObject>(serializer)) (*userInfo)[NKNetworkingTaskDidCompleteResponseSerializerKey] = Value(object);
    NSURLPtr fileURL;
    NSErrorPtr moveError;
    NSDataPtr data;
    {
        MutexLock guard(mutex_);
        fileURL = downloadFileURL_;
        moveError = moveError_;
        data = NSData::dataWithBytes(data_->bytes(), data_->length());
    }
    if (fileURL) {
        (*userInfo)[NKNetworkingTaskDidCompleteAssetPathKey] = Value(fileURL);
    } else {
        (*userInfo)[NKNetworkingTaskDidCompleteResponseDataKey] = Value(data);
    }
    dispatch_group_t group = strongManager && strongManager->completionGroup() ? strongManager->completionGroup()
                                                                                : url_session_manager_completion_group();
    dispatch_queue_t queue = strongManager && strongManager->completionQueue() ? strongManager->completionQueue() : dispatch_get_main_queue();
    auto handler = completionHandler;
    auto finish = [group, queue, handler, task, userInfo](Value object, NSErrorPtr failure) {
        dispatch_group_async(group, queue, [handler, task, userInfo, object, failure] {
            if (handler) handler(task->response(), object, failure);
            dispatch_async(dispatch_get_main_queue(), [task, userInfo] {
                NSNotificationCenter::defaultCenter()->postNotificationName(NKNetworkingTaskDidCompleteNotification, Value(task), *userInfo);
            });
        });
    };
    // A transport error, or a download that could not be put where it was asked: no serialization.
    if (NSErrorPtr failure = error ? error : moveError) {
        (*userInfo)[NKNetworkingTaskDidCompleteErrorKey] = Value(failure);
        finish(Value(), failure);
        return;
    }
    dispatch_async(url_session_manager_processing_queue(), [self, serializer, task, data, fileURL, userInfo, finish] {
        NSErrorPtr serializationError;
        Value object = serializer ? serializer->responseObjectForResponse(task->response(), data, &serializationError) : Value();
        if (fileURL) object = Value(fileURL);
        if (!object.isNull()) (*userInfo)[NKNetworkingTaskDidCompleteSerializedResponseKey] = object;
        if (serializationError) (*userInfo)[NKNetworkingTaskDidCompleteErrorKey] = Value(serializationError);
        finish(object, serializationError);
    });
}
