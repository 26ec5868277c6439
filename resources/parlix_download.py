"""Resumable, verified downloads of model files over plain HTTP.

Each file goes to "<name>.part" first and takes its real name only once its
size and SHA-256 (when the listing gives them) are right, so a file under its
real name is always whole.  An interrupted transfer resumes from its .part.
"""

import hashlib
import http.client
import json
import os
import socket
import time
import urllib.error
import urllib.parse
import urllib.request

TIMEOUT = 60
NETWORK_TRIES = 3  # transfers cut by the network resume this often before giving up
RETRY_PAUSE = 1.0


class DownloadError(Exception):
    """Why a download failed, in words for the user."""


class RemoteFile:
    def __init__(self, path, url, size=None, sha256=None):
        self.path = path
        self.url = url
        self.size = size
        self.sha256 = sha256.lower() if sha256 else None


def _reason(e):
    if isinstance(e, urllib.error.HTTPError):
        return "HTTP %d %s" % (e.code, e.reason)
    if isinstance(e, urllib.error.URLError):
        e = e.reason if isinstance(e.reason, BaseException) else e
        if not isinstance(e, BaseException):
            return str(e)
    if isinstance(e, (socket.timeout, TimeoutError)):
        return "连接超时"
    if isinstance(e, http.client.IncompleteRead):
        return "连接中断（传输不完整）"
    return str(e) or type(e).__name__


def _open(url, headers=None):
    try:
        return urllib.request.urlopen(urllib.request.Request(url, headers=headers or {}), timeout=TIMEOUT)
    except urllib.error.HTTPError as e:
        if e.code == 416:
            e.close()
            return None  # nothing left after the range asked for
        raise


def fetch_json(url):
    try:
        r = _open(url)
        if r is None:
            raise DownloadError("HTTP 416")
        with r:
            return json.loads(r.read().decode("utf-8"))
    except (OSError, http.client.HTTPException, ValueError) as e:
        raise DownloadError(_reason(e)) from None


def _transfer(remote, part, on_bytes, chunk):
    """Appends what is missing to part; returns when the server has sent all it has."""
    have = os.path.getsize(part) if os.path.isfile(part) else 0
    if remote.size is not None and have > remote.size:
        os.remove(part)
        have = 0
    if remote.size is not None and have == remote.size:
        return  # complete from an earlier run: only verified
    r = _open(remote.url, {"Range": "bytes=%d-" % have} if have else None)
    if r is None:
        return  # 416: the .part already holds everything
    with r:
        resumed = have and r.status == 206 and r.headers.get("Content-Range", "").startswith("bytes %d-" % have)
        length = r.headers.get("Content-Length")
        with open(part, "ab" if resumed else "wb") as out:
            start = got = have if resumed else 0
            on_bytes(got)
            while True:
                data = r.read(chunk)
                if not data:
                    break
                out.write(data)
                got += len(data)
                on_bytes(got)
        if length and length.isdigit() and got - start < int(length):
            raise http.client.IncompleteRead(b"", int(length) - (got - start))  # closed early


def _verify(remote, part, check):
    size = os.path.getsize(part)
    if remote.size is not None and size != remote.size:
        return "大小不符（%d，应为 %d 字节）" % (size, remote.size)
    if remote.sha256:
        digest = hashlib.sha256()
        with open(part, "rb") as f:
            for block in iter(lambda: f.read(1 << 20), b""):
                digest.update(block)
        if digest.hexdigest() != remote.sha256:
            return "SHA-256 校验失败"
    return check(part) if check else None


def fetch(remote, target, on_bytes=lambda n: None, check=None, chunk=1 << 20):
    """Downloads remote to target, resuming, verifying, and fetching a file that fails
    verification once more from scratch.  check(path) may add a test; it returns
    None when the file is good, else why not."""
    part = target + ".part"
    os.makedirs(os.path.dirname(target) or ".", exist_ok=True)
    for fresh_try in range(2):
        for network_try in range(NETWORK_TRIES):
            try:
                _transfer(remote, part, on_bytes, chunk)
                break
            except urllib.error.HTTPError as e:
                raise DownloadError("%s: %s" % (remote.path, _reason(e))) from None
            except (OSError, http.client.HTTPException) as e:
                if network_try == NETWORK_TRIES - 1:
                    raise DownloadError("%s: %s" % (remote.path, _reason(e))) from None
                time.sleep(RETRY_PAUSE)
        problem = _verify(remote, part, check) if os.path.isfile(part) else "没有收到数据"
        if problem is None:
            os.replace(part, target)
            return
        if os.path.isfile(part):
            os.remove(part)
    raise DownloadError("%s: %s" % (remote.path, problem))


def hub_files(hub, model_id):
    """The files of a model repository as the hub lists them (path, size, SHA-256)."""
    base = "%s/api/v1/models/%s/repo" % (hub.rstrip("/"), model_id)
    listing = fetch_json(base + "/files?Recursive=true")
    try:
        entries = [f for f in listing["Data"]["Files"] if f.get("Type") == "blob"]
        return [RemoteFile(f["Path"], base + "?" + urllib.parse.urlencode({"Revision": "master", "FilePath": f["Path"]}),
                           int(f["Size"]) if f.get("Size") is not None else None, f.get("Sha256"))
                for f in entries]
    except (KeyError, TypeError, ValueError, AttributeError):
        raise DownloadError("模型仓库的文件列表无法识别") from None


def download_model(hub, model_id, model_dir, report):
    """Fetches every file of the repository into model_dir; model.pt comes last, so
    its presence means the whole model is there."""
    files = sorted(hub_files(hub, model_id), key=lambda f: f.path == "model.pt")
    root = os.path.realpath(model_dir)
    total = sum(f.size or 0 for f in files) or 1
    done, shown = 0, [-1]

    def on_bytes(got):
        percent = min(100, (done + got) * 100 // total)
        if percent != shown[0]:
            shown[0] = percent
            report.download_progress(percent)

    for f in files:
        target = os.path.join(model_dir, f.path)
        if os.path.commonpath([os.path.realpath(target), root]) != root:
            raise DownloadError("模型文件路径无效: " + f.path)
        if not (os.path.isfile(target) and (f.size is None or os.path.getsize(target) == f.size)):
            fetch(f, target, on_bytes)
        done += f.size or 0
    if shown[0] != 100:
        report.download_progress(100)
