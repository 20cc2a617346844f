#!/usr/bin/env python3
"""Reads an analytics report field by field, from its field tables (big-endian throughout).

Usage: analytics_decode.py REPORT   prints the report as JSON; exit 1 when it does not parse
or its checksum is wrong."""

import json
import struct
import sys
import zlib


class Reader:
    def __init__(self, data):
        self.data = data
        self.at = 0

    def take(self, fmt):
        size = struct.calcsize(fmt)
        if self.at + size > len(self.data):
            raise ValueError("report ends at %d" % self.at)
        value = struct.unpack_from(fmt, self.data, self.at)[0]
        self.at += size
        return value

    def u8(self): return self.take(">B")
    def s8(self): return self.take(">b")
    def u16(self): return self.take(">H")
    def i32(self): return self.take(">i")
    def i64(self): return self.take(">q")
    def f32(self): return self.take(">f")
    def f64(self): return self.take(">d")

    def raw(self, length):
        if self.at + length > len(self.data):
            raise ValueError("bytes past the end at %d" % self.at)
        value = self.data[self.at:self.at + length]
        self.at += length
        return value

    def str(self): return self.raw(self.u16()).decode("utf-8")


def entries(r, count):
    return {r.str(): {"value": r.str(), "flag": r.u8()} for _ in range(count)}


def session(r):
    s = {"version": r.u16(), "appVersion": r.str(), "start": r.i64(), "length": r.i64(), "pause": r.i64()}
    s["parameters"] = entries(r, r.u16())
    for name in ("locale", "timeZone"):
        s[name] = r.str()
    s["network"] = r.u8()
    s["userID"] = r.str()
    s["flag"] = r.u8()
    s["latitude"], s["longitude"], s["accuracy"] = r.f64(), r.f64(), r.f32()
    s["pageViews"] = r.i32()
    s["jailbroken"], s["zero"], s["gender"], s["agePresent"] = r.u8(), r.u8(), r.s8(), r.u8()
    if s["agePresent"]:
        s["birth"] = r.i64()
    s["eventCounts"] = {r.str(): r.i32() for _ in range(r.u16())}
    s["events"] = []
    for _ in range(r.u16()):
        event = {"id": r.u16(), "name": r.str()}
        event["parameters"] = {r.str(): r.str() for _ in range(r.u16())}
        event["offset"], event["duration"] = r.i64(), r.i64()
        s["events"].append(event)
    s["complete"] = r.u8()
    s["totalErrors"] = r.i32()
    s["errors"] = []
    for _ in range(r.u16()):
        error = {"id": r.u16(), "time": r.i64(), "errorString": r.str(), "message": r.str(), "exception": r.str(),
                 "type": r.u8(), "reportPresent": r.u8()}
        if error["reportPresent"]:
            error["report"] = r.raw(r.take(">I")).hex()
        s["errors"].append(error)
    s["reserved"] = [r.u16(), r.u16()]
    return s


def report(data):
    r = Reader(data)
    p = {"header": [r.u16(), r.u16(), r.u16(), r.i64(), r.u16()], "platform": r.u16(), "agent": r.u16(),
         "time": r.i64(), "key": r.str(), "appVersion": r.str()}
    identifiers = {}
    for _ in range(r.u16()):
        kind = r.u16()
        identifiers[kind] = r.raw(r.u16()).hex() if kind == 4 else r.str()
    p["identifiers"] = identifiers
    p["byte13"], p["everSent"], p["adTracking"] = r.u8(), r.u8(), r.u8()
    p["firstUse"], p["sessionStart"] = r.i64(), r.i64()
    p["device"] = entries(r, r.u16())
    p["reserved"] = [r.u16(), r.u8()]
    p["launchOptions"] = {}
    for _ in range(r.u16()):
        key = r.str()
        p["launchOptions"][key] = [r.str() for _ in range(r.u16())]
    p["originSets"] = {}
    for _ in range(r.u16()):
        name = r.str()
        p["originSets"][name] = {r.str(): r.str() for _ in range(r.u16())}
    p["sessions"] = [session(r) for _ in range(r.u16())]
    p["cookies"] = {r.raw(r.u16()).hex(): r.raw(r.u16()).hex() for _ in range(r.u16())}
    checked = r.at
    p["checksum"] = r.i32() & 0xFFFFFFFF
    if r.at != len(data):
        raise ValueError("%d bytes after the checksum" % (len(data) - r.at))
    if p["checksum"] != zlib.crc32(data[:checked]):
        raise ValueError("checksum %08x, crc32 %08x" % (p["checksum"], zlib.crc32(data[:checked])))
    return p


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as f:
        body = f.read()
    try:
        print(json.dumps(report(body), sort_keys=True))
    except ValueError as error:
        print("bad report: %s" % error, file=sys.stderr)
        sys.exit(1)
