#!/usr/bin/env python3
"""A till session against a fiscal module, in Python 3 with ctypes.

    till_session.py [module-ip] [activation-code] [data-dir]

Asks for the library's version, chooses the module by its address, checks
it, sells, cancels that sale, reads the last fiscal session back and shows
which device answered. Every result is printed split into its fields.

The calls block (a network call can wait for minutes when no module
answers): a real point-of-sale program makes them from a worker thread.
"""
import ctypes
import ctypes.util
import os
import sys
from ctypes import c_char_p, c_int, c_void_p

# The library is found like any shared library: taviksat.dll beside the
# program or on PATH (Windows), libtaviksat.so on the loader's path (Linux).
# TAVIKSAT_LIBRARY names another file.
if sys.platform == "win32":
    # cdecl: CDLL, not WinDLL. (A 32-bit stdcall build would need WinDLL.)
    lib = ctypes.CDLL(os.environ.get("TAVIKSAT_LIBRARY", "taviksat.dll"))
    # The JSON texts come from the DLL's C runtime, msvcrt.dll: free them there.
    c_runtime = ctypes.CDLL("msvcrt")
else:
    lib = ctypes.CDLL(os.environ.get("TAVIKSAT_LIBRARY", "libtaviksat.so"))
    c_runtime = ctypes.CDLL(ctypes.util.find_library("c"))
c_runtime.free.argtypes = [c_void_p]
c_runtime.free.restype = None

# Every export must be declared: ctypes' default return type is int, which
# cuts a 64-bit pointer in half and crashes the program on first use.
# Texts go in as bytes (encode them as UTF-8) and come back as bytes
# (c_char_p copies them at once, which is what a caller must do anyway).
TEXT = c_char_p
for name, argtypes in {
    "ConsultarSAT": [c_int],
    "ConsultarStatusOperacional": [c_int, TEXT],
    "EnviarDadosVenda": [c_int, TEXT, TEXT],
    "CancelarUltimaVenda": [c_int, TEXT, TEXT, TEXT],
    "ConsultarUltimaSessaoFiscal": [c_int, TEXT],
    "VersaoLib": [],
}.items():
    getattr(lib, name).argtypes = argtypes
    getattr(lib, name).restype = TEXT
lib.GeraNumeroSessao.argtypes = []
lib.GeraNumeroSessao.restype = c_int
lib.FiltraMFEIp.argtypes = [TEXT]
lib.FiltraMFEIp.restype = c_int
# c_void_p, not c_char_p: the pointer itself is needed to free the text.
lib.GetDeviceInfoAsJson.argtypes = []
lib.GetDeviceInfoAsJson.restype = c_void_p


def argument(text):
    """UTF-8 bytes for the library; "|" would split the request's fields."""
    if "|" in text:
        raise ValueError("an argument holds '|'")
    return text.encode("utf-8")


def show(call, session, answer):
    fields = answer.decode("utf-8").split("|")
    print(f"== {call} (session {session})")
    for number, field in enumerate(fields, 1):
        if len(field) > 60:
            field = f"{field[:40]}... ({len(field)} characters)"
        print(f"  [{number}] {field}")
    return fields


def main():
    sys.stdout.reconfigure(encoding="utf-8")
    ip = sys.argv[1] if len(sys.argv) > 1 else "127.0.0.1"
    code = sys.argv[2] if len(sys.argv) > 2 else "12345678"
    data = sys.argv[3] if len(sys.argv) > 3 else os.path.join(os.path.dirname(__file__), "..", "data")

    print(f"VersaoLib: {lib.VersaoLib().decode('utf-8')}")
    found = lib.FiltraMFEIp(argument(ip))
    print(f"FiltraMFEIp({ip}): {found}")
    if found != 0:
        return 1

    session = lib.GeraNumeroSessao()
    show("ConsultarSAT", session, lib.ConsultarSAT(session))

    session = lib.GeraNumeroSessao()
    show("ConsultarStatusOperacional", session, lib.ConsultarStatusOperacional(session, argument(code)))

    with open(os.path.join(data, "venda.xml"), encoding="utf-8") as file:
        sale_xml = file.read()
    session = lib.GeraNumeroSessao()
    sale = show("EnviarDadosVenda", session, lib.EnviarDadosVenda(session, argument(code), argument(sale_xml)))
    if sale[1] != "06000":
        return 1
    key = sale[8]
    print(f"sale key: {key}")
    print(f"sale total: {sale[9]}")

    with open(os.path.join(data, "cancelamento.xml"), encoding="utf-8") as file:
        cancellation_xml = file.read().replace("CHAVE_DA_VENDA", key)
    session = lib.GeraNumeroSessao()
    cancel = show("CancelarUltimaVenda", session,
                  lib.CancelarUltimaVenda(session, argument(code), argument(key), argument(cancellation_xml)))
    print(f"cancellation code: {cancel[1]}")

    session = lib.GeraNumeroSessao()
    show("ConsultarUltimaSessaoFiscal", session, lib.ConsultarUltimaSessaoFiscal(session, argument(code)))

    pointer = lib.GetDeviceInfoAsJson()
    if pointer:
        json = ctypes.string_at(pointer).decode("utf-8")
        c_runtime.free(pointer)
    else:
        json = "(none)"
    print(f"GetDeviceInfoAsJson: {json}")
    return 0 if cancel[1] == "07000" else 1


if __name__ == "__main__":
    sys.exit(main())
