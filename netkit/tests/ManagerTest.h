#pragma once
// What the two managers' tests share: a record of what a success or failure block was called
// with, and a multipart upload with parts of every kind whose bytes a mail reader must read back
// unchanged.

#include "MultipartMailReader.h"
#include "netkit/NKMultipartFormData.h"
#include "platform/net/NSURLError.h"
#include "platform/testsupport/CodedBodies.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

constexpr double kManagerWait = 20;

// `Handle` is what the manager's blocks are given: its operation, or its session's task.
template <class Handle>
class ManagerTest : public DeviceTest {
protected:
    struct Outcome {
        bool done = false;
        int arguments = 0;
        Value object;
        NSErrorPtr error;
        Handle handle;
    };

    static auto onSuccess(const std::shared_ptr<Outcome>& outcome) {
        return [outcome](const Handle& handle, const Value& object) {
            outcome->handle = handle;
            outcome->object = object;
            outcome->arguments = 2;
            outcome->done = true;
        };
    }
    // HEAD's success block is given the handle alone.
    static auto onHeadSuccess(const std::shared_ptr<Outcome>& outcome) {
        return [outcome](const Handle& handle) {
            outcome->handle = handle;
            outcome->arguments = 1;
            outcome->done = true;
        };
    }
    static auto onFailure(const std::shared_ptr<Outcome>& outcome) {
        return [outcome](const Handle& handle, const NSErrorPtr& error) {
            outcome->handle = handle;
            outcome->error = error;
            outcome->done = true;
        };
    }
    void wait(const std::shared_ptr<Outcome>& outcome) { ASSERT_TRUE(runMainUntil([&] { return outcome->done; }, kManagerWait)); }

    // One JSON answer in each content coding, served under the coding's name: gzip and deflate
    // arrive decoded, as the device's loading gives them; a coding nothing reads fails the load.
    struct CodedAnswer {
        std::string path;
        bool decoded;
    };
    static Value codedJSONValue() { return Value(Value::Dictionary{{"users", Value(Value::Array{1, 2})}}); }
    static std::vector<CodedAnswer> serveCodedJSON(LoopbackHTTPServer& server) {
        const std::string json = R"({"users":[1,2]})";
        auto serve = [&](const std::string& path, const std::string& coding, const std::string& body) {
            server.route(path, LoopbackHTTPServer::fixed(200, {{"Content-Type", "application/json"}, {"Content-Encoding", coding}}, body));
        };
        serve("/gzip", "gzip", coded_bodies::compressed(json, coded_bodies::Format::Gzip));
        serve("/deflate", "deflate", coded_bodies::compressed(json, coded_bodies::Format::Zlib));
        serve("/br", "br", json);
        serve("/bogus", "bogus", json);
        return {{"gzip", true}, {"deflate", true}, {"br", false}, {"bogus", false}};
    }
    static void expectCodedOutcome(const CodedAnswer& answer, const Outcome& outcome) {
        if (answer.decoded) {
            EXPECT_FALSE(outcome.error);
            EXPECT_EQ(outcome.object, codedJSONValue());
            return;
        }
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(outcome.error->code(), NSURLErrorCannotDecodeContentData);
    }

    // A file whose bytes hold a closing boundary of their own, a piece of data, and a stream
    // longer than one buffer.
    struct UploadParts {
        std::string binary;
        std::string streamed = std::string(70000, 's');
    };
    UploadParts writeUploadParts() const {
        UploadParts parts;
        for (int i = 0; i < 4096; ++i) parts.binary += static_cast<char>((i * 7) % 256);
        parts.binary += "\r\n--Boundary+0000000000000000--\r\n";
        this->writeFile("/tmp/photo.png", parts.binary);
        return parts;
    }
    static void appendUploadParts(NKMultipartFormData& form, const UploadParts& parts) {
        NSErrorPtr error;
        EXPECT_TRUE(form.appendPartWithFileURL(NSURL::fileURLWithPath("/tmp/photo.png"), "photo", &error));
        form.appendPartWithFileData(NSData::dataWithString("{\"k\":1}"), "meta", "meta.json", "application/json");
        form.appendPartWithInputStream(NSInputStream::inputStreamWithData(NSData::dataWithString(parts.streamed)), "log", "log.txt",
                                       static_cast<std::int64_t>(parts.streamed.size()), "text/plain");
    }
    // The mail reader's lines for the parts appendUploadParts adds, after the parameters' own.
    static std::string uploadPartsAsMail(const UploadParts& parts) {
        std::ostringstream lines;
        lines << "photo photo.png image/png " << sha256Hex(parts.binary) << "\n"
              << "meta meta.json application/json " << sha256Hex("{\"k\":1}") << "\n"
              << "log log.txt text/plain " << sha256Hex(parts.streamed) << "\n";
        return lines.str();
    }
    // The request's body as a mail reader reads it, once its announced length is checked.
    static std::string readAsMail(const LoopbackRequest& request) {
        EXPECT_EQ(request.header("Content-Length").value_or(""), std::to_string(request.body.size()));
        TemporaryFolder folder;
        return readMultipartAsMail(folder.path(), request.body, request.header("Content-Type").value_or(""));
    }
};
