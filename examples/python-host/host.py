#!/usr/bin/env python3
"""A till written in Python, with no Qt of its own, that asks the operator for an
observation through the module's plain C interface, using ctypes from the standard
library alone, and prints what came back.

    host.py [--library PATH] [--station DIR] [REQUEST_JSON]

--library: the module, libkzt00318.so (default: $KZT00318_LIBRARY, else the one the
system's library path finds). --station: the folder holding PARAMETROSQTR.CDS and store.db
(kzt-station --init-sample DIR writes both). Exit status: 0 when the call ran, 1 when the
module refused it.
"""

import argparse
import ctypes
import ctypes.util
import json
import os
import sys


class ModuleRefused(Exception):
    """The module refused the request; the message says why."""


class Module:
    """The observation module's C interface (kzt00318.h), with JSON in and out."""

    def __init__(self, path):
        self._lib = ctypes.CDLL(path)
        reply_out = ctypes.POINTER(ctypes.c_void_p)
        self._lib.kzt_configure.argtypes = [ctypes.c_char_p, reply_out]
        self._lib.kzt_observacao.argtypes = [ctypes.c_char_p, reply_out]
        self._lib.kzt_call.argtypes = [ctypes.c_char_p, ctypes.c_char_p, reply_out]
        self._lib.kzt_free.argtypes = [ctypes.c_void_p]
        self._lib.kzt_free.restype = None
        self._lib.kzt_version.restype = ctypes.c_char_p

    def _reply(self, function, *texts):
        # The reply is the module's memory: read it, then hand it back with kzt_free.
        reply = ctypes.c_void_p()
        status = function(*[t.encode("utf-8") for t in texts], ctypes.byref(reply))
        if reply.value is None:
            # Only when the module ran out of memory writing the reply.
            if status != 0:
                raise ModuleRefused("out of memory")
            raise MemoryError("the call ran but its reply could not be written")
        try:
            answer = json.loads(ctypes.string_at(reply.value).decode("utf-8"))
        finally:
            self._lib.kzt_free(reply)
        if status != 0:
            raise ModuleRefused(answer["error"])
        return answer

    def version(self):
        return self._lib.kzt_version().decode("ascii")

    def configure(self, **settings):
        return self._reply(self._lib.kzt_configure, json.dumps(settings))

    def observacao(self, request):
        return self._reply(self._lib.kzt_observacao, json.dumps(request))

    def call(self, routine, *args):
        return self._reply(self._lib.kzt_call, routine, json.dumps(list(args)))


def default_library():
    return os.environ.get("KZT00318_LIBRARY") or ctypes.util.find_library("kzt00318")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--library", default=default_library())
    parser.add_argument("--station")
    parser.add_argument("request", nargs="?",
                        default='["N", "P", "1001", "X-BURGER", "", true]')
    options = parser.parse_args()
    if not options.library:
        parser.error("libkzt00318.so not found: give --library or set KZT00318_LIBRARY")

    module = Module(options.library)
    print("host.py: observation module", module.version(), file=sys.stderr)
    try:
        if options.station:
            # The host executable is taken to live in the station folder.
            module.configure(hostExe=os.path.join(options.station, "host.py"))
        reply = module.observacao(json.loads(options.request))
    except ModuleRefused as refusal:
        print(json.dumps({"error": str(refusal)}, ensure_ascii=False))
        print("host.py: the module refused the call; the till goes on", file=sys.stderr)
        return 1
    print(json.dumps(reply, ensure_ascii=False))
    return 0


if __name__ == "__main__":
    sys.exit(main())
