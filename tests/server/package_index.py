"""A PEP 503 "simple" package index of stub wheels built here, on the fake hub.

A wheel is a zip of the package's files plus METADATA, WHEEL and RECORD; each stub
wheel carries a stand-in package from stubs/ (or an empty module) under the name
and version asked for.
"""

import base64
import hashlib
import io
import os
import zipfile

from fake_hub import FakeHub

STUBS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "stubs")


def build_wheel(name, version, requires=()):
    """(file name, bytes) of a pure-Python wheel for name==version."""
    module = name.replace("-", "_")
    files = {}
    source = os.path.join(STUBS, module)
    for root, _dirs, names in os.walk(source):
        for n in names:
            if n.endswith(".py"):
                with open(os.path.join(root, n), "rb") as f:
                    files[os.path.relpath(os.path.join(root, n), STUBS)] = f.read()
    files = files or {module + "/__init__.py": b""}
    info = "%s-%s.dist-info" % (module, version)
    files[info + "/METADATA"] = ("Metadata-Version: 2.1\nName: %s\nVersion: %s\n" % (name, version)
                                 + "".join("Requires-Dist: %s\n" % r for r in requires)).encode()
    files[info + "/WHEEL"] = b"Wheel-Version: 1.0\nGenerator: parlix-tests\nRoot-Is-Purelib: true\nTag: py3-none-any\n"
    record = "".join("%s,sha256=%s,%d\n" % (p, base64.urlsafe_b64encode(hashlib.sha256(d).digest()).rstrip(b"=").decode(),
                                            len(d)) for p, d in files.items()) + info + "/RECORD,,\n"
    files[info + "/RECORD"] = record.encode()
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        for p, d in files.items():
            z.writestr(p, d)
    return "%s-%s-py3-none-any.whl" % (module, version), out.getvalue()


class PackageIndex(FakeHub):
    def __init__(self, wheels):
        self.wheels = dict(wheels)  # normalised project name -> (file name, bytes)
        files = {}
        for name, (file, data) in self.wheels.items():
            files["simple/%s/" % name] = ('<a href="/files/%s#sha256=%s">%s</a>'
                                          % (file, hashlib.sha256(data).hexdigest(), file)).encode()
            files["files/" + file] = data
        super().__init__(files)
        self.url += "/simple"

    def projects_fetched(self):
        return {p.split("/")[1] for p, _ in self.requests if p.startswith("simple/")}

    def stall(self, project):
        """Its file downloads hang until stop()."""
        self.faults["files/" + self.wheels[project][0]] = ["stall"] * 9
