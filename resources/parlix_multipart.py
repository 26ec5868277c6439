"""Strict multipart/form-data parsing for the recognition request.

Only what a well-formed client sends is accepted: every part needs a
Content-Disposition of form-data with a name, names are unique, and the body
must end with the closing delimiter.  Anything else raises MultipartError.
"""

import re

MAX_PARTS = 16
MAX_HEADER_BYTES = 8192

_TOKEN = r"[!#$%&'*+.^_`|~0-9A-Za-z-]+"
_PARAM = re.compile(r';\s*(' + _TOKEN + r')\s*=\s*(?:"((?:[^"\\\r\n]|\\.)*)"|(' + _TOKEN + r'))\s*')
_BOUNDARY_CHARS = re.compile(r"^[0-9A-Za-z'()+_,./:=? -]{0,69}[0-9A-Za-z'()+_,./:=?-]$")


class MultipartError(ValueError):
    pass


class Part:
    def __init__(self, name, filename, content_type, data):
        self.name = name
        self.filename = filename
        self.content_type = content_type
        self.data = data


def _parse_params(rest):
    params = {}
    pos = 0
    while pos < len(rest):
        m = _PARAM.match(rest, pos)
        if not m:
            raise MultipartError("malformed header parameters")
        key = m.group(1).lower()
        if key in params:
            raise MultipartError("repeated header parameter: " + key)
        value = m.group(2)
        params[key] = re.sub(r"\\(.)", r"\1", value) if value is not None else m.group(3)
        pos = m.end()
    return params


def boundary_from_content_type(content_type):
    """The boundary of a multipart/form-data Content-Type header value."""
    if not content_type:
        raise MultipartError("missing Content-Type")
    kind, _, rest = content_type.partition(";")
    if kind.strip().lower() != "multipart/form-data":
        raise MultipartError("Content-Type is not multipart/form-data")
    boundary = _parse_params(";" + rest if rest else "").get("boundary")
    if boundary is None or not _BOUNDARY_CHARS.match(boundary):
        raise MultipartError("missing or invalid boundary")
    return boundary.encode("ascii")


def _parse_headers(block):
    try:
        text = block.decode("utf-8")
    except UnicodeDecodeError:
        raise MultipartError("part headers are not UTF-8") from None
    headers = {}
    for line in text.split("\r\n"):
        name, sep, value = line.partition(":")
        if not sep or not name or name != name.strip():
            raise MultipartError("malformed part header")
        name = name.lower()
        if name in headers:
            raise MultipartError("repeated part header: " + name)
        headers[name] = value.strip()
    return headers


def parse(body, boundary):
    """Parses a whole body into {name: Part}."""
    delimiter = b"--" + boundary
    if not body.startswith(delimiter):
        raise MultipartError("body does not start with the boundary")
    parts = {}
    pos = len(delimiter)
    while True:
        if body.startswith(b"--", pos):
            if body[pos + 2:] not in (b"", b"\r\n"):
                raise MultipartError("data after the closing boundary")
            return parts
        if not body.startswith(b"\r\n", pos):
            raise MultipartError("malformed boundary line")
        pos += 2
        header_end = body.find(b"\r\n\r\n", pos, pos + MAX_HEADER_BYTES)
        if header_end < 0:
            raise MultipartError("part headers missing or too long")
        headers = _parse_headers(body[pos:header_end])
        start = header_end + 4
        end = body.find(b"\r\n" + delimiter, start)
        if end < 0:
            raise MultipartError("missing closing boundary")
        disposition = headers.get("content-disposition", "")
        kind, _, rest = disposition.partition(";")
        if kind.strip().lower() != "form-data":
            raise MultipartError("part is not form-data")
        params = _parse_params(";" + rest if rest else "")
        name = params.get("name")
        if not name:
            raise MultipartError("part without a name")
        if name in parts:
            raise MultipartError("repeated field: " + name)
        if len(parts) >= MAX_PARTS:
            raise MultipartError("too many parts")
        parts[name] = Part(name, params.get("filename"), headers.get("content-type"), body[start:end])
        pos = end + 2 + len(delimiter)
