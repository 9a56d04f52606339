"""zttools from Python through its C interface, with nothing but ctypes.

Covers the token parser, the preset manager and the log manager's planning (policies and
report). The library is found through ZTTOOLS_LIBRARY (a path to libzttools.so), else where the
system's loader finds libzttools.so.1. Run as a program, it shows each tool at work.
"""
import ctypes
import os

_lib = ctypes.CDLL(os.environ.get("ZTTOOLS_LIBRARY", "libzttools.so.1"))

_c_int, _c_uint32, _c_int32 = ctypes.c_int, ctypes.c_uint32, ctypes.c_int32
_c_char_p, _c_void_p = ctypes.c_char_p, ctypes.c_void_p
_OWNED = ctypes.POINTER(_c_void_p)  # caller-owned text, released with zt_free
_LENT = ctypes.POINTER(_c_char_p)  # handle-owned text, copied at once


class _TokenError(ctypes.Structure):
    _fields_ = [("code", _c_int), ("position", _c_int), ("message", ctypes.c_char * 128)]


_FORMAT_FN = ctypes.CFUNCTYPE(_c_int, _c_void_p, _c_char_p, _c_char_p, _c_char_p, _c_char_p,
                              _c_void_p)
_DIFFERENCE_FN = ctypes.CFUNCTYPE(None, _c_void_p, _c_char_p, _c_char_p)


def _declare(name, restype, *argtypes):
    function = getattr(_lib, name)
    function.restype, function.argtypes = restype, list(argtypes)
    return function


_declare("zt_version", _c_char_p)
_declare("zt_last_error_message", _c_char_p)
_declare("zt_free", None, _c_void_p)
_declare("zt_token_output_write", _c_int, _c_void_p, _c_char_p)
for _tool in ("token_parser", "preset_manager", "log_manager"):
    _declare(f"zt_{_tool}_new", _c_void_p)
    _declare(f"zt_{_tool}_free", None, _c_void_p)
_declare("zt_token_parser_process", _c_int, _c_void_p, _c_char_p, _OWNED,
         ctypes.POINTER(_TokenError))
_declare("zt_token_parser_build_string", _c_int, _c_void_p, _c_char_p, _OWNED)
_declare("zt_token_parser_build_template_string", _c_int, _c_void_p, _c_char_p, _OWNED)
_declare("zt_token_parser_format", _c_int, _c_void_p, _c_char_p, _FORMAT_FN, _c_void_p, _OWNED,
         ctypes.POINTER(_TokenError))
_declare("zt_preset_manager_open", _c_int, _c_void_p, _c_char_p, ctypes.POINTER(_c_uint32))
_declare("zt_preset_manager_close", _c_int, _c_void_p, _c_uint32)
_declare("zt_preset_manager_save", _c_int, _c_void_p, _c_uint32)
_declare("zt_preset_manager_save_as", _c_int, _c_void_p, _c_uint32, _c_char_p)
_declare("zt_preset_manager_get_value", _c_int, _c_void_p, _c_uint32, _c_char_p, _LENT)
_declare("zt_preset_manager_get_differences", _c_int, _c_void_p, _c_uint32, _c_uint32,
         _DIFFERENCE_FN, _c_void_p)
_declare("zt_log_manager_set_path", _c_int, _c_void_p, _c_char_p)
_declare("zt_log_manager_remove_all", _c_int, _c_void_p, ctypes.POINTER(_c_uint32))
for _policy in ("keep_latest", "keep_today", "keep_this_week", "keep_this_month"):
    _declare(f"zt_log_manager_{_policy}", _c_int, _c_void_p, ctypes.POINTER(_c_int32))
_declare("zt_log_manager_remove_by_threshold", _c_int, _c_void_p, _c_int32, _c_int32,
         ctypes.POINTER(_c_int32))
_declare("zt_log_manager_get_report", _c_int, _c_void_p, _OWNED)

version = _lib.zt_version().decode()


class ZtError(Exception):
    """A failed call: its status, the library's message, and for token errors code and position."""

    def __init__(self, status, message, code=None, position=None):
        super().__init__(f"{message} (status {status})")
        self.status, self.message, self.code, self.position = status, message, code, position


def _check(status):
    if status < 0:
        raise ZtError(status, _lib.zt_last_error_message().decode())
    return status


def _text(call, *args):
    """Runs a call whose last argument receives caller-owned text; returns it as str."""
    block = _c_void_p()
    _check(call(*args, ctypes.byref(block)))
    try:
        return ctypes.string_at(block).decode()
    finally:
        _lib.zt_free(block)


class _Handle:
    _tool = ""

    def __init__(self):
        self._handle = getattr(_lib, f"zt_{self._tool}_new")()
        if not self._handle:
            raise MemoryError(f"zt_{self._tool}_new")

    def close(self):
        if self._handle:
            getattr(_lib, f"zt_{self._tool}_free")(self._handle)
            self._handle = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class TokenParser(_Handle):
    """Format strings (`Lot %05S %1/Y`) to processedtokens XML, back, and to printed text."""

    _tool = "token_parser"

    def _token_call(self, call, *args):
        error = _TokenError()
        block = _c_void_p()
        status = call(self._handle, *args, ctypes.byref(block), ctypes.byref(error))
        if status == -74:  # ZT_ETOKEN
            raise ZtError(status, error.message.decode(), error.code, error.position)
        _check(status)
        try:
            return ctypes.string_at(block).decode()
        finally:
            _lib.zt_free(block)

    def process(self, format_string):
        return self._token_call(_lib.zt_token_parser_process, format_string.encode())

    def build_string(self, xml):
        return _text(_lib.zt_token_parser_build_string, self._handle, xml.encode())

    def build_template_string(self, xml):
        return _text(_lib.zt_token_parser_build_template_string, self._handle, xml.encode())

    def format(self, format_string, formatter):
        """`formatter(specifier, modifier, delimiter, text)` returns each token's printed text."""
        raised = []

        def call(_user, specifier, modifier, delimiter, text, out):
            try:
                fields = (specifier, modifier, delimiter, text)
                printed = formatter(*(field.decode() for field in fields))
                return _lib.zt_token_output_write(out, printed.encode())
            except Exception as error:  # handed back to the caller once the library returns
                raised.append(error)
                return -1

        try:
            return self._token_call(_lib.zt_token_parser_format, format_string.encode(),
                                    _FORMAT_FN(call), None)
        except ZtError:
            if raised:
                raise raised[0] from None
            raise


class PresetManager(_Handle):
    """The "Preset" section of INI files under numeric handles."""

    _tool = "preset_manager"

    def open(self, path):
        preset = _c_uint32()
        _check(_lib.zt_preset_manager_open(self._handle, os.fsencode(path), ctypes.byref(preset)))
        return preset.value

    def close_preset(self, preset):
        _check(_lib.zt_preset_manager_close(self._handle, preset))

    def save(self, preset, path=None):
        if path is None:
            _check(_lib.zt_preset_manager_save(self._handle, preset))
        else:
            _check(_lib.zt_preset_manager_save_as(self._handle, preset, os.fsencode(path)))

    def value(self, preset, key):
        value = _c_char_p()
        _check(_lib.zt_preset_manager_get_value(self._handle, preset, key.encode(),
                                                ctypes.byref(value)))
        return value.value.decode()

    def differences(self, first, second):
        found = {}
        collect = _DIFFERENCE_FN(lambda _user, key, value: found.update({key.decode():
                                                                          value.decode()}))
        _check(_lib.zt_preset_manager_get_differences(self._handle, first, second, collect, None))
        return found


class LogManager(_Handle):
    """Plans the retention of a folder tree of .log files; deleting is left to C callers."""

    _tool = "log_manager"
    POLICIES = ("keep_latest", "keep_today", "keep_this_week", "keep_this_month")

    def set_path(self, folder):
        _check(_lib.zt_log_manager_set_path(self._handle, os.fsencode(folder)))

    def remove_all(self):
        count = _c_uint32()
        _check(_lib.zt_log_manager_remove_all(self._handle, ctypes.byref(count)))
        return count.value

    def keep(self, policy):
        _check(getattr(_lib, f"zt_log_manager_{policy}")(self._handle, None))

    def remove_by_threshold(self, megabytes, order=0):
        _check(_lib.zt_log_manager_remove_by_threshold(self._handle, megabytes, order, None))

    def report(self):
        return _text(_lib.zt_log_manager_get_report, self._handle)


def _show():
    import tempfile

    print("zttools", version)
    with TokenParser() as tokens:
        xml = tokens.process("Lot A %05S")
        assert '<counter modifier="5" delimiter="0"/>' in xml, xml
        assert tokens.build_string(xml) == "Lot A %50S"
        assert tokens.build_template_string(xml) == "1 S"

        def printer(kind, width, _flag, text):
            return {"M": text, "_": " ", "S": "42".rjust(int(width or 1), "0")}.get(kind, "")

        printed = tokens.format("Lot %5S", printer)
        assert printed == "Lot 00042", printed
        try:
            tokens.process("%Q")
            raise AssertionError("an unknown specifier is refused")
        except ZtError as error:
            assert (error.code, error.position, error.message) == (
                26, 1, "Unknown format specifier.")
        try:
            tokens.format("%5S", lambda *fields: 1 / 0)
            raise AssertionError("the formatter's exception comes back")
        except ZeroDivisionError:
            pass
        print("token parser: Lot %5S ->", printed)

    with tempfile.TemporaryDirectory() as folder:
        first, second = os.path.join(folder, "a.ini"), os.path.join(folder, "b.ini")
        with open(first, "w") as ini:
            ini.write("[Preset]\nDpi=300\nMode=gray\n")
        with open(second, "w") as ini:
            ini.write("[Preset]\nDpi=600\nMode=gray\n")
        with PresetManager() as presets:
            a, b = presets.open(first), presets.open(second)
            assert presets.value(a, "Mode") == "gray"
            assert presets.differences(a, b) == {"Dpi": "600"}
            presets.save(a, os.path.join(folder, "c.ini"))
            try:
                presets.open(os.path.join(folder, "none.ini"))
                raise AssertionError("a missing file is refused")
            except ZtError as error:
                assert error.status == -2, error  # -ENOENT
            print("preset manager: differences", presets.differences(a, b))

        for name in ("scan1.log", "scan2.log"):
            with open(os.path.join(folder, name), "w") as log:
                log.write("x")
        with LogManager() as logs:
            logs.set_path(folder)
            assert logs.remove_all() == 2
            for policy in LogManager.POLICIES:
                logs.keep(policy)
            logs.remove_by_threshold(0)
            report = logs.report()
            assert "scan1.log" in report and "scan2.log" in report, report
            assert os.path.exists(os.path.join(folder, "scan1.log")), "planning deletes nothing"
            print("log manager: the plan names", report.count("<logfile "), "files")
    print("python example ok")


if __name__ == "__main__":
    _show()
