#!/usr/bin/python3
"""The ad protocol as another Avro implementation sees it (Debian's python3-avro), with schemas
written from the protocol's tables by hand, not taken from the SDK.

  check-request IN            decodes an AdRequest field by field, prints it as JSON (bytes as
                              hex) and fails unless re-encoding gives the same bytes
  encode-response OUT         writes an AdResponse: three units, a duplicate callback event, an
                              empty payload and a configuration
  check-log-request IN        decodes an SdkLogRequest field by field, prints it as JSON (bytes as
                              hex) and fails unless re-encoding gives the same bytes
  encode-log-response OUT RESULT [ERROR...]
"""
import io
import json
import sys

import avro.io
import avro.schema

V10 = "com.vuderu.adServer.networking.protocol.v10"
V2 = "com.vuderu.adServer.networking.protocol.v2"
V1 = "com.vuderu.adServer.networking.protocol.v1"


def field(name, type_):
    return {"name": name, "type": type_}


def array(items):
    return {"type": "array", "items": items}


def string_map():
    return {"type": "map", "values": "string"}


AD_RESPONSE = {
    "type": "record", "name": "AdResponse", "namespace": V10, "fields": [
        field("adUnits", array({
            "type": "record", "name": "AdUnit", "fields": [
                field("adSpace", "string"), field("expiration", "long"),
                field("adFrames", array({
                    "type": "record", "name": "AdFrame", "fields": [
                        field("binding", "int"), field("display", "string"), field("content", "string"),
                        field("adSpaceLayout", {"type": "record", "name": "AdSpaceLayout", "fields": [
                            field("adWidth", "int"), field("adHeight", "int"), field("fix", "string"),
                            field("format", "string"), field("alignment", "string")]}),
                        field("callbacks", array({"type": "record", "name": "Callback", "fields": [
                            field("event", "string"), field("actions", array("string"))]})),
                        field("adGuid", "string"), field("cachingEnum", "int"),
                        field("assetExpirationTimestampUTCMillis", "long"),
                        field("cacheWhitelistedAssets", array("string")), field("cacheBlacklistedAssets", array("string"))]})),
                field("combinable", "int"), field("groupId", "string"), field("idHash", "string"), field("serveTime", "long"),
                field("newCap", "int"), field("previousCap", "int"), field("previousCapType", "int"),
                field("expirationTime", "long"), field("price", "long"), field("adomain", "string"),
                field("closableTime", "long"), field("rewardable", "boolean"), field("preRenderTimeoutMillis", "long"),
                field("preCacheAdSkippableTimeLimitMillis", "int"), field("videoAutoPlay", "boolean"),
                field("supportMRAID", "boolean"), field("preRender", "boolean"), field("renderTime", "boolean"),
                field("clientSideRtbPayload", string_map()),
                field("screenOrientation", {"type": "enum", "name": "ScreenOrientationType",
                                            "symbols": ["PORTRAIT", "LANDSCAPE", "UNKNOWN"]})]})),
        field("errors", array("string")),
        field("configuration", [{"type": "record", "name": "Configuration", "fields": [
            field("sdkAssetUrl", "string"), field("cacheSizeMb", "int"), field("maxAssetSizeKb", "int")]}, "null"])]}

def with_default(name, type_, default):
    return {"name": name, "type": type_, "default": default}


ORIENTATION = {"type": "enum", "name": "ScreenOrientationType", "symbols": ["PORTRAIT", "LANDSCAPE", "UNKNOWN"]}

# Defaults that do not match their types are the servers' own; they play no part in the bytes,
# so they are left out here (this implementation checks them).
AD_REQUEST = {
    "type": "record", "name": "AdRequest", "namespace": V10, "fields": [
        field("apiKey", "string"), field("agentVersion", "string"), field("adSpaceName", "string"),
        field("sessionId", "long"),
        field("adReportedIds", array({"type": "record", "name": "AdReportedId", "fields": [
            field("type", "int"), field("id", "bytes")]})),
        field("location", {"type": "record", "name": "Location", "fields": [
            with_default("lat", "float", 0.0), with_default("lon", "float", 0.0)]}),
        with_default("testDevice", "boolean", False), field("bindings", array("int")),
        field("adViewContainer", {"type": "record", "name": "AdViewContainer", "fields": [
            field("viewWidth", "int"), field("viewHeight", "int"), field("screenWidth", "int"), field("screenHeight", "int"),
            field("density", "float"), field("screenOrientation", ORIENTATION)]}),
        field("locale", "string"), field("timezone", "string"), field("osVersion", "string"), field("devicePlatform", "string"),
        field("testAds", {"type": "record", "name": "TestAds", "fields": [field("adspacePlacement", "int")]}),
        field("keywords", string_map()), field("refresh", "boolean"), field("canDoSKAppStore", "boolean"),
        field("networkStatus", "int"),
        field("frequencyCapInfos", array({"type": "record", "name": "FrequencyCapInfo", "fields": [
            field("idHash", "string"), field("serveTime", "long"), field("expirationTime", "long"), field("views", "int"),
            field("newCap", "int"), field("previousCap", "int"), field("previousCapType", "int")]})),
        field("adTrackingEnabled", "boolean"), field("preferredLanguage", "string"), field("bcat", array("string")),
        field("userAgent", "string"),
        field("targetingOverride", {"type": "record", "name": "TargetingOverride", "fields": [
            field("ageRange", "int"), field("gender", "int"), field("personas", array("int"))]}),
        field("sendConfiguration", "boolean"), field("origins", array("string")), field("renderTime", "boolean"),
        field("clientSideRtbPayload", string_map())]}

AD_REPORTED_ID = {"type": "record", "name": "AdReportedId", "fields": [field("type", "int"), field("id", "bytes")]}

SDK_LOG_REQUEST = {
    "type": "record", "name": "SdkLogRequest", "namespace": V2, "fields": [
        field("apiKey", "string"), field("adReportedIds", array(AD_REPORTED_ID)),
        field("sdkAdLogs", array({"type": "record", "name": "SdkAdLog", "fields": [
            field("sessionId", "long"), field("adLogGUID", "string"),
            field("sdkAdEvents", array({"type": "record", "name": "SdkAdEvent", "fields": [
                field("type", "string"), field("params", string_map()), field("timeOffset", "long")]}))]})),
        field("agentTimestamp", "long"), field("agentVersion", "string"), field("testDevice", "boolean")]}

SDK_LOG_RESPONSE = {"type": "record", "name": "SdkLogResponse", "namespace": V1,
                    "fields": [field("result", "string"), field("errors", array("string"))]}


def parse(schema):
    return avro.schema.parse(json.dumps(schema))


def encode(schema, datum):
    out = io.BytesIO()
    avro.io.DatumWriter(schema).write(datum, avro.io.BinaryEncoder(out))
    return out.getvalue()


def frame(guid, callbacks, layout=True):
    return {"binding": 2, "display": "<html>%s</html>" % guid, "content": "content of " + guid,
            "adSpaceLayout": {"adWidth": 320, "adHeight": 50, "fix": "both", "format": "takeover" if layout else "banner",
                              "alignment": "b-c"},
            "callbacks": callbacks, "adGuid": guid, "cachingEnum": 1, "assetExpirationTimestampUTCMillis": 1999,
            "cacheWhitelistedAssets": ["white.mp4"], "cacheBlacklistedAssets": []}


def unit(space, frames, payload, orientation, cap):
    return {"adSpace": space, "expiration": 1700000000000, "adFrames": frames, "combinable": 0, "groupId": "group-" + space,
            "idHash": "hash-" + space, "serveTime": 1600000000000, "newCap": cap, "previousCap": -1, "previousCapType": 0,
            "expirationTime": 1800000000000, "price": 12, "adomain": "example.com", "closableTime": 0, "rewardable": False,
            "preRenderTimeoutMillis": 10000, "preCacheAdSkippableTimeLimitMillis": 20000, "videoAutoPlay": True,
            "supportMRAID": False, "preRender": True, "renderTime": False, "clientSideRtbPayload": payload,
            "screenOrientation": orientation}


def encode_response(path):
    clicked = {"event": "clicked", "actions": ["directOpen"]}
    again = {"event": "clicked", "actions": ["sendUrl", "directOpen"]}
    rendered = {"event": "rendered", "actions": []}
    response = {
        "adUnits": [
            unit("alpha", [frame("a1", [clicked, rendered, again]), frame("a2", [])], {"bid": "0.5"}, "PORTRAIT", 3),
            unit("beta", [frame("b1", [rendered])], {}, "LANDSCAPE", -1),
            unit("gamma", [frame("c1", [], layout=False)], {"k": "v", "x": "y"}, "UNKNOWN", 0),
        ],
        "errors": ["first", "second"],
        "configuration": {"sdkAssetUrl": "https://assets.example/v2/", "cacheSizeMb": 20, "maxAssetSizeKb": 2024},
    }
    with open(path, "wb") as f:
        f.write(encode(parse(AD_RESPONSE), response))


def check_log_request(path):
    data = open(path, "rb").read()
    schema = parse(SDK_LOG_REQUEST)
    decoder = avro.io.BinaryDecoder(io.BytesIO(data))
    request = avro.io.DatumReader(schema).read(decoder)
    if encode(schema, request) != data:
        print("re-encoding differs", file=sys.stderr)
        return 1
    shown = dict(request)
    shown["adReportedIds"] = [{"type": r["type"], "id": r["id"].hex()} for r in request["adReportedIds"]]
    print(json.dumps(shown, sort_keys=True))
    return 0


def check_request(path):
    data = open(path, "rb").read()
    schema = parse(AD_REQUEST)
    request = avro.io.DatumReader(schema).read(avro.io.BinaryDecoder(io.BytesIO(data)))
    if encode(schema, request) != data:
        print("re-encoding differs", file=sys.stderr)
        return 1
    shown = dict(request)
    shown["adReportedIds"] = [{"type": r["type"], "id": r["id"].hex()} for r in request["adReportedIds"]]
    print(json.dumps(shown, sort_keys=True))
    return 0


def encode_log_response(path, result, errors):
    with open(path, "wb") as f:
        f.write(encode(parse(SDK_LOG_RESPONSE), {"result": result, "errors": errors}))


def main(argv):
    if argv[1] == "encode-response":
        encode_response(argv[2])
        return 0
    if argv[1] == "check-request":
        return check_request(argv[2])
    if argv[1] == "check-log-request":
        return check_log_request(argv[2])
    if argv[1] == "encode-log-response":
        encode_log_response(argv[2], argv[3], argv[4:])
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
