#pragma once
// The base URL the HTTP managers resolve relative paths against, and how they archive it.

#include "platform/foundation/NSCoder.h"
#include "platform/foundation/NSURL.h"

#include <string>

// A base with a path gets a trailing "/", so relative paths resolve below it; a bare host stays.
NSURLPtr NKNormalizedBaseURL(NSURLPtr url);
// URLs are not archivable objects: the base goes into an archive as its absolute string.
void NKEncodeBaseURL(NSCoder& coder, const NSURLPtr& url, const std::string& key);
NSURLPtr NKDecodeBaseURL(const NSCoder& coder, const std::string& key);
