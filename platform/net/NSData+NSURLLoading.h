#pragma once
// NSData's loading from a URL: a file URL is read from the device, any other URL is loaded
// synchronously through NSURLConnection (whatever the HTTP status, the body is the data).

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSURL.h"

namespace NSData_NSURLLoading {
NSDataPtr dataWithContentsOfURL(const NSURLPtr& url, NSErrorPtr* error = nullptr);
}
