"""Text shaping shared by the recognition engines: filler removal, hotword
spelling and spoken English numbers."""

import re

# A filler is removed only when it stands alone: between the ends of the text,
# white space and punctuation.  Inside a word ("金额", "额外") or right after a
# number ("10 mm", "5 er": units, abbreviations) it is text and stays.
_CANDIDATE = re.compile(r"[A-Za-z]+|[嗯呃额]+")
_EN_FILLER = re.compile(r"(?i)uh|um|uhm|umm|er|erm|ah|hm+|mm+")
# Hyphens and apostrophes join words ("uh-oh", "um's"), so they are not boundaries.
_BOUNDARY = re.compile(r"[\s!\"#$%&()*+,./:;<=>?@\[\\\]^_`{|}~，。、；：？！…—·「」『』（）《》〈〉“”‘’【】]")
_SOFT = "，,、；;：:…— \t"  # what a removed filler takes with it ("嗯，", "um, ", "呃……")
_HARD = "。.！!？?"


def _is_boundary(char):
    return char == "" or bool(_BOUNDARY.match(char))


def _after_number(text, start):
    return text[:start].rstrip(" \t")[-1:].isdigit()


def remove_fillers(text):
    out, pos = [], 0
    for m in _CANDIDATE.finditer(text):
        start, end = m.span()
        word = m.group()
        if start < pos or not _is_boundary(text[start - 1:start]) or not _is_boundary(text[end:end + 1]):
            continue
        if word.isascii() and (not _EN_FILLER.fullmatch(word) or word.isupper() or _after_number(text, start)):
            continue  # a word, or "the ER", "10 mm"
        out.append(text[pos:start])
        pos = end
        while pos < len(text) and text[pos] in _SOFT:
            pos += 1
        # The filler's own comma goes with it; a comma before it that now meets the
        # end of a sentence (or of the text) goes too: "好的，嗯。" -> "好的。".
        if pos == len(text) or text[pos] in _HARD:
            out[-1] = out[-1].rstrip(_SOFT)
            if not "".join(out).strip():
                while pos < len(text) and text[pos] in _HARD + _SOFT:
                    pos += 1
    out.append(text[pos:])
    return re.sub(r"  +", " ", "".join(out)).strip()


def apply_hotwords(text, hotwords):
    """Gives words that the engine spelled otherwise the user's spelling."""
    for word in sorted(hotwords, key=len, reverse=True):
        letters = re.sub(r"[\s\-]+", "", word)
        if not letters or not word.isascii():
            continue
        # A recogniser may split a name into words ("git hub"); short ones only as written.
        if len(letters) >= 4:
            pieces = [re.escape(c) for c in letters]
        else:
            pieces = [re.escape(p) for p in re.split(r"[\s\-]+", word.strip()) if p]
        pattern = r"(?i)(?<![\w])" + r"[\s\-]?".join(pieces) + r"(?![\w])"
        text = re.sub(pattern, lambda _m, w=word: w, text)
    return text


_UNITS = {w: i for i, w in enumerate(
    "zero one two three four five six seven eight nine ten eleven twelve thirteen "
    "fourteen fifteen sixteen seventeen eighteen nineteen".split())}
_TENS = {w: 10 * i for i, w in enumerate(
    "_ _ twenty thirty forty fifty sixty seventy eighty ninety".split()) if i >= 2}
_SCALES = {"hundred": 100, "thousand": 1000, "million": 10 ** 6}


def english_itn(text):
    """Spoken English numbers to digits: "twenty one" -> "21", "one two" -> "1 2"."""
    out = []
    total, current, prev = 0, 0, None
    open_after = (None, "hundred", "scale")

    def flush():
        nonlocal total, current, prev
        if prev is not None:
            out.append(str(total + current))
        total, current, prev = 0, 0, None

    for word in text.split():
        w = word.lower()
        if w in _UNITS or w in _TENS:
            value = _UNITS.get(w, _TENS.get(w))
            kind = "tens" if w in _TENS else ("teen" if value >= 10 else "unit")
            if not (prev in open_after or (prev == "tens" and kind == "unit")):
                flush()
            current += value
            prev = kind
        elif w == "hundred" and prev in ("unit", "teen", "tens") and current < 100:
            current *= 100
            prev = "hundred"
        elif w in _SCALES and w != "hundred" and prev in ("unit", "teen", "tens", "hundred"):
            total += current * _SCALES[w]
            current = 0
            prev = "scale"
        else:
            flush()
            out.append(word)
    flush()
    return " ".join(out)
